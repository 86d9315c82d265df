// Every control operation of the UVC camera, as bytes on the wire of the simulated device.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "SimCameraFixture.h"
#include "devices/UvcControlTable.h"

namespace {

using Packet = UvcRequest::SetupPacket;

struct Expected {
    Packet setup;
    Bytes data; // sent (SET) or answered (GET)
};

struct Case {
    std::string name;
    std::function<int64_t(DCUVCCamera &)> operation; // a setter's bool or a getter's value
    int64_t result;
    std::vector<Expected> requests;
};

// wValue = selector << 8, wIndex = entity << 8 | interface 0, written out by hand.
Packet set(uint8_t selector, uint8_t entity, uint8_t length) {
    return {0x21, 0x01, 0x00, selector, 0x00, entity, length, 0x00};
}
Packet get(uint8_t request, uint8_t selector, uint8_t entity, uint8_t length) {
    return {0xA1, request, 0x00, selector, 0x00, entity, length, 0x00};
}

Bytes le16(int v) {
    return {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF)};
}

// The seven signed 16-bit controls: selector on the processing unit and the simulated device's
// current, minimum, maximum and default values.
struct Signed16 {
    const char *name;
    std::function<bool(DCUVCCamera &, int32_t)> set;
    std::function<int32_t(DCUVCCamera &)> cur, min, max, def;
    uint8_t selector;
    int32_t curValue, minValue, maxValue, defValue;
};

std::vector<Case> signed16Cases() {
    // clang-format off
#define CONTROL(Name, n) #n, &DCUVCCamera::set##Name, &DCUVCCamera::n, &DCUVCCamera::n##Min, \
                         &DCUVCCamera::n##Max, &DCUVCCamera::n##Def
    const std::vector<Signed16> controls = {
        {CONTROL(Brightness, brightness), 0x02, 0, -64, 64, 0},
        {CONTROL(Contrast, contrast), 0x03, 32, 0, 64, 32},
        {CONTROL(Hue, hue), 0x06, 0, -40, 40, 0},
        {CONTROL(Saturation, saturation), 0x07, 64, 0, 128, 64},
        {CONTROL(Sharpness, sharpness), 0x08, 3, 0, 7, 3},
        {CONTROL(Gamma, gamma), 0x09, 100, 72, 500, 100},
        {CONTROL(WhiteBalance, whiteBalance), 0x0A, 4600, 2800, 6500, 4600},
    };
    // clang-format on
#undef CONTROL
    std::vector<Case> cases;
    for (const auto &c : controls) {
        const std::string n = c.name;
        const int32_t value = c.minValue + 1; // inside the range, different from the current value
        cases.push_back({"set " + n,
                         [c, value](DCUVCCamera &cam) { return int64_t{c.set(cam, value)}; },
                         1,
                         {{set(c.selector, 3, 2), le16(value)}}});
        cases.push_back({n, c.cur, c.curValue, {{get(0x81, c.selector, 3, 2), le16(c.curValue)}}});
        cases.push_back({n + "Min", c.min, c.minValue, {{get(0x82, c.selector, 3, 2), le16(c.minValue)}}});
        cases.push_back({n + "Max", c.max, c.maxValue, {{get(0x83, c.selector, 3, 2), le16(c.maxValue)}}});
        cases.push_back({n + "Def", c.def, c.defValue, {{get(0x87, c.selector, 3, 2), le16(c.defValue)}}});
    }
    return cases;
}

// One camera operation as a table cell: a setter's bool or a getter's value.
#define OP(call) [](DCUVCCamera &c) { return int64_t{c.call}; }

std::vector<Case> otherCases() {
    const auto manualIris = [](DCUVCCamera &c) {
        c.setAutoExposure(false);
        return int64_t{c.setIris(200)};
    };
    return {
        {"setAutoWhiteBalance NO", OP(setAutoWhiteBalance(false)), 1, {{set(0x0B, 3, 1), {0x00}}}},
        {"setAutoWhiteBalance YES", OP(setAutoWhiteBalance(true)), 1, {{set(0x0B, 3, 1), {0x01}}}},
        {"autoWhiteBalance", OP(autoWhiteBalance()), 1, {{get(0x81, 0x0B, 3, 1), {0x01}}}},
        {"setFrequency 2", OP(setFrequency(2)), 1, {{set(0x05, 3, 1), {0x02}}}},
        {"frequency", OP(frequency()), 1, {{get(0x81, 0x05, 3, 1), {0x01}}}},
        {"setAutoExposure YES", OP(setAutoExposure(true)), 1, {{set(0x02, 1, 1), {0x02}}}},
        {"setAutoExposure NO", OP(setAutoExposure(false)), 1, {{set(0x02, 1, 1), {0x08}}}},
        {"autoExposure", OP(autoExposure()), 1, {{get(0x81, 0x02, 1, 1), {0x02}}}},
        {"setIris in manual exposure",
         manualIris,
         1,
         {{set(0x02, 1, 1), {0x08}}, {get(0x81, 0x02, 1, 1), {0x08}}, {set(0x09, 1, 2), {0xC8, 0x00}}}},
        {"iris", OP(iris()), 16, {{get(0x81, 0x09, 1, 2), le16(16)}}},
        {"irisMin", OP(irisMin()), 0, {{get(0x82, 0x09, 1, 2), le16(0)}}},
        {"irisMax", OP(irisMax()), 255, {{get(0x83, 0x09, 1, 2), le16(255)}}},
        {"setFocus 0x0123", OP(setFocus(0x0123)), 1, {{set(0x06, 1, 2), {0x23, 0x01}}}},
        {"focus", OP(focus()), 68, {{get(0x81, 0x06, 1, 2), le16(68)}}},
        {"focusMin", OP(focusMin()), 0, {{get(0x82, 0x06, 1, 2), le16(0)}}},
        {"focusMax", OP(focusMax()), 1023, {{get(0x83, 0x06, 1, 2), le16(1023)}}},
        {"focusDef", OP(focusDef()), 68, {{get(0x87, 0x06, 1, 2), le16(68)}}},
        {"setAutoFocus YES", OP(setAutoFocus(true)), 1, {{set(0x08, 1, 2), {0x01, 0x00}}}},
        {"setAutoFocus NO", OP(setAutoFocus(false)), 1, {{set(0x08, 1, 2), {0x00, 0x00}}}},
        {"autoFocus", OP(autoFocus()), 1, {{get(0x81, 0x08, 1, 2), {0x01, 0x00}}}},
    };
}

} // namespace

TEST(UvcControlBytes, EveryOperationSendsTheTableBytesAndReadsTheAnswer) {
    std::vector<Case> cases = signed16Cases();
    for (auto &c : otherCases())
        cases.push_back(std::move(c));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimCameraFixture f;
        EXPECT_EQ(c.operation(*f.camera), c.result);
        const auto records = f.sim->records();
        ASSERT_EQ(records.size(), c.requests.size());
        for (size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].setup, c.requests[i].setup) << "request " << i;
            EXPECT_EQ(records[i].data, c.requests[i].data) << "request " << i;
            EXPECT_EQ(records[i].result, 0) << "request " << i;
        }
    }
}

TEST(UvcControlBytes, WIndexCarriesTheVideoControlInterfaceNumber) {
    SimCameraFixture f;
    f.camera->setVideoControlInterfaceNumber(0x102); // only the low byte fits
    f.camera->brightness();
    ASSERT_EQ(f.packets().size(), 1u);
    EXPECT_EQ(f.packets()[0], (Packet{0xA1, 0x81, 0x00, 0x02, 0x02, 0x03, 0x02, 0x00}));
}

TEST(UvcControlBytes, SettersSendOnlyTheLow16Bits) {
    SimCameraFixture f;
    f.camera->setBrightness(0x12345 - 0x10000 * 2); // bits above 16 must vanish
    f.camera->setContrast(0x10020);
    f.camera->setWhiteBalance(-1);
    const auto records = f.sim->records();
    ASSERT_EQ(records.size(), 3u);
    const int32_t first = 0x12345 - 0x20000;
    EXPECT_EQ(records[0].data, le16(first));
    EXPECT_EQ(records[1].data, (Bytes{0x20, 0x00}));
    EXPECT_EQ(f.sim->control(3, 0x03)->current, 0x20);
    EXPECT_EQ(records[2].data, (Bytes{0xFF, 0xFF}));
}

TEST(UvcControlBytes, ReadsAreSignExtendedFrom16Bits) {
    SimCameraFixture f;
    f.sim->setControl(3, 0x02, {2, -1, -32768, 32767, 0});
    EXPECT_EQ(f.camera->brightness(), -1);        // FF FF
    EXPECT_EQ(f.camera->brightnessMin(), -32768); // 00 80
    EXPECT_EQ(f.camera->brightnessMax(), 32767);
    // Read as signed also where the table says "16-bit": 0x8000 on contrast is negative.
    f.sim->setControl(3, 0x03, {2, 0x8000, 0, 0xFFFF, 0});
    EXPECT_EQ(f.camera->contrast(), -32768);
    EXPECT_EQ(f.camera->contrastMax(), -1);
}

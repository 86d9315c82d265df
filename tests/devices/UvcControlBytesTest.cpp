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
    uint8_t selector;
    std::function<bool(DCUVCCamera &, int32_t)> set;
    std::function<int32_t(DCUVCCamera &)> cur, min, max, def;
    int32_t curValue, minValue, maxValue, defValue;
};

std::vector<Case> signed16Cases() {
    const std::vector<Signed16> controls = {
        {"brightness", 0x02, &DCUVCCamera::setBrightness, &DCUVCCamera::brightness,
         &DCUVCCamera::brightnessMin, &DCUVCCamera::brightnessMax, &DCUVCCamera::brightnessDef, 0, -64, 64,
         0},
        {"contrast", 0x03, &DCUVCCamera::setContrast, &DCUVCCamera::contrast, &DCUVCCamera::contrastMin,
         &DCUVCCamera::contrastMax, &DCUVCCamera::contrastDef, 32, 0, 64, 32},
        {"hue", 0x06, &DCUVCCamera::setHue, &DCUVCCamera::hue, &DCUVCCamera::hueMin, &DCUVCCamera::hueMax,
         &DCUVCCamera::hueDef, 0, -40, 40, 0},
        {"saturation", 0x07, &DCUVCCamera::setSaturation, &DCUVCCamera::saturation,
         &DCUVCCamera::saturationMin, &DCUVCCamera::saturationMax, &DCUVCCamera::saturationDef, 64, 0, 128,
         64},
        {"sharpness", 0x08, &DCUVCCamera::setSharpness, &DCUVCCamera::sharpness, &DCUVCCamera::sharpnessMin,
         &DCUVCCamera::sharpnessMax, &DCUVCCamera::sharpnessDef, 3, 0, 7, 3},
        {"gamma", 0x09, &DCUVCCamera::setGamma, &DCUVCCamera::gamma, &DCUVCCamera::gammaMin,
         &DCUVCCamera::gammaMax, &DCUVCCamera::gammaDef, 100, 72, 500, 100},
        {"whiteBalance", 0x0A, &DCUVCCamera::setWhiteBalance, &DCUVCCamera::whiteBalance,
         &DCUVCCamera::whiteBalanceMin, &DCUVCCamera::whiteBalanceMax, &DCUVCCamera::whiteBalanceDef, 4600,
         2800, 6500, 4600},
    };
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

std::vector<Case> otherCases() {
    return {
        {"setAutoWhiteBalance NO",
         [](DCUVCCamera &c) { return int64_t{c.setAutoWhiteBalance(false)}; },
         1,
         {{set(0x0B, 3, 1), {0x00}}}},
        {"setAutoWhiteBalance YES",
         [](DCUVCCamera &c) { return int64_t{c.setAutoWhiteBalance(true)}; },
         1,
         {{set(0x0B, 3, 1), {0x01}}}},
        {"autoWhiteBalance",
         [](DCUVCCamera &c) { return int64_t{c.autoWhiteBalance()}; },
         1,
         {{get(0x81, 0x0B, 3, 1), {0x01}}}},
        {"setFrequency 2",
         [](DCUVCCamera &c) { return int64_t{c.setFrequency(2)}; },
         1,
         {{set(0x05, 3, 1), {0x02}}}},
        {"frequency",
         [](DCUVCCamera &c) { return int64_t{c.frequency()}; },
         1,
         {{get(0x81, 0x05, 3, 1), {0x01}}}},
        {"setAutoExposure YES",
         [](DCUVCCamera &c) { return int64_t{c.setAutoExposure(true)}; },
         1,
         {{set(0x02, 1, 1), {0x02}}}},
        {"setAutoExposure NO",
         [](DCUVCCamera &c) { return int64_t{c.setAutoExposure(false)}; },
         1,
         {{set(0x02, 1, 1), {0x08}}}},
        {"autoExposure",
         [](DCUVCCamera &c) { return int64_t{c.autoExposure()}; },
         1,
         {{get(0x81, 0x02, 1, 1), {0x02}}}},
        {"setIris in manual exposure",
         [](DCUVCCamera &c) {
             c.setAutoExposure(false);
             return int64_t{c.setIris(200)};
         },
         1,
         {{set(0x02, 1, 1), {0x08}}, {get(0x81, 0x02, 1, 1), {0x08}}, {set(0x09, 1, 2), {0xC8, 0x00}}}},
        {"iris", [](DCUVCCamera &c) { return int64_t{c.iris()}; }, 16, {{get(0x81, 0x09, 1, 2), le16(16)}}},
        {"irisMin",
         [](DCUVCCamera &c) { return int64_t{c.irisMin()}; },
         0,
         {{get(0x82, 0x09, 1, 2), le16(0)}}},
        {"irisMax",
         [](DCUVCCamera &c) { return int64_t{c.irisMax()}; },
         255,
         {{get(0x83, 0x09, 1, 2), le16(255)}}},
        {"setFocus 0x0123",
         [](DCUVCCamera &c) { return int64_t{c.setFocus(0x0123)}; },
         1,
         {{set(0x06, 1, 2), {0x23, 0x01}}}},
        {"focus", [](DCUVCCamera &c) { return int64_t{c.focus()}; }, 68, {{get(0x81, 0x06, 1, 2), le16(68)}}},
        {"focusMin",
         [](DCUVCCamera &c) { return int64_t{c.focusMin()}; },
         0,
         {{get(0x82, 0x06, 1, 2), le16(0)}}},
        {"focusMax",
         [](DCUVCCamera &c) { return int64_t{c.focusMax()}; },
         1023,
         {{get(0x83, 0x06, 1, 2), le16(1023)}}},
        {"focusDef",
         [](DCUVCCamera &c) { return int64_t{c.focusDef()}; },
         68,
         {{get(0x87, 0x06, 1, 2), le16(68)}}},
        {"setAutoFocus YES",
         [](DCUVCCamera &c) { return int64_t{c.setAutoFocus(true)}; },
         1,
         {{set(0x08, 1, 2), {0x01, 0x00}}}},
        {"setAutoFocus NO",
         [](DCUVCCamera &c) { return int64_t{c.setAutoFocus(false)}; },
         1,
         {{set(0x08, 1, 2), {0x00, 0x00}}}},
        {"autoFocus",
         [](DCUVCCamera &c) { return int64_t{c.autoFocus()}; },
         1,
         {{get(0x81, 0x08, 1, 2), {0x01, 0x00}}}},
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

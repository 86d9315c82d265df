#include <cerrno>
#include <thread>

#include <gtest/gtest.h>

#include "SimCameraFixture.h"
#include "devices/sim/SimUvcTransport.h"

namespace {
int send(SimCamera &sim, uint8_t request, uint8_t selector, uint16_t wIndex, std::span<uint8_t> data) {
    return sim.controlRequest(UvcRequest::makeSetupPacket(request, selector, wIndex, uint16_t(data.size())),
                              data);
}
} // namespace

TEST(SimCamera, StallRulesMatchOnEveryGivenFieldAndProtocolErrorsStall) {
    SimCamera sim;
    uint8_t data[2] = {};
    sim.stall({UvcRequest::GET_MAX, std::nullopt, 1});
    EXPECT_EQ(send(sim, UvcRequest::GET_MAX, 0x06, 0x0100, data), -EPIPE);
    EXPECT_EQ(send(sim, UvcRequest::GET_MIN, 0x06, 0x0100, data), 0);
    EXPECT_EQ(send(sim, UvcRequest::GET_MAX, 0x02, 0x0300, data), 0);
    sim.clearStalls();
    EXPECT_EQ(send(sim, UvcRequest::GET_MAX, 0x06, 0x0100, data), 0);
    sim.stallAll();
    EXPECT_EQ(send(sim, UvcRequest::GET_CUR, 0x02, 0x0300, data), -EPIPE);
    const auto records = sim.records();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_TRUE(records.back().data.empty()); // a failed GET answered nothing

    // Protocol errors stall too.
    sim.clearStalls();
    uint8_t one[1] = {};
    uint8_t two[2] = {};
    EXPECT_EQ(send(sim, UvcRequest::GET_CUR, 0x02, 0x0300, one), -EPIPE); // wrong length
    EXPECT_EQ(send(sim, UvcRequest::GET_CUR, 0x0F, 0x0300, two), -EPIPE); // no such control
    EXPECT_EQ(send(sim, UvcRequest::GET_CUR, 0x02, 0x0302, two), -EPIPE); // another interface
    EXPECT_EQ(send(sim, 0x84, 0x02, 0x0300, two), -EPIPE);                // GET_RES is not answered
    two[0] = 0x00;
    two[1] = 0x01; // 256, above the maximum of 64
    EXPECT_EQ(send(sim, UvcRequest::SET_CUR, 0x02, 0x0300, two), -EPIPE);
    EXPECT_EQ(sim.control(3, 0x02)->current, 0);
}

TEST(SimCamera, AVanishedDeviceAnswersNoDeviceForEverything) {
    auto sim = std::make_shared<SimCamera>();
    SimUsbDevice device(sim);
    EXPECT_TRUE(device.properties());
    sim->vanish();
    uint8_t data[2] = {};
    EXPECT_EQ(send(*sim, UvcRequest::GET_CUR, 0x02, 0x0300, data), -ENODEV);
    EXPECT_FALSE(device.properties());
    int error = 0;
    EXPECT_EQ(device.openVideoControl(&error), nullptr);
    EXPECT_EQ(error, -ENODEV);
}

TEST(SimCamera, ProbeAndCommitAnswerByteForByte) {
    SimCamera sim;
    SimCamera::ProbeCommit probe{};
    for (size_t i = 0; i < probe.size(); ++i)
        probe[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(send(sim, UvcRequest::SET_CUR, 1, 0x0001, probe), 0);
    SimCamera::ProbeCommit back{};
    EXPECT_EQ(send(sim, UvcRequest::GET_CUR, 1, 0x0001, back), 0);
    EXPECT_EQ(back, probe);
    EXPECT_NE(sim.committed(), probe); // probing commits nothing
    uint8_t shortBuffer[5] = {};
    EXPECT_EQ(send(sim, UvcRequest::SET_CUR, 2, 0x0001, shortBuffer), -EPIPE);
}

TEST(SimCamera, SharedBetweenThreadsAndKeepsABoundedRecord) {
    auto sim = std::make_shared<SimCamera>();
    auto worker = [sim] {
        SimUvcTransport t(sim);
        uint8_t data[2] = {};
        for (int i = 0; i < 6000; ++i)
            t.controlRequest(UvcRequest::makeSetupPacket(UvcRequest::GET_CUR, 0x02, 0x0300, 2), data,
                             std::chrono::milliseconds(100));
    };
    std::thread a(worker);
    std::thread b(worker);
    a.join();
    b.join();
    EXPECT_EQ(sim->records().size(), SimCamera::kMaxRecords);
}

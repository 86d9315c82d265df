#include "capture/V4L2CaptureSource.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <poll.h>
#include <string>
#include <utility>
#include <vector>

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include "capture/DCCaptureViewController.h"
#include "capture/DemoPageRenderer.h"
#include "capture/Frame.h"
#include "capture/I420Image.h"
#include "devices/DCCameraWrenHD.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {

// A video node in memory that answers the few ioctls of a capture stream. The test scripts what each
// dequeue finds; every call is written to a journal, so the order of the set-up can be checked.
// The source owns the node and calls it from two threads; everything is under one lock.
class FakeV4L2Node : public V4L2Device {
public:
    // What the next dequeue finds.
    struct Fill {
        enum class Kind { Frame, Again, Gone, DriverError } kind = Kind::Frame;
        std::vector<uint8_t> bytes;
        std::optional<uint32_t> bytesused; // default: the size of `bytes`
    };

    // Offered formats in the order VIDIOC_ENUM_FMT lists them.
    std::vector<std::pair<uint32_t, std::vector<QSize>>> formats;
    uint32_t rowPadding = 0;       // extra bytes per YUYV row
    std::optional<uint32_t> grant; // what REQBUFS grants instead of the count asked for
    std::string failing;           // the journal entry (such as "QBUF 2") that fails with -EIO

    void script(Fill fill) {
        std::lock_guard lock(mutex_);
        script_.push_back(std::move(fill));
        wake_.notify_all();
    }
    void script(Fill::Kind kind) { script({kind, {}, {}}); }
    void scriptFrame(std::vector<uint8_t> bytes, std::optional<uint32_t> bytesused = {}) {
        script({Fill::Kind::Frame, std::move(bytes), bytesused});
    }
    // The device is plugged in again: opening works once more, and the driver starts afresh.
    void reconnect() {
        std::lock_guard lock(mutex_);
        gone_ = false;
        streaming_ = false;
        memory_.clear();
        queued_.clear();
    }

    std::vector<std::string> journal() const {
        std::lock_guard lock(mutex_);
        return journal_;
    }
    // The journal without the delivery thread's waits and dequeues, which interleave with the rest.
    std::vector<std::string> setUpJournal() const {
        auto calls = journal();
        std::erase_if(calls, [](const std::string &e) { return e == "poll" || e == "DQBUF"; });
        return calls;
    }
    // The set-up journal from the last occurrence of `entry` on.
    std::vector<std::string> journalFromLast(const std::string &entry) const {
        const auto all = setUpJournal();
        for (size_t i = all.size(); i-- > 0;)
            if (all[i] == entry) return {all.begin() + long(i), all.end()};
        return {};
    }
    void clearJournal() {
        std::lock_guard lock(mutex_);
        journal_.clear();
    }
    // Every scripted fill was taken and every buffer is back in the driver's hands.
    bool settled() const {
        std::lock_guard lock(mutex_);
        return script_.empty() && queued_.size() == memory_.size();
    }
    size_t liveMappings() const {
        std::lock_guard lock(mutex_);
        return mapped_.size();
    }
    int opens() const {
        std::lock_guard lock(mutex_);
        return opens_;
    }

    int open(const QString &) override {
        std::lock_guard lock(mutex_);
        record("open");
        open_ = false;
        if (gone_) return -ENOENT;
        ++opens_;
        open_ = true;
        return 0;
    }
    void close() override {
        std::lock_guard lock(mutex_);
        if (open_) record("close");
        open_ = false;
    }
    bool isOpen() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }

    int ioctl(unsigned long request, void *argument) override {
        std::lock_guard lock(mutex_);
        if (gone_ || !open_) return gone_ ? -ENODEV : -EBADF;
        switch (request) {
        case VIDIOC_QUERYCAP:
            static_cast<v4l2_capability *>(argument)->capabilities =
                V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            return 0;
        case VIDIOC_ENUM_FMT:
            return enumFormat(*static_cast<v4l2_fmtdesc *>(argument));
        case VIDIOC_ENUM_FRAMESIZES:
            return enumSize(*static_cast<v4l2_frmsizeenum *>(argument));
        case VIDIOC_S_FMT:
            return setFormat(*static_cast<v4l2_format *>(argument));
        case VIDIOC_REQBUFS:
            return requestBuffers(*static_cast<v4l2_requestbuffers *>(argument));
        case VIDIOC_QUERYBUF:
            return queryBuffer(*static_cast<v4l2_buffer *>(argument));
        case VIDIOC_QBUF:
            return queueBuffer(*static_cast<v4l2_buffer *>(argument));
        case VIDIOC_DQBUF:
            return dequeueBuffer(*static_cast<v4l2_buffer *>(argument));
        case VIDIOC_STREAMON:
            return streamSwitch("STREAMON", true);
        case VIDIOC_STREAMOFF:
            return streamSwitch("STREAMOFF", false);
        default:
            return -ENOTTY;
        }
    }

    void *mmap(size_t length, int64_t offset) override {
        std::lock_guard lock(mutex_);
        const size_t index = size_t(offset) / kOffsetStep;
        if (!record("mmap " + std::to_string(index)) || gone_ || index >= memory_.size() ||
            length != memory_[index].size())
            return nullptr;
        mapped_[memory_[index].data()] = index;
        return memory_[index].data();
    }
    void munmap(void *start, size_t) override {
        std::lock_guard lock(mutex_);
        const auto it = mapped_.find(start);
        record(it == mapped_.end() ? "munmap ?" : "munmap " + std::to_string(it->second));
        if (it != mapped_.end()) mapped_.erase(it);
    }

    int poll(std::chrono::milliseconds timeout, short *revents) override {
        std::unique_lock lock(mutex_);
        record("poll");
        if (!wake_.wait_for(lock, timeout, [this] { return readable(); })) return 0;
        *revents = POLLIN;
        return 1;
    }

private:
    static constexpr size_t kOffsetStep = 1 << 24;

    // False when this call is the one the test wants to fail.
    bool record(const std::string &entry) {
        journal_.push_back(entry);
        return entry != failing;
    }
    bool readable() const {
        return streaming_ && !script_.empty() &&
               (script_.front().kind != Fill::Kind::Frame || !queued_.empty());
    }

    int enumFormat(v4l2_fmtdesc &d) const {
        if (d.index >= formats.size()) return -EINVAL;
        d.pixelformat = formats[d.index].first;
        return 0;
    }
    int enumSize(v4l2_frmsizeenum &e) const {
        for (const auto &[fourcc, sizes] : formats) {
            if (fourcc != e.pixel_format) continue;
            if (e.index >= sizes.size()) return -EINVAL;
            e.type = V4L2_FRMSIZE_TYPE_DISCRETE;
            e.discrete = {uint32_t(sizes[e.index].width()), uint32_t(sizes[e.index].height())};
            return 0;
        }
        return -EINVAL;
    }
    int setFormat(v4l2_format &f) {
        auto &pix = f.fmt.pix;
        record("S_FMT " + std::to_string(pix.width) + "x" + std::to_string(pix.height) + " " +
               (pix.pixelformat == V4L2_PIX_FMT_MJPEG ? "MJPG" : "YUYV"));
        if (!memory_.empty()) return -EBUSY; // buffers still allocated
        pix.bytesperline = pix.pixelformat == V4L2_PIX_FMT_YUYV ? pix.width * 2 + rowPadding : 0;
        pix.sizeimage = (pix.width * 2 + rowPadding) * pix.height;
        sizeimage_ = pix.sizeimage;
        return 0;
    }
    int requestBuffers(v4l2_requestbuffers &r) {
        if (!record("REQBUFS " + std::to_string(r.count))) return -EIO;
        if (!mapped_.empty() || streaming_) return -EBUSY;
        if (r.count > 0 && grant) r.count = *grant;
        memory_.assign(r.count, std::vector<uint8_t>(sizeimage_));
        queued_.clear();
        return 0;
    }
    int queryBuffer(v4l2_buffer &b) {
        if (!record("QUERYBUF " + std::to_string(b.index))) return -EIO;
        if (b.index >= memory_.size()) return -EINVAL;
        b.length = uint32_t(memory_[b.index].size());
        b.m.offset = uint32_t(b.index * kOffsetStep);
        return 0;
    }
    int queueBuffer(const v4l2_buffer &b) {
        if (!record("QBUF " + std::to_string(b.index))) return -EIO;
        if (b.index >= memory_.size() || std::find(queued_.begin(), queued_.end(), b.index) != queued_.end())
            return -EINVAL;
        queued_.push_back(b.index);
        wake_.notify_all();
        return 0;
    }
    int dequeueBuffer(v4l2_buffer &b) {
        record("DQBUF");
        if (!readable()) return -EAGAIN;
        Fill fill = std::move(script_.front());
        script_.pop_front();
        switch (fill.kind) {
        case Fill::Kind::Again:
            return -EAGAIN;
        case Fill::Kind::Gone:
            gone_ = true;
            return -ENODEV;
        case Fill::Kind::DriverError:
        case Fill::Kind::Frame:
            break;
        }
        b.index = queued_.front();
        queued_.pop_front();
        std::vector<uint8_t> &memory = memory_[b.index];
        std::copy_n(fill.bytes.begin(), std::min(fill.bytes.size(), memory.size()), memory.begin());
        b.bytesused = fill.bytesused.value_or(uint32_t(fill.bytes.size()));
        b.flags = fill.kind == Fill::Kind::DriverError ? V4L2_BUF_FLAG_ERROR : 0;
        return 0;
    }
    int streamSwitch(const char *entry, bool on) {
        if (!record(entry)) return -EIO;
        streaming_ = on;
        if (!on) queued_.clear();
        return 0;
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::string> journal_;
    std::deque<Fill> script_;
    std::vector<std::vector<uint8_t>> memory_;
    std::map<void *, size_t> mapped_;
    std::deque<uint32_t> queued_;
    uint32_t sizeimage_ = 0;
    bool open_ = false;
    bool streaming_ = false;
    bool gone_ = false;
    int opens_ = 0;
};

std::vector<uint8_t> jpegOf(QSize size, quint32 number = 1) {
    DemoPageRenderer renderer(QStringLiteral("Orb"), size);
    const auto bytes = renderer.render(number);
    return {bytes.begin(), bytes.end()};
}

// A source over a fake node, and what it delivered.
struct Rig {
    FakeV4L2Node *node = nullptr; // owned by the source
    std::unique_ptr<V4L2CaptureSource> source;
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<const Frame>> frames;

    explicit Rig(std::vector<std::pair<uint32_t, std::vector<QSize>>> formats = {
                     {V4L2_PIX_FMT_MJPEG, {{320, 240}, {640, 480}}}}) {
        auto fake = std::make_unique<FakeV4L2Node>();
        fake->formats = std::move(formats);
        node = fake.get();
        source = std::make_unique<V4L2CaptureSource>(QStringLiteral("/dev/video7"), std::move(fake));
    }
    bool start(QSize size) {
        return source->open() && source->start(size, [this](std::shared_ptr<const Frame> frame) {
            std::lock_guard lock(mutex);
            frames.push_back(std::move(frame));
        });
    }
    size_t count() const {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    std::shared_ptr<const Frame> frame(size_t i) const {
        std::lock_guard lock(mutex);
        return frames.at(i);
    }
    bool settle() const {
        return waitUntil([this] { return node->settled(); });
    }
};

std::vector<std::string> setUpCalls(int buffers) {
    std::vector<std::string> calls{"REQBUFS 4"};
    for (int i = 0; i < buffers; ++i) {
        calls.push_back("QUERYBUF " + std::to_string(i));
        calls.push_back("mmap " + std::to_string(i));
    }
    for (int i = 0; i < buffers; ++i)
        calls.push_back("QBUF " + std::to_string(i));
    calls.push_back("STREAMON");
    return calls;
}

std::vector<std::string> tearDownCalls(int buffers) {
    std::vector<std::string> calls{"STREAMOFF"};
    for (int i = 0; i < buffers; ++i)
        calls.push_back("munmap " + std::to_string(i));
    calls.push_back("REQBUFS 0");
    return calls;
}

} // namespace

TEST(V4L2CaptureSource, PrefersMjpegElseYuyvAtTheNearestOfferedSizeWithALogLine) {
    {
        Rig rig({{V4L2_PIX_FMT_YUYV, {{640, 480}}}, {V4L2_PIX_FMT_MJPEG, {{640, 480}, {1280, 960}}}});
        ASSERT_TRUE(rig.start({1280, 960}));
        EXPECT_FALSE(rig.node->journalFromLast("S_FMT 1280x960 MJPG").empty());
    }
    Rig rig({{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}}, {V4L2_PIX_FMT_NV12, {{1280, 960}}}});
    LogCapture log;
    ASSERT_TRUE(rig.start({1280, 960}));
    EXPECT_FALSE(rig.node->journalFromLast("S_FMT 1280x720 YUYV").empty());
    EXPECT_TRUE(log.contains("/dev/video7 has no 1280x960; using 1280x720"));

    Rig neither({{V4L2_PIX_FMT_NV12, {{1280, 960}}}});
    EXPECT_FALSE(neither.start({1280, 960}));
    EXPECT_TRUE(log.contains("offers neither MJPEG nor YUYV"));
    EXPECT_EQ(neither.node->liveMappings(), 0u);
}

TEST(V4L2CaptureSource, StreamsFromASmallFixedPoolSetUpInOrderAndGivesItAllBack) {
    Rig rig;
    ASSERT_TRUE(rig.start({320, 240}));
    EXPECT_EQ(rig.node->journalFromLast("REQBUFS 4"), setUpCalls(4));
    rig.node->clearJournal();
    rig.source->stop();
    EXPECT_EQ(rig.node->setUpJournal(), tearDownCalls(4));
    EXPECT_EQ(rig.node->liveMappings(), 0u);

    // A driver that insists on more buffers still sees only the small set circulate; one that grants
    // fewer streams with those.
    for (uint32_t granted : {8u, 2u}) {
        rig.node->grant = granted;
        ASSERT_TRUE(rig.source->start({320, 240}, [](auto) {}));
        EXPECT_EQ(rig.node->liveMappings(), std::min(granted, 4u));
        rig.source->stop();
        EXPECT_EQ(rig.node->liveMappings(), 0u);
    }
}

TEST(V4L2CaptureSource, AFailingSetUpStepLeavesNothingMappedAndTheNextStartWorks) {
    for (const std::string step : {"REQBUFS 4", "QUERYBUF 1", "mmap 2", "QBUF 3", "STREAMON"}) {
        Rig rig;
        rig.node->failing = step;
        LogCapture log;
        EXPECT_FALSE(rig.start({320, 240})) << step;
        EXPECT_EQ(rig.node->liveMappings(), 0u) << step;
        EXPECT_EQ(rig.node->setUpJournal().back(), "REQBUFS 0") << step;
        EXPECT_FALSE(rig.source->isRunning());
        EXPECT_FALSE(log.lines().isEmpty()) << step;
        rig.node->failing.clear();
        EXPECT_TRUE(rig.source->start({320, 240}, [](auto) {})) << step;
    }
}

TEST(V4L2CaptureSource, EagainWaitsForTheNextBufferWithoutLosingOrSpinning) {
    Rig rig;
    ASSERT_TRUE(rig.start({320, 240}));
    const auto first = jpegOf({320, 240}, 1);
    const auto second = jpegOf({320, 240}, 2);
    rig.node->scriptFrame(first);
    rig.node->script(FakeV4L2Node::Fill::Kind::Again);
    rig.node->script(FakeV4L2Node::Fill::Kind::Again);
    rig.node->scriptFrame(second);
    ASSERT_TRUE(rig.settle());
    ASSERT_TRUE(waitUntil([&] { return rig.count() == 2; }));
    const auto delivered = rig.frame(1)->jpeg();
    EXPECT_EQ(std::vector<uint8_t>(delivered.begin(), delivered.end()), second);
    EXPECT_EQ(rig.frame(0)->size(), QSize(320, 240));

    // Every dequeue, also the one after EAGAIN, was preceded by a wait on the node.
    const auto journal = rig.node->journal();
    const auto dequeues = std::count(journal.begin(), journal.end(), "DQBUF");
    EXPECT_EQ(dequeues, 4);
    for (size_t i = 1; i < journal.size(); ++i)
        if (journal[i] == "DQBUF") {
            EXPECT_EQ(journal[i - 1], "poll") << "entry " << i;
        }
}

TEST(V4L2CaptureSource, ShortCorruptOrMisfitMjpegBuffersAreDroppedLoggedAndRequeued) {
    Rig rig;
    LogCapture log;
    ASSERT_TRUE(rig.start({320, 240}));
    const auto good = jpegOf({320, 240});
    auto broken = good;
    std::fill(broken.begin() + 2, broken.begin() + 200, 0x5a);
    using Kind = FakeV4L2Node::Fill::Kind;
    rig.node->scriptFrame(good, 0);                         // nothing used
    rig.node->scriptFrame(good, 3);                         // too short to be anything
    rig.node->scriptFrame(good, uint32_t(good.size() / 2)); // cut off
    rig.node->scriptFrame(broken);                          // header destroyed
    rig.node->scriptFrame(jpegOf({640, 480}));              // a picture of another size
    rig.node->script({Kind::DriverError, good, {}});        // the driver says the buffer is bad
    rig.node->scriptFrame(good);
    rig.node->scriptFrame(good, 0);
    ASSERT_TRUE(rig.settle());
    ASSERT_TRUE(waitUntil([&] { return rig.source->droppedFrames() == 7; }));
    EXPECT_EQ(rig.count(), 1u);
    EXPECT_EQ(rig.frame(0)->jpeg().size(), good.size());
    // The first of a run of bad frames is logged, and the first after a good frame again.
    EXPECT_TRUE(log.contains("frame dropped (1 so far): no JPEG start (0 bytes)"));
    EXPECT_TRUE(log.contains("frame dropped (7 so far)"));
    EXPECT_TRUE(rig.source->isRunning());
}

TEST(V4L2CaptureSource, YuyvRowsWithPaddingBecomePlanesAndShortBuffersAreDropped) {
    Rig rig({{V4L2_PIX_FMT_YUYV, {{64, 48}}}});
    rig.node->rowPadding = 32;
    ASSERT_TRUE(rig.start({64, 48}));
    const size_t stride = 64 * 2 + 32;
    std::vector<uint8_t> yuyv(stride * 48, 0);
    for (size_t row = 0; row < 48; ++row)
        for (size_t x = 0; x < 32; ++x) {
            uint8_t *pair = &yuyv[row * stride + x * 4];
            pair[0] = pair[2] = uint8_t(row < 24 ? 200 : 60); // Y
            pair[1] = 100;                                    // U
            pair[3] = 50;                                     // V
        }
    rig.node->scriptFrame(yuyv, uint32_t(stride * 47)); // one row short
    rig.node->scriptFrame(yuyv);
    ASSERT_TRUE(rig.settle());
    ASSERT_TRUE(waitUntil([&] { return rig.count() == 1; }));
    EXPECT_EQ(rig.source->droppedFrames(), 1u);
    const I420Image *planes = rig.frame(0)->planes();
    ASSERT_NE(planes, nullptr);
    ASSERT_EQ(planes->size(), QSize(64, 48));
    EXPECT_EQ(planes->y()[0], 200);
    EXPECT_EQ(planes->y()[23 * 64 + 63], 200);
    EXPECT_EQ(planes->y()[24 * 64], 60);
    EXPECT_EQ(planes->y()[47 * 64 + 63], 60);
    EXPECT_EQ(planes->u()[23 * 32 + 31], 100);
    EXPECT_EQ(planes->v()[0], 50);
}

TEST(V4L2CaptureSource, VanishedDeviceEndsTheStreamAndARestartOpensTheNodeAgain) {
    Rig rig;
    LogCapture log;
    ASSERT_TRUE(rig.start({320, 240}));
    const auto good = jpegOf({320, 240});
    rig.node->scriptFrame(good);
    rig.node->script(FakeV4L2Node::Fill::Kind::Gone);
    rig.node->scriptFrame(good); // never reaches a consumer of the old stream
    ASSERT_TRUE(waitUntil([&] { return log.contains("/dev/video7: device gone; stream ended"); }));
    EXPECT_EQ(rig.count(), 1u);
    // The owner's state stays as it left it: its watchdog sees the silence and restarts.
    EXPECT_TRUE(rig.source->isRunning());

    // A restart while the camera is still away fails and leaves nothing behind; once it is back the
    // node is opened again and streams.
    rig.source->stop();
    EXPECT_FALSE(rig.source->start({320, 240}, [](auto) {}));
    EXPECT_EQ(rig.node->liveMappings(), 0u);
    rig.node->reconnect();
    ASSERT_TRUE(rig.start({320, 240}));
    EXPECT_EQ(rig.node->opens(), 2);
    ASSERT_TRUE(rig.settle());
    EXPECT_TRUE(waitUntil([&] { return rig.count() == 2; }));
    rig.source->close();
    EXPECT_EQ(rig.node->liveMappings(), 0u);
}

TEST(V4L2CaptureSource, TheWatchdogBringsBackAStreamWhoseDeviceVanished) {
    FakeV4L2Node *node = nullptr;
    DCCaptureViewController::Dependencies d;
    const DCCameraPtr camera = DCCameraWrenHD::camera();
    d.currentCamera = [&] { return camera; };
    d.findDevice = [&](const DCCameraPtr &) -> std::unique_ptr<CaptureSource> {
        auto fake = std::make_unique<FakeV4L2Node>();
        fake->formats = {{V4L2_PIX_FMT_MJPEG, {{640, 480}}}};
        node = fake.get();
        return std::make_unique<V4L2CaptureSource>(QStringLiteral("/dev/video7"), std::move(fake));
    };
    d.watchdogTimer = false;
    DCCaptureViewController controller(d);
    LogCapture log;
    controller.start();
    ASSERT_TRUE(controller.isSessionRunning());
    const auto good = jpegOf({640, 480});
    node->scriptFrame(good);
    node->script(FakeV4L2Node::Fill::Kind::Gone);
    ASSERT_TRUE(waitUntil([&] { return log.contains("device gone; stream ended"); }));
    EXPECT_EQ(controller.frameCount(), 1u);

    controller.watchdogProc(); // the frame came in this period
    controller.watchdogProc(); // silence: a restart, which fails while the camera is away
    EXPECT_TRUE(log.contains("restart of the frozen stream failed"));
    node->reconnect();
    controller.watchdogProc();
    node->scriptFrame(good);
    EXPECT_TRUE(waitUntil([&] { return controller.frameCount() == 2; }));
    controller.stop(); // also ends the node, which the source owns
}

TEST(V4L2CaptureSource, SizeChangeWhileStreamingRenegotiatesWithFreshBuffers) {
    Rig rig;
    LogCapture log;
    ASSERT_TRUE(rig.start({320, 240}));
    rig.node->scriptFrame(jpegOf({320, 240}));
    ASSERT_TRUE(rig.settle());
    rig.node->clearJournal();

    ASSERT_TRUE(rig.source->setResolution({640, 480}));
    std::vector<std::string> expected = tearDownCalls(4);
    expected.insert(expected.end(), {"S_FMT 640x480 MJPG"});
    const auto setUp = setUpCalls(4);
    expected.insert(expected.end(), setUp.begin(), setUp.end());
    EXPECT_EQ(rig.node->setUpJournal(), expected);
    EXPECT_TRUE(rig.source->isRunning());

    // A picture still of the old size is refused; the new size flows.
    rig.node->scriptFrame(jpegOf({320, 240}));
    rig.node->scriptFrame(jpegOf({640, 480}));
    ASSERT_TRUE(rig.settle());
    ASSERT_TRUE(waitUntil([&] { return rig.count() == 2; }));
    EXPECT_EQ(rig.frame(1)->size(), QSize(640, 480));
    EXPECT_TRUE(log.contains("expected 640x480"));
}

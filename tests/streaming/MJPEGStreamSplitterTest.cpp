#include "streaming/MJPEGStreamSplitter.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "StreamTestSupport.h"

namespace {

// Collects what a splitter delivers and says.
struct Sink {
    std::vector<Bytes> parts;
    std::vector<std::string> notes;
    MJPEGStreamSplitter splitter;

    explicit Sink(std::size_t bound = MJPEGStreamSplitter::kMaxBufferedBytes)
        : splitter([this](MJPEGStreamSplitter::Part part) { parts.push_back(*part); }, bound) {
        splitter.setDiagnosticHandler([this](std::string_view text) { notes.emplace_back(text); });
    }
    bool feed(std::string_view bytes) { return splitter.append(bytes.data(), bytes.size()); }
};

const std::string kOwnType = "multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"";
const std::string kSeparator = "\n--ca3cdghdujhihal3\n";

std::string ownPart(const Bytes &jpeg) {
    return "Content-Type: image/jpeg\n\n" + asString(jpeg) + kSeparator;
}

} // namespace

TEST(MJPEGStreamSplitterBoundary, QuotedAndBareParametersGiveTheSameSeparator) {
    for (const char *type :
         {"multipart/x-mixed-replace; boundary=\"abc\"", "multipart/x-mixed-replace;boundary=abc",
          "multipart/x-mixed-replace; BOUNDARY = abc ; charset=x",
          "multipart/x-mixed-replace; charset=\"a;b\"; boundary=\"abc\""}) {
        Sink sink;
        sink.splitter.response(type);
        EXPECT_EQ(sink.splitter.separator(), "\n--abc\n") << type;
    }
    EXPECT_FALSE(MJPEGStreamSplitter::boundaryOf("multipart/x-mixed-replace").has_value());
}

TEST(MJPEGStreamSplitterOwnFormat, FrameInManyPiecesIsDeliveredOnceWhenItsSeparatorArrives) {
    const Bytes jpeg = makeJpeg(64, 48, 1);
    const std::string stream = "--ca3cdghdujhihal3\n" + ownPart(jpeg);
    Sink sink;
    sink.splitter.response(kOwnType);
    for (std::size_t i = 0; i + 1 < stream.size(); ++i)
        ASSERT_TRUE(sink.feed(stream.substr(i, 1)));
    EXPECT_TRUE(sink.parts.empty()) << "delivered before the separator was complete";
    sink.feed(stream.substr(stream.size() - 1));
    ASSERT_EQ(sink.parts.size(), 1u);
    EXPECT_EQ(sink.parts[0], jpeg);
    EXPECT_EQ(sink.splitter.bufferedBytes(), 0u);
}

TEST(MJPEGStreamSplitterOwnFormat, TwoFramesInOneDeliveryComeInOrderAndAnIncompleteOneWaits) {
    const Bytes a = makeJpeg(32, 32, 1), b = makeJpeg(32, 32, 2), c = makeJpeg(32, 32, 3);
    const std::string third = ownPart(c);
    Sink sink;
    sink.splitter.response(kOwnType);
    sink.feed("--ca3cdghdujhihal3\n" + ownPart(a) + ownPart(b) + third.substr(0, 100));
    ASSERT_EQ(sink.parts.size(), 2u);
    EXPECT_EQ(sink.parts[0], a);
    EXPECT_EQ(sink.parts[1], b);
    sink.feed(third.substr(100));
    ASSERT_EQ(sink.parts.size(), 3u);
    EXPECT_EQ(sink.parts[2], c);
}

// Every framing, cut at every kind of piece size, yields exactly its frames, whether the pieces are
// appended or written in place as from a socket (room for more than arrives); framings with text parts or
// lying lengths say so.
TEST(MJPEGStreamSplitterFormats, EachCaptureYieldsExactlyItsFramesWhateverThePieces) {
    for (const Capture &capture : makeCaptures(5)) {
        for (const std::vector<std::size_t> &sizes : std::vector<std::vector<std::size_t>>{
                 {1}, {2, 3, 5}, {7, 1000}, {1, 700, 5000}, {64 * 1024}, {capture.body.size()}}) {
            const bool inPlace = sizes.size() == 3;
            Sink sink;
            sink.splitter.response(capture.contentType);
            for (std::string_view piece : piecesOf(capture.body, sizes)) {
                if (!inPlace) {
                    ASSERT_TRUE(sink.feed(piece));
                    continue;
                }
                std::copy(piece.begin(), piece.end(), sink.splitter.prepare(8192));
                ASSERT_TRUE(sink.splitter.commit(piece.size()));
            }
            sink.splitter.finish();
            EXPECT_EQ(sink.parts, capture.frames) << capture.name << " in pieces of " << sizes[0];
            if (capture.name == "MixedParts" || capture.name == "WrongLength") {
                EXPECT_FALSE(sink.notes.empty()) << capture.name;
            }
            // A reset between prepare and commit drops what was being read.
            sink.splitter.prepare(8192);
            sink.splitter.reset();
            EXPECT_TRUE(sink.splitter.commit(100));
            EXPECT_EQ(sink.splitter.bufferedBytes(), 0u);
        }
    }
}

TEST(MJPEGStreamSplitterFormats, TheStreamsBoundaryWinsOverAMissingOrWrongHeaderParameter) {
    const Bytes a = makeJpeg(32, 32, 1), b = makeJpeg(32, 32, 2);
    const std::string body = "--real\r\nContent-Type: image/jpeg\r\n\r\n" + asString(a) +
                             "\r\n--real\r\nContent-Type: image/jpeg\r\n\r\n" + asString(b) +
                             "\r\n--real\r\n";
    for (const char *type : {"multipart/x-mixed-replace", "multipart/x-mixed-replace; boundary=other", ""}) {
        Sink sink;
        sink.splitter.response(type);
        sink.feed(body);
        EXPECT_EQ(sink.parts, (std::vector<Bytes>{a, b})) << type;
        EXPECT_EQ(sink.splitter.separator(), "\n--real\n");
    }
}

TEST(MJPEGStreamSplitterFormats, LastLengthDelimitedPartNeedsNoBoundaryButACutPartIsDropped) {
    const Bytes a = makeJpeg(32, 32, 1);
    Sink sink;
    sink.splitter.response("multipart/x-mixed-replace; boundary=q");
    sink.feed("--q\r\nContent-Length: " + std::to_string(a.size()) + "\r\n\r\n" + asString(a));
    EXPECT_EQ(sink.splitter.finish(), 0u);
    ASSERT_EQ(sink.parts.size(), 1u);

    Sink cut;
    cut.splitter.response("multipart/x-mixed-replace; boundary=q");
    cut.feed("--q\r\nContent-Type: image/jpeg\r\n\r\n" + asString(a).substr(0, 200));
    EXPECT_EQ(cut.splitter.finish(), 200u);
    EXPECT_TRUE(cut.parts.empty());
}

TEST(MJPEGStreamSplitterPerPart, EachImageResponseDeliversThePreviousPartWhole) {
    // An image with an embedded thumbnail has an end-of-image marker before its own.
    Bytes withThumbnail = makeJpeg(32, 32, 1);
    const Bytes thumbnail = makeJpeg(8, 8, 2);
    Bytes app1 = {0xFF, 0xE1, 0, 0};
    app1.insert(app1.end(), thumbnail.begin(), thumbnail.end());
    app1[2] = static_cast<std::uint8_t>((app1.size() - 2) >> 8);
    app1[3] = static_cast<std::uint8_t>((app1.size() - 2) & 0xFF);
    withThumbnail.insert(withThumbnail.begin() + 2, app1.begin(), app1.end());

    Sink sink;
    sink.splitter.response("image/jpeg");
    sink.feed(asString(withThumbnail) + "\r\n");
    sink.splitter.response("image/jpeg");
    ASSERT_EQ(sink.parts.size(), 1u);
    EXPECT_EQ(sink.parts[0], withThumbnail);

    sink.feed("no image here");
    sink.splitter.response("image/jpeg");
    EXPECT_EQ(sink.parts.size(), 1u);
    ASSERT_EQ(sink.notes.size(), 1u);
    EXPECT_EQ(sink.notes[0], "Invalid JPEG");

    sink.feed(asString(makeJpeg(16, 16, 3)));
    sink.splitter.finish();
    EXPECT_EQ(sink.parts.size(), 2u) << "the last part of a finished body is not lost";
}

TEST(MJPEGStreamSplitterBadInput, AStreamWithoutBoundariesEndsAtTheBound) {
    Sink sink(64 * 1024);
    sink.splitter.response("multipart/x-mixed-replace; boundary=never");
    sink.feed("--never\r\nContent-Type: image/jpeg\r\n\r\n");
    const std::string junk(1000, 'x');
    int accepted = 0;
    while (accepted < 1000 && sink.feed(junk))
        ++accepted;
    EXPECT_EQ(accepted, 65);
    EXPECT_EQ(sink.splitter.bufferedBytes(), 0u);
}

TEST(MJPEGStreamSplitterBadInput, EndlessPartHeadersAreSkippedWithBoundedMemory) {
    const Bytes a = makeJpeg(32, 32, 1);
    Sink sink;
    sink.splitter.response("multipart/x-mixed-replace; boundary=h");
    sink.feed("--h\r\n");
    for (int i = 0; i < 5000; ++i) {
        ASSERT_TRUE(sink.feed("X-Header-" + std::to_string(i) + ": some value\r\n"));
        ASSERT_LT(sink.splitter.bufferedBytes(), 2 * MJPEGStreamSplitter::kMaxPartHeaderBytes);
    }
    sink.feed("\r\n--h\r\nContent-Type: image/jpeg\r\n\r\n" + asString(a) + "\r\n--h\r\n");
    ASSERT_EQ(sink.parts.size(), 1u);
    EXPECT_EQ(sink.parts[0], a);
    EXPECT_EQ(sink.notes.size(), 1u);
}

TEST(MJPEGStreamSplitterBadInput, GarbageAndHugeLengthsNeitherCrashNorDeliver) {
    Sink sink(1024 * 1024);
    sink.splitter.response(kOwnType);
    const std::string bytes = garbage(200000);
    for (std::string_view piece : piecesOf(bytes, {333}))
        sink.feed(piece);
    EXPECT_TRUE(sink.parts.empty());
    EXPECT_LE(sink.splitter.bufferedBytes(), 1024u * 1024u);

    Sink huge(1024 * 1024);
    huge.splitter.response(kOwnType);
    huge.feed("--ca3cdghdujhihal3\nContent-Length: 104857600\n\n");
    ASSERT_EQ(huge.notes.size(), 1u);
    EXPECT_NE(huge.notes[0].find("104857600"), std::string::npos);
}

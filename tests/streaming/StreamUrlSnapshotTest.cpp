// --snapshot of a camera given by --stream-url, against a stream server on loopback.
#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "app/SnapshotRun.h"
#include "streaming/HTTPServer.h"
#include "streaming/JpegFrame.h"

TEST(StreamUrlSnapshot, PhotoShowsThePictureTheStreamServes) {
    HTTPServer server({.port = 0});
    server.start();
    ASSERT_EQ(server.state(), HTTPServer::Running);
    // At the size the pipeline selects for a camera without stored settings, so nothing waits for another.
    const Bytes served = makeJpeg(1280, 960, 3, 90);
    server.publishFrame(JpegFrame::make(served));

    PrivateHome home;
    const QString url = QStringLiteral("http://127.0.0.1:%1/stream").arg(server.port());
    const ProgramRun r = home.run({QStringLiteral("--snapshot"), QStringLiteral("--stream-url"), url});
    server.stop();
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.err);
    const auto photo = decodeJpegFile(r.out.toStdString());
    const auto expected = decodeJpeg(served);
    ASSERT_TRUE(photo) << qPrintable(r.out);
    ASSERT_TRUE(expected);
    EXPECT_EQ(photo->width, 1280);
    EXPECT_EQ(photo->height, 960);
    EXPECT_LT(meanDifference(*photo, *expected), 6.0);
}

#include "ui/model/AboutInfo.h"

#include <gtest/gtest.h>

TEST(AboutInfo, FirmwareIsTheHighThenTheLowByteInLowerCaseHex) {
    const struct {
        uint16_t version;
        const char *text;
    } cases[] = {{0x0102, "0102"}, {0x1A0B, "1a0b"}, {0, "0000"}, {0xFFFF, "ffff"}};
    for (const auto &c : cases)
        EXPECT_EQ(AboutInfo::firmwareText(c.version), QString::fromLatin1(c.text)) << c.version;
    EXPECT_EQ(AboutInfo::softwareText(QStringLiteral("0.12.0"), QStringLiteral("431")), "0.12.0 Build 431");
}

#include "ui/model/ScreenChoice.h"

#include <gtest/gtest.h>

namespace {

ScreenChoice withScreens(std::initializer_list<const char *> names, const QString &chosen = {}) {
    ScreenChoice choice;
    QList<ScreenChoice::Screen> screens;
    for (const char *name : names)
        screens.append({QString::fromLatin1(name), QSize(1920, 1080)});
    choice.setScreens(screens);
    choice.choose(chosen);
    return choice;
}

} // namespace

TEST(ScreenChoice, TargetIsTheChosenScreenWhileItIsThereElseTheWindowsScreen) {
    const struct {
        std::initializer_list<const char *> screens;
        const char *chosen, *window, *target;
    } cases[] = {
        {{"eDP-1"}, "", "eDP-1", "eDP-1"},                  // one screen
        {{"eDP-1", "HDMI-1"}, "", "eDP-1", "eDP-1"},        // no choice: where the window is
        {{"eDP-1", "HDMI-1"}, "HDMI-1", "eDP-1", "HDMI-1"}, // the projector, chosen
        {{"eDP-1"}, "HDMI-1", "eDP-1", "eDP-1"},            // chosen but not plugged in today
        {{"eDP-1", "HDMI-1"}, "", "gone", "eDP-1"},         // a window on no known screen: the first
        {{}, "", "eDP-1", ""},                              // nothing to show on
    };
    for (const auto &c : cases) {
        const ScreenChoice choice = withScreens(c.screens, QString::fromLatin1(c.chosen));
        EXPECT_EQ(choice.target(QString::fromLatin1(c.window)), QString::fromLatin1(c.target))
            << c.chosen << " / " << c.window;
    }
}

TEST(ScreenChoice, AnUnpluggedProjectorGivesWayToARemainingScreen) {
    // After the removal the list no longer has it.
    const ScreenChoice left = withScreens({"eDP-1"}, QStringLiteral("HDMI-1"));
    EXPECT_EQ(left.afterRemoval(QStringLiteral("HDMI-1"), QStringLiteral("HDMI-1"), QStringLiteral("eDP-1")),
              QStringLiteral("eDP-1"));
    // Another screen going leaves full screen where it is.
    const ScreenChoice two = withScreens({"eDP-1", "HDMI-1"});
    EXPECT_EQ(two.afterRemoval(QStringLiteral("HDMI-1"), QStringLiteral("DP-2"), QStringLiteral("eDP-1")),
              QStringLiteral("HDMI-1"));
    EXPECT_EQ(withScreens({}).afterRemoval(QStringLiteral("eDP-1"), QStringLiteral("eDP-1"), QString()),
              QString());
}

TEST(ScreenChoice, TheMenuNamesEachScreenWithItsSize) {
    EXPECT_FALSE(withScreens({"eDP-1"}).offersChoice());
    EXPECT_TRUE(withScreens({"eDP-1", "HDMI-1"}).offersChoice());
    EXPECT_EQ(ScreenChoice::title({QStringLiteral("HDMI-1"), QSize(1920, 1080)}),
              QStringLiteral("HDMI-1 (1920 x 1080)"));
}

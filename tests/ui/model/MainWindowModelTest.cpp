#include "ui/model/MainWindowModel.h"

#include <algorithm>

#include <QStringList>

#include <gtest/gtest.h>

#include "WindowModelRig.h"
#include "core/DCNotificationCenter.h"
#include "core/DCVocabulary.h"
#include "devices/DCCameraWren.h"
#include "devices/KorvaFixture.h"

using Mode = WindowMode;
using View = MainWindowModel::View;
using Button = MainWindowModel::ModeButton;
using Command = MainWindowModel::KeyCommand;

namespace {

// What the window was asked to do, in order.
struct WindowLog {
    QStringList events;
    explicit WindowLog(MainWindowModel &w) {
        QObject::connect(&w, &MainWindowModel::modeChanged,
                         [this](Mode m) { events << QStringLiteral("mode %1").arg(static_cast<int>(m)); });
        QObject::connect(&w, &MainWindowModel::currentViewChanged,
                         [this](View v) { events << QStringLiteral("view %1").arg(static_cast<int>(v)); });
        QObject::connect(&w, &MainWindowModel::fullScreenRequested,
                         [this](bool on) { events << (on ? "full screen" : "window"); });
    }
};

int count(const QStringList &events, const QString &prefix) {
    return static_cast<int>(
        std::count_if(events.begin(), events.end(), [&](const QString &e) { return e.startsWith(prefix); }));
}

} // namespace

TEST(MainWindowModel, TheFirstModeAlwaysActsAndARepeatDoesNothing) {
    WindowModelRig rig;
    WindowLog log(*rig.window);
    ASSERT_EQ(rig.window->mode(), Mode::Unset);
    rig.window->setMode(Mode::Camera);
    rig.window->setMode(Mode::Camera);
    EXPECT_EQ(log.events, QStringList({"view 1", "mode 0"}));
    EXPECT_TRUE(rig.window->isStatusStripVisible());
    EXPECT_EQ(rig.window->toolbar(), MainWindowModel::Toolbar::CameraMode);
}

TEST(MainWindowModel, FullScreenFromReviewPassesThroughCameraMode) {
    WindowModelRig rig;
    rig.window->setMode(Mode::Review);
    rig.toolbar->setIndexOfZoomItem(3); // the overlay's zoom decides the full-screen picture's zoom
    WindowLog log(*rig.window);
    rig.window->setMode(Mode::FullScreen);
    EXPECT_EQ(log.events, QStringList({"view 1", "mode 0", "full screen", "mode 1"}));
    EXPECT_FLOAT_EQ(rig.capture->zoom(), 3.0f);
    // Entering full screen again while there changes nothing; camera mode leaves it.
    rig.window->enterFullScreenMode();
    rig.window->setMode(Mode::Camera);
    EXPECT_EQ(count(log.events, "full screen"), 1);
    EXPECT_EQ(log.events.last(), "mode 0");
    EXPECT_FALSE(rig.window->isFullScreen());
}

TEST(MainWindowModel, LeavingFullScreenNeedsTheFullScreenWindowToBeKey) {
    WindowModelRig rig;
    rig.window->setMode(Mode::FullScreen);
    rig.window->fullScreenWindowWantsExit();
    EXPECT_EQ(rig.window->mode(), Mode::FullScreen);
    rig.window->setFullScreenWindowActive(true);
    rig.window->fullScreenWindowWantsExit();
    EXPECT_EQ(rig.window->mode(), Mode::Camera);
    EXPECT_EQ(rig.window->upButton(), Button::Camera);
    // A double click in camera mode goes back.
    rig.window->mainWindowDoubleClicked();
    EXPECT_EQ(rig.window->mode(), Mode::FullScreen);
}

TEST(MainWindowModel, ClosingInReviewModeReopensInReviewMode) {
    WindowModelRig rig;
    rig.window->setMode(Mode::Review);
    EXPECT_TRUE(rig.window->windowShouldClose());
    EXPECT_EQ(rig.window->mode(), Mode::Camera);
    rig.window->showWindow();
    EXPECT_EQ(rig.window->mode(), Mode::Review);
    // Closed in camera mode, it reopens as it was.
    rig.window->setMode(Mode::Camera);
    rig.window->windowShouldClose();
    rig.window->showWindow();
    EXPECT_EQ(rig.window->mode(), Mode::Camera);
}

TEST(MainWindowModel, TitlesFollowTheModeAndTheCamera) {
    WindowModelRig rig;
    KorvaFixture<DCCameraWren> wren(QStringLiteral("Wren"));
    rig.current = wren.camera;
    rig.window->setMode(Mode::Camera);
    EXPECT_EQ(rig.window->title(), "Korva Lectern - Wren");
    rig.window->setMode(Mode::Review);
    EXPECT_EQ(rig.window->title(), "Korva Lectern");
    rig.window->setMode(Mode::Evernote); // keeps the title it had
    EXPECT_EQ(rig.window->title(), "Korva Lectern");
    EXPECT_EQ(rig.window->toolbar(), MainWindowModel::Toolbar::None);
}

TEST(MainWindowModel, ModeButtonsMarkTheModeAndLockToTheCurrentOne) {
    WindowModelRig rig;
    rig.window->setMode(Mode::Camera);
    rig.window->changeMode(Button::Review);
    EXPECT_EQ(rig.window->mode(), Mode::Review);
    EXPECT_EQ(rig.window->upButton(), Button::Review);
    // A mode reached another way (the View menu, reopening the window) is marked as well.
    rig.window->setMode(Mode::Camera);
    EXPECT_EQ(rig.window->upButton(), Button::Camera);
    rig.window->setMode(Mode::Review);
    rig.window->lockMode();
    for (const Button b : {Button::Camera, Button::Project, Button::Evernote})
        EXPECT_FALSE(rig.window->isModeButtonEnabled(b));
    EXPECT_TRUE(rig.window->isModeButtonEnabled(Button::Review));
    rig.window->unlockMode();
    EXPECT_TRUE(rig.window->isModeButtonEnabled(Button::Camera));
    EXPECT_TRUE(MainWindowModel::isModeButtonHidden(Button::Evernote));
}

TEST(MainWindowModel, KeysMapToCommands) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        Command command;
    };
    const Case cases[] = {
        {Qt::Key_A, Qt::ControlModifier, Command::SelectAll},
        {Qt::Key_A, Qt::NoModifier, Command::None},
        {Qt::Key_C, Qt::NoModifier, Command::CopyPhoto},
        {Qt::Key_C, Qt::ControlModifier, Command::CopyPhoto},
        {Qt::Key_Return, Qt::NoModifier, Command::Enter},
        {Qt::Key_Backspace, Qt::NoModifier, Command::Delete},
        {Qt::Key_Delete, Qt::NoModifier, Command::Delete},
        {Qt::Key_Equal, Qt::NoModifier, Command::ZoomIn},
        {Qt::Key_Minus, Qt::NoModifier, Command::ZoomOut},
        {Qt::Key_Left, Qt::NoModifier, Command::SelectPrevious},
        {Qt::Key_Right, Qt::NoModifier, Command::SelectNext},
        {Qt::Key_B, Qt::ControlModifier, Command::None},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MainWindowModel::commandForKey(c.key, c.modifiers), c.command) << c.key;
}

TEST(MainWindowModel, KeyCommandsActOnlyWhereTheModeAllows) {
    struct Case {
        Mode mode;
        Command command;
        bool acts;
    };
    const Case cases[] = {
        {Mode::Camera, Command::Enter, true},     {Mode::FullScreen, Command::Enter, true},
        {Mode::Review, Command::Enter, false},    {Mode::Camera, Command::Delete, false},
        {Mode::Review, Command::Delete, true},    {Mode::Camera, Command::CopyPhoto, false},
        {Mode::Review, Command::CopyPhoto, true}, {Mode::Camera, Command::SelectAll, false},
        {Mode::Review, Command::SelectAll, true}, {Mode::Evernote, Command::SelectAll, true},
        {Mode::Evernote, Command::Delete, false},
    };
    for (const Case &c : cases) {
        WindowModelRig rig;
        int snapshots = 0;
        DCObserverSet observers;
        observers.add(DCNote::DCNotificationSnapshot, [&](const DCNotification &) { ++snapshots; });
        rig.window->setMode(c.mode);
        EXPECT_EQ(rig.window->perform(c.command), c.acts)
            << static_cast<int>(c.mode) << " " << static_cast<int>(c.command);
        EXPECT_EQ(snapshots, c.command == Command::Enter && c.acts ? 1 : 0);
    }
}

TEST(MainWindowModel, LaunchedFourTenthsOfASecondAfterStartUp) {
    WindowModelRig rig;
    int launches = 0;
    QObject::connect(rig.window.get(), &MainWindowModel::launched, [&] { ++launches; });
    rig.window->applicationDidFinishLaunching();
    rig.timers.advance(Ms(399));
    EXPECT_FALSE(rig.window->isLaunched());
    rig.timers.advance(Ms(1));
    EXPECT_TRUE(rig.window->isLaunched());
    EXPECT_EQ(launches, 1);
    // Once launched, camera mode shows the overlay.
    bool overlayShown = false;
    QObject::connect(rig.window.get(), &MainWindowModel::overlayVisibleChanged,
                     [&](bool v) { overlayShown = v; });
    rig.window->setMode(Mode::Camera);
    EXPECT_TRUE(overlayShown);
}

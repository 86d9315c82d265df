#pragma once

#include <QList>
#include <QSize>
#include <QString>

// Which screen full screen goes to. A teacher's projector is usually a second screen: the user picks
// it once by name ("Present on"), and the choice holds across runs for as long as a screen of that
// name is connected. Without a choice (or with the chosen screen absent) the picture goes to the
// screen that holds the main window. A screen unplugged during full screen gives way to one that is
// still there, never to nothing.
//
// Plain values, no Qt GUI: the window feeds it QGuiApplication::screens().
class ScreenChoice {
public:
    struct Screen {
        QString name;
        QSize size;
        bool operator==(const Screen &) const = default;
    };

    // The screens connected now, in the system's order (the first is the primary).
    void setScreens(QList<Screen> screens) { screens_ = std::move(screens); }
    const QList<Screen> &screens() const { return screens_; }
    // The user's pick; empty for "where the window is".
    void choose(const QString &name) { chosen_ = name; }
    const QString &chosen() const { return chosen_; }

    // The menu offers a choice only when there is one to make.
    bool offersChoice() const { return screens_.size() > 1; }
    // "HDMI-1 (1920 x 1080)": the name and the size, so two projectors of one make can be told apart.
    static QString title(const Screen &screen);

    // The screen to present on, given the one holding the main window; empty with no screen at all.
    QString target(const QString &windowScreen) const;
    // Full screen is on `showing` and `removed` went away: the screen to move to (the same when another
    // screen went), or empty when none is left.
    QString afterRemoval(const QString &showing, const QString &removed, const QString &windowScreen) const;

private:
    bool has(const QString &name) const;

    QList<Screen> screens_;
    QString chosen_;
};

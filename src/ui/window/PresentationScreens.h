#pragma once

#include <functional>

#include <QObject>

#include "ui/model/ScreenChoice.h"

class QMenu;
class QScreen;
class QWidget;

// The screen full screen goes to, chosen in a "Present on" menu that names each connected screen.
// The choice is remembered by the screen's name across runs. Screens plugged in or out update the
// menu; when the screen showing full screen goes, `moveRequested` names the one to move to.
//
// Main thread only.
class PresentationScreens : public QObject {
    Q_OBJECT
public:
    // `windowScreen` answers the screen that holds the main window.
    PresentationScreens(std::function<QScreen *()> windowScreen, QObject *parent = nullptr);

    // The screen to present on now.
    QScreen *target() const;
    // The "Present on" menu; shown only while there is more than one screen. Owned by `parent`.
    QMenu *makeMenu(QWidget *parent);
    void presentOn(const QString &name);

    // Which screen full screen shows on now (null when it is not showing).
    void setShowing(QScreen *screen) { showing_ = screen; }

Q_SIGNALS:
    void moveRequested(QScreen *screen);

private:
    void refresh(QScreen *leaving);
    void screenRemoved(QScreen *screen);
    void fillMenu(QMenu *menu);
    static QScreen *screenNamed(const QString &name);

    std::function<QScreen *()> windowScreen_;
    ScreenChoice choice_;
    QScreen *showing_ = nullptr;
};

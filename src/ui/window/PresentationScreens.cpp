#include "PresentationScreens.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>

#include "core/DCLog.h"

namespace {
const QString kChosenScreenKey = QStringLiteral("FullScreen/screen");
} // namespace

PresentationScreens::PresentationScreens(std::function<QScreen *()> windowScreen, QObject *parent)
    : QObject(parent), windowScreen_(std::move(windowScreen)) {
    choice_.choose(QSettings().value(kChosenScreenKey).toString());
    refresh(nullptr);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this] { refresh(nullptr); });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &PresentationScreens::screenRemoved);
}

// `leaving` may still be on Qt's list while its removal is told.
void PresentationScreens::refresh(QScreen *leaving) {
    QList<ScreenChoice::Screen> screens;
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != leaving) screens.append({screen->name(), screen->size()});
    choice_.setScreens(screens);
}

QScreen *PresentationScreens::screenNamed(const QString &name) {
    for (QScreen *screen : QGuiApplication::screens())
        if (screen->name() == name) return screen;
    return nullptr;
}

QScreen *PresentationScreens::target() const {
    QScreen *window = windowScreen_();
    QScreen *screen = screenNamed(choice_.target(window ? window->name() : QString()));
    return screen ? screen : window;
}

void PresentationScreens::presentOn(const QString &name) {
    choice_.choose(name);
    QSettings().setValue(kChosenScreenKey, name);
    if (showing_ && target() != showing_) Q_EMIT moveRequested(target());
}

// Qt moves the windows of a screen that goes, but not full screen.
void PresentationScreens::screenRemoved(QScreen *removed) {
    const QString gone = removed->name();
    refresh(removed);
    if (!showing_) return;
    const QString showingName = showing_ == removed ? gone : showing_->name();
    QScreen *window = windowScreen_();
    const QString next =
        choice_.afterRemoval(showingName, gone, window && window != removed ? window->name() : QString());
    if (next == showingName) return;
    DCLog("The screen %s went away during full screen; the picture moves to %s", qUtf8Printable(gone),
          qUtf8Printable(next));
    showing_ = screenNamed(next);
    if (showing_) Q_EMIT moveRequested(showing_);
}

QMenu *PresentationScreens::makeMenu(QWidget *parent) {
    auto *menu = new QMenu(tr("Present on"), parent);
    const auto update = [this, menu] {
        menu->menuAction()->setVisible(choice_.offersChoice());
        fillMenu(menu);
    };
    connect(menu, &QMenu::aboutToShow, menu, update);
    connect(qGuiApp, &QGuiApplication::screenAdded, menu, update);
    connect(qGuiApp, &QGuiApplication::screenRemoved, menu, update, Qt::QueuedConnection);
    update();
    return menu;
}

void PresentationScreens::fillMenu(QMenu *menu) {
    menu->clear();
    auto *group = new QActionGroup(menu);
    QScreen *current = target();
    for (const ScreenChoice::Screen &screen : choice_.screens()) {
        QAction *item = menu->addAction(ScreenChoice::title(screen));
        item->setCheckable(true);
        item->setChecked(current && current->name() == screen.name);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, name = screen.name] { presentOn(name); });
    }
}

#include "PresentationScreens.h"

#include <QActionGroup>
#include <QGuiApplication>
#include <QHash>
#include <QMenu>
#include <QScreen>
#include <QSettings>

#include "core/DCLog.h"

namespace {
const QString kChosenScreenKey = QStringLiteral("FullScreen/screen");

// Screens by the names the user sees and the choice is kept under. Names are usually connectors
// ("HDMI-1"), but two X screens of one display are both called "screen": the second and later of a
// name are told apart as "screen #2", ... in the system's order.
QList<std::pair<QScreen *, QString>> namedScreens() {
    QList<std::pair<QScreen *, QString>> named;
    QHash<QString, int> seen;
    for (QScreen *screen : QGuiApplication::screens()) {
        const int n = ++seen[screen->name()];
        named.append({screen, n == 1 ? screen->name() : QStringLiteral("%1 #%2").arg(screen->name()).arg(n)});
    }
    return named;
}

// A screen being removed may already be off Qt's list: its own name stands then.
QString nameOf(const QScreen *screen) {
    if (!screen) return {};
    for (const auto &[each, name] : namedScreens())
        if (each == screen) return name;
    return screen->name();
}
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
    for (const auto &[screen, name] : namedScreens())
        if (screen != leaving) screens.append({name, screen->size()});
    choice_.setScreens(screens);
}

QScreen *PresentationScreens::screenNamed(const QString &name) {
    for (const auto &[screen, each] : namedScreens())
        if (each == name) return screen;
    return nullptr;
}

QScreen *PresentationScreens::target() const {
    QScreen *window = windowScreen_();
    QScreen *screen = screenNamed(choice_.target(nameOf(window)));
    return screen ? screen : window;
}

void PresentationScreens::presentOn(const QString &name) {
    choice_.choose(name);
    QSettings().setValue(kChosenScreenKey, name);
    if (showing_ && target() != showing_) Q_EMIT moveRequested(target());
}

// Qt moves the windows of a screen that goes, but not full screen.
void PresentationScreens::screenRemoved(QScreen *removed) {
    const QString gone = nameOf(removed);
    const QString showingName = nameOf(showing_);
    QScreen *window = windowScreen_();
    const QString windowName = window != removed ? nameOf(window) : QString();
    refresh(removed);
    if (!showing_) return;
    const QString next = choice_.afterRemoval(showingName, gone, windowName);
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
        item->setChecked(current && nameOf(current) == screen.name);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, name = screen.name] { presentOn(name); });
    }
}

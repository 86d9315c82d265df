#include "ui/model/ScreenChoice.h"

#include <QCoreApplication>

QString ScreenChoice::title(const Screen &screen) {
    return QCoreApplication::translate("ScreenChoice", "%1 (%2 x %3)")
        .arg(screen.name)
        .arg(screen.size.width())
        .arg(screen.size.height());
}

bool ScreenChoice::has(const QString &name) const {
    for (const Screen &screen : screens_)
        if (screen.name == name) return true;
    return false;
}

QString ScreenChoice::target(const QString &windowScreen) const {
    if (!chosen_.isEmpty() && has(chosen_)) return chosen_;
    if (has(windowScreen)) return windowScreen;
    return screens_.isEmpty() ? QString() : screens_.first().name;
}

// `screens_` no longer lists `removed` when this is asked.
QString ScreenChoice::afterRemoval(const QString &showing, const QString &removed,
                                   const QString &windowScreen) const {
    if (showing != removed && has(showing)) return showing;
    return target(windowScreen);
}

#include "ui/controls/Icons.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSvgRenderer>

#include "core/DCLog.h"

namespace {

struct IconCache {
    // QIcon's SVG engine caches its pixmaps per engine, so one QIcon per name keeps those hits.
    QHash<QString, QIcon> icons;
    QHash<QString, QSize> sizes;
    QSet<QString> reportedUnknown;
};

IconCache &cache() {
    static IconCache instance;
    return instance;
}

bool known(const QString &name) {
    IconCache &c = cache();
    if (c.icons.contains(name)) return true;
    if (!name.isEmpty() && QFile::exists(QStringLiteral(":/icons/%1.svg").arg(name))) return true;
    if (!c.reportedUnknown.contains(name)) {
        c.reportedUnknown.insert(name);
        DCLog("no image named \"%s\"", qUtf8Printable(name));
    }
    return false;
}

} // namespace

QString Icons::path(const QString &name) {
    return QStringLiteral(":/icons/%1.svg").arg(name);
}

QIcon Icons::icon(const QString &name) {
    if (!known(name)) return QIcon();
    IconCache &c = cache();
    auto it = c.icons.find(name);
    if (it == c.icons.end()) it = c.icons.insert(name, QIcon(path(name)));
    return *it;
}

QPixmap Icons::pixmap(const QString &name, QSize size, qreal devicePixelRatio) {
    // Anything larger than a big screen is a caller's mistake, not a picture to allocate.
    constexpr qreal kMaxSide = 8192;
    if (size.isEmpty() || !(devicePixelRatio > 0) || size.width() * devicePixelRatio > kMaxSide ||
        size.height() * devicePixelRatio > kMaxSide)
        return QPixmap();
    const QIcon found = icon(name);
    if (found.isNull()) return QPixmap();
    return found.pixmap(size, devicePixelRatio);
}

QSize Icons::naturalSize(const QString &name) {
    if (!known(name)) return QSize();
    IconCache &c = cache();
    auto it = c.sizes.find(name);
    if (it == c.sizes.end()) it = c.sizes.insert(name, QSvgRenderer(path(name)).defaultSize());
    return *it;
}

QStringList Icons::names() {
    QStringList out;
    const QStringList files =
        QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString &file : files)
        out << file.chopped(4);
    out.sort();
    return out;
}

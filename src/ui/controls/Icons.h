#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The program's own image set (resources/icons/*.svg, compiled into this library), reached by the
// names the windows use: "Camera-Up", "Exp-+2", "7", "Exposure_-1", "AppIcon", ... Icons are vector
// images, so they stay sharp at any device pixel ratio. Main thread only: the icons are cached.
class Icons {
public:
    // The named icon; an unknown name is logged once and answers a null icon.
    static QIcon icon(const QString &name);

    // The icon drawn at `size` (device-independent pixels) for a screen of `devicePixelRatio`; a
    // null pixmap for an unknown name or an empty size.
    static QPixmap pixmap(const QString &name, QSize size, qreal devicePixelRatio);

    // The size the image was drawn for, in device-independent pixels; empty for an unknown name.
    static QSize naturalSize(const QString &name);

    // Every name the set holds, sorted.
    static QStringList names();

private:
    static QString path(const QString &name);
};

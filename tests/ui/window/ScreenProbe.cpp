#include "ScreenProbe.h"

#include <chrono>

#include <QMap>
#include <QSet>

using namespace std::chrono_literals;

namespace ScreenProbe {

ChildResult xdotool(const QStringList &arguments) {
    return runChild(QStringLiteral("xdotool"), arguments, ChildProcess::systemEnvironment(), 10s);
}

QRect geometryOf(const QString &window) {
    const ChildResult r = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    QMap<QString, int> v;
    for (const QByteArray &line : r.out.split('\n')) {
        const QList<QByteArray> kv = line.split('=');
        if (kv.size() == 2) v[QString::fromLatin1(kv[0])] = kv[1].toInt();
    }
    return QRect(v.value(QStringLiteral("X")), v.value(QStringLiteral("Y")), v.value(QStringLiteral("WIDTH")),
                 v.value(QStringLiteral("HEIGHT")));
}

int coloursIn(const QImage &image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    return int(colours.size());
}

} // namespace ScreenProbe

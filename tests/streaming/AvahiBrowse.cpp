#include "AvahiBrowse.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

// avahi-browse -p writes bytes such as the space as \DDD (decimal).
QString unescape(const QString &field) {
    const QByteArray in = field.toLatin1();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 3 < in.size() && QChar::fromLatin1(in[i + 1]).isDigit()) {
            out.append(static_cast<char>(in.mid(i + 1, 3).toInt()));
            i += 3;
        } else if (in[i] == '\\' && i + 1 < in.size()) {
            out.append(in[++i]);
        } else {
            out.append(in[i]);
        }
    }
    return QString::fromUtf8(out);
}

} // namespace

// Resolved IPv4 entries of `avahi-browse -rpt` for `type` (without the trailing dot).
QList<BrowseLine> avahiBrowse(const QString &type) {
    QProcess process;
    process.start(QStringLiteral("avahi-browse"), {QStringLiteral("-rpt"), type});
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "avahi-browse did not finish";
        return {};
    }
    QList<BrowseLine> lines;
    for (const QByteArray &raw : process.readAllStandardOutput().split('\n')) {
        const QStringList f = QString::fromLatin1(raw).split(QLatin1Char(';'));
        if (f.size() < 10 || f[0] != QLatin1String("=") || f[2] != QLatin1String("IPv4")) continue;
        lines.append({unescape(f[3]), f[7], f[8].toInt()});
    }
    return lines;
}

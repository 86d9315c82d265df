#include "ui/model/AboutInfo.h"

#include <QCoreApplication>

namespace AboutInfo {

QString firmwareText(uint16_t version) {
    return QStringLiteral("%1%2")
        .arg(version >> 8, 2, 16, QLatin1Char('0'))
        .arg(version & 0xFF, 2, 16, QLatin1Char('0'));
}

QString softwareText(const QString &version, const QString &build) {
    return QCoreApplication::translate("AboutInfo", "%1 Build %2").arg(version, build);
}

} // namespace AboutInfo

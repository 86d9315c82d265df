#include "DCResolutionList.h"

#include <QRegularExpression>

#include "devices/DCCamera.h"

namespace DCResolutionList {

QString stringFromSize(QSizeF size) {
    return QStringLiteral("{%1, %2}").arg(QString::number(size.width()), QString::number(size.height()));
}

QSizeF sizeFromString(const QString &text) {
    static const QRegularExpression form(QStringLiteral(R"(^\{\s*([-+0-9.eE]+)\s*,\s*([-+0-9.eE]+)\s*\}$)"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch()) return {0, 0};
    bool okW = false;
    bool okH = false;
    const double w = match.captured(1).toDouble(&okW);
    const double h = match.captured(2).toDouble(&okH);
    if (!okW || !okH) return {0, 0};
    return {w, h};
}

QSizeF at(const QStringList &list, int32_t index) {
    if (list.isEmpty()) return {0, 0};
    if (index < 0 || index >= list.size()) index = 0;
    return sizeFromString(list.at(index));
}

int32_t indexOf(const QStringList &list, QSizeF size) {
    const auto index = list.indexOf(stringFromSize(size));
    return index < 0 ? DCCamera::kNotAvailable : static_cast<int32_t>(index);
}

int32_t defaultIndex(const QStringList &list, QSizeF defaultSize) {
    const int32_t index = indexOf(list, defaultSize);
    return index < 0 ? 0 : index;
}

} // namespace DCResolutionList

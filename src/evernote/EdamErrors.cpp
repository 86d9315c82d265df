#include "evernote/EdamErrors.h"

#include <array>

namespace EdamErrors {

namespace {
constexpr int kDataConflict = 10;
constexpr std::array<const char *, 17> kTexts{
    "Unknown",         "Bad data format",      "Permission denied", "Internal error", "Data required",
    "Limit reached",   "Quota reached",        "Invalid auth",      "Auth expired",   "Data conflict",
    "ENML validation", "SHARD unavailable",    "Len too short",     "Len too long",   "Too few",
    "Too many",        "Unsupported operation"};
} // namespace

QString errorStringFromCode(int code) {
    if (code < 1 || code > int(kTexts.size())) return {};
    return QString::fromLatin1(kTexts[size_t(code - 1)]);
}

QString userExceptionText(int code, const QString &parameter) {
    if (code == kDataConflict) return QStringLiteral("%1 conflict").arg(parameter);
    const QString text = errorStringFromCode(code);
    return errorText(text.isEmpty() ? QStringLiteral("error code %1").arg(code) : text);
}

QString errorText(const QString &text) {
    return QStringLiteral("Error: %1").arg(text);
}

} // namespace EdamErrors

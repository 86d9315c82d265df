#pragma once

#include <QString>

// The texts the user is shown for the service's error codes.
namespace EdamErrors {

// "Unknown" for 1 through "Unsupported operation" for 17; empty for any other code.
QString errorStringFromCode(int code);

// What an alert says for a refusal with `code` and `parameter`: "<parameter> conflict" for a data
// conflict, else "Error: <code's text>". A code without a text (a newer service's) still names
// itself, so the alert never reads "Error: " alone.
QString userExceptionText(int code, const QString &parameter);

// "Error: <text>".
QString errorText(const QString &text);

} // namespace EdamErrors

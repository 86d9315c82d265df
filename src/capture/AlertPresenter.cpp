#include "capture/AlertPresenter.h"

#include "core/DCLog.h"

void LogAlertPresenter::showAlert(const QString &title, const QString &text, const QString &button) {
    DCLog("alert: %s / %s [%s]", qUtf8Printable(title), qUtf8Printable(text), qUtf8Printable(button));
}

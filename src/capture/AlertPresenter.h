#pragma once

#include <QString>

// Shows what the user must see: an alert with a title, a text and one button. The window implements
// it; LogAlertPresenter writes the texts to the log until then.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual void showAlert(const QString &title, const QString &text, const QString &button) = 0;
};

class LogAlertPresenter : public AlertPresenter {
public:
    void showAlert(const QString &title, const QString &text, const QString &button) override;
};

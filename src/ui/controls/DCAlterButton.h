#pragma once

#include <QString>

#include "ui/controls/DCButton.h"

// A button that swaps its picture under the pointer: named "X-Down" normally, "X-Up" while the
// pointer is over it. The names come from the icon set (Icons). Give it an accessible name and a
// tool tip where it is placed: it shows no text.
class DCAlterButton : public DCButton {
    Q_OBJECT
public:
    explicit DCAlterButton(QWidget *parent = nullptr);

    // The normal image; the one under the pointer is named like it with "Down" replaced by "Up".
    void setImage(const QString &name);
    QString upImage() const { return upImage_; }
    QString downImage() const { return downImage_; }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void showImage(const QString &name);

    QString upImage_;
    QString downImage_;
};

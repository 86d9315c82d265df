#pragma once

#include <QFrame>

class QLineEdit;

// The small pop-over that asks for a new notebook's name, its arrow on the middle of the button's top
// edge. It stays up until Create or Cancel (a click elsewhere or Escape cancels too).
class NotebookCreator : public QFrame {
    Q_OBJECT
public:
    explicit NotebookCreator(QWidget *parent);

    // Opens above `anchor`, or closes when already open.
    void toggle(QWidget *anchor);
    QLineEdit *nameField() const { return name_; }
    // Create: a name asks for it; an empty field only cancels.
    void create();
    void cancel();

Q_SIGNALS:
    void createRequested(const QString &name);

protected:
    // However it closes (Create, Cancel, Escape, a click elsewhere), the next opening starts empty.
    void hideEvent(QHideEvent *event) override;

private:
    QLineEdit *name_;
};

#pragma once

#include <QColor>
#include <QWidget>

// A plain view that fills itself with its background colour, or shows what is behind it when it
// has none (an invalid colour).
class DCView : public QWidget {
    Q_OBJECT
public:
    explicit DCView(QWidget *parent = nullptr);

    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor backgroundColor_;
};

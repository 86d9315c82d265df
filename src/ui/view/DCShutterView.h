#pragma once

#include <QWidget>

// A plain black view (the shutter's flash of dark over the picture).
class DCShutterView : public QWidget {
    Q_OBJECT
public:
    explicit DCShutterView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

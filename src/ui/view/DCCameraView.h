#pragma once

#include <QWidget>

class QStackedLayout;

// The view of camera mode that hosts the live picture: black, with one content view at a time filling
// it (the capture container, or the preview image while a snapshot is previewed). Content views that
// are not current are hidden, so a live picture among them costs no decoding meanwhile.
class DCCameraView : public QWidget {
    Q_OBJECT
public:
    explicit DCCameraView(QWidget *parent = nullptr);

    // Makes `view` the content, adding it (and taking it as a child) when it is new here. A content
    // view given to another parent leaves by itself.
    void setContentView(QWidget *view);
    QWidget *contentView() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QStackedLayout *stack_;
};

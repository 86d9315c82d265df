#pragma once

#include <QImage>
#include <QWidget>

class FrameRenderThread;

// The live picture where OpenGL is not available: draws the RGB image its render thread made at the
// picture's place in the view (so the GUI thread only copies pixels), letterboxed on black.
class LivePainterView : public QWidget {
    Q_OBJECT
public:
    // `renderer` must outlive the view and make Output::Image pictures.
    explicit LivePainterView(FrameRenderThread &renderer, QWidget *parent = nullptr);

Q_SIGNALS:
    // The paint that put the frame of this mailbox generation on screen.
    void pictureShown(quint64 generation);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    FrameRenderThread &renderer_;
    QImage image_;
    QSize extent_;
};

#pragma once

#include <memory>

#include <QWidget>

#include "capture/FramePointer.h"

class CoalescedCall;
class DCCaptureViewController;
class FrameMailbox;
class FrameRenderThread;
class LiveFrameFeed;

// The live picture of the window: a black view that shows the newest frame of its mailbox,
// letterboxed, through OpenGL where that works (LiveView) and through QPainter elsewhere
// (LivePainterView), chosen when it is made. Frames are decoded on a thread of the view, only while
// the view is shown; the capture goes on regardless.
//
// A network camera's picture is shown by the same view: its frames come through the same
// "DCWillDisplayImage", and setImage() / image() are the stream view's image under a lock.
//
// setImage() and image() are thread-safe; everything else belongs to the GUI thread.
class DCCaptureView : public QWidget {
    Q_OBJECT
public:
    enum class Drawing {
        Automatic, // OpenGL when the platform has it in hardware, else the painter
        OpenGL,
        Painter,
    };

    explicit DCCaptureView(QWidget *parent = nullptr, Drawing drawing = Drawing::Automatic);
    ~DCCaptureView() override;

    // Shows the frames that `controller` posts as "DCWillDisplayImage" from now on; null stops. The
    // controller must outlive the view or be replaced first.
    void showFramesOf(const DCCaptureViewController *controller);

    // Any thread: shows `image` (ignored when null) as soon as the view can. Only marks the view for
    // redraw; frames set faster than the view draws replace each other.
    void setImage(FramePointer image);
    // Any thread: the newest image set or fed.
    FramePointer image() const;

    bool usesOpenGL() const;
    // Frames decoded for the screen since creation (none while the view is not shown).
    quint64 decodedFrames() const;

    struct OpenGLSupport {
        bool available = false; // a context can be made and made current on this platform
        bool software = false;  // ... but its renderer rasterizes on the CPU (Mesa's llvmpipe, say)
    };
    // Checked once, on first use (GUI thread).
    static OpenGLSupport openGLSupport();

Q_SIGNALS:
    // The frame of this mailbox generation reached the screen (after the buffer swap with OpenGL).
    void pictureShown(quint64 generation);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void useOpenGL();
    void usePainter();
    void setPicture(QWidget *picture);
    void updateViewport();
    void onFrameArrived();
    void onPictureReady();

    std::shared_ptr<FrameMailbox> mailbox_;
    CoalescedCall *arrived_;
    CoalescedCall *pictureReady_;
    std::unique_ptr<FrameRenderThread> renderer_;
    QWidget *picture_ = nullptr;
    bool openGL_ = false;
    // Last: stops feeding first when the view goes.
    std::unique_ptr<LiveFrameFeed> feed_;
};

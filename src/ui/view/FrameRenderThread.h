#pragma once

#include <array>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <QImage>
#include <QSize>

#include "capture/FrameRenderer.h"
#include "ui/view/FrameMailbox.h"

class I420Image;

// A live view's own thread that turns the newest frame of a mailbox into something the screen can
// take at once, so that the GUI thread never decodes: I420 planes for a screen that scales and
// mirrors on its own (OpenGL), or an RGB image at exactly the picture's place in the view (painter).
// Newest wins: a frame that arrives while one is being rendered waits in the mailbox and replaces any
// older one there; a picture nobody took yet is replaced by the next.
//
// Nothing is decoded while the view is not showing; the mailbox still keeps the newest frame, which is
// rendered as soon as the view shows again. Buffers (planes, images, decoder state) are reused from
// frame to frame.
//
// Every member is thread-safe. pictureReady runs on the render thread and must be quick (it asks the
// view for a redraw); it is not called after the destructor returned.
class FrameRenderThread {
public:
    enum class Output {
        Planes, // the shown part, at a DCT scale that covers the view; mirroring left to the screen
        Image,  // RGB32, zoomed, mirrored and scaled to the picture's place in the view
    };
    struct Picture {
        std::shared_ptr<const I420Image> planes; // Output::Planes
        QImage image;                            // Output::Image
        // The frame's own size: its aspect ratio places the picture in the view.
        QSize extent;
        // Mirroring still to be applied by the screen (Output::Planes only).
        bool hFlipped = false;
        bool vFlipped = false;
        // The mailbox letter the picture was made from.
        quint64 generation = 0;
        FrameMailbox::Clock::time_point postedAt;
    };

    FrameRenderThread(std::shared_ptr<FrameMailbox> mailbox, Output output,
                      std::function<void()> pictureReady);
    ~FrameRenderThread();
    FrameRenderThread(const FrameRenderThread &) = delete;
    FrameRenderThread &operator=(const FrameRenderThread &) = delete;

    void setOutput(Output output);
    // The view's size in device pixels; nothing is rendered while it is empty.
    void setViewport(QSize viewport);
    // The largest picture side the screen takes (its texture limit); 0 for no limit.
    void setMaxSize(int maxSize);
    // While false, frames stay in the mailbox undecoded.
    void setShowing(bool showing);
    // The mailbox has a new frame.
    void frameArrived();
    // Renders the current frame again (the screen lost what it had, e.g. its OpenGL context).
    void refresh();

    // The newest picture not taken yet, or null.
    std::shared_ptr<const Picture> takePicture();
    // Pictures made since creation.
    quint64 renderedPictures() const;

private:
    struct Settings {
        Output output;
        QSize viewport;
        int maxSize;
    };
    void run();
    std::shared_ptr<Picture> render(const FrameMailbox::Letter &letter, const Settings &settings);
    QSize targetSize(const Frame &frame, const Settings &settings) const;
    QImage &recycledImage(QSize size);

    const std::shared_ptr<FrameMailbox> mailbox_;
    const std::function<void()> pictureReady_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Settings settings_;
    bool showing_ = false;
    bool work_ = false;  // a new frame, or a change that needs the current one rendered again
    bool force_ = false; // render the current frame again even at an unchanged size
    bool stop_ = false;
    std::shared_ptr<const Picture> picture_;
    quint64 rendered_ = 0;

    // The render thread's own.
    FrameRenderer renderer_;
    FrameMailbox::Letter current_;
    bool currentRendered_ = false; // tried once, successfully or not
    QSize currentTarget_;
    Output currentOutput_ = Output::Planes;
    std::array<QImage, 3> images_;

    std::thread thread_; // last: started once everything above exists
};

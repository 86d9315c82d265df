#pragma once

#include <QRect>
#include <QSize>

#include "ui/model/WindowMode.h"

// The main window's size rules: the picture keeps a 4:3 shape above a strip of fixed height (the status
// strip in camera mode, the thumbnail strip otherwise), the window keeps its left and top edges, and it
// never leaves the screen's visible area at the bottom. The window layer passes its own measurements
// and gets frames back; every rectangle here has its origin at the top left, as Qt's do.
class MainWindowGeometry {
public:
    static constexpr int kStatusStripHeight = 20;
    static constexpr int kReviewStripHeight = 147;
    static constexpr int kMinimumWidth = 480;
    static constexpr int kMinimumPictureHeight = 360;
    static constexpr int kModeChooserTopOffset = 100;

    struct Metrics {
        int titleBarHeight = 0; // the frame's height minus the content's, without the toolbar
        int toolbarHeight = 0;  // 0 when the window shows no toolbar
        QRect visibleFrame;     // the screen's area that windows may use
    };
    struct ModeFrame {
        QRect frame;
        QSize minimumSize;
    };

    // `frame` is the window's frame now; the view widths are the widths the views have now.
    static ModeFrame cameraMode(const QRect &frame, int cameraViewWidth, const Metrics &metrics);
    static ModeFrame reviewMode(const QRect &frame, int albumViewWidth, const Metrics &metrics);
    // Evernote mode has no toolbar: `frameExtraHeight` is everything the frame adds to the content.
    static ModeFrame evernoteMode(const QRect &frame, QSize evernoteViewSize, int frameExtraHeight,
                                  const QRect &visibleFrame);

    // A resize by the user: the height asked for (at most the visible height) decides, the width follows.
    static QSize windowWillResize(QSize proposed, WindowMode mode, const Metrics &metrics);
    // The zoom button: the default frame's size made 4:3 and its bottom edge; the left edge stays unless
    // the window would then pass the visible area's right edge.
    static QRect windowWillUseStandardFrame(const QRect &frame, const QRect &defaultFrame, WindowMode mode,
                                            const Metrics &metrics);

    // The mode chooser floats against the window's left edge, a little below its top.
    static QRect modeChooserFrame(const QRect &frame, QSize chooserSize);

private:
    static ModeFrame pictureMode(const QRect &frame, int viewWidth, int stripHeight, const Metrics &metrics);
};

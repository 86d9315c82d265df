#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>

// Where the overlay's floaters sit over the live picture, worked out without widgets.
//
// Coordinates have the origin at the lower left and y growing upward (ImageCoordinates turns them into
// widget coordinates). `parent` is the area the floaters belong to: the whole screen in full screen;
// in the main window the picture together with the status strip below it, so that distances keep
// counting from the window's lower edge. In full screen the picture is 4:3 and centred, so floaters
// that belong to its right edge stay on the picture on a wide screen.
namespace FloaterGeometry {

enum class Floater {
    FocusTarget,
    FocusIndicator,
    Snapshot,
    FocusButton,
    Timer,
    Exposure,
    Navigator,
    ToolbarContainer,
    Close,
};

// The floaters' own sizes (their content's); an empty size gives an empty rectangle where it belongs.
struct Sizes {
    QSizeF focusTarget;
    QSizeF focusIndicator;
    QSizeF focusButton;
    QSizeF timer;
    QSizeF exposure;
    QSizeF navigator;
    QSizeF toolbarContainer;
    QSizeF close;
};

constexpr qreal kStatusStripHeight = 20;
constexpr qreal kControlSpacing = 5;
constexpr qreal kToolbarContainerHeight = 30;
// The ring row (ring, snapshot button, countdown) hangs from 70 above the parent's lower edge and ends
// on the picture's lower edge, above the status strip: its images are drawn at most this high.
constexpr qreal kRingRowHeight = 50;

// The right edge of the picture: the parent's, or in full screen that of the 4:3 picture centred on it
// (on a screen narrower than 4:3 the picture spans the whole width).
qreal pictureRight(const QRectF &parent, bool fullScreen);

// The place of `floater` for a parent of `parent`. On a full screen narrower than 4:3 the floaters are
// placed on the picture, which has black bars above and below it there.
QRectF place(Floater floater, const QRectF &parent, bool fullScreen, const Sizes &sizes);

// The zoom navigator at the lower-left corner of the picture.
QRectF navigator(const QRectF &parent, bool fullScreen, const QSizeF &size);

// The bar of camera controls: as wide as its controls (widths in order) with 5 between neighbours;
// 0 with no controls, which shows nothing.
qreal toolbarContainerWidth(const QList<qreal> &controlWidths);

} // namespace FloaterGeometry

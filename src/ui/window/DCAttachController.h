#pragma once

#include <map>
#include <memory>

#include <QObject>
#include <QPointer>

#include "ui/model/DCControlController.h"
#include "ui/model/OverlayModel.h"

class CameraControlsBinder;
class CameraToolbarModel;
class DCButtonView;
class DCFloaterWindow;
class DCZoomAreaView;
class QToolBar;
class QWidget;

// The overlay over the live picture: the floaters (focus target, focus ring with the snapshot button,
// focus button, countdown, exposure badge, zoom navigator, and in full screen the bar of camera
// controls and the close button) as child widgets of the view that hosts the picture. They go wherever
// that view goes: the main window, or the full-screen window. What shows, with which image and where is
// OverlayModel's and FloaterGeometry's; this class mirrors them, and hands clicks, Return and the
// full-screen window's single clicks to them.
//
// Main thread only.
class DCAttachController : public QObject {
    Q_OBJECT
public:
    using Floater = FloaterGeometry::Floater;

    // `host` is the picture's view; `controls` null: no bar of camera controls in full screen.
    DCAttachController(QWidget *host, CameraToolbarModel *controls, OverlayModel::Dependencies deps = {},
                       QObject *parent = nullptr);
    ~DCAttachController() override;

    OverlayModel &model() { return model_; }
    DCControlController &controlController() { return control_; }
    DCFloaterWindow *floater(Floater floater) const;
    DCZoomAreaView *zoomAreaView() const { return zoomAreaView_; }

    // Shows and hides the floaters as the model says, and places them.
    void toggleIndicator();
    // Places the floaters on the host as it is now.
    void resize();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DCButtonView *addButton(Floater floater, bool passesClicks);
    void buildToolbarContainer(CameraToolbarModel &controls);
    // Once the control bar's buttons have taken their new titles and places.
    void scheduleResize();
    void mirrorImages();
    FloaterGeometry::Sizes sizes() const;
    QSizeF toolbarContainerSize() const;
    void followFullScreenWindow();
    bool isWindowMove(QObject *watched, QEvent *event) const;

    QPointer<QWidget> host_;
    OverlayModel model_;
    DCControlController control_;
    std::map<Floater, QPointer<DCFloaterWindow>> floaters_;
    std::map<Floater, DCButtonView *> buttons_;
    DCZoomAreaView *zoomAreaView_ = nullptr;
    QToolBar *toolbar_ = nullptr;
    CameraControlsBinder *binder_ = nullptr;
    QPointer<QWidget> fullScreenWindow_;
    bool resizePending_ = false;
};

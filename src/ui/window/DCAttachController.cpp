#include "DCAttachController.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QTimer>
#include <QToolBar>

#include "CameraControlsBinder.h"
#include "DCFloaterWindow.h"
#include "DCZoomAreaView.h"
#include "FullScreenWindow.h"
#include "capture/ImageCoordinates.h"
#include "ui/controls/DCButtonView.h"
#include "ui/controls/DCPopUpButton.h"
#include "ui/controls/Icons.h"
#include "ui/model/CameraToolbarModel.h"

namespace {

using Floater = FloaterGeometry::Floater;

constexpr Floater kButtonFloaters[] = {Floater::FocusTarget, Floater::FocusIndicator, Floater::Snapshot,
                                       Floater::FocusButton, Floater::Timer,          Floater::Exposure,
                                       Floater::Close};

// The size a floater keeps whatever its image is now (a ring without image still places the button).
QSizeF naturalSize(const char *image, qreal scale = 1.0) {
    return QSizeF(Icons::naturalSize(QLatin1String(image))) * scale;
}

// The ring, the snapshot button and the countdown rest on the picture's lower edge.
qreal rowScale(const char *image) {
    const qreal height = naturalSize(image).height();
    return height > FloaterGeometry::kRingRowHeight ? FloaterGeometry::kRingRowHeight / height : 1.0;
}

} // namespace

DCAttachController::DCAttachController(QWidget *host, CameraToolbarModel *controls,
                                       OverlayModel::Dependencies deps, QObject *parent)
    : QObject(parent), host_(host), model_(std::move(deps)) {
    addButton(Floater::FocusTarget, true)->setImageScale(OverlayModel::kTargetScale);
    addButton(Floater::FocusIndicator, true)->setImageScale(rowScale("Background-Single"));
    DCButtonView *snapshot = addButton(Floater::Snapshot, false);
    snapshot->setImageScale(rowScale("Snapshot-Down"));
    connect(snapshot, &DCButtonView::clicked, &control_, &DCControlController::snapshot);
    connect(addButton(Floater::FocusButton, false), &DCButtonView::clicked, &control_,
            &DCControlController::focus);
    addButton(Floater::Timer, true)->setImageScale(rowScale("10"));
    addButton(Floater::Exposure, true);
    connect(addButton(Floater::Close, false), &DCButtonView::clicked, &control_,
            &DCControlController::fullScreenClose);
    buttons_[Floater::Snapshot]->setAccessibleName(tr("Take a Photo"));
    buttons_[Floater::FocusButton]->setAccessibleName(tr("Focus"));
    buttons_[Floater::Close]->setAccessibleName(tr("Leave Full Screen"));
    for (const Floater floater : {Floater::Snapshot, Floater::FocusButton, Floater::Close})
        buttons_[floater]->setToolTip(buttons_[floater]->accessibleName());

    zoomAreaView_ = new DCZoomAreaView(model_.zoomArea());
    zoomAreaView_->setAccessibleName(tr("Zoomed Area"));
    floaters_[Floater::Navigator] = new DCFloaterWindow(zoomAreaView_, host);
    if (controls) buildToolbarContainer(*controls);

    connect(&model_, &OverlayModel::changed, this, &DCAttachController::toggleIndicator);
    host->installEventFilter(this);
    // Any window that the user moves while in full screen hides the floaters.
    qApp->installEventFilter(this);
    followFullScreenWindow();
    toggleIndicator();
}

DCAttachController::~DCAttachController() {
    // The floaters live in the host, which may outlive the overlay; the navigator uses the model.
    for (auto &[which, floater] : floaters_)
        delete floater.data();
}

DCButtonView *DCAttachController::addButton(Floater floater, bool passesClicks) {
    auto *button = new DCButtonView;
    auto *window = new DCFloaterWindow(button, host_);
    window->setPassesClicks(passesClicks);
    floaters_[floater] = window;
    buttons_[floater] = button;
    return button;
}

// The overlay's set of camera controls on a light grey bar, 5 points between neighbours.
void DCAttachController::buildToolbarContainer(CameraToolbarModel &controls) {
    toolbar_ = new QToolBar;
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setContentsMargins(0, 0, 0, 0);
    toolbar_->layout()->setContentsMargins(0, 0, 0, 0);
    toolbar_->layout()->setSpacing(int(FloaterGeometry::kControlSpacing));
    binder_ = new CameraControlsBinder(controls, ToolbarControlSets::Set::Overlay, *toolbar_);
    auto *container = new DCFloaterWindow(toolbar_, host_);
    container->setObjectName(QStringLiteral("toolbarContainer"));
    container->setAttribute(Qt::WA_NoSystemBackground, false);
    container->setAutoFillBackground(true);
    // Dark text on the light bar, whatever the window's own palette.
    QPalette palette = container->palette();
    palette.setColor(QPalette::Window, QColor(0xd3, 0xd3, 0xd3));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(role, Qt::black);
    container->setPalette(palette);
    floaters_[Floater::ToolbarContainer] = container;
    // Controls come and go with the camera, and their titles change their widths: placed again once
    // the binder has shown them.
    const ToolbarControlSets &sets = controls.controls();
    connect(&sets, &ToolbarControlSets::itemsChanged, this, &DCAttachController::scheduleResize);
    connect(&sets, &ToolbarControlSets::lockedChanged, this, &DCAttachController::scheduleResize);
    connect(&sets, &ToolbarControlSets::controlChanged, this, &DCAttachController::scheduleResize);
}

void DCAttachController::scheduleResize() {
    if (resizePending_) return;
    resizePending_ = true;
    QTimer::singleShot(0, this, [this] {
        resizePending_ = false;
        toggleIndicator();
    });
}

DCFloaterWindow *DCAttachController::floater(Floater floater) const {
    const auto it = floaters_.find(floater);
    return it == floaters_.end() ? nullptr : it->second.data();
}

void DCAttachController::toggleIndicator() {
    if (!host_) return;
    mirrorImages();
    zoomAreaView_->setSightColor(model_.sightIsRed() ? Qt::red : Qt::green);
    resize();
    for (const auto &[which, floater] : floaters_) {
        if (!floater) continue;
        bool shown = model_.shows(which);
        if (which == Floater::ToolbarContainer) shown = shown && toolbarContainerSize().width() > 0;
        floater->setVisible(shown);
        // Above the picture, which the host may have raised when it changed its content.
        if (shown) floater->raise();
    }
}

void DCAttachController::mirrorImages() {
    for (const Floater which : kButtonFloaters) {
        DCButtonView *button = buttons_[which];
        button->setExitImage(model_.image(which));
        button->setEnterImage(model_.enterImage(which));
    }
    buttons_[Floater::Snapshot]->setShouldResponse(model_.snapshotResponds());
}

// Measured from the toolbar's visible actions: the buttons themselves stay hidden until the bar is
// laid out, which happens only once it is shown.
QSizeF DCAttachController::toolbarContainerSize() const {
    if (!toolbar_) return {};
    QList<qreal> widths;
    for (QAction *action : toolbar_->actions())
        if (QWidget *button = toolbar_->widgetForAction(action); button && action->isVisible())
            widths << button->sizeHint().width();
    return QSizeF(FloaterGeometry::toolbarContainerWidth(widths), FloaterGeometry::kToolbarContainerHeight);
}

FloaterGeometry::Sizes DCAttachController::sizes() const {
    FloaterGeometry::Sizes sizes;
    sizes.focusTarget = naturalSize("Target-Green", OverlayModel::kTargetScale);
    sizes.focusIndicator = naturalSize("Background-Single", rowScale("Background-Single"));
    sizes.focusButton = naturalSize("Put-On-Focus-Down");
    sizes.timer = naturalSize("10", rowScale("10"));
    sizes.exposure = naturalSize("Exp-0");
    sizes.navigator = zoomAreaView_->sizeHint();
    sizes.toolbarContainer = toolbarContainerSize();
    sizes.close = naturalSize("Esc-Down");
    return sizes;
}

void DCAttachController::resize() {
    if (!host_) return;
    const bool fullScreen = model_.isFullScreen();
    const qreal w = host_->width(), h = host_->height();
    // In the main window distances count from the window's lower edge, below the status strip.
    const qreal strip = fullScreen ? 0 : FloaterGeometry::kStatusStripHeight;
    const QRectF parent(0, -strip, w, h + strip);
    const FloaterGeometry::Sizes floaterSizes = sizes();
    for (const auto &[which, floater] : floaters_) {
        if (!floater) continue;
        const QRectF place = FloaterGeometry::place(which, parent, fullScreen, floaterSizes);
        const QRectF onHost = ImageCoordinates::toTopLeft(place, h);
        floater->setGeometry(
            QRect(qRound(onHost.x()), qRound(onHost.y()), qRound(onHost.width()), qRound(onHost.height())));
    }
}

// A single click in the full-screen window shows or hides the floaters; Return there takes a photo.
void DCAttachController::followFullScreenWindow() {
    auto *window = host_ ? qobject_cast<FullScreenWindow *>(host_->window()) : nullptr;
    if (window == fullScreenWindow_) return;
    if (fullScreenWindow_) disconnect(fullScreenWindow_, nullptr, this, nullptr);
    fullScreenWindow_ = window;
    if (!window) return;
    connect(window, &FullScreenWindow::clicked, &model_, &OverlayModel::toggleControl);
    connect(window, &FullScreenWindow::enterPressed, &control_, &DCControlController::snapshot);
}

bool DCAttachController::isWindowMove(QObject *watched, QEvent *event) const {
    if (event->type() != QEvent::Move || !event->spontaneous() || !watched->isWidgetType()) return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!widget->isWindow() || !widget->isVisible() || (host_ && widget == host_->window())) return false;
    // Menus and tool tips open and move with the pointer; they are no window that the user moves.
    const Qt::WindowType type = widget->windowType();
    return type != Qt::Popup && type != Qt::ToolTip;
}

bool DCAttachController::eventFilter(QObject *watched, QEvent *event) {
    if (watched == host_) {
        if (event->type() == QEvent::Resize) resize();
        if (event->type() == QEvent::ParentChange) followFullScreenWindow();
    } else if (isWindowMove(watched, event)) {
        model_.windowWillMove();
    }
    return QObject::eventFilter(watched, event);
}

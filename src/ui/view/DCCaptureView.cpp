#include "ui/view/DCCaptureView.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QResizeEvent>

#include "core/DCLog.h"
#include "ui/view/CoalescedCall.h"
#include "ui/view/FrameMailbox.h"
#include "ui/view/FrameRenderThread.h"
#include "ui/view/LiveFrameFeed.h"
#include "ui/view/LivePainterView.h"
#include "ui/view/LiveView.h"

DCCaptureView::DCCaptureView(QWidget *parent, Drawing drawing)
    : QWidget(parent), mailbox_(std::make_shared<FrameMailbox>()),
      arrived_(new CoalescedCall([this] { onFrameArrived(); }, this)),
      pictureReady_(new CoalescedCall([this] { onPictureReady(); }, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A renderer that rasterizes on the CPU composes the window more slowly than plain painting does
    // (measured in Xvfb with llvmpipe: 8 against 30 frames a second): it is used only when asked for.
    const OpenGLSupport support = drawing == Drawing::Painter ? OpenGLSupport() : openGLSupport();
    const bool openGL = support.available && (drawing == Drawing::OpenGL || !support.software);
    renderer_ = std::make_unique<FrameRenderThread>(
        mailbox_, openGL ? FrameRenderThread::Output::Planes : FrameRenderThread::Output::Image,
        [call = pictureReady_] { call->request(); });
    if (openGL)
        useOpenGL();
    else
        usePainter();
}

// The picture and the render thread go before the members they use.
DCCaptureView::~DCCaptureView() {
    feed_.reset();
    delete picture_;
    renderer_.reset();
}

namespace {

DCCaptureView::OpenGLSupport probeOpenGL() {
    const QString platform = QGuiApplication::platformName();
    // These platforms draw into memory only: an OpenGL widget cannot show there.
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
        platform == QLatin1String("vnc") || platform == QLatin1String("linuxfb"))
        return {};
    QOpenGLContext context;
    QOffscreenSurface surface;
    surface.create();
    if (!context.create() || !context.makeCurrent(&surface)) {
        DCLog("No OpenGL on platform %s: the live picture is painted", qUtf8Printable(platform));
        return {};
    }
    const QString renderer =
        QString::fromLatin1(reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER)));
    context.doneCurrent();
    const bool software = renderer.contains(QLatin1String("llvmpipe")) ||
                          renderer.contains(QLatin1String("softpipe")) ||
                          renderer.contains(QLatin1String("Software Rasterizer"));
    if (software)
        DCLog("OpenGL renderer %s draws on the CPU: the live picture is painted", qUtf8Printable(renderer));
    return {true, software};
}

} // namespace

DCCaptureView::OpenGLSupport DCCaptureView::openGLSupport() {
    static const OpenGLSupport support = probeOpenGL();
    return support;
}

void DCCaptureView::useOpenGL() {
    openGL_ = true;
    renderer_->setOutput(FrameRenderThread::Output::Planes);
    auto *view = new LiveView(*renderer_, this);
    connect(view, &LiveView::pictureShown, this, &DCCaptureView::pictureShown);
    // Queued: the view says so from inside its own initialisation.
    connect(view, &LiveView::openGLFailed, this, &DCCaptureView::usePainter, Qt::QueuedConnection);
    setPicture(view);
}

void DCCaptureView::usePainter() {
    openGL_ = false;
    renderer_->setOutput(FrameRenderThread::Output::Image);
    auto *view = new LivePainterView(*renderer_, this);
    connect(view, &LivePainterView::pictureShown, this, &DCCaptureView::pictureShown);
    setPicture(view);
    renderer_->refresh();
}

void DCCaptureView::setPicture(QWidget *picture) {
    delete picture_;
    picture_ = picture;
    picture_->setGeometry(rect());
    picture_->show();
}

void DCCaptureView::showFramesOf(const DCCaptureViewController *controller) {
    feed_.reset();
    if (!controller) return;
    feed_ = std::make_unique<LiveFrameFeed>(controller, mailbox_);
    connect(feed_.get(), &LiveFrameFeed::frameArrived, this, &DCCaptureView::onFrameArrived);
}

void DCCaptureView::setImage(FramePointer image) {
    if (mailbox_->post(std::move(image)) != 0) arrived_->request();
}

FramePointer DCCaptureView::image() const {
    return mailbox_->newest();
}

bool DCCaptureView::usesOpenGL() const {
    return openGL_;
}

quint64 DCCaptureView::decodedFrames() const {
    return renderer_->renderedPictures();
}

void DCCaptureView::onFrameArrived() {
    renderer_->frameArrived();
}

void DCCaptureView::onPictureReady() {
    if (picture_) picture_->update();
}

void DCCaptureView::updateViewport() {
    renderer_->setViewport(size() * devicePixelRatioF());
}

void DCCaptureView::paintEvent(QPaintEvent *event) {
    QPainter(this).fillRect(event->rect(), Qt::black);
}

void DCCaptureView::resizeEvent(QResizeEvent *) {
    if (picture_) picture_->setGeometry(rect());
    updateViewport();
}

void DCCaptureView::showEvent(QShowEvent *) {
    updateViewport();
    renderer_->setShowing(true);
}

void DCCaptureView::hideEvent(QHideEvent *) {
    renderer_->setShowing(false);
}

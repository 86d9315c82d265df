#include "ui/view/LiveView.h"

#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QVector2D>

#include "capture/I420Image.h"
#include "core/DCLog.h"
#include "ui/view/FrameRenderThread.h"
#include "ui/view/PictureFit.h"

#ifndef GL_RED
#define GL_RED 0x1903
#endif

namespace {

// GLSL that both desktop compatibility contexts and OpenGL ES 2 accept.
const char *const kVertexShader = R"(
attribute vec2 position;
uniform vec2 flip;
uniform vec2 chromaReach;
varying vec2 lumaCoord;
varying vec2 chromaCoord;
void main() {
    vec2 coord = vec2(position.x + 1.0, 1.0 - position.y) * 0.5; // planes are stored top row first
    coord = mix(coord, vec2(1.0) - coord, flip);
    lumaCoord = coord;
    chromaCoord = coord * chromaReach;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Full-range BT.601, the matrix of JPEG (JFIF): chroma is centred on 128 / 255.
const char *const kFragmentShader = R"(
#ifdef GL_ES
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
#endif
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
varying vec2 lumaCoord;
varying vec2 chromaCoord;
void main() {
    float y = texture2D(planeY, lumaCoord).r;
    float u = texture2D(planeU, chromaCoord).r - 0.5019608;
    float v = texture2D(planeV, chromaCoord).r - 0.5019608;
    gl_FragColor = vec4(y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u, 1.0);
}
)";

const GLfloat kQuad[] = {-1, -1, 1, -1, -1, 1, 1, 1};

} // namespace

LiveView::LiveView(FrameRenderThread &renderer, QWidget *parent)
    : QOpenGLWidget(parent), renderer_(renderer), quad_(QOpenGLBuffer::VertexBuffer) {
    connect(this, &QOpenGLWidget::frameSwapped, this, &LiveView::onFrameSwapped);
}

// QOpenGLWidget's own destructor still swaps and destroys the context: nothing may reach this
// class's members from there.
LiveView::~LiveView() {
    disconnect(this, &QOpenGLWidget::frameSwapped, this, nullptr);
    if (!context()) return;
    disconnect(context(), nullptr, this, nullptr);
    makeCurrent();
    releaseGL();
    doneCurrent();
}

void LiveView::initializeGL() {
    // Called again with a new context when the view moves to another window.
    initializeOpenGLFunctions();
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &LiveView::releaseGL, Qt::UniqueConnection);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
    renderer_.setMaxSize(maxTextureSize_);
    if (!buildProgram()) {
        failed_ = true;
        Q_EMIT openGLFailed();
        return;
    }
    const bool core = context()->format().profile() == QSurfaceFormat::CoreProfile;
    textures_.create(core ? GL_RED : GL_LUMINANCE);
    quad_.create();
    quad_.bind();
    quad_.allocate(kQuad, sizeof kQuad);
    quad_.release();
    // The planes of the picture on screen went with the old context.
    renderer_.refresh();
}

bool LiveView::buildProgram() {
    if (context()->format().profile() == QSurfaceFormat::CoreProfile) {
        DCLog("Live picture: an OpenGL core profile context has no place for this shader; painting instead");
        return false;
    }
    program_ = std::make_unique<QOpenGLShaderProgram>();
    if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !program_->link()) {
        DCLog("Live picture: the OpenGL shader does not build (%s); painting instead",
              qUtf8Printable(program_->log()));
        program_.reset();
        return false;
    }
    program_->bind();
    program_->setUniformValue("planeY", 0);
    program_->setUniformValue("planeU", 1);
    program_->setUniformValue("planeV", 2);
    program_->release();
    return true;
}

void LiveView::releaseGL() {
    textures_.destroy();
    if (quad_.isCreated()) quad_.destroy();
    program_.reset();
}

void LiveView::paintGL() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    if (failed_) return;
    if (const auto picture = renderer_.takePicture(); picture && picture->planes) {
        // The planes go back to their pool as soon as they are in the textures.
        textures_.upload(*picture->planes);
        extent_ = picture->extent;
        hFlipped_ = picture->hFlipped;
        vFlipped_ = picture->vFlipped;
        uploadedGeneration_ = picture->generation;
        uploaded_ = true;
    }
    if (textures_.size().isEmpty()) return;
    drawPicture();
}

void LiveView::drawPicture() {
    const qreal ratio = devicePixelRatioF();
    const QRect bounds(0, 0, int(width() * ratio), int(height() * ratio));
    const QRect place = PictureFit::fitPixels(extent_, bounds);
    if (place.isEmpty()) return;
    // GL counts rows from the bottom.
    glViewport(place.x(), bounds.height() - place.y() - place.height(), place.width(), place.height());
    program_->bind();
    program_->setUniformValue("flip", QVector2D(hFlipped_ ? 1 : 0, vFlipped_ ? 1 : 0));
    const QSizeF reach = textures_.chromaReach();
    program_->setUniformValue("chromaReach", QVector2D(float(reach.width()), float(reach.height())));
    textures_.bind();
    quad_.bind();
    const int position = program_->attributeLocation("position");
    program_->enableAttributeArray(position);
    program_->setAttributeBuffer(position, GL_FLOAT, 0, 2);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    program_->disableAttributeArray(position);
    quad_.release();
    program_->release();
}

void LiveView::onFrameSwapped() {
    if (!std::exchange(uploaded_, false)) return;
    Q_EMIT pictureShown(uploadedGeneration_);
}

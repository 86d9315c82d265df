#pragma once

#include <memory>

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include "ui/view/YuvPlaneTextures.h"

class FrameRenderThread;
class QOpenGLShaderProgram;

// The live picture through OpenGL: uploads the planes its render thread made and draws them
// letterboxed on black, converting YCbCr to RGB (full-range BT.601, as in JPEG) in a fragment shader
// and scaling and mirroring in texture coordinates. The GUI thread never decodes here.
//
// Made by DCCaptureView where OpenGL works; if the shader cannot be built it says openGLFailed() and
// draws black, and the host falls back to the painter view.
class LiveView : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    // `renderer` must outlive the view and make Output::Planes pictures.
    explicit LiveView(FrameRenderThread &renderer, QWidget *parent = nullptr);
    ~LiveView() override;

    // The largest texture side of the context, 0 before the context is made.
    int maxTextureSize() const { return maxTextureSize_; }

Q_SIGNALS:
    // The swap that put the frame of this mailbox generation on screen.
    void pictureShown(quint64 generation);
    void openGLFailed();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    bool buildProgram();
    void releaseGL();
    void drawPicture();
    void onFrameSwapped();

    FrameRenderThread &renderer_;
    std::unique_ptr<QOpenGLShaderProgram> program_;
    QOpenGLBuffer quad_;
    YuvPlaneTextures textures_;
    int maxTextureSize_ = 0;
    bool failed_ = false;

    QSize extent_;
    bool hFlipped_ = false;
    bool vFlipped_ = false;
    quint64 uploadedGeneration_ = 0;
    bool uploaded_ = false; // a new picture was drawn and is waiting for its swap
};

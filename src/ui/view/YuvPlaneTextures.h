#pragma once

#include <QOpenGLFunctions>
#include <QSize>

class I420Image;

// The three planes of a live picture as textures (units 0, 1, 2: Y, Cb, Cr), allocated once per
// picture size and filled with glTexSubImage2D for every frame after that.
//
// Every call needs the owning context current.
class YuvPlaneTextures : protected QOpenGLFunctions {
public:
    // `singleChannelFormat`: GL_LUMINANCE where the context has it, GL_RED in a core profile.
    void create(GLenum singleChannelFormat);
    void destroy();
    bool isCreated() const { return ids_[0] != 0; }

    void upload(const I420Image &planes);
    void bind();

    QSize size() const { return size_; }
    // How far the chroma planes reach across the picture: below 1 where an odd width or height gave
    // the chroma plane a half-used last sample.
    QSizeF chromaReach() const;

private:
    void allocate(QSize size);

    GLuint ids_[3] = {};
    GLenum format_ = 0;
    QSize size_;
};

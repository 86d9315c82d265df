#include "ui/view/YuvPlaneTextures.h"

#include "capture/I420Image.h"

void YuvPlaneTextures::create(GLenum singleChannelFormat) {
    initializeOpenGLFunctions();
    format_ = singleChannelFormat;
    glGenTextures(3, ids_);
    for (GLuint id : ids_) {
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    size_ = QSize();
}

void YuvPlaneTextures::destroy() {
    if (!isCreated()) return;
    glDeleteTextures(3, ids_);
    ids_[0] = ids_[1] = ids_[2] = 0;
    size_ = QSize();
}

void YuvPlaneTextures::allocate(QSize size) {
    const QSize chroma((size.width() + 1) / 2, (size.height() + 1) / 2);
    for (int i = 0; i < 3; ++i) {
        const QSize plane = i == 0 ? size : chroma;
        glBindTexture(GL_TEXTURE_2D, ids_[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, GLint(format_), plane.width(), plane.height(), 0, format_,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    size_ = size;
}

void YuvPlaneTextures::upload(const I420Image &planes) {
    if (planes.size() != size_) allocate(planes.size());
    // Plane rows are packed: an odd width is no multiple of the default 4-byte row alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const uint8_t *data[3] = {planes.y(), planes.u(), planes.v()};
    const QSize sizes[3] = {planes.size(),
                            {planes.chromaWidth(), planes.chromaHeight()},
                            {planes.chromaWidth(), planes.chromaHeight()}};
    for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_2D, ids_[i]);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, sizes[i].width(), sizes[i].height(), format_,
                        GL_UNSIGNED_BYTE, data[i]);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void YuvPlaneTextures::bind() {
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, ids_[i]);
    }
    glActiveTexture(GL_TEXTURE0);
}

QSizeF YuvPlaneTextures::chromaReach() const {
    if (size_.isEmpty()) return {1, 1};
    return {size_.width() / (2.0 * ((size_.width() + 1) / 2)),
            size_.height() / (2.0 * ((size_.height() + 1) / 2))};
}

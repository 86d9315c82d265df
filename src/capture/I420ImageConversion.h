#pragma once

#include <memory>

#include <QImage>

class I420Image;

// Between the pipeline's full-range I420 pictures and RGB images, for the screen's painter fallback,
// clipboard and tests. Both directions use the JPEG (JFIF) colour matrix.
namespace I420ImageConversion {

// An RGB32 image; a null image for a null picture.
QImage toQImage(const I420Image &picture);
// Any QImage (converted to RGB32 first when it is not); null for a null image.
std::shared_ptr<I420Image> fromQImage(const QImage &image);

} // namespace I420ImageConversion

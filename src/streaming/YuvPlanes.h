#pragma once

#include <cstdint>
#include <memory>

#include <QMetaType>

// A picture in planar YUV 4:2:0 (I420) as the compressor takes it: three planes, each with its own
// stride. The planes belong to `owner`, which keeps them alive as long as this image lives; the image
// itself is immutable and shared (std::shared_ptr<const YuvPlanes>) between threads.
struct YuvPlanes {
    int width = 0;
    int height = 0;
    const std::uint8_t *planes[3] = {nullptr, nullptr, nullptr}; // Y, U (Cb), V (Cr)
    int strides[3] = {0, 0, 0};
    std::shared_ptr<const void> owner;
};

Q_DECLARE_METATYPE(std::shared_ptr<const YuvPlanes>)

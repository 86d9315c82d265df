#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mjpegbench {

constexpr const char *kBoundary = "ca3cdghdujhihal3";

// Camera-like JPEGs (quality 90, 4:2:2) of a detailed picture, each frame a little different.
std::vector<std::vector<std::uint8_t>> cameraFrames(int width, int height, int count);
// The body our own server writes: LF line ends, no part lengths, a separator after every image.
std::string streamBody(const std::vector<std::vector<std::uint8_t>> &frames, int repeat);

// CPU time of the calling thread: the machine is shared, so wall time would measure the neighbours.
double threadCpuSeconds();

} // namespace mjpegbench

#include "MJPEGStreamBenchSupport.h"

#include <time.h>

#include <turbojpeg.h>

namespace mjpegbench {

std::vector<std::vector<std::uint8_t>> cameraFrames(int width, int height, int count) {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    tjhandle handle = tjInitCompress();
    std::uint32_t noise = 12345;
    for (int f = 0; f < count; ++f) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                noise = noise * 1664525u + 1013904223u;
                const int grain = static_cast<int>(noise >> 30); // sensor-like noise, 0..3
                unsigned char *p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                const bool text = ((x / 6 + f) % 9 < 4) && ((y / 10) % 3 == 0); // lines of "print"
                p[0] = static_cast<unsigned char>(text ? 30 + grain : 200 + (x * 40) / width + grain);
                p[1] = static_cast<unsigned char>(text ? 30 + grain : 190 + (y * 40) / height + grain);
                p[2] = static_cast<unsigned char>(text ? 40 + grain : 170 + grain);
            }
        unsigned char *out = nullptr;
        unsigned long size = 0;
        tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_422, 90, 0);
        frames.emplace_back(out, out + size);
        tjFree(out);
    }
    tjDestroy(handle);
    return frames;
}

std::string streamBody(const std::vector<std::vector<std::uint8_t>> &frames, int repeat) {
    std::string body = std::string("--") + kBoundary + "\n";
    for (int r = 0; r < repeat; ++r)
        for (const auto &frame : frames) {
            body += "Content-Type: image/jpeg\n\n";
            body.append(frame.begin(), frame.end());
            body += std::string("\n--") + kBoundary + "\n";
        }
    return body;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

} // namespace mjpegbench

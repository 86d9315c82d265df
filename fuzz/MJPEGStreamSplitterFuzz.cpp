// Feeds arbitrary bytes to the MJPEG splitter as a response body, cut into pieces of varying size.
//
// Input: byte 0 picks the Content-Type, byte 1 seeds the piece sizes, the rest is the body. Checked:
// no crash or undefined behaviour; every delivered part is a JPEG start; the buffer stays within its
// bound; and (when the bound was never hit) the parts do not depend on how the body was cut.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "streaming/MJPEGStreamSplitter.h"

namespace {

constexpr std::size_t kBound = 256 * 1024;

constexpr std::string_view kContentTypes[] = {
    "multipart/x-mixed-replace; boundary=\"ca3cdghdujhihal3\"",
    "multipart/x-mixed-replace;boundary=frame",
    "multipart/x-mixed-replace; boundary=--myboundary",
    "multipart/x-mixed-replace",
    "application/octet-stream",
    "",
    "image/jpeg",
};

struct Run {
    std::vector<std::vector<std::uint8_t>> parts;
    bool overflowed = false;
};

Run split(std::string_view contentType, const std::uint8_t *body, std::size_t size, std::uint32_t seed) {
    Run run;
    MJPEGStreamSplitter splitter(
        [&](MJPEGStreamSplitter::Part part) {
            if (part->size() < 3 || (*part)[0] != 0xFF || (*part)[1] != 0xD8) std::abort();
            run.parts.push_back(*part);
        },
        kBound);
    splitter.setDiagnosticHandler([](std::string_view) {});
    splitter.response(contentType);
    std::size_t at = 0;
    while (at < size) {
        std::size_t n = size - at;
        if (seed != 0) {
            seed = seed * 1103515245u + 12345u;
            n = std::min<std::size_t>(n, 1 + (seed >> 16) % 97);
        }
        if (!splitter.append(body + at, n)) run.overflowed = true;
        if (splitter.bufferedBytes() > kBound) std::abort();
        at += n;
    }
    if (contentType.find("image/") != std::string_view::npos) splitter.response(contentType);
    splitter.finish();
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view contentType = kContentTypes[data[0] % std::size(kContentTypes)];
    const std::uint32_t seed = data[1] | 1u;
    const Run whole = split(contentType, data + 2, size - 2, 0);
    const Run pieces = split(contentType, data + 2, size - 2, seed);
    if (!whole.overflowed && !pieces.overflowed && whole.parts != pieces.parts) std::abort();
    return 0;
}

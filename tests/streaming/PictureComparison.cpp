#include "PictureComparison.h"

#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>

#include <QUrl>

#include <turbojpeg.h>

#include "streaming/MJPEGStreamClient.h"

std::optional<RgbPicture> decodeJpeg(const std::vector<std::uint8_t> &jpeg) {
    tjhandle handle = tjInitDecompress();
    RgbPicture picture;
    int subsampling = 0, colorspace = 0;
    bool ok = tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &picture.width, &picture.height,
                                  &subsampling, &colorspace) == 0;
    if (ok) {
        picture.pixels.resize(std::size_t(picture.width) * picture.height * 3);
        ok = tjDecompress2(handle, jpeg.data(), jpeg.size(), picture.pixels.data(), picture.width, 0,
                           picture.height, TJPF_RGB, 0) == 0;
    }
    tjDestroy(handle);
    if (!ok) return std::nullopt;
    return picture;
}

std::optional<RgbPicture> decodeJpegFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return decodeJpeg(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {}));
}

double meanDifference(const RgbPicture &a, const RgbPicture &b) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 255.0;
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return double(sum) / double(a.pixels.size());
}

std::optional<std::vector<std::uint8_t>> firstStreamImage(const std::string &url,
                                                          std::chrono::milliseconds limit) {
    std::promise<std::vector<std::uint8_t>> first;
    auto future = first.get_future();
    bool taken = false;
    MJPEGStreamClient client;
    client.setStreamURL(QUrl(QString::fromStdString(url)));
    client.setPartHandler([&](const MJPEGStreamClient::Part &part) {
        if (taken) return;
        taken = true;
        first.set_value(*part);
    });
    client.start();
    if (future.wait_for(limit) != std::future_status::ready) return std::nullopt;
    client.stop();
    return future.get();
}

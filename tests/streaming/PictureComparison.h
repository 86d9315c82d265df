#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Pictures as the end-to-end tests compare them: decoded to RGB, and told apart by their mean
// difference, so a re-encoded copy of a picture counts as the same picture.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // 3 bytes per pixel, top row first
};

std::optional<RgbPicture> decodeJpeg(const std::vector<std::uint8_t> &jpeg);
std::optional<RgbPicture> decodeJpegFile(const std::string &path);
// Mean absolute difference per channel (0..255) of two pictures of one size.
double meanDifference(const RgbPicture &a, const RgbPicture &b);
// The first image of the MJPEG stream at `url`, or nothing within `limit`.
std::optional<std::vector<std::uint8_t>> firstStreamImage(const std::string &url,
                                                          std::chrono::milliseconds limit);

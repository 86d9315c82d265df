#pragma once

#include <cstdint>
#include <memory>
#include <optional>

class DCUVCCamera;

// Which of the maker's USB products is which camera model. Several product IDs share a model class;
// every product not listed (522 to 527, 530, 531, anything outside 516 to 534, any other vendor) is
// not a camera of ours.
namespace DCProductTable {

constexpr uint32_t kVendorId = 6008; // 0x1778

struct Product {
    const char *logLine; // "Found Orb", ...
    std::shared_ptr<DCUVCCamera> (*camera)();
};

std::optional<Product> lookup(uint32_t vendorId, uint32_t productId);

} // namespace DCProductTable

#include "DCProductTable.h"

#include <array>

#include "devices/DCCameraKite_1.h"
#include "devices/DCCameraOrb.h"
#include "devices/DCCameraOrb_R.h"
#include "devices/DCCameraWren.h"
#include "devices/DCCameraWrenHD.h"

namespace DCProductTable {

namespace {

struct Row {
    uint32_t productId;
    Product product;
};

template <class Model> std::shared_ptr<DCUVCCamera> make() {
    return Model::camera();
}

const std::array kRows = {
    Row{516, {"Found Orb", make<DCCameraOrb>}},        Row{517, {"Found Wren", make<DCCameraWren>}},
    Row{518, {"Found Wren-HD", make<DCCameraWrenHD>}}, Row{528, {"Found Wren-HD", make<DCCameraWrenHD>}},
    Row{534, {"Found Wren-HD", make<DCCameraWrenHD>}}, Row{519, {"Found Kite-1", make<DCCameraKite_1>}},
    Row{529, {"Found Kite-1", make<DCCameraKite_1>}},  Row{533, {"Found Kite-1", make<DCCameraKite_1>}},
    Row{520, {"Found Orb-R", make<DCCameraOrb_R>}},    Row{521, {"Found Orb-R", make<DCCameraOrb_R>}},
    Row{532, {"Found Orb-R", make<DCCameraOrb_R>}},
};

} // namespace

std::optional<Product> lookup(uint32_t vendorId, uint32_t productId) {
    if (vendorId != kVendorId) return std::nullopt;
    for (const Row &row : kRows)
        if (row.productId == productId) return row.product;
    return std::nullopt;
}

} // namespace DCProductTable

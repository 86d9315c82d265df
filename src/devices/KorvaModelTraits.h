#pragma once

#include <cstdint>
#include <span>

#include <QSize>

// What tells the maker's camera models apart: one row of data per model. DCCameraKorvaModel acts on
// a row; the model classes (DCCameraOrb, ...) only name theirs.
struct KorvaModelTraits {
    // How the model reports whether it focuses automatically (autoFocus()).
    enum class Focus {
        ByItself,    // always: the model has no manual focus mode
        UvcElseAuto, // the focus-auto control; a request the device refuses counts as automatic
        Uvc,         // the focus-auto control; a refused request counts as manual
    };
    // What the status timer announces, in this order.
    enum Report : uint8_t { kReportExposure = 0x1, kReportFocusLength = 0x2, kReportFocusAuto = 0x4 };

    uint32_t productId; // the class's own; the attached device's real one replaces it
    const char *model;
    const char *shortModel; // the key of the per-model settings: the two Orbs share theirs
    // Exposure steps run from 1 to lastStep. A model with a table sends the iris value of step - 1
    // from it; the others send the step itself.
    int32_t lastStep;
    std::span<const int32_t> irisOfIndex;
    int32_t exposureDef;
    bool aeLockSupported;
    bool whiteBalanceAdjustable;
    Focus focus;
    uint8_t reports;
    std::span<const QSize> resolutions;
    QSize defaultResolution;

    // The iris value of a table index 0 to 4; 5 for any other index.
    constexpr int32_t exposureIndexToValue(int32_t index) const {
        if (index < 0 || static_cast<size_t>(index) >= irisOfIndex.size()) return kIrisOutsideTable;
        return irisOfIndex[static_cast<size_t>(index)];
    }
    // The table index of an iris value; -1 for a value not in the table.
    constexpr int32_t exposureValueToIndex(int32_t value) const {
        for (size_t i = 0; i < irisOfIndex.size(); ++i)
            if (irisOfIndex[i] == value) return static_cast<int32_t>(i);
        return -1;
    }
    constexpr int32_t irisOfStep(int32_t step) const {
        return irisOfIndex.empty() ? step : exposureIndexToValue(step - 1);
    }

    static constexpr int32_t kIrisOutsideTable = 5;
};

namespace KorvaModels {

inline constexpr int32_t kOrbIris[] = {9, 7, 5, 4, 3};
inline constexpr int32_t kOrbRIris[] = {15, 12, 10, 6, 3};
// The family's picture sizes, and those of the two newest models, with their defaults.
inline constexpr QSize kSizes[] = {{1600, 1200}, {1280, 1024}, {1024, 768},
                                   {800, 600},   {640, 480},   {320, 240}};
inline constexpr QSize kDefaultSize{1024, 768};
inline constexpr QSize kLargeSizes[] = {{2592, 1944}, {2048, 1536}, {1920, 1080}, {1600, 1200},
                                        {1280, 720},  {1024, 768},  {800, 600},   {640, 480}};
inline constexpr QSize kLargeDefaultSize{1600, 1200};

using Focus = KorvaModelTraits::Focus;
inline constexpr uint8_t kExposure = KorvaModelTraits::kReportExposure;
inline constexpr uint8_t kFocus = KorvaModelTraits::kReportFocusLength | KorvaModelTraits::kReportFocusAuto;

// product, model, short model, last step, iris table, default step, exposure lock, white balance,
// focus, status reports, picture sizes, default size
// clang-format off
inline constexpr KorvaModelTraits kOrb{0x0204, "Korva Orbit", "Orb", 5, kOrbIris, 3, false, false,
                                       Focus::ByItself, 0, kSizes, kDefaultSize};
inline constexpr KorvaModelTraits kOrbR{0x0208, "Korva Orbit", "Orb", 5, kOrbRIris, 3, false, false,
                                        Focus::Uvc, kFocus, kSizes, kDefaultSize};
inline constexpr KorvaModelTraits kWren{0x0205, "Korva Wren", "Wren", 15, {}, 8, true, false,
                                        Focus::ByItself, kExposure, kSizes, kDefaultSize};
inline constexpr KorvaModelTraits kWrenHD{0x0206, "Korva Wren-HD", "Wren-HD", 15, {}, 8, true, true,
                                          Focus::UvcElseAuto, kExposure | kFocus, kLargeSizes, kLargeDefaultSize};
inline constexpr KorvaModelTraits kKite1{0x0207, "Korva Kite-1 HD", "Kite-1 HD", 15, {}, 8, true, false,
                                         Focus::Uvc, kExposure | kFocus, kLargeSizes, kLargeDefaultSize};
// clang-format on

inline constexpr const KorvaModelTraits *kAll[] = {&kOrb, &kOrbR, &kWren, &kWrenHD, &kKite1};

} // namespace KorvaModels

#pragma once

#include <memory>

#include "devices/DCCameraKorva.h"
#include "devices/KorvaModelTraits.h"

// One of the maker's camera models: a DCCameraKorva whose names, exposure steps, focus reporting,
// status announcements and picture sizes come from its row of traits. Thread-safety as DCCameraKorva;
// the traits never change.
class DCCameraKorvaModel : public DCCameraKorva {
public:
    const KorvaModelTraits &traits() const { return traits_; }

    QString model() const override;
    QString shortModel() const override;
    int32_t exposureDef() override { return traits_.exposureDef; }
    int32_t exposureMin() override { return 1; }
    int32_t exposureMax() override { return traits_.lastStep; }
    bool setExposure(int32_t step) override;
    bool autoFocus() override;
    void updateStatus() override;

    QStringList classSupportedResolutions() const override { return resolutionsOf(traits_); }
    QSizeF classResolutionAtIndex(int32_t index) const override;
    int32_t classIndexOfResolution(QSizeF size) const override;
    int32_t classIndexOfDefaultResolution() const override;

    static QStringList resolutionsOf(const KorvaModelTraits &traits);
    static int32_t indexOfDefaultResolutionOf(const KorvaModelTraits &traits);

protected:
    explicit DCCameraKorvaModel(const KorvaModelTraits &traits);

private:
    const KorvaModelTraits &traits_;
};

// The class operations of a model, for callers without an instance:
//     class DCCameraOrb final : public DCCameraKorvaModelOf<DCCameraOrb, KorvaModels::kOrb> {};
//     DCCameraOrb::camera(); DCCameraOrb::kProductId; DCCameraOrb::supportedResolutions();
template <class Model, const KorvaModelTraits &kTraits>
class DCCameraKorvaModelOf : public DCCameraKorvaModel {
public:
    static constexpr uint32_t kProductId = kTraits.productId;

    static std::shared_ptr<Model> camera() { return std::make_shared<Model>(); }

    static QStringList supportedResolutions() { return resolutionsOf(kTraits); }
    static QSizeF defaultResolution() { return kTraits.defaultResolution; }
    static QSizeF resolutionAtIndex(int32_t index) {
        return DCResolutionList::at(supportedResolutions(), index);
    }
    static int32_t indexOfResolution(QSizeF size) {
        return DCResolutionList::indexOf(supportedResolutions(), size);
    }
    static int32_t indexOfDefaultResolution() { return indexOfDefaultResolutionOf(kTraits); }

    // Only the models whose exposure steps go through an iris table have these.
    static int32_t exposureIndexToValue(int32_t index) requires(!kTraits.irisOfIndex.empty()) {
        return kTraits.exposureIndexToValue(index);
    }
    static int32_t exposureValueToIndex(int32_t value) requires(!kTraits.irisOfIndex.empty()) {
        return kTraits.exposureValueToIndex(value);
    }

protected:
    DCCameraKorvaModelOf() : DCCameraKorvaModel(kTraits) {}
};

#include "ui/hotkeys/HotKeyBackend.h"

#include "core/DCLog.h"

NoHotKeyBackend::NoHotKeyBackend(QString platformName, QObject *parent)
    : HotKeyBackend(parent), platformName_(std::move(platformName)) {}

std::optional<HotKeyBackend::Reference> NoHotKeyBackend::registerKeyCombo(const DCKeyCombo &,
                                                                          const Label &label) {
    DCLog("No global hot keys on the %s platform: %s is not registered", qUtf8Printable(platformName_),
          qUtf8Printable(label.identifier));
    return std::nullopt;
}

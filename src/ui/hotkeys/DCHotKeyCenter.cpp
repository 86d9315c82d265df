#include "ui/hotkeys/DCHotKeyCenter.h"

#include "core/SharedInstance.h"

DCHotKeyCenter::DCHotKeyCenter(std::unique_ptr<HotKeyBackend> backend, QObject *parent)
    : QObject(parent), backend_(std::move(backend)) {
    connect(backend_.get(), &HotKeyBackend::pressed, this, &DCHotKeyCenter::hotKeyDown);
    connect(backend_.get(), &HotKeyBackend::released, this, &DCHotKeyCenter::hotKeyUp);
}

// The backend releases whatever is still registered as it goes.
DCHotKeyCenter::~DCHotKeyCenter() = default;

DCHotKeyCenter &DCHotKeyCenter::sharedCenter() {
    if (DCHotKeyCenter *center = SharedInstance<DCHotKeyCenter>::get()) return *center;
    qFatal("No hot-key centre is installed; the application core makes and installs it");
}

bool DCHotKeyCenter::registerHotKey(const std::shared_ptr<DCHotKey> &hotKey) {
    if (!hotKey) return false;
    unregisterHotKey(hotKey);
    if (!hotKey->keyCombo().isValidHotKeyCombo()) return true;
    const std::optional<Reference> reference =
        backend_->registerKeyCombo(hotKey->keyCombo(), {hotKey->identifier(), hotKey->name()});
    if (!reference) return false;
    hotKeys_[*reference] = hotKey;
    return true;
}

void DCHotKeyCenter::unregisterHotKey(const std::shared_ptr<DCHotKey> &hotKey) {
    const std::optional<Reference> reference = referenceForHotKey(hotKey.get());
    if (!reference) return;
    backend_->unregisterKeyCombo(*reference);
    hotKeys_.erase(*reference);
}

QList<std::shared_ptr<DCHotKey>> DCHotKeyCenter::allHotKeys() const {
    QList<std::shared_ptr<DCHotKey>> out;
    for (const auto &[reference, hotKey] : hotKeys_)
        out << hotKey;
    return out;
}

std::shared_ptr<DCHotKey> DCHotKeyCenter::hotKeyWithIdentifier(const QString &identifier) const {
    if (identifier.isEmpty()) return nullptr;
    for (const auto &[reference, hotKey] : hotKeys_)
        if (hotKey->identifier() == identifier) return hotKey;
    return nullptr;
}

std::optional<HotKeyBackend::Reference> DCHotKeyCenter::referenceForHotKey(const DCHotKey *hotKey) const {
    std::optional<Reference> found;
    for (const auto &[reference, registered] : hotKeys_) {
        if (registered.get() != hotKey) continue;
        Q_ASSERT_X(!found, "unregisterHotKey", "Failed to find Carbon Hotkey for HotKey");
        found = reference;
    }
    return found;
}

// A press may still be on its way from the service when its hot key is unregistered: the reference is
// unknown by then, and the press is dropped.
void DCHotKeyCenter::hotKeyDown(Reference reference) {
    const auto it = hotKeys_.find(reference);
    if (it == hotKeys_.end()) return;
    const std::shared_ptr<DCHotKey> hotKey = it->second; // the action may unregister it
    hotKey->invoke();
    Q_EMIT hotKeyPressed(hotKey.get());
}

void DCHotKeyCenter::hotKeyUp(Reference reference) {
    const auto it = hotKeys_.find(reference);
    if (it == hotKeys_.end()) return;
    const std::shared_ptr<DCHotKey> hotKey = it->second;
    Q_EMIT hotKeyReleased(hotKey.get());
}

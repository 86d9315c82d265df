#include "ui/hotkeys/X11HotKeyBackend.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QGuiApplication>

#include "core/DCLog.h"
#include "ui/hotkeys/HotKeyModifiers.h"

namespace {

// The lock modifiers a grab must ignore: each grab is made once per combination of them.
constexpr std::array<uint16_t, 4> kLockVariants{0, HotKeyModifiers::kLock, HotKeyModifiers::kNumLock,
                                                HotKeyModifiers::kLock | HotKeyModifiers::kNumLock};
// The modifiers that tell hot keys apart: all eight but Caps Lock and Num Lock (Mod2).
constexpr uint16_t kRelevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 |
                                        XCB_MOD_MASK_3 | XCB_MOD_MASK_4 | XCB_MOD_MASK_5;
constexpr uint8_t kBadAccess = 10;

} // namespace

std::unique_ptr<X11HotKeyBackend> X11HotKeyBackend::forApplication() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection()) return nullptr;
    return std::make_unique<X11HotKeyBackend>(x11->connection());
}

X11HotKeyBackend::X11HotKeyBackend(xcb_connection_t *connection, QObject *parent)
    : HotKeyBackend(parent), connection_(connection), keySymbols_(xcb_key_symbols_alloc(connection)) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

X11HotKeyBackend::~X11HotKeyBackend() {
    for (const auto &[reference, grab] : grabs_)
        ungrab(grab);
    xcb_flush(connection_);
    if (filterInstalled_ && qGuiApp) qGuiApp->removeNativeEventFilter(this);
    xcb_key_symbols_free(keySymbols_);
}

std::optional<HotKeyBackend::Reference> X11HotKeyBackend::registerKeyCombo(const DCKeyCombo &combo,
                                                                           const Label &label) {
    // The locks are left to the grab's variants; bits beyond the eight modifiers the server would refuse.
    Grab wanted{keycodesFor(uint32_t(combo.keyCode())), uint16_t(combo.modifiers() & kRelevantModifiers)};
    if (wanted.keycodes.empty()) {
        DCLog("The hot key %s is not registered: no key of this keyboard makes keysym 0x%x",
              qUtf8Printable(label.identifier), unsigned(combo.keyCode()));
        return std::nullopt;
    }
    // Grabbing again what we hold already would succeed, and ungrabbing either would free both.
    for (const auto &[reference, held] : grabs_) {
        if (held.keycodes == wanted.keycodes && held.modifiers == wanted.modifiers) {
            DCLog("The hot key %s is not registered: its keys are registered already",
                  qUtf8Printable(label.identifier));
            return std::nullopt;
        }
    }
    if (!grab(wanted, label)) return std::nullopt;
    installFilter();
    const Reference reference = nextReference_++;
    grabs_[reference] = std::move(wanted);
    return reference;
}

void X11HotKeyBackend::unregisterKeyCombo(Reference reference) {
    const auto it = grabs_.find(reference);
    if (it == grabs_.end()) return;
    ungrab(it->second);
    xcb_flush(connection_);
    grabs_.erase(it);
}

std::vector<uint8_t> X11HotKeyBackend::keycodesFor(uint32_t keysym) {
    std::vector<uint8_t> out;
    if (keysym == 0) return out; // NoSymbol would match every unbound key
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(keySymbols_, keysym);
    for (xcb_keycode_t *code = codes; code && *code != XCB_NO_SYMBOL; ++code)
        if (std::find(out.begin(), out.end(), *code) == out.end()) out.push_back(*code);
    std::free(codes);
    return out;
}

// Every grab is checked; when one is refused, those that were made are undone, so that a hot key is
// either wholly ours or not at all.
bool X11HotKeyBackend::grab(const Grab &grab, const Label &label) {
    std::vector<xcb_void_cookie_t> cookies;
    for (uint8_t keycode : grab.keycodes)
        for (uint16_t lock : kLockVariants)
            cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, grab.modifiers | lock, keycode,
                                                   XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    uint8_t error = 0;
    for (const xcb_void_cookie_t &cookie : cookies) {
        if (xcb_generic_error_t *e = xcb_request_check(connection_, cookie)) {
            if (!error) error = e->error_code;
            std::free(e);
        }
    }
    if (!error) return true;
    ungrab(grab); // ungrabbing releases only our own grabs, never another client's
    xcb_flush(connection_);
    DCLog("The hot key %s is not registered: the X server refused the key grab (%s, error %u)",
          qUtf8Printable(label.identifier), error == kBadAccess ? "held by another program" : "failed",
          unsigned(error));
    return false;
}

void X11HotKeyBackend::ungrab(const Grab &grab) {
    for (uint8_t keycode : grab.keycodes)
        for (uint16_t lock : kLockVariants)
            xcb_ungrab_key(connection_, keycode, root_, grab.modifiers | lock);
}

void X11HotKeyBackend::installFilter() {
    if (filterInstalled_ || !qGuiApp) return;
    qGuiApp->installNativeEventFilter(this);
    filterInstalled_ = true;
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto *event = static_cast<xcb_generic_event_t *>(message);
    const uint8_t type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    const auto *key = reinterpret_cast<const xcb_key_press_event_t *>(event);
    if (key->event != root_) return false; // an ordinary key event for one of our windows
    if (type == XCB_KEY_PRESS) return keyPressed(key->detail, key->state);
    return keyReleased(key->detail);
}

bool X11HotKeyBackend::keyPressed(uint8_t keycode, uint16_t state) {
    const uint16_t modifiers = state & kRelevantModifiers;
    for (const auto &[reference, grab] : grabs_) {
        if (grab.modifiers != modifiers) continue;
        if (std::find(grab.keycodes.begin(), grab.keycodes.end(), keycode) == grab.keycodes.end()) continue;
        down_[keycode] = reference;
        Q_EMIT pressed(Reference(reference)); // may unregister: nothing of the loop is used after it
        return true;
    }
    return false;
}

// The modifiers are often let go before the key itself, so a release belongs to the hot key whose press
// the same key made, whatever the modifiers are by then.
bool X11HotKeyBackend::keyReleased(uint8_t keycode) {
    const auto it = down_.find(keycode);
    if (it == down_.end()) return false;
    const Reference reference = it->second;
    down_.erase(it);
    if (grabs_.count(reference)) Q_EMIT released(reference);
    return true;
}

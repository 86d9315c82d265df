#pragma once

#include <map>
#include <memory>
#include <vector>

#include <QAbstractNativeEventFilter>

#include "ui/hotkeys/HotKeyBackend.h"

struct xcb_connection_t;
struct _XCBKeySymbols;

// Hot keys on X11: a passive grab of the key on the root window, so the X server sends its presses and
// releases to us whichever window has the keyboard. The grab is made also with Caps Lock, Num Lock and
// both, or a locked keyboard would silently swallow the hot key. Events come through Qt's xcb platform,
// as a native event filter on the application, on the main thread.
class X11HotKeyBackend : public HotKeyBackend, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The backend on the application's own X connection; none unless the platform is xcb.
    static std::unique_ptr<X11HotKeyBackend> forApplication();

    // `connection` must outlive the backend and be the one Qt reads events from.
    explicit X11HotKeyBackend(xcb_connection_t *connection, QObject *parent = nullptr);
    ~X11HotKeyBackend() override;

    std::optional<Reference> registerKeyCombo(const DCKeyCombo &combo, const Label &label) override;
    void unregisterKeyCombo(Reference reference) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab {
        std::vector<uint8_t> keycodes; // every key that carries the keysym
        uint16_t modifiers = 0;
    };

    std::vector<uint8_t> keycodesFor(uint32_t keysym);
    bool grab(const Grab &grab, const Label &label);
    void ungrab(const Grab &grab);
    void installFilter();
    bool keyPressed(uint8_t keycode, uint16_t state);
    bool keyReleased(uint8_t keycode);

    xcb_connection_t *connection_;
    uint32_t root_ = 0;
    _XCBKeySymbols *keySymbols_ = nullptr;
    std::map<Reference, Grab> grabs_;
    std::map<uint8_t, Reference> down_; // keys whose press went to a hot key, until released
    Reference nextReference_ = 1;
    bool filterInstalled_ = false;
};

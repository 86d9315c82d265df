#include "ui/hotkeys/HotKeyBackendFactory.h"

#include <QGuiApplication>

#include "ui/hotkeys/PortalHotKeyBackend.h"
#include "ui/hotkeys/X11HotKeyBackend.h"

std::unique_ptr<HotKeyBackend> HotKeyBackendFactory::create() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        if (auto x11 = X11HotKeyBackend::forApplication()) return x11;
    } else if (platform.startsWith(QLatin1String("wayland"))) {
        return std::make_unique<PortalHotKeyBackend>();
    }
    return std::make_unique<NoHotKeyBackend>(platform);
}

#pragma once

#include <memory>

#include "ui/hotkeys/HotKeyBackend.h"

// Chooses the hot-key service for the platform the application runs on: key grabs on X11, the desktop
// portal on Wayland, none elsewhere. Called once, by whoever makes the DCHotKeyCenter, after the
// QGuiApplication exists.
struct HotKeyBackendFactory {
    static std::unique_ptr<HotKeyBackend> create();
};

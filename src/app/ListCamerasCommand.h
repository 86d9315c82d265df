#pragma once

#include <chrono>
#include <cstdio>

#include <QList>

#include "devices/DCCamera.h"

struct CommandLine;

// `korva-lectern --list-cameras [--demo[=MODEL]]... [--stream-url URL]...`: runs discovery until it settles
// (bounded) and prints one line per available camera. Works without cameras, without avahi-daemon and without
// a display. Results go to standard output, errors to standard error, log lines to the log file.
class ListCamerasCommand {
public:
    // How long network cameras get to be found after the USB cameras are in.
    static constexpr std::chrono::milliseconds kNetworkWait{1500};

    // Answers the exit status: 0, or 2 for an unknown demo model or a --stream-url that is no http URL.
    static int run(const CommandLine &commandLine);
    // One tab-separated line per camera: kind (usb or network), model, short model, capabilities,
    // location ID, capture identifier, firmware version; "no cameras" when there is none.
    static void print(const QList<DCCameraPtr> &cameras, std::FILE *out);
};

#pragma once

#include <optional>

#include <QString>
#include <QStringList>
#include <QUrl>

// The program's command line. Modes other than the window print to standard output and error and
// exit non-zero on failure.
struct CommandLine {
    enum class Mode { Window, ListControls, ListCameras, Snapshot, Headless, Help, Version };

    Mode mode = Mode::Window;
    QStringList demoModels;        // one entry per --demo[=MODEL]; "" means the default model
    bool demoWhenNoCamera = false; // --demo-if-no-camera
    QString device;                // --device /dev/videoN
    QStringList streamUrls;        // --stream-url URL (repeatable)
    std::optional<int> port;       // --port N
    std::optional<int> timer;      // --timer SECONDS
    // An "en-orb:" URL: the desktop's browser hands back the end of an Evernote sign-in (window mode).
    QUrl callbackUrl;
    QString error; // set when the words could not be understood

    static CommandLine parse(const QStringList &arguments);
    static QString usage();
};

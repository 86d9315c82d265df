#pragma once

#include <chrono>

struct CommandLine;

// `korva-lectern --snapshot [--demo[=MODEL]] [--timer SECONDS]`: without a window, waits for the
// current camera and its first frame, then takes one photo through the action controller as the
// snapshot button does (the self-timer counting down first when one is given) and prints the path of
// the file. Errors go to standard error, log lines to the log file.
class SnapshotCommand {
public:
    static constexpr std::chrono::milliseconds kCameraWait{5000};
    static constexpr std::chrono::milliseconds kFrameWait{5000};
    // How long writing the file may take once the countdown is over.
    static constexpr std::chrono::milliseconds kWriteWait{10000};

    // Answers the exit status: 0 with a photo written, 1 without camera, frame or file (or when a
    // SIGINT or SIGTERM came first), 2 for a command line that names an unknown demo model.
    static int run(const CommandLine &commandLine);
};

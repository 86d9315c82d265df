#pragma once

#include <cstdio>

struct CommandLine;
class DCUVCCamera;

// `korva-lectern --list-controls [--device /dev/videoN | --demo[=MODEL]]`: prepares one camera and
// prints what the camera class reads from it. Results go to standard output, errors to standard error,
// log lines to the log file.
class ListControlsCommand {
public:
    // Answers the exit status: 0, or 1 when there is no camera to read.
    static int run(const CommandLine &commandLine);
    // The report for a prepared camera.
    static void print(DCUVCCamera &camera, std::FILE *out);
};

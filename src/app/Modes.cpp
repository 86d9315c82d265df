#include "Modes.h"

#include <cstdio>

#include "CommandLine.h"
#include "DCAppController.h"
#include "HeadlessCommand.h"
#include "ListCamerasCommand.h"
#include "ListControlsCommand.h"
#include "SnapshotCommand.h"
#include "ui/window/DCAboutWindowController.h"

namespace Modes {

int run(const CommandLine &cl) {
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        std::fputs(qUtf8Printable(CommandLine::usage()), stdout);
        return 0;
    case CommandLine::Mode::Version:
        // The About box's own text, so both always agree.
        std::printf("korva-lectern %s\n", qUtf8Printable(DCAboutWindowController::softwareVersion()));
        return 0;
    case CommandLine::Mode::ListControls:
        return ListControlsCommand::run(cl);
    case CommandLine::Mode::ListCameras:
        return ListCamerasCommand::run(cl);
    case CommandLine::Mode::Snapshot:
        return SnapshotCommand::run(cl);
    case CommandLine::Mode::Headless:
        return HeadlessCommand::run(cl);
    case CommandLine::Mode::Window:
        return DCAppController(cl).run();
    }
    return 2;
}

} // namespace Modes

#include "Modes.h"

#include <cstdio>

#include "CommandLine.h"
#include "DCAppController.h"
#include "HeadlessCommand.h"
#include "ListCamerasCommand.h"
#include "ListControlsCommand.h"
#include "SnapshotCommand.h"

namespace Modes {

int run(const CommandLine &cl) {
    switch (cl.mode) {
    case CommandLine::Mode::Help:
        std::fputs(qUtf8Printable(CommandLine::usage()), stdout);
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

#pragma once

struct CommandLine;

// The program's modes. Each answers the process exit status.
namespace Modes {
int run(const CommandLine &commandLine);
} // namespace Modes

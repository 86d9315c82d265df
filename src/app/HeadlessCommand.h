#pragma once

struct CommandLine;

// `--headless`: everything but the windows. The current camera's live picture (with its stored
// mirroring) is streamed by the HTTP server and announced on the network until SIGINT or SIGTERM;
// the stream's address goes to standard output. Ends the process with its exit status.
namespace HeadlessCommand {
int run(const CommandLine &cl);
} // namespace HeadlessCommand

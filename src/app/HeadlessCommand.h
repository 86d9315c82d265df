#pragma once

struct CommandLine;

// `--headless`: everything but the windows. The current camera's live picture (with its stored
// mirroring) is streamed by the HTTP server and announced on the network until SIGINT or SIGTERM;
// the stream's address goes to standard output. Answers the exit status: 0 after a stop by signal,
// 1 when the stream cannot be served, 2 for a command line that cannot be used.
namespace HeadlessCommand {
int run(const CommandLine &cl);
} // namespace HeadlessCommand

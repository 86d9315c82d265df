#pragma once

#include <string>

// Declares that benchmark `measured` is to be reported as a ratio of `baseline` (both full names as
// Google Benchmark prints them, e.g. "BM_Post/3"). Call at static-initialisation time:
//   static const bool registered = kl::compareWith("BM_Post/3", "BM_DirectCall/3");
namespace kl {
bool compareWith(const std::string &measured, const std::string &baseline);

// Runs the benchmarks named on the command line and prints the ratios. A program that needs another
// application object (widgets) has its own main, which makes it and calls this.
int runBenchmarks(int argc, char **argv);
} // namespace kl

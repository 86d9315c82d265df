#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

std::vector<std::pair<std::string, std::string>> &comparisons() {
    static std::vector<std::pair<std::string, std::string>> list;
    return list;
}

// Prints as usual and remembers each case's time per iteration (real time, in its own unit).
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                times[run.benchmark_name()] = run.GetAdjustedRealTime() *
                                              benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                                              benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    std::map<std::string, double> times; // nanoseconds
};

} // namespace

namespace kl {
bool compareWith(const std::string &measured, const std::string &baseline) {
    comparisons().emplace_back(measured, baseline);
    return true;
}
} // namespace kl

namespace kl {
int runBenchmarks(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!comparisons().empty()) std::printf("\nRatios against the same run's baselines:\n");
    for (const auto &[measured, baseline] : comparisons()) {
        const auto m = reporter.times.find(measured);
        const auto b = reporter.times.find(baseline);
        if (m == reporter.times.end() || b == reporter.times.end() || b->second <= 0) continue;
        std::printf("  %-50s %10.3f us  vs %-40s %10.3f us  ratio %.3fx\n", measured.c_str(), m->second / 1e3,
                    baseline.c_str(), b->second / 1e3, m->second / b->second);
    }
    benchmark::Shutdown();
    return 0;
}
} // namespace kl

// Start-up as a user sees it, in a real X server (run under
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/ui/bench_ui_startup):
// from launching the program with the simulated camera to its first picture on screen, the median of
// five starts, each with a fresh home (no settings, no photos, no log). The baseline is the same
// launches up to the main window being shown, which is what the toolkit and the program's objects cost
// before any camera. The milestones come from the program's own log, whose lines carry their time.
//
// Counters (medians, ms after launch): window, device (discovery sees the camera), camera (after the
// settle a new device gets), picture; settle_ms is the program's own wait in between.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <spawn.h>
#include <thread>
#include <vector>

#include <sys/wait.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include "support/BenchSupport.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;

constexpr int kStarts = 5;
constexpr auto kLimit = 30s;

// What the log says, with the log's own clock (ms since the epoch).
const std::map<std::string, QString> kMilestones = {{"window", QStringLiteral("The main window is shown")},
                                                    {"device", QStringLiteral("Got a device")},
                                                    {"camera", QStringLiteral("Found Wren-HD")},
                                                    {"picture", QStringLiteral("First picture on screen")}};

std::map<std::string, qint64> milestonesIn(const QString &log) {
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}) "));
    std::map<std::string, qint64> found;
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = stamp.match(line);
        if (!m.hasMatch()) continue;
        for (const auto &[name, text] : kMilestones)
            if (!found.count(name) && line.contains(text))
                found[name] = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                                  .toMSecsSinceEpoch();
    }
    return found;
}

// One start in a fresh home; the milestones in ms after launch, empty when the picture never came.
std::map<std::string, double> startOnce() {
    QTemporaryDir home;
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_", 0) != 0) env.push_back(entry);
    }
    const std::string root = home.path().toStdString();
    for (const auto &[name, sub] : {std::pair{"HOME", ""},
                                    {"XDG_CONFIG_HOME", "/config"},
                                    {"XDG_DATA_HOME", "/data"},
                                    {"XDG_RUNTIME_DIR", "/runtime"}}) {
        QDir().mkpath(QString::fromStdString(root + sub));
        env.push_back(std::string(name) + "=" + root + sub);
    }
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::vector<char *> envp;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char program[] = KL_PROGRAM;
    char demo[] = "--demo";
    char *argv[] = {program, demo, nullptr};

    const qint64 launched = QDateTime::currentMSecsSinceEpoch();
    pid_t pid = -1;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, envp.data()) != 0) return {};
    QFile log(home.path() + QStringLiteral("/data/Orb/Log.txt"));
    std::map<std::string, qint64> found;
    for (auto until = std::chrono::steady_clock::now() + kLimit;
         !found.count("picture") && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(10ms);
        if (log.open(QIODevice::ReadOnly)) {
            found = milestonesIn(QString::fromUtf8(log.readAll()));
            log.close();
        }
    }
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    std::map<std::string, double> after;
    if (!found.count("picture")) return after;
    for (const auto &[name, at] : found)
        after[name] = double(at - launched);
    return after;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void launchUntil(benchmark::State &state, const std::string &milestone) {
    for (auto _ : state) {
        std::map<std::string, std::vector<double>> samples;
        for (int i = 0; i < kStarts; ++i) {
            const auto start = startOnce();
            if (start.empty()) {
                state.SkipWithError("no picture within the limit");
                return;
            }
            for (const auto &[name, ms] : start)
                samples[name].push_back(ms);
        }
        state.SetIterationTime(median(samples[milestone]) / 1e3);
        for (const auto &[name, values] : samples)
            state.counters[name + "_ms"] = median(values);
        state.counters["settle_ms"] = median(samples["camera"]) - median(samples["device"]);
    }
}

void BM_LaunchToWindowShown(benchmark::State &state) {
    launchUntil(state, "window");
}
void BM_LaunchToFirstPicture(benchmark::State &state) {
    launchUntil(state, "picture");
}

BENCHMARK(BM_LaunchToWindowShown)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LaunchToFirstPicture)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

const bool registered = kl::compareWith("BM_LaunchToFirstPicture/iterations:1/manual_time",
                                        "BM_LaunchToWindowShown/iterations:1/manual_time");

} // namespace

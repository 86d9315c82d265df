// The cost of one post to a few observers, against calling the same observers directly.
#include <functional>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/DCNotificationCenter.h"
#include "support/BenchSupport.h"

namespace {

void BM_DirectCall(benchmark::State &state) {
    int sink = 0;
    std::vector<std::function<void(const DCNotification &)>> observers(
        static_cast<size_t>(state.range(0)), [&sink](const DCNotification &n) { sink += n.name.size(); });
    const DCNotification note{QStringLiteral("DCWillDisplayImage"), {}, {}};
    for (auto _ : state)
        for (auto &o : observers)
            o(note);
    benchmark::DoNotOptimize(sink);
}
BENCHMARK(BM_DirectCall)->Arg(3);

void BM_Post(benchmark::State &state) {
    int sink = 0;
    DCNotificationCenter center;
    for (int i = 0; i < state.range(0); ++i)
        center.addObserver(QStringLiteral("DCWillDisplayImage"),
                           [&sink](const DCNotification &n) { sink += n.name.size(); });
    for (int i = 0; i < 20; ++i)
        center.addObserver(QStringLiteral("Other%1").arg(i), [](const DCNotification &) {});
    const DCNotification note{QStringLiteral("DCWillDisplayImage"), {}, {}};
    for (auto _ : state)
        center.postNotification(note);
    benchmark::DoNotOptimize(sink);
}
BENCHMARK(BM_Post)->Arg(3);

const bool registered = kl::compareWith("BM_Post/3", "BM_DirectCall/3");

} // namespace

// Speed of the searches that run for every landing, on a full 14 x 11 board.
// Run on demand: cmake --build build --target tarnwick_bench && build/tests/tarnwick_bench
#include <benchmark/benchmark.h>

#include "core/grid.h"

namespace {

core::Board fullBoard(int colours) {
    core::Board b = core::makeEmptyBoard(14, 11);
    core::Mulberry32 rnd(42);
    for (auto& row : b)
        for (int& v : row) v = rnd.nextInt(colours);
    return b;
}

void BM_TryLand(benchmark::State& state) {
    const core::Board b = fullBoard(4);
    core::Board open = b;
    for (int r = 10; r < 14; ++r)
        for (int& v : open[r]) v = -1;
    const core::Point p = core::cellCenter(10, 5, 10);
    const core::ShotState s{p.x + 1, p.y, 0, -1200, 0};
    for (auto _ : state) benchmark::DoNotOptimize(core::tryLand(s, open, 10, 14, 11, 0));
}
BENCHMARK(BM_TryLand);

void BM_SameColorClusterMonochrome(benchmark::State& state) {
    const core::Board b = fullBoard(1);  // worst case: the whole board is one group
    for (auto _ : state) benchmark::DoNotOptimize(core::sameColorCluster(b, 13, 5));
}
BENCHMARK(BM_SameColorClusterMonochrome);

void BM_FloatingBubblesFull(benchmark::State& state) {
    const core::Board b = fullBoard(4);
    for (auto _ : state) benchmark::DoNotOptimize(core::floatingBubbles(b));
}
BENCHMARK(BM_FloatingBubblesFull);

void BM_ClusterPlusFloating(benchmark::State& state) {
    const core::Board b = fullBoard(1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::sameColorCluster(b, 13, 5));
        benchmark::DoNotOptimize(core::floatingBubbles(b));
    }
}
BENCHMARK(BM_ClusterPlusFloating);

}  // namespace

// Cost of a whole frame of one screen against the floor every frame pays (clearing the
// canvas, uploading it, copying it, presenting), at 1280 x 720 and 1920 x 1080, with the
// offscreen OpenGL renderer and with SDL's software renderer. OpenGL frames end with
// glFinish so that the rasteriser's deferred work is counted.
//
// Run on demand:
//   cmake --build build --target tarnwick_bench
//   TARNWICK_BENCH_SCREEN=menu build/tests/tarnwick_bench --benchmark_filter=Frame
// The screen is named like PLUMBRIX_SCREEN (menu, levels, playing:N, arcade, ...); with
// TARNWICK_BENCH_VEIL=1 it lies under the veil a dialog or the pause lays over the window.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "bench/timing.h"
#include "support/headless.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/shell.h"
#include "core/grid.h"
#include "theme.h"
#include "ui/bubble.h"
#include "ui/fx.h"

namespace {

using benchtiming::median;
using benchtiming::processCpuSeconds;
using benchtiming::wallSeconds;

constexpr int kFrames = 120;
constexpr int kWarmUp = 10;

// Floor and screen take turns this many times, so a neighbour's load on the shared machine
// weighs on both alike.
constexpr int kRounds = 3;

struct Samples {
    std::vector<double> cpu;   // process CPU ms per frame (rasteriser threads included)
    std::vector<double> wall;  // wall ms per frame
};

// Runs frames through the shell and times each one up to and including the finish.
void timeFrames(testsupport::Headless& h, bool gl, Samples* out) {
    using GlFinish = void (*)();
    auto finish = gl ? reinterpret_cast<GlFinish>(SDL_GL_GetProcAddress("glFinish")) : nullptr;
    h.shell().beforePresent = nullptr;  // no read-back: it is not part of a frame
    double t = 0;
    for (int i = 0; i < kWarmUp + kFrames; ++i) {
        const double c0 = processCpuSeconds();
        const double w0 = wallSeconds();
        h.frame(t += 1.0 / 60.0);
        if (finish != nullptr) finish();
        if (i < kWarmUp) continue;
        out->cpu.push_back(1000 * (processCpuSeconds() - c0));
        out->wall.push_back(1000 * (wallSeconds() - w0));
    }
}


void BM_Frame(benchmark::State& state, testsupport::RenderPath path, int w, int h) {
    const char* name = std::getenv("TARNWICK_BENCH_SCREEN");
    ui::GameState screen;
    if (!ui::startScreenFor(name != nullptr ? name : "menu", &screen)) {
        state.SkipWithError("unknown TARNWICK_BENCH_SCREEN");
        return;
    }
    benchtiming::gameRenderer();
    testsupport::Headless hl(w, h, path);
    if (!hl.ok()) {
        state.SkipWithError("no renderer");
        return;
    }
    const bool gl = path == testsupport::RenderPath::OpenGL;
    const char* veil = std::getenv("TARNWICK_BENCH_VEIL");
    const bool veiled = veil != nullptr && veil[0] == '1';
    Samples floor;
    Samples frame;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            hl.setUpdate(benchtiming::floorFrame);
            timeFrames(hl, gl, &floor);
            if (veiled) {
                hl.setUpdate([](ui::Ctx& c) {
                    ui::Game::instance().update(c);
                    ui::veilWindow(c, 0x000000, 0.7);
                });
            } else {
                hl.setUpdate(nullptr);
            }
            ui::Game::instance().resetTo(screen);
            timeFrames(hl, gl, &frame);
        }
        state.SetIterationTime(median(frame.wall) / 1000);
    }
    const double cpu = median(frame.cpu);
    const double floorCpu = median(floor.cpu);
    state.counters["cpu_ms"] = cpu;
    state.counters["floor_cpu_ms"] = floorCpu;
    state.counters["wall_ms"] = median(frame.wall);
    state.counters["floor_wall_ms"] = median(floor.wall);
    state.counters["above_floor_ms"] = cpu - floorCpu;
    state.counters["x_floor"] = floorCpu > 0 ? cpu / floorCpu : 0;
}

BENCHMARK_CAPTURE(BM_Frame, OpenGL_1280x720, testsupport::RenderPath::OpenGL, 1280, 720)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Frame, OpenGL_1920x1080, testsupport::RenderPath::OpenGL, 1920, 1080)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Frame, Software_1280x720, testsupport::RenderPath::Software, 1280, 720)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Frame, Software_1920x1080, testsupport::RenderPath::Software, 1920, 1080)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The straight-alpha path converts the whole canvas every frame: a mostly clear canvas
// with one band of soft content, as the screens leave it.
void BM_UnpremultiplyCanvas(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> px(static_cast<size_t>(w) * h, 0);
    for (int y = h / 3; y < h / 3 + 60; ++y)
        for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = 0x80402010u;
    for (auto _ : state) {
        std::vector<std::uint32_t> work = px;
        ui::unpremultiplyPixels(reinterpret_cast<unsigned char*>(work.data()), w, h, w * 4);
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_UnpremultiplyCanvas)
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// A full board of resting marbles from the cache plus 200 live particles, against the
// floor, at 1920 x 1080: what the play screen's sprites cost on top of every frame.
void BM_BoardSprites(benchmark::State& state, testsupport::RenderPath path) {
    benchtiming::gameRenderer();
    testsupport::Headless hl(1920, 1080, path);
    if (!hl.ok()) {
        state.SkipWithError("no renderer");
        return;
    }
    const bool gl = path == testsupport::RenderPath::OpenGL;
    const auto palette = theme::paletteForLevel(40);
    ui::Fx fx;
    std::vector<double> issue;  // CPU spent in our drawing code, before the rasteriser
    auto board = [&](ui::Ctx& ctx) {
        const double c0 = processCpuSeconds();
        benchtiming::floorFrame(ctx);
        const double R = 30;
        for (int r = 0; r < 14; ++r)
            for (int c = 0; c < 11; ++c) {
                const core::Point p = core::cellCenter(r, c, R);
                ui::drawBubble(theme::MarbleSkin::Bubble, palette[(r * 11 + c) % 6], 600 + p.x,
                               60 + p.y, R, 1.0);
            }
        // Keep 200 particles alive: respawn each one as it expires.
        fx.update(ctx);
        core::Mulberry32 rnd(static_cast<std::uint32_t>(ctx.t * 1000));
        while (fx.parts().size() < 200) {
            const double x = 600 + 660 * rnd.next(), y = 100 + 600 * rnd.next();
            const std::uint32_t col = palette[static_cast<size_t>(rnd.nextInt(6))];
            switch (rnd.nextInt(4)) {
                case 0: fx.droplet(x, y, 200 * rnd.next() - 100, -300 * rnd.next(), col, ctx.t, 6); break;
                case 1: fx.sparkle(x, y, 200 * rnd.next() - 100, -200 * rnd.next(), col, ctx.t, 4); break;
                case 2: fx.shockwave(x, y, col, ctx.t, 1.0, 30); break;
                default: fx.fallingBubble(x, y, 80 * rnd.next() - 40, col, 1, ctx.t, 1070, 30); break;
            }
        }
        fx.drawGpu(ctx);
        issue.push_back(1000 * (processCpuSeconds() - c0));
    };
    Samples floor;
    Samples frame;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            hl.setUpdate(benchtiming::floorFrame);
            timeFrames(hl, gl, &floor);
            hl.setUpdate(board);
            timeFrames(hl, gl, &frame);
        }
        state.SetIterationTime(median(frame.wall) / 1000);
    }
    hl.setUpdate(nullptr);
    state.counters["cpu_ms"] = median(frame.cpu);
    state.counters["floor_cpu_ms"] = median(floor.cpu);
    state.counters["above_floor_ms"] = median(frame.cpu) - median(floor.cpu);
    state.counters["draw_calls"] = ui::gpuDrawCalls();
    state.counters["issue_ms"] = median(issue);
}
BENCHMARK_CAPTURE(BM_BoardSprites, OpenGL, testsupport::RenderPath::OpenGL)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BoardSprites, Software, testsupport::RenderPath::Software)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// Cost of a whole frame of one screen against the floor every frame pays (clearing the
// canvas, uploading it, copying it, presenting), at 1280 x 720 and 1920 x 1080, with the
// offscreen OpenGL renderer and with SDL's software renderer. OpenGL frames end with
// glFinish so that the rasteriser's deferred work is counted.
//
// Run on demand:
//   cmake --build build --target tarnwick_bench
//   TARNWICK_BENCH_SCREEN=menu build/tests/tarnwick_bench --benchmark_filter=Frame
// The screen is named like PLUMBRIX_SCREEN (menu, levels, playing:N, arcade, ...).
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

struct Timing {
    double cpuMs = 0;   // median process CPU time per frame (rasteriser threads included)
    double wallMs = 0;  // median wall time per frame
};

// Runs frames through the shell and times each one up to and including the finish.
Timing timeFrames(testsupport::Headless& h, bool gl) {
    using GlFinish = void (*)();
    auto finish = gl ? reinterpret_cast<GlFinish>(SDL_GL_GetProcAddress("glFinish")) : nullptr;
    h.shell().beforePresent = nullptr;  // no read-back: it is not part of a frame
    std::vector<double> cpu;
    std::vector<double> wall;
    double t = 0;
    for (int i = 0; i < kWarmUp + kFrames; ++i) {
        const double c0 = processCpuSeconds();
        const double w0 = wallSeconds();
        h.frame(t += 1.0 / 60.0);
        if (finish != nullptr) finish();
        if (i < kWarmUp) continue;
        cpu.push_back(1000 * (processCpuSeconds() - c0));
        wall.push_back(1000 * (wallSeconds() - w0));
    }
    return {median(cpu), median(wall)};
}


void BM_Frame(benchmark::State& state, testsupport::RenderPath path, int w, int h) {
    const char* name = std::getenv("TARNWICK_BENCH_SCREEN");
    ui::GameState screen;
    if (!ui::startScreenFor(name != nullptr ? name : "menu", &screen)) {
        state.SkipWithError("unknown TARNWICK_BENCH_SCREEN");
        return;
    }
    benchtiming::plainFramebuffer();
    testsupport::Headless hl(w, h, path);
    if (!hl.ok()) {
        state.SkipWithError("no renderer");
        return;
    }
    const bool gl = path == testsupport::RenderPath::OpenGL;
    Timing floor;
    Timing frame;
    for (auto _ : state) {
        hl.setUpdate(benchtiming::floorFrame);
        floor = timeFrames(hl, gl);
        hl.setUpdate(nullptr);
        ui::Game::instance().resetTo(screen);
        frame = timeFrames(hl, gl);
        state.SetIterationTime(frame.wallMs / 1000);
    }
    state.counters["cpu_ms"] = frame.cpuMs;
    state.counters["floor_cpu_ms"] = floor.cpuMs;
    state.counters["wall_ms"] = frame.wallMs;
    state.counters["floor_wall_ms"] = floor.wallMs;
    state.counters["above_floor_ms"] = frame.cpuMs - floor.cpuMs;
    state.counters["x_floor"] = floor.cpuMs > 0 ? frame.cpuMs / floor.cpuMs : 0;
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
    benchtiming::plainFramebuffer();
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
    Timing floor;
    Timing frame;
    for (auto _ : state) {
        hl.setUpdate(benchtiming::floorFrame);
        floor = timeFrames(hl, gl);
        hl.setUpdate(board);
        frame = timeFrames(hl, gl);
        state.SetIterationTime(frame.wallMs / 1000);
    }
    hl.setUpdate(nullptr);
    state.counters["cpu_ms"] = frame.cpuMs;
    state.counters["floor_cpu_ms"] = floor.cpuMs;
    state.counters["above_floor_ms"] = frame.cpuMs - floor.cpuMs;
    state.counters["draw_calls"] = ui::gpuDrawCalls();
    state.counters["issue_ms"] = median(issue);
}
BENCHMARK_CAPTURE(BM_BoardSprites, OpenGL, testsupport::RenderPath::OpenGL)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BoardSprites, Software, testsupport::RenderPath::Software)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

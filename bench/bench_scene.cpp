// Cost of the animated background per frame once its landscape is baked, at 1920 x 1080:
// the median time of the drawScene call itself (what the profiler's "scene" label counts),
// and the whole frame with the scene against the floor every frame pays.
//
// Run on demand:
//   cmake --build build --target tarnwick_bench
//   build/tests/tarnwick_bench --benchmark_filter=Scene
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <vector>

#include "bench/timing.h"
#include "support/headless.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/scene.h"

namespace {

using benchtiming::median;
using benchtiming::processCpuSeconds;
using benchtiming::wallSeconds;

constexpr int kFrames = 60;
constexpr int kWarmUp = 10;

// Median wall milliseconds per frame, and of the scene call inside it.
struct SceneTiming {
    double frameMs = 0;
    double sceneMs = 0;
};

SceneTiming timeFrames(testsupport::Headless& h, bool gl, int stage, bool withScene) {
    using GlFinish = void (*)();
    auto finish = gl ? reinterpret_cast<GlFinish>(SDL_GL_GetProcAddress("glFinish")) : nullptr;
    h.shell().beforePresent = nullptr;
    double sceneMs = 0;
    h.setUpdate([&](ui::Ctx& c) {
        if (!withScene) {
            benchtiming::floorFrame(c);
            return;
        }
        const double s0 = wallSeconds();
        ui::drawScene(c, stage, 1234);
        sceneMs = 1000 * (wallSeconds() - s0);
    });
    std::vector<double> frames;
    std::vector<double> scenes;
    // Start near dusk so that every layer (stars, fireflies, the veil) takes part.
    double t = 80;
    for (int i = 0; i < kWarmUp + kFrames; ++i) {
        const double w0 = wallSeconds();
        h.frame(t += 1.0 / 60.0);
        if (finish != nullptr) finish();
        if (i < kWarmUp) continue;
        frames.push_back(1000 * (wallSeconds() - w0));
        scenes.push_back(sceneMs);
    }
    return {median(frames), median(scenes)};
}

void BM_Scene(benchmark::State& state, testsupport::RenderPath path, int stage) {
    benchtiming::gameRenderer();
    testsupport::Headless hl(1920, 1080, path);
    if (!hl.ok()) {
        state.SkipWithError("no renderer");
        return;
    }
    const bool gl = path == testsupport::RenderPath::OpenGL;
    SceneTiming floor;
    SceneTiming scene;
    for (auto _ : state) {
        floor = timeFrames(hl, gl, stage, false);
        scene = timeFrames(hl, gl, stage, true);
        state.SetIterationTime(scene.sceneMs / 1000);
    }
    state.counters["scene_ms"] = scene.sceneMs;
    state.counters["frame_ms"] = scene.frameMs;
    state.counters["floor_ms"] = floor.frameMs;
    state.counters["frame_over_floor"] = floor.frameMs > 0 ? scene.frameMs / floor.frameMs : 0;
}

BENCHMARK_CAPTURE(BM_Scene, OpenGL_candy, testsupport::RenderPath::OpenGL, 0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scene, OpenGL_galaxy, testsupport::RenderPath::OpenGL, 4)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scene, OpenGL_underwater, testsupport::RenderPath::OpenGL, 8)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Scene, Software_candy, testsupport::RenderPath::Software, 0)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

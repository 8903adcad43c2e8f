// The play screen at 1920 x 1080: a full mixed board, the aim guide, the mascot, the top
// bar, and a shot every 18 frames that pops (particles, popups, a falling group) or sticks.
// Reports the median CPU milliseconds of a frame against the floor every frame pays and
// against a frame of the level's background scene alone (what the screen adds to the
// backdrop every screen shares), and the dearest landing resolution of the run, from the
// screen's own profiler labels.
//
//   cmake --build build --target tarnwick_bench
//   build/tests/tarnwick_bench --benchmark_filter=PlayScreen
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/timing.h"
#include "core/storage.h"
#include "screens/playing.h"
#include "bot/bot.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "theme.h"
#include "ui/gpu.h"
#include "ui/scene.h"
#include "ui/shell.h"

namespace {

using benchtiming::median;
using benchtiming::processCpuSeconds;

constexpr int kFrames = 180;
constexpr int kWarmUp = 20;
constexpr double kDt = 1.0 / 60;

// " label mean" pairs of a profiler report: the mean of one label, -1 when absent.
double profiled(const std::string& report, const std::string& label) {
    const std::string key = " " + label + " ";
    const size_t at = report.find(key);
    return at == std::string::npos ? -1 : std::atof(report.c_str() + at + key.size());
}

using benchtiming::floorFrame;

void BM_PlayScreen(benchmark::State& state, testsupport::RenderPath path) {
    setenv("PLUMBRIX_STATS", "1", 0);  // the profiler decides once, on first use
    store::openAt(testsupport::freshDir("bench-playing"));
    benchtiming::gameRenderer();
    testsupport::Headless hl(1920, 1080, path);
    if (!hl.ok()) {
        state.SkipWithError("no renderer");
        return;
    }
    using GlFinish = void (*)();
    auto finish = path == testsupport::RenderPath::OpenGL
                      ? reinterpret_cast<GlFinish>(SDL_GL_GetProcAddress("glFinish"))
                      : nullptr;
    hl.shell().beforePresent = nullptr;

    // Eleven full rows of six colours, more waiting above.
    store::SavedGame g;
    g.level = 45;
    g.seed = 99;
    g.board = core::makeEmptyBoard(14, 11);
    core::Mulberry32 rnd(4);
    for (int r = 0; r < 11; ++r)
        for (int c = 0; c < 11; ++c) g.board[r][c] = rnd.nextInt(6);
    g.incomingQueue.assign(6, std::vector<int>(11, 2));
    g.currentColor = 1;
    g.nextColor = 3;

    std::vector<double> floorCpu, sceneCpu, playCpu;
    double worstLanding = 0;  // the rules and effects of one landing, its save aside
    double worstSave = 0;     // the autosave after it (two fsyncs: the disk decides)
    int landings = 0;
    double t = 0;
    for (auto _ : state) {
        hl.setUpdate(floorFrame);
        for (int i = 0; i < kWarmUp + kFrames; ++i) {
            const double c0 = processCpuSeconds();
            hl.frame(t += kDt);
            if (finish) finish();
            if (i >= kWarmUp) floorCpu.push_back(1000 * (processCpuSeconds() - c0));
        }
        hl.setUpdate([&g](ui::Ctx& c) {
            floorFrame(c);
            ui::drawScene(c, theme::stageForLevel(g.level), g.seed ^ static_cast<std::uint32_t>(g.level));
        });
        for (int i = 0; i < kWarmUp + kFrames; ++i) {
            const double c0 = processCpuSeconds();
            hl.frame(t += kDt);
            if (finish) finish();
            if (i >= kWarmUp) sceneCpu.push_back(1000 * (processCpuSeconds() - c0));
        }
        hl.setUpdate(nullptr);
        store::saveGame(g);
        ui::GameState s;
        s.kind = ui::ScreenKind::Playing;
        s.level = g.level;
        s.resume = true;
        hl.start(s);
        ui::profReport();  // start the labels afresh
        ui::Input in;
        in.mouseX = 900;
        in.mouseY = 500;
        for (int i = 0; i < kWarmUp + kFrames; ++i) {
            ui::Input frameIn = in;
            if (i % 18 == 17 && !ui::playView().shotActive) {
                const testsupport::Aim aim = testsupport::chooseAim(ui::playView(), kDt);
                in.mouseX = frameIn.mouseX = aim.pointer.x;
                in.mouseY = frameIn.mouseY = aim.pointer.y;
                frameIn.released = true;
            }
            const double c0 = processCpuSeconds();
            hl.frame(frameIn, t += kDt);
            if (finish) finish();
            const double ms = 1000 * (processCpuSeconds() - c0);
            const std::string report = ui::profReport();
            const double landing = profiled(report, "play.landing");
            if (landing >= 0) {
                ++landings;
                const double save = std::max(profiled(report, "play.save"), 0.0);
                worstLanding = std::max(worstLanding, landing - save);
                worstSave = std::max(worstSave, save);
            }
            if (i >= kWarmUp) playCpu.push_back(ms);
        }
        state.SetIterationTime(median(playCpu) / 1000);
    }
    state.counters["cpu_ms"] = median(playCpu);
    state.counters["floor_cpu_ms"] = median(floorCpu);
    state.counters["above_floor_ms"] = median(playCpu) - median(floorCpu);
    state.counters["x_floor"] = median(floorCpu) > 0 ? median(playCpu) / median(floorCpu) : 0;
    state.counters["scene_cpu_ms"] = median(sceneCpu);
    state.counters["above_scene_ms"] = median(playCpu) - median(sceneCpu);
    state.counters["landings"] = landings;
    state.counters["worst_landing_ms"] = worstLanding;
    state.counters["worst_save_ms"] = worstSave;
    state.counters["draw_calls"] = ui::gpuDrawCalls();
}
BENCHMARK_CAPTURE(BM_PlayScreen, OpenGL, testsupport::RenderPath::OpenGL)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlayScreen, Software, testsupport::RenderPath::Software)
    ->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

// The shell: window placement, input, debounce, pacing, canvas tiles and straight alpha.
#include <SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/headless.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/shell.h"

using ui::WindowPrefs;

namespace {

void pushKey(SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event e{SDL_KEYDOWN};
    e.key.keysym.sym = key, e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

void pushButton(Uint32 type, Uint8 button) {
    SDL_Event e{type};
    e.button.button = button;
    SDL_PushEvent(&e);
}

void pushWindow(Uint8 event, int d1 = 0, int d2 = 0) {
    SDL_Event e{SDL_WINDOWEVENT};
    e.window.event = event, e.window.data1 = d1, e.window.data2 = d2;
    SDL_PushEvent(&e);
}

// Faded sprites and soft shapes: everything whose look depends on how alpha is blended.
void paintSoftScene(cairo_t* cr, void*) {
    cairo_pattern_t* glow = cairo_pattern_create_radial(20, 20, 0, 20, 20, 20);
    cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.8, 0.2, 1.0);
    cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.3, 0.6, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
}

void softFrame(ui::Ctx& ctx) {
    SDL_Texture* sprite = ui::gpuTexture("glow", 40, 40, paintSoftScene, nullptr);
    ui::gpuBlit(sprite, 10, 10, 80, 80, 1.0);
    ui::gpuBlit(sprite, 110, 10, 80, 80, 0.45);
    ui::gpuBlitTinted(sprite, 210, 10, 80, 80, 0x80C0FF, 0.7);
    ui::gpuBlitMirrored(sprite, 350, 50, 80, 80, 0, true, 0.6);
    cairo_rectangle(ctx.cr, 30, 120, 160, 60);
    ui::softShadowFromPath(ctx.cr, 6, 8, 12, 0x000000, 0.8);
    ui::setColor(ctx.cr, 0xE0F0FF, 0.55);
    cairo_fill(ctx.cr);
    ui::fillCircle(ctx.cr, 300, 150, 36, 0xFF4070, 0.35);
    ui::TextStyle t;
    t.size = 22;
    t.bold = true;
    t.alpha = 0.6;
    ui::drawText(ctx.cr, 230, 180, "Tarnwick", t);
}

}  // namespace

TEST(WindowPlacement, SizesPositionsAndClamps) {
    const ui::DisplayArea hd{0, 0, 1920, 1080}, unknown{};
    const WindowPrefs none, big{2500, 1500, 5000, -300, false, false};
    const struct {
        WindowPrefs prefs;
        ui::WindowOptions opts;
        ui::DisplayArea area;
        int x, y, w, h;
    } cases[] = {
        {none, {}, hd, 365, 205, 1190, 669},                   // the default, centred
        {big, {}, {100, 0, 1920, 1080}, 120, 30, 1900, 1000},  // clamped into the display
        {big, {}, unknown, 5000, -300, 2500, 1500},            // no display: as stored
        {none, {}, {0, 0, 1000, 560}, 73, 40, 853, 480},       // the area beats the minimum
    };
    for (const auto& k : cases) {
        const ui::WindowPlacement p = ui::placeWindow(k.prefs, k.opts, k.area);
        EXPECT_EQ(std::tuple(p.x, p.y, p.w, p.h), std::tuple(k.x, k.y, k.w, k.h)) << &k - cases;
    }
    EXPECT_TRUE(ui::placeWindow(none, {true, 100000, 700}, {0, 0, 800, 600}).shrunk);
    EXPECT_FALSE(ui::placeWindow(none, {true, 1024, 768}, hd).shrunk);
}

TEST(FrameLoop, EventsBecomeInput) {
    testsupport::Headless h(400, 300);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    double now = 5.0;
    sh.clock = [&now] { return now; };
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    WindowPrefs prefs;
    ui::FrameOutcome out;
    auto gather = [&] { return ui::shellGatherInput(sh, prefs, out), sh.ctx.in; };
    pushKey(SDLK_a);
    pushKey(SDLK_a);  // repeats count
    pushKey(SDLK_F11);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    SDL_Event wheel{SDL_MOUSEWHEEL};
    for (const int y : {2, -3}) wheel.wheel.y = y, SDL_PushEvent(&wheel);
    ui::Input in = gather();
    EXPECT_EQ(in.keys, (std::vector<int>{SDLK_a, SDLK_a})) << "F11 never reaches screens";
    EXPECT_TRUE(prefs.fullscreen);
    EXPECT_TRUE(out.saveSettings) << "F11 saves at once";
    EXPECT_TRUE(in.rightPressed && in.released && !in.doubleClick);
    EXPECT_DOUBLE_EQ(in.wheel, -1);
    // Double clicks: 0.25 s apart counts, 0.35 s does not; only the left button releases.
    for (const auto& [dt, button, released, twice] : {std::tuple{0.25, SDL_BUTTON_LEFT, true, true},
                                                      {0.35, SDL_BUTTON_LEFT, true, false},
                                                      {0.1, SDL_BUTTON_RIGHT, false, false}}) {
        now += dt;
        pushButton(SDL_MOUSEBUTTONUP, static_cast<Uint8>(button));
        in = gather();
        EXPECT_EQ(in.released, released) << dt;
        EXPECT_EQ(in.doubleClick, twice) << dt;
        EXPECT_TRUE(in.keys.empty()) << "input is fresh every frame";
    }
}

TEST(FrameLoop, WindowGeometryIsKeptOnlyForAPlainWindowAndSavedAfterAPause) {
    testsupport::Headless h(400, 300);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    WindowPrefs prefs;
    ui::FrameOutcome out;
    pushWindow(SDL_WINDOWEVENT_SIZE_CHANGED, 900, 650);
    pushWindow(SDL_WINDOWEVENT_MOVED, 33, 44);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_EQ(std::tuple(prefs.windowW, prefs.windowH, prefs.windowX, prefs.windowY),
              std::tuple(900, 650, 33, 44));
    // While fullscreen, moves and sizes are not the window's own; maximising counts.
    prefs.fullscreen = sh.appliedFullscreen = true;
    pushWindow(SDL_WINDOWEVENT_MOVED, 0, 0);
    pushWindow(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080);
    pushWindow(SDL_WINDOWEVENT_MAXIMIZED);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_EQ(std::tuple(prefs.windowX, prefs.windowW, prefs.maximized), std::tuple(33, 900, true));
    // The debounce: the first painted frame more than 2 s after the last save stores.
    for (const auto& [t, saves] : {std::pair{1.0, false}, {2.5, true}, {2.6, false}})
        EXPECT_EQ((h.frame(t), h.outcome().saveSettings), saves) << t;
}

TEST(FrameLoop, ContextClockQuitAndTermination) {
    testsupport::Headless h(1000, 600);
    ASSERT_TRUE(h.ok());
    ui::Ctx seen;
    h.setUpdate([&seen](ui::Ctx& c) { seen = c; });
    h.frame(0.0), h.frame(3.0);
    EXPECT_DOUBLE_EQ(seen.ui, 0.78125);  // 1000 / 1280 is the smaller ratio
    EXPECT_DOUBLE_EQ(seen.dt, 0.1) << "a long stall is capped";
    volatile std::sig_atomic_t flag = 1;  // the termination flag ends the loop after its frame
    h.shell().terminate = &flag;
    h.frame(3.2);
    EXPECT_FALSE(h.shell().running);
    h.shell().terminate = nullptr;
}

TEST(FramePacing, WaitsOutTheRefreshIntervalWhenVsyncDoesNotPace) {
    EXPECT_NEAR(ui::pacingWait(1.0, 1.004, 0.016), 0.012, 1e-12);
    EXPECT_DOUBLE_EQ(ui::pacingWait(1.0, 1.020, 0.016), 0.0);
    EXPECT_DOUBLE_EQ(ui::pacingWait(1.0, 0.5, 0.016), 0.016) << "a clock step back";
    // Software renderer: no vsync, so every quick iteration sleeps the rest of 1/60 s.
    testsupport::Headless h(320, 240, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    EXPECT_FALSE(sh.vsync) << "SDL's software renderer claims vsync but has none";
    double now = 10.0;
    int sleeps = 0;
    sh.clock = [&now] { return now += 0.001; };  // every reading advances 1 ms
    sh.sleep = [&](double s) { ++sleeps, now += s; };
    sh.pace = true;
    WindowPrefs prefs;
    const double start = now;
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_EQ(sleeps, 30);
    EXPECT_NEAR(now - start, 30 * (1.0 / 60.0 + 0.001), 0.002) << "at the refresh rate";
    // A vsync renderer whose present blocks for the refresh is left alone...
    sh.vsync = true;
    sleeps = 0;
    sh.beforePresent = [&now](SDL_Renderer*) { now += 1.0 / 60.0; };
    ui::shellIteration(sh, prefs);
    EXPECT_EQ(sleeps, 0);
    // ...but one that returns at once is paced, ending the wait a little before the refresh.
    sh.beforePresent = nullptr;
    const double before = now;
    ui::shellIteration(sh, prefs);
    EXPECT_EQ(sleeps, 1);
    EXPECT_NEAR(now - before, 1.0 / 60.0 - 0.002 + 0.001, 1e-9);
    // Nothing painted (no output, as when minimised): the loop still waits.
    ui::Shell dark;
    double t = 0;
    dark.clock = [&t] { return t; };
    dark.sleep = [&](double s) { t += s; };
    EXPECT_FALSE(ui::shellIteration(dark, prefs).painted);
    EXPECT_NEAR(t, 1.0 / 60.0, 1e-9);
}

TEST(StraightAlphaFallback, SoftwareFrameMatchesTheOpenGLFrame) {
    testsupport::Frame frames[2];
    for (const auto path : {testsupport::RenderPath::OpenGL, testsupport::RenderPath::Software}) {
        testsupport::Headless h(420, 220, path);
        ASSERT_TRUE(h.ok());
        const bool gl = path == testsupport::RenderPath::OpenGL;
        EXPECT_EQ(h.premultiplied(), gl) << "SDL's software renderer refuses the mode";
        h.setUpdate(softFrame);
        frames[gl ? 0 : 1] = h.frame(0);
    }
    EXPECT_NE(frames[0].at(150, 50), frames[0].at(415, 215)) << "the faded sprite shows";
    EXPECT_LE(testsupport::maxChannelDiff(frames[0], frames[1]), 4);
    EXPECT_LT(testsupport::pixelsOver(frames[0], frames[1], 2), 200);
}

// Only the canvas tiles that hold paint are cleared, uploaded and drawn: after a small popup,
// a large one or a veil laid over the frame mid-paint, a frame shows only its own paint.
TEST(FrameLoop, CanvasLeavesNoStalePaint) {
    auto base = [](ui::Ctx& c) {
        ui::fillRect(c.cr, {40, 30, 50, 20}, 0x3366FF, 0.8);
        ui::fillCircle(c.cr, 250, 200, 17, 0xFFCC00, 0.6);
        // Two tiles edge to edge, alone in their row: the run's last column must show.
        ui::fillRect(c.cr, {0, 100, 2.0 * ui::kCanvasTile, 4}, 0xFFFFFF, 1.0);
    };
    auto veiled = [&](ui::Ctx& c, bool flush) {
        softFrame(c), base(c);
        flush ? ui::veilWindow(c, 0x000000, 0.5) : ui::fillRect(c.cr, {0, 0, c.w, c.h}, 0, 0.5);
        ui::fillRect(c.cr, {150, 100, 40, 30}, 0xFFFFFF, 0.9);
    };
    const std::function<void(ui::Ctx&)> popups[] = {
        [&](ui::Ctx& c) {
            softFrame(c), base(c);
            ui::fillRect(c.cr, {70, 50, 45, 40}, 0xFFFFFF, 0.5);
        },
        [&](ui::Ctx& c) {
            base(c), ui::fillRect(c.cr, {5, 5, 310, 220}, 0xFFFFFF, 0.5);
        },
        [&](ui::Ctx& c) { veiled(c, true); }};
    for (auto path : {testsupport::RenderPath::OpenGL, testsupport::RenderPath::Software}) {
        testsupport::Frame fresh, onCanvas;
        {
            testsupport::Headless h(320, 240, path);
            ASSERT_TRUE(h.ok());
            h.setUpdate(base);
            fresh = h.frame(0);
            EXPECT_EQ(fresh.at(2 * ui::kCanvasTile - 1, 102) & 0xFFFFFF, 0xFFFFFFu)
                << "a run's last column";
            h.setUpdate([&](ui::Ctx& c) { veiled(c, false); });
            onCanvas = h.frame(0.1);
        }
        for (const auto& popup : popups) {
            testsupport::Headless h(320, 240, path);
            ASSERT_TRUE(h.ok());
            h.setUpdate(popup);
            const testsupport::Frame withPopup = h.frame(0);
            EXPECT_GT(testsupport::pixelsOver(withPopup, fresh, 8), 800);
            if (&popup == &popups[2]) {
                EXPECT_LE(testsupport::maxChannelDiff(withPopup, onCanvas), 2);
            }
            h.setUpdate(base);
            EXPECT_EQ(testsupport::maxChannelDiff(h.frame(0.1), fresh), 0);
            EXPECT_EQ(testsupport::maxChannelDiff(h.frame(0.2), fresh), 0);
        }
    }
}

// One painted pixel anywhere puts its tile on the window: a tile's last column, the
// narrow tiles at the right and bottom edges of a canvas not a whole number of tiles wide.
TEST(FrameLoop, ASinglePaintedPixelShowsAnywhere) {
    constexpr int kW = 3 * ui::kCanvasTile + 5, kH = 2 * ui::kCanvasTile + 3;
    const std::pair<int, int> spots[] = {{ui::kCanvasTile - 1, 3},
                                         {2 * ui::kCanvasTile - 1, ui::kCanvasTile + 30},
                                         {3 * ui::kCanvasTile + 1, 0},
                                         {kW - 1, kH - 1}};
    for (auto path : {testsupport::RenderPath::OpenGL, testsupport::RenderPath::Software}) {
        testsupport::Headless h(kW, kH, path);
        ASSERT_TRUE(h.ok());
        for (const auto& [x, y] : spots) {
            h.setUpdate([x = x, y = y](ui::Ctx& c) {
                ui::fillRect(c.cr, {double(x), double(y), 1, 1}, 0xFFFFFF, 1.0);
            });
            const testsupport::Frame f = h.frame(0);
            EXPECT_EQ(f.at(x, y) & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
        }
    }
}

// A canvas that keeps its painted tiles but changes inside them shows each frame's own
// paint: a changed first or last row, a lone changed pixel at the last column, and paint
// that comes back after a frame without it.
TEST(FrameLoop, ChangesInsideStillPaintedTilesShow) {
    const std::function<void(ui::Ctx&)> looks[] = {
        [](ui::Ctx&) {},
        // The box's tiles span rows 0 to 3 * kCanvasTile - 1, columns 2 * kCanvasTile to
        // 6 * kCanvasTile - 1.
        [](ui::Ctx& c) { ui::fillRect(c.cr, {80, 0, 96, 1}, 0xFF2000, 1.0); },
        [](ui::Ctx& c) {
            ui::fillRect(c.cr, {80, 3.0 * ui::kCanvasTile - 1, 96, 1}, 0x00FF40, 1.0);
        },
        [](ui::Ctx& c) {
            ui::fillRect(c.cr, {80, 40, 96, 1}, 0x2040FF, 1.0);
            ui::fillRect(c.cr, {6.0 * ui::kCanvasTile - 1, 50, 1, 1}, 0xFFFFFF, 1.0);
        },
        [](ui::Ctx& c) { ui::fillRect(c.cr, {80, 40, 96, 1}, 0x2040FF, 1.0); }};
    auto paint = [&](int look) {
        return [&looks, look](ui::Ctx& c) {
            ui::fillRect(c.cr, {80, 16, 96, 64}, 0x808080, 0.5);
            looks[look](c);
        };
    };
    for (auto path : {testsupport::RenderPath::OpenGL, testsupport::RenderPath::Software}) {
        std::vector<testsupport::Frame> fresh;
        for (int look = 0; look < 5; ++look) {
            testsupport::Headless h(320, 240, path);
            ASSERT_TRUE(h.ok());
            h.setUpdate(paint(look));
            fresh.push_back(h.frame(0));
        }
        EXPECT_GT(testsupport::pixelsOver(fresh[1], fresh[0], 8), 90);
        constexpr int kLastColumn = 6 * ui::kCanvasTile - 1;
        EXPECT_NE(fresh[3].at(kLastColumn, 50), fresh[0].at(kLastColumn, 50));
        testsupport::Headless h(320, 240, path);
        ASSERT_TRUE(h.ok());
        double t = 0;
        for (const int look : {1, 2, 3, 4, 3, 0, 1, 3, 2, 2, 0}) {
            h.setUpdate(paint(look));
            EXPECT_EQ(testsupport::maxChannelDiff(h.frame(t += 0.1), fresh[look]), 0)
                << "look " << look << " at " << t;
        }
    }
}

// A minimised or hidden window paints nothing until it is back; without focus it keeps
// painting, paced to a slower rate.
TEST(FrameLoop, ObscuredWindowsPaintNothingAndUnfocusedOnesSlowDown) {
    testsupport::Headless h(320, 240, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    int painted = 0;
    h.setUpdate([&painted](ui::Ctx&) { ++painted; });
    double now = 1.0, slept = 0;
    sh.clock = [&now] { return now; };
    sh.sleep = [&](double s) { slept += s, now += s; };
    sh.pace = true;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    WindowPrefs prefs;
    for (const auto& [event, paints] : {std::pair<Uint8, bool>{SDL_WINDOWEVENT_MINIMIZED, false},
                                        {SDL_WINDOWEVENT_RESTORED, true},
                                        {SDL_WINDOWEVENT_HIDDEN, false},
                                        {SDL_WINDOWEVENT_SHOWN, true}}) {
        pushWindow(event);
        const int before = painted;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(ui::shellIteration(sh, prefs).painted, paints);
        EXPECT_EQ(painted - before, paints ? 3 : 0) << int(event);
    }
    sh.vsync = true;  // a vsync the window does not own is not trusted to pace it
    pushWindow(SDL_WINDOWEVENT_FOCUS_LOST);
    slept = 0;
    EXPECT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_NEAR(slept, ui::kUnfocusedInterval, 1e-9);
    pushWindow(SDL_WINDOWEVENT_FOCUS_GAINED);
    slept = 0;
    EXPECT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_LT(slept, 0.02);
}

// The OpenGL probe runs in a child process before SDL starts: its answer comes back (OpenGL
// here is Mesa's llvmpipe) while neither SDL's video nor a driver starts in this process;
// a renderer the user names skips the probe.
TEST(VideoStart, OpenGlProbeRunsInAChildProcess) {
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "video already started in this process";
    auto driverLoaded = [] {
        std::ifstream maps("/proc/self/maps");
        const std::string all{std::istreambuf_iterator<char>(maps), {}};
        return all.find("_dri.so") != std::string::npos;
    };
    const bool loadedBefore = driverLoaded();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_TRUE(ui::probeOpenglOnCpu());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    if (!loadedBefore) {
        EXPECT_FALSE(driverLoaded()) << "the driver stayed in the child";
    }
    setenv("SDL_RENDER_DRIVER", "opengl", 1);
    EXPECT_FALSE(ui::probeOpenglOnCpu());
    unsetenv("SDL_RENDER_DRIVER");
}

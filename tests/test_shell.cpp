// The shell: command line, start screens, window sizing, the frame loop's input, context,
// debounce, quit rules and pacing, and the straight-alpha path of renderers that refuse
// premultiplied blending.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/headless.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/shell.h"

using ui::GameState;
using ui::ScreenKind;
using ui::WindowOptions;
using ui::WindowPrefs;

namespace {

// argv from words; argv[0] is the program.
struct Args {
    std::vector<std::string> words;
    std::vector<char*> ptrs;
    explicit Args(std::vector<std::string> w) : words(std::move(w)) {
        words.insert(words.begin(), "tarnwick");
        for (auto& s : words) ptrs.push_back(s.data());
        ptrs.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(words.size()); }
    char** argv() { return ptrs.data(); }
};

WindowOptions options(std::vector<std::string> w, WindowPrefs& prefs) {
    Args a(std::move(w));
    return ui::applyWindowOptions(a.argc(), a.argv(), prefs);
}

void pushKey(SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event e{SDL_KEYDOWN};
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

void pushButton(Uint32 type, Uint8 button) {
    SDL_Event e{type};
    e.button.button = button;
    SDL_PushEvent(&e);
}

void pushWindow(Uint8 event, int d1 = 0, int d2 = 0) {
    SDL_Event e{SDL_WINDOWEVENT};
    e.window.event = event;
    e.window.data1 = d1;
    e.window.data2 = d2;
    SDL_PushEvent(&e);
}

// Soft shapes on the canvas and faded cached sprites on the renderer: everything whose
// look depends on how premultiplied pixels are blended.
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
    // Unturned: the two renderers sample turned copies differently, which is not at issue.
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

// The help text itself is checked word for word on the game binary (GameBinary tests).
TEST(CommandLine, EarlyAnswersAndWindowOptions) {
    const std::string version = "Tarnwick 1.0.0 (Build 1034)\n";
    for (const auto& [words, want] :
         {std::pair<std::vector<std::string>, std::string>{{"--help", "--version"}, ui::helpText()},
          {{"--windowed", "--version"}, version}, {{"--size", "900x700"}, ""}, {{}, ""}}) {
        Args a(words);
        EXPECT_EQ(ui::earlyAnswer(a.argc(), a.argv()), want);
    }

    WindowPrefs p;
    p.windowW = 1000;
    p.windowH = 700;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--size", "639x600"}, {"--size", "800"}, {"--size", "800x479"}, {"--size"}})
        EXPECT_FALSE(options(bad, p).sizeSet) << bad.back();
    EXPECT_EQ(p.windowW, 1000) << "invalid sizes change nothing";
    EXPECT_TRUE(options({"--size", "1024x768"}, p).sizeSet);
    EXPECT_EQ(p.windowW, 1024);
    EXPECT_EQ(p.windowH, 768);
    // --size consumes its argument even when invalid, so "--fullscreen" here is a value.
    WindowPrefs q;
    EXPECT_FALSE(options({"--size", "--fullscreen"}, q).sizeSet);
    EXPECT_FALSE(q.fullscreen);
    options({"--fullscreen", "--windowed"}, q);
    EXPECT_FALSE(q.fullscreen);
    options({"--windowed", "stray", "--fullscreen"}, q);
    EXPECT_TRUE(q.fullscreen);
    // A --size without a value ends parsing; nothing after it counts.
    WindowPrefs r;
    options({"--size"}, r);
    EXPECT_FALSE(r.fullscreen);
}

TEST(CommandLine, StartScreens) {
    GameState s;
    ASSERT_TRUE(ui::startScreenFor("playing:250", &s));
    EXPECT_EQ(s.kind, ScreenKind::Playing);
    EXPECT_EQ(s.level, 99);
    EXPECT_EQ(s.seed, 12345u);
    EXPECT_FALSE(s.arcade);
    for (const char* v : {"playing:0", "playing:-5", "playing", "playingfoo", "playing:abc",
                          "playing:99999999999999999999"}) {
        GameState p;
        p.level = 50;
        ASSERT_TRUE(ui::startScreenFor(v, &p)) << v;
        EXPECT_EQ(p.level, std::string(v) == "playing:99999999999999999999" ? 99 : 0) << v;
    }
    ASSERT_TRUE(ui::startScreenFor("playing:7", &s));
    EXPECT_EQ(s.level, 6);
    ASSERT_TRUE(ui::startScreenFor("arcade", &s));
    EXPECT_TRUE(s.arcade);
    EXPECT_EQ(s.seed, 12345u);
    EXPECT_EQ(s.kind, ScreenKind::Playing);
    ASSERT_TRUE(ui::startScreenFor("ending", &s));
    EXPECT_EQ(s.kind, ScreenKind::Ending);
    EXPECT_TRUE(s.forcePerfect);
    for (const auto& [v, k] :
         {std::pair{"menu", ScreenKind::Menu}, {"levels", ScreenKind::LevelSelect},
          {"highscores", ScreenKind::HighScores}, {"gallery", ScreenKind::Gallery},
          {"settings", ScreenKind::Settings}, {"about", ScreenKind::About},
          {"licenses", ScreenKind::Licenses}}) {
        ASSERT_TRUE(ui::startScreenFor(v, &s));
        EXPECT_EQ(s.kind, k);
        EXPECT_EQ(s.seed, 0u) << "a fresh zeroed record";
    }
    GameState untouched;
    untouched.level = 3;
    EXPECT_FALSE(ui::startScreenFor("Menu", &untouched));
    EXPECT_FALSE(ui::startScreenFor("", &untouched));
    EXPECT_EQ(untouched.level, 3);
}

TEST(WindowPlacement, SizesPositionsAndClamps) {
    const ui::DisplayArea hd{0, 0, 1920, 1080}, unknown{};
    const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED);
    const WindowPrefs none, big{2500, 1500, 5000, -300, false, false},
        unplaced{1000, 700, -1, 40, false, false};
    const struct {
        const char* why;
        WindowPrefs prefs;
        WindowOptions opts;
        ui::DisplayArea area;
        int x, y, w, h;  // -2: not checked
    } cases[] = {
        {"default, centred", none, {}, hd, 365, 205, 1190, 669},
        {"--size wins, centred by SDL", {1300, 900, 100, 100, false, false},
         {true, 1024, 768}, hd, centred, centred, 1024, 768},
        {"--size larger than the display is cut to it", none, {true, 100000, 700},
         {0, 0, 800, 600}, centred, -2, 800, 600},
        {"stored size and place clamped into the display", big, {}, {100, 0, 1920, 1080},
         100 + 1920 - 1900, 30, 1900, 1000},
        {"without a display area the stored values stand", big, {}, unknown, 5000, -300, 2500,
         -2},
        {"an unset position (x = -1) is centred", unplaced, {}, hd, 460, 190, -2, -2},
        {"unset and no display", unplaced, {}, unknown, centred, -2, -2, -2},
        {"the default shrinks to a small display, 30 below its top", none, {},
         {0, 0, 1024, 640}, 20, 40, 984, 560},
        {"the height limit of the area beats the minimum", none, {}, {0, 0, 1000, 560}, -2, -2,
         853, 480},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.why);
        const ui::WindowPlacement p = ui::placeWindow(k.prefs, k.opts, k.area);
        const int got[] = {p.x, p.y, p.w, p.h}, want[] = {k.x, k.y, k.w, k.h};
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(want[i] == -2 || got[i] == want[i]) << "x y w h"[2 * i] << " " << got[i];
    }
    EXPECT_TRUE(ui::placeWindow(none, {true, 100000, 700}, {0, 0, 800, 600}).shrunk);
    EXPECT_FALSE(ui::placeWindow(none, {true, 1024, 768}, hd).shrunk);
    // No display and nothing stored: a usable default.
    const ui::WindowPlacement p = ui::placeWindow(none, {}, unknown);
    EXPECT_GE(p.w, 820);
    EXPECT_GE(p.h, 560);
}

TEST(WindowSystem, NoDisplayMeansNoWindow) {
    const char* vars[] = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};
    std::string saved[3];
    bool had[3];
    for (int i = 0; i < 3; ++i) {
        const char* v = std::getenv(vars[i]);
        had[i] = v != nullptr;
        if (had[i]) saved[i] = v;
        unsetenv(vars[i]);
    }
    EXPECT_FALSE(ui::windowSystemAvailable());
    setenv("DISPLAY", "", 1);
    EXPECT_FALSE(ui::windowSystemAvailable()) << "an empty value is no display";
    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_TRUE(ui::windowSystemAvailable());
    unsetenv("WAYLAND_DISPLAY");
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_TRUE(ui::windowSystemAvailable());
    for (int i = 0; i < 3; ++i) had[i] ? setenv(vars[i], saved[i].c_str(), 1) : unsetenv(vars[i]);
}

TEST(WindowSystem, WindowIsNamedAfterTheDesktopEntryUnlessTheUserSaysOtherwise) {
    const std::string appId = ui::kAppId;
    unsetenv("SDL_VIDEO_X11_WMCLASS");
    setenv("SDL_VIDEO_WAYLAND_WMCLASS", "my.Own", 1);
    ui::setAppIdentity();
    ASSERT_NE(std::getenv("SDL_VIDEO_X11_WMCLASS"), nullptr);
    EXPECT_EQ(std::string(std::getenv("SDL_VIDEO_X11_WMCLASS")), appId);
    EXPECT_EQ(std::string(SDL_GetHint("SDL_VIDEO_X11_WMCLASS")), appId);
    EXPECT_EQ(std::string(std::getenv("SDL_VIDEO_WAYLAND_WMCLASS")), "my.Own");
    EXPECT_EQ(std::string(SDL_GetHint("SDL_VIDEO_WAYLAND_WMCLASS")), "my.Own");
    unsetenv("SDL_VIDEO_X11_WMCLASS");
    unsetenv("SDL_VIDEO_WAYLAND_WMCLASS");
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

    pushKey(SDLK_a);
    pushKey(SDLK_a);  // repeats count
    pushKey(SDLK_F11);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    pushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    SDL_Event wheel{SDL_MOUSEWHEEL};
    for (const int y : {2, -3}) wheel.wheel.y = y, SDL_PushEvent(&wheel);
    ui::shellGatherInput(sh, prefs, out);
    const ui::Input& in = sh.ctx.in;
    EXPECT_EQ(in.keys, (std::vector<int>{SDLK_a, SDLK_a})) << "F11 never reaches screens";
    EXPECT_TRUE(prefs.fullscreen);
    EXPECT_TRUE(out.saveSettings) << "F11 saves at once";
    EXPECT_TRUE(in.pressed);
    EXPECT_TRUE(in.rightPressed);
    EXPECT_TRUE(in.released);
    EXPECT_FALSE(in.doubleClick);
    EXPECT_DOUBLE_EQ(in.wheel, -1);
    EXPECT_TRUE(sh.running);

    // Double clicks: 0.25 s apart counts, 0.35 s does not.
    now += 0.25;
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_TRUE(sh.ctx.in.doubleClick);
    EXPECT_TRUE(sh.ctx.in.keys.empty()) << "input is fresh every frame";
    now += 0.35;
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_TRUE(sh.ctx.in.released);
    EXPECT_FALSE(sh.ctx.in.doubleClick);
    pushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_FALSE(sh.ctx.in.released) << "only the left button releases";

    // Ctrl+Q ends the loop and is not a key for screens; a plain q is.
    pushKey(SDLK_q);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_EQ(sh.ctx.in.keys, std::vector<int>{SDLK_q});
    EXPECT_TRUE(sh.running);
    pushKey(SDLK_q, KMOD_RCTRL);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_TRUE(sh.ctx.in.keys.empty());
    EXPECT_FALSE(sh.running);
    SDL_Event quit{SDL_QUIT};
    SDL_PushEvent(&quit);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_FALSE(sh.running);
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
    EXPECT_EQ(prefs.windowW, 900);
    EXPECT_EQ(prefs.windowH, 650);
    EXPECT_EQ(prefs.windowX, 33);
    EXPECT_EQ(prefs.windowY, 44);
    EXPECT_FALSE(out.saveSettings);

    // While the setting says fullscreen, moves and sizes are not the window's own.
    prefs.fullscreen = true;
    sh.appliedFullscreen = true;
    pushWindow(SDL_WINDOWEVENT_MOVED, 0, 0);
    pushWindow(SDL_WINDOWEVENT_SIZE_CHANGED, 1920, 1080);
    pushWindow(SDL_WINDOWEVENT_MAXIMIZED);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_EQ(prefs.windowX, 33);
    EXPECT_EQ(prefs.windowW, 900);
    EXPECT_TRUE(prefs.maximized) << "maximising counts in any state";
    pushWindow(SDL_WINDOWEVENT_RESTORED);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_FALSE(prefs.maximized);

    // The debounce: the first painted frame more than 2 s after the last save stores.
    auto saves = [&](double t) { return h.frame(t), h.outcome().saveSettings; };
    EXPECT_FALSE(saves(1.0));
    EXPECT_TRUE(saves(2.5));
    EXPECT_FALSE(sh.geometryDirty);
    EXPECT_FALSE(saves(2.6)) << "saved once";
    pushWindow(SDL_WINDOWEVENT_MAXIMIZED);
    ui::shellGatherInput(sh, prefs, out);
    EXPECT_FALSE(saves(3.0)) << "within 2 s of the last save";
    EXPECT_TRUE(saves(4.6));
}

TEST(FrameLoop, ContextClockQuitAndTermination) {
    testsupport::Headless h(1000, 600);
    ASSERT_TRUE(h.ok());
    ui::Ctx seen;
    h.setUpdate([&seen](ui::Ctx& c) {
        seen = c;
        seen.cr = nullptr;
        EXPECT_NE(c.cr, nullptr);
    });
    h.frame(0.0), h.frame(0.016);
    EXPECT_DOUBLE_EQ(seen.w, 1000);
    EXPECT_DOUBLE_EQ(seen.h, 600);
    EXPECT_DOUBLE_EQ(seen.ui, 0.78125);  // 1000 / 1280 is the smaller ratio
    EXPECT_DOUBLE_EQ(seen.t, 0.016);
    EXPECT_NEAR(seen.dt, 0.016, 1e-12);
    h.frame(3.0);
    EXPECT_DOUBLE_EQ(seen.dt, 0.1) << "a long stall is capped";
    EXPECT_TRUE(h.outcome().painted);
    EXPECT_EQ(ui::gpuScale(), 1.0);

    // A screen's quit request ends the loop after its frame.
    h.setUpdate([](ui::Ctx& c) { c.quitRequested = true; });
    h.frame(3.1);
    EXPECT_FALSE(h.shell().running);
    h.shell().running = true;
    h.ctx().quitRequested = false;

    // The termination flag is read in painted frames.
    volatile std::sig_atomic_t flag = 0;
    h.shell().terminate = &flag;
    h.setUpdate(nullptr);
    h.frame(3.2);
    EXPECT_TRUE(h.shell().running);
    flag = 1;
    h.frame(3.3);
    EXPECT_FALSE(h.shell().running);
    h.shell().terminate = nullptr;
}

TEST(FramePacing, WaitsOutTheRefreshIntervalWhenVsyncDoesNotPace) {
    EXPECT_NEAR(ui::pacingWait(1.0, 1.004, 0.016), 0.012, 1e-12);
    EXPECT_DOUBLE_EQ(ui::pacingWait(1.0, 1.020, 0.016), 0.0);
    EXPECT_DOUBLE_EQ(ui::pacingWait(1.0, 0.5, 0.016), 0.016)
        << "a clock step back waits at most one interval";

    // Software renderer: no vsync, so every quick iteration sleeps the rest of 1/60 s.
    testsupport::Headless h(320, 240, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    EXPECT_FALSE(sh.vsync) << "SDL's software renderer claims vsync but has none";
    double now = 10.0;
    double slept = 0;
    int sleeps = 0;
    sh.clock = [&now] { return now += 0.001; };  // every reading advances 1 ms
    sh.sleep = [&](double s) { slept += s, ++sleeps, now += s; };
    sh.pace = true;
    WindowPrefs prefs;
    const double start = now;
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_EQ(sleeps, 30);
    // One refresh interval per iteration, plus the 1 ms clock reading before each start.
    EXPECT_NEAR(now - start, 30 * (1.0 / 60.0 + 0.001), 0.002)
        << "the loop runs at the refresh rate";
    EXPECT_GT(slept, 0.3);

    // A vsync renderer whose present blocks for the refresh is left alone...
    sh.vsync = true;
    sleeps = 0;
    sh.beforePresent = [&now](SDL_Renderer*) { now += 1.0 / 60.0; };
    ui::shellIteration(sh, prefs);
    EXPECT_EQ(sleeps, 0);
    // ...but one that returns at once (vsync claimed, not honoured) is paced, ending the
    // wait a little before the refresh.
    sh.beforePresent = nullptr;
    const double before = now;
    ui::shellIteration(sh, prefs);
    EXPECT_EQ(sleeps, 1);
    EXPECT_NEAR(now - before, 1.0 / 60.0 - 0.002 + 0.001, 1e-9);

    // Nothing painted (no output, as when minimised): the loop still waits.
    ui::Shell dark;
    double t = 0;
    int darkSleeps = 0;
    dark.clock = [&t] { return t; };
    dark.sleep = [&](double s) { ++darkSleeps, t += s; };
    EXPECT_FALSE(ui::shellIteration(dark, prefs).painted);
    EXPECT_EQ(darkSleeps, 1);
    EXPECT_NEAR(t, 1.0 / 60.0, 1e-9);
}

TEST(StraightAlphaFallback, SoftwareFrameMatchesTheOpenGLFrame) {
    testsupport::usePrivateFonts();
    testsupport::Frame gl, sw;
    {
        testsupport::Headless h(420, 220, testsupport::RenderPath::OpenGL);
        ASSERT_TRUE(h.ok());
        ASSERT_TRUE(h.premultiplied());
        h.setUpdate(softFrame);
        gl = h.frame(0);
    }
    {
        testsupport::Headless h(420, 220, testsupport::RenderPath::Software);
        ASSERT_TRUE(h.ok());
        EXPECT_FALSE(ui::gpuPremultiplied()) << "SDL's software renderer refuses the mode";
        h.setUpdate(softFrame);
        sw = h.frame(0);
        EXPECT_TRUE(h.shell().canvasStraight);
    }
    testsupport::savePng(gl, testsupport::artefactDir() + "/blend-opengl.png");
    testsupport::savePng(sw, testsupport::artefactDir() + "/blend-software.png");
    // Something soft was drawn: the faded sprite's middle is neither background nor full.
    const std::uint32_t mid = gl.at(150, 50);
    EXPECT_GT(testsupport::red(mid), 60);
    EXPECT_LT(testsupport::red(mid), 230);
    EXPECT_LE(testsupport::maxChannelDiff(gl, sw), 4);
    EXPECT_LT(testsupport::pixelsOver(gl, sw, 2), 200);
}

TEST(FrameLoop, StatisticsLineOncePerSecond) {
    testsupport::Headless h(320, 240);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    sh.stats = true;
    sh.statStart = 0;
    h.setUpdate([](ui::Ctx&) {
        ui::gpuFillRect(0, 0, 10, 10, 0xFF0000, 1);
        ui::gpuFillRect(10, 0, 10, 10, 0x00FF00, 1);
    });
    testing::internal::CaptureStderr();
    for (int i = 0; i < 10; ++i) h.frame(0.1 * i);  // 0.0 .. 0.9: no line yet
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    testing::internal::CaptureStderr();
    h.frame(1.05);
    h.frame(1.1);
    const std::string line = testing::internal::GetCapturedStderr();
    int frames = 0, copies = 0, w = 0, hh = 0;
    double cpu = -1, gpu = -1;
    ASSERT_EQ(std::sscanf(line.c_str(),
                          "[stats] %d fps   CPU %lf ms   GPU %lf ms   %d Kopien  %dx%d", &frames,
                          &cpu, &gpu, &copies, &w, &hh),
              6)
        << line;
    EXPECT_EQ(frames, 11) << "the frames of the first second, the one that ends it included";
    EXPECT_EQ(copies, 2);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(hh, 240);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << "one line per second";
}

// Only the canvas tiles that hold paint are cleared, uploaded and drawn: whatever was
// painted before, a frame shows exactly what it painted itself, on either renderer (the
// software one uploads straight alpha), after a small popup, one over most of the window
// and a veil laid over the frame in the middle of painting.
TEST(FrameLoop, CanvasLeavesNoStalePaint) {
    auto base = [](ui::Ctx& c) {
        ui::fillRect(c.cr, {40, 30, 50, 20}, 0x3366FF, 0.8);
        ui::fillCircle(c.cr, 250, 200, 17, 0xFFCC00, 0.6);
    };
    auto veiled = [&](ui::Ctx& c, bool flush) {
        softFrame(c);
        base(c);
        if (flush) {
            ui::veilWindow(c, 0x000000, 0.5);
        } else {
            ui::fillRect(c.cr, {0, 0, c.w, c.h}, 0x000000, 0.5);
        }
        ui::fillRect(c.cr, {150, 100, 40, 30}, 0xFFFFFF, 0.9);
    };
    for (auto path : {testsupport::RenderPath::OpenGL, testsupport::RenderPath::Software}) {
        testsupport::Frame fresh, onCanvas;
        {
            testsupport::Headless h(320, 240, path);
            ASSERT_TRUE(h.ok());
            h.setUpdate(base);
            fresh = h.frame(0);
            h.setUpdate([&](ui::Ctx& c) { veiled(c, false); });
            onCanvas = h.frame(0.1);
        }
        const std::function<void(ui::Ctx&)> popups[] = {
            [&](ui::Ctx& c) {
                softFrame(c);
                base(c);
                ui::fillRect(c.cr, {70, 50, 45, 40}, 0xFFFFFF, 0.5);
            },
            [&](ui::Ctx& c) {
                base(c);
                ui::fillRect(c.cr, {5, 5, 310, 220}, 0xFFFFFF, 0.5);
            },
            [&](ui::Ctx& c) { veiled(c, true); }};
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

// A minimised or hidden window paints nothing until it is back; without focus it keeps
// painting, paced to a slower rate.
TEST(FrameLoop, ObscuredWindowsPaintNothingAndUnfocusedOnesSlowDown) {
    testsupport::Headless h(320, 240, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    ui::Shell& sh = h.shell();
    int painted = 0;
    h.setUpdate([&painted](ui::Ctx&) { ++painted; });
    double now = 1.0;
    double slept = 0;
    sh.clock = [&now] { return now; };
    sh.sleep = [&](double s) { slept += s, now += s; };
    sh.pace = true;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    WindowPrefs prefs;
    const struct {
        Uint8 event;
        bool paints;
    } steps[] = {{SDL_WINDOWEVENT_MINIMIZED, false}, {SDL_WINDOWEVENT_RESTORED, true},
                 {SDL_WINDOWEVENT_HIDDEN, false},    {SDL_WINDOWEVENT_SHOWN, true}};
    for (const auto& s : steps) {
        pushWindow(s.event);
        const int before = painted;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(ui::shellIteration(sh, prefs).painted, s.paints);
        EXPECT_EQ(painted - before, s.paints ? 3 : 0) << int(s.event);
    }
    pushWindow(SDL_WINDOWEVENT_FOCUS_LOST);
    slept = 0;
    EXPECT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_NEAR(slept, ui::kUnfocusedInterval, 1e-9);
    pushWindow(SDL_WINDOWEVENT_FOCUS_GAINED);
    slept = 0;
    EXPECT_TRUE(ui::shellIteration(sh, prefs).painted);
    EXPECT_LT(slept, 0.02);
}

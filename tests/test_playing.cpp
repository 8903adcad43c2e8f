// The play screen through the real frame pipeline with a test clock and scripted input; the
// rules are the game model's. Boards for particular situations are resumed as saved games.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>

#include "core/levels.h"
#include "core/storage.h"
#include "platform/audio.h"
#include "screens/playing.h"
#include "bot/bot.h"
#include "support/headless.h"
#include "support/tmpdir.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFrame = 1.0 / 60;

ui::GameState playing(int level, bool arcade = false, bool resume = false) {
    return {.kind = ui::ScreenKind::Playing, .level = level, .seed = 12345, .arcade = arcade,
            .resume = resume};
}

// A saved game on an empty 14 x 11 board whose first rows alternate two colours.
store::SavedGame blankGame(int level, bool arcade = false, int rows = 0) {
    store::SavedGame g;
    g.level = level;
    g.seed = 777;
    g.arcade = arcade;
    g.board = core::makeEmptyBoard(14, 11);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 11; ++c) g.board[r][c] = (r + c) % 2;
    return g;
}

// One game on a headless window over the menu; the pointer stays where it was last put.
struct Play {
    testsupport::Headless h{800, 450};
    double t = 10.0;
    ui::Input in{.mouseX = 400, .mouseY = 150, .keys = {}};

    explicit Play(const std::string& name) { store::openAt(testsupport::freshDir(name)); }
    void start(const ui::GameState& s) {
        h.start({.kind = ui::ScreenKind::Menu});
        ui::Game::instance().push(s);
        step();
    }
    void resume(const store::SavedGame& g) {
        store::saveGame(g);
        start(playing(g.level, g.arcade, true));
    }
    const ui::PlayView& view() const { return ui::playView(); }
    const ui::GameState& top() const { return ui::Game::instance().top(); }
    void step(double dt = kFrame, int key = 0, bool release = false) {
        ui::Input now = in;
        if (key != 0) now.keys.push_back(key);
        now.released = release;
        h.frame(now, t += dt);
    }
    void key(int k) { step(kFrame, k); }
    // One frame with the pointer moved to (x, y), and the button released there if told.
    void pointAt(double x, double y, bool release = false) {
        in.mouseX = x;
        in.mouseY = y;
        step(kFrame, 0, release);
    }
    // Aims with the pointer, fires and runs frames until the marble is at rest.
    void fire(double angle) {
        const core::Point p = testsupport::aimPointer(view(), angle, 160);
        pointAt(p.x, p.y, true);
        for (int i = 0; i < 400 && view().shotActive && !view().finished; ++i) step();
    }
    // The first angle, from straight up outwards, whose shot lands.
    double landing() {
        for (double d = 0; d < kPi / 2 - 0.13; d += 0.003)
            for (double a : {-kPi / 2 - d, -kPi / 2 + d})
                if (testsupport::simulateShot(view(), a, kFrame).kind ==
                    testsupport::ShotOutcome::Landed)
                    return a;
        return NAN;
    }
    // Lets d seconds pass, in frames of 50 ms.
    void wait(double d) {
        for (double e = 0; e < d - 1e-9; e += 0.05) step(0.05);
    }
};

}  // namespace

TEST(PlayScreen, AimClampsTheTopBarNeverFiresAndPauseFreezesTheClock) {
    Play p("play-aim");
    p.start(playing(0));
    const ui::PlayGeometry g = p.view().geo;
    const ui::Ctx& c = p.h.ctx();
    p.pointAt(g.shooterX + 100, g.shooterY - 100);
    EXPECT_NEAR(p.view().aim, -kPi / 4, 1e-9);
    // Within 10 units above the launcher, or below it, the pointer does not aim.
    p.pointAt(g.shooterX - 300, g.shooterY - 9);
    p.pointAt(g.shooterX - 300, g.h - 1);
    EXPECT_NEAR(p.view().aim, -kPi / 4, 1e-9);
    // Clamped 0.12 rad above the horizontal; keys turn 0.02 rad within it; a resting pointer
    // does not take the aim back.
    p.pointAt(g.shooterX - 600, g.shooterY - 11);
    EXPECT_NEAR(p.view().aim, -kPi + 0.12, 1e-9);
    p.key(SDLK_RIGHT);
    EXPECT_NEAR(p.view().aim, -kPi + 0.14, 1e-9);
    for (int i = 0; i < 3; ++i) p.key(SDLK_LEFT);
    EXPECT_NEAR(p.view().aim, -kPi + 0.12, 1e-9);
    p.pointAt(g.shooterX + 600, g.shooterY - 11);
    for (int i = 0; i < 3; ++i) p.key(SDLK_LEFT);
    EXPECT_NEAR(p.view().aim, -0.18, 1e-9);
    // A release on the bar does not fire; on the pause button at its right end it pauses.
    p.pointAt(g.w / 2, g.hudH / 2, true);
    EXPECT_FALSE(p.view().paused || p.view().shotActive);
    const double button = c.s(c.compact() ? 34 : 44);
    p.pointAt(g.w - c.s(12) - button / 2, g.hudH / 2 - c.s(2), true);
    ASSERT_TRUE(p.view().paused);
    EXPECT_FALSE(p.view().shotActive);
    const std::int64_t paused = p.view().elapsedMs;
    p.wait(3.0);
    EXPECT_EQ(p.view().elapsedMs, paused);
    // While paused, a free click only resumes; the next one fires.
    p.pointAt(g.shooterX, g.shooterY - 100, true);
    EXPECT_FALSE(p.view().paused || p.view().shotActive);
    p.pointAt(g.shooterX, g.shooterY - 101, true);
    ASSERT_TRUE(p.view().shotActive);
    for (int i = 0; i < 400 && p.view().shotActive; ++i) p.step();
    // "p" pauses, Space resumes without firing; time runs on only when not paused.
    p.key('p');
    ASSERT_TRUE(p.view().paused);
    const std::int64_t before = p.view().elapsedMs;
    p.wait(2.0);
    p.key(' ');
    EXPECT_FALSE(p.view().paused || p.view().shotActive);
    p.wait(1.0);
    EXPECT_NEAR(static_cast<double>(p.view().elapsedMs - before), 1000, 40);
}

TEST(PlayScreen, LeavingTheWindowPausesSilencesAndStopsTheClock) {
    Play p("play-away");
    p.start(playing(0));
    const auto windowEvent = [&p](SDL_WindowEventID id) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.event = static_cast<Uint8>(id);
        SDL_PushEvent(&e);
        ui::WindowPrefs prefs;
        ui::FrameOutcome out;
        ui::shellGatherInput(p.h.shell(), prefs, out);
    };
    for (SDL_WindowEventID away : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_MINIMIZED}) {
        p.wait(0.3);
        const std::int64_t before = p.view().elapsedMs;
        windowEvent(away);
        p.step(6.0);  // gone for six seconds; a minimised window paints nothing at all
        EXPECT_TRUE(audio::isSuspended()) << away;
        if (away == SDL_WINDOWEVENT_MINIMIZED) windowEvent(SDL_WINDOWEVENT_RESTORED);
        windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
        EXPECT_FALSE(audio::isSuspended()) << away;
        p.wait(0.3);
        EXPECT_TRUE(p.view().paused) << away;
        EXPECT_EQ(p.view().elapsedMs, before) << away;
        p.key(' ');
        EXPECT_FALSE(p.view().paused || p.view().shotActive) << "the resuming key does not fire";
    }
}

TEST(PlayScreen, RefillComesAfterSixTenthsOfASecondUnlessAShotFillsTheBoard) {
    Play p("play-refill");
    store::SavedGame g = blankGame(0, false, 3);
    g.incomingQueue.assign(3, std::vector<int>(11, 2));
    g.currentColor = g.nextColor = 3;
    g.starOrbPositions = {{2, 5}};
    p.resume(g);
    p.wait(0.55);
    EXPECT_EQ(p.view().incomingRows, 3);
    p.wait(0.1);
    EXPECT_EQ(p.view().incomingRows, 2);  // one row tops the board up to four
    EXPECT_EQ(p.view().board[0], std::vector<int>(11, 2));
    EXPECT_EQ(p.view().starOrbs[0].r, 1);  // orbs rise by the rows that entered
    EXPECT_EQ(store::savedGame().incomingQueue.size(), 2u);  // saved at once
    // A refill pending, then a shot that makes a fourth row: nothing enters.
    g.starOrbPositions.clear();
    p.resume(g);
    const double a = p.landing();
    ASSERT_EQ(testsupport::simulateShot(p.view(), a, kFrame).r, 3);
    p.fire(a);
    p.wait(1.0);
    EXPECT_EQ(p.view().incomingRows, 3);
}

TEST(PlayScreen, TheLastShotHandsTheGameToItsResultScreen) {
    Play p("play-loss");
    // A column hanging down to row 12; the sixth shot brings a descent into the loss row.
    store::SavedGame g = blankGame(0);
    for (int r = 0; r <= 12; ++r) g.board[r][0] = r % 2;
    g.board[0][1] = 0;  // a pair, so the level is not over before the shot
    g.shotsFired = 5;
    g.score = 120;
    g.currentColor = g.nextColor = 3;
    g.starOrbPositions = {{3, 3}};
    p.resume(g);
    p.fire(p.landing());
    ASSERT_TRUE(p.view().finished);
    const ui::GameState& top = p.top();
    EXPECT_EQ(std::tuple(top.kind, top.level, top.marbles, top.score, top.starOrbsTotal),
              std::tuple(ui::ScreenKind::GameOver, 0, 6, 120, 1));
    EXPECT_FALSE(store::hasSavedGame());
    p.step();  // the finished screen neither saves nor takes input in the frame it still runs
    EXPECT_FALSE(store::hasSavedGame());
    // Marbles left but no two alike together: solved on the first frame, nothing fired.
    store::SavedGame h = blankGame(8);
    h.board[0] = {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1};
    p.resume(h);
    EXPECT_EQ(std::tuple(p.top().kind, p.top().marbles), std::tuple(ui::ScreenKind::Solved, 0));
    EXPECT_FALSE(store::hasSavedGame());
}

TEST(PlayScreen, LeavingAndResumingRestoresTheWholeGame) {
    Play p("play-resume");
    p.start(playing(25));  // stage 2: obstacles
    for (int i = 0; i < 4; ++i) {
        p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
        EXPECT_EQ(store::savedGame().shotsFired, i + 1);  // saved after every shot
    }
    p.wait(0.5);
    const ui::PlayView before = p.view();
    p.key(SDLK_ESCAPE);  // saved, back to the menu
    EXPECT_EQ(p.top().kind, ui::ScreenKind::Menu);
    p.step();
    ASSERT_TRUE(store::hasSavedGame());
    p.start(playing(25, false, true));
    const ui::PlayView& after = p.view();
    EXPECT_EQ(std::tuple(after.board, after.incomingRows, after.currentColor, after.nextColor,
                         after.shots, after.score, after.freed, after.starOrbs),
              std::tuple(before.board, before.incomingRows, before.currentColor, before.nextColor,
                         4, before.score, before.freed, before.starOrbs));
    // The play time goes on from the last landing's save.
    EXPECT_GE(after.elapsedMs + 1, store::savedGame().elapsedMs);  // ms truncated
    EXPECT_LT(after.elapsedMs, store::savedGame().elapsedMs + 100);
    // A saved time longer than the program has run goes on.
    store::SavedGame g = store::savedGame();
    g.elapsedMs = 600000;
    p.resume(g);
    p.wait(1.0);
    EXPECT_NEAR(static_cast<double>(p.view().elapsedMs), 601000, 60);
}

namespace {

// One of SDL's virtual game controllers, plugged in for its lifetime.
struct VirtualPad {
    SDL_Joystick* joy = nullptr;
    VirtualPad() {
        SDL_VirtualJoystickDesc d{};
        d.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        d.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        d.naxes = SDL_CONTROLLER_AXIS_MAX;
        d.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        d.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
        d.button_mask = (1u << SDL_CONTROLLER_BUTTON_MAX) - 1;
        const int index = SDL_JoystickAttachVirtualEx(&d);
        if (index >= 0) joy = SDL_JoystickOpen(index);
    }
    ~VirtualPad() {
        if (joy == nullptr) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joy);
        SDL_JoystickClose(joy);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    void hold(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joy, b, down); }
    // The left stick's sideways and downward deflection, -1..1.
    void stick(double x, double y = 0) {
        SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x * 32767));
        SDL_JoystickSetVirtualAxis(joy, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y * 32767));
    }
};

}  // namespace

TEST(PlayGamepad, APadWalksToLevelOneAimsFiresAndUnpluggingPauses) {
    Play p("play-gamepad");
    // The headless window never has the focus, without which SDL drops pad input.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    p.h.start({.kind = ui::ScreenKind::Menu});
    const auto frame = [&p](double dt = kFrame) { p.h.pump(p.t += dt); };
    VirtualPad pad;
    ASSERT_TRUE(pad.joy != nullptr) << SDL_GetError();
    frame();
    EXPECT_EQ(p.h.shell().pads.size(), 1u) << "a pad is opened as it arrives";
    const auto press = [&](SDL_GameControllerButton b) {
        pad.hold(b, true);
        frame();
        pad.hold(b, false);
        frame();
    };
    // A push down moves once to Choose Level, the d-pad down and up; A, and A on level 1.
    for (double y : {0.9, 0.0}) {
        pad.stick(0, y);
        frame();
    }
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    press(SDL_CONTROLLER_BUTTON_DPAD_UP);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(p.top().kind, ui::ScreenKind::LevelSelect);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(std::pair(p.top().kind, p.top().level), std::pair(ui::ScreenKind::Playing, 0));
    // The stick turns the launcher, a nudge inside its dead zone does not; A fires.
    frame();
    const double aim = p.view().aim;
    pad.stick(0.2);
    frame(0.05);
    EXPECT_DOUBLE_EQ(p.view().aim, aim);
    pad.stick(0.8);
    frame(0.05);
    pad.stick(0);
    EXPECT_GT(p.view().aim, aim + 0.05);
    press(SDL_CONTROLLER_BUTTON_A);
    for (int i = 0; i < 100 && p.view().shotActive; ++i) frame(0.05);
    ASSERT_EQ(p.view().shots, 1);
    // Start pauses, A resumes without firing; a second pad is taken up, pulling it pauses.
    press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_TRUE(p.view().paused);
    press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_EQ(std::tuple(p.view().paused, p.view().shotActive, p.view().shots),
              std::tuple(false, false, 1));
    auto spare = std::make_unique<VirtualPad>();
    frame();
    EXPECT_EQ(p.h.shell().pads.size(), 2u);
    spare.reset();
    frame();
    EXPECT_EQ(std::pair(p.view().paused, p.h.shell().pads.size()), std::pair(true, size_t{1}));
}

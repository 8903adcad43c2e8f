// The play screen, run through the real frame pipeline with a test clock and scripted
// input. Boards for particular situations are set up as interrupted games and resumed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/levels.h"
#include "core/storage.h"
#include "platform/audio.h"
#include "screens/playing.h"
#include "support/bot.h"
#include "support/child.h"
#include "support/headless.h"
#include "support/store_files.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "ui/app.h"
#include "ui/decor.h"

namespace {

using testsupport::ShotOutcome;

constexpr double kPi = 3.14159265358979323846;
constexpr double kFrame = 1.0 / 60;

ui::GameState playing(int level, bool arcade = false, bool resume = false) {
    ui::GameState s;
    s.kind = ui::ScreenKind::Playing;
    s.level = level;
    s.seed = 12345;
    s.arcade = arcade;
    s.resume = resume;
    return s;
}

// An interrupted game on an empty 14 x 11 board; tests fill in what they need.
store::SavedGame blankGame(int level, bool arcade = false) {
    store::SavedGame g;
    g.level = level;
    g.seed = 777;
    g.arcade = arcade;
    g.board = core::makeEmptyBoard(14, 11);
    return g;
}

// One game on a 1280 x 720 headless window. The pointer stays where it was last put, as
// a real one does; every frame is one sixtieth of a second unless told otherwise.
struct Play {
    testsupport::Headless h;
    double t = 10.0;
    double px, py;

    explicit Play(const std::string& name, int width = 800, int height = 450)
        : h(width, height), px(width / 2.0), py(height / 3.0) {
        store::openAt(testsupport::freshDir(name));
    }

    // Starts a screen with a menu record below it, as the menu would.
    void start(const ui::GameState& s) {
        ui::GameState menu;
        menu.kind = ui::ScreenKind::Menu;
        h.start(menu);
        ui::Game::instance().push(s);
        step();
    }
    // Resumes g as the interrupted game.
    void resume(const store::SavedGame& g) {
        store::saveGame(g);
        start(playing(g.level, g.arcade, true));
    }
    const ui::PlayView& view() const { return ui::playView(); }
    const ui::GameState& top() const { return ui::Game::instance().top(); }

    const ui::PlayView& step(ui::Input in = {}, double dt = kFrame) {
        t += dt;
        in.mouseX = px;
        in.mouseY = py;
        h.frame(in, t);
        return view();
    }
    void key(int k) {
        ui::Input in;
        in.keys.push_back(k);
        step(in);
    }
    void moveTo(double x, double y) {
        px = x;
        py = y;
        step();
    }
    void clickAt(double x, double y) {
        moveTo(x, y);
        ui::Input in;
        in.released = true;
        step(in);
    }
    // Aims at angle with the pointer and clicks.
    void fire(double angle) {
        const core::Point p = testsupport::aimPointer(view(), angle, 160);
        clickAt(p.x, p.y);
    }
    // Runs frames until the marble has come to rest (or the game ended).
    void settle() {
        for (int i = 0; i < 400 && view().shotActive && !view().finished; ++i) step();
    }
    // Lets d seconds pass, in frames of 50 ms.
    void wait(double d) {
        for (double e = 0; e < d - 1e-9; e += 0.05) step({}, 0.05);
    }
    // The centre of the pause button at the right end of the top bar.
    core::Point pauseButton() {
        const ui::Ctx& c = h.ctx();
        const double hb = c.s(c.compact() ? 34 : 44);
        return core::Point{c.w - c.s(12) - hb / 2, (view().geo.hudH - hb) / 2 - c.s(2) + hb / 2};
    }
};

int occupied(const core::Board& b) {
    int n = 0;
    for (const auto& row : b)
        for (int v : row) n += v >= 0;
    return n;
}

int rowsUsed(const core::Board& b) {
    int n = 0;
    for (const auto& row : b) {
        for (int v : row) {
            if (v >= 0) {
                ++n;
                break;
            }
        }
    }
    return n;
}

// The first angle, scanning from straight up outwards, whose shot ends as wanted.
double findAngle(const ui::PlayView& v, ShotOutcome::Kind kind) {
    for (double d = 0; d < kPi / 2 - 0.13; d += 0.003) {
        for (double a : {-kPi / 2 - d, -kPi / 2 + d}) {
            if (testsupport::simulateShot(v, a, kFrame).kind == kind) return a;
        }
    }
    return NAN;
}

}  // namespace

TEST(PlayLayout, SameWindowSameGeometryAndLimitsHold) {
    struct Case {
        double w, h, ui;
    } cases[] = {{1280, 720, 1.0}, {400, 300, 0.72}, {3840, 2160, 2.0}, {1000, 1400, 0.78}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.w << "x" << k.h);
        const ui::PlayGeometry g = ui::playLayout(k.w, k.h, k.ui, 14, 11);
        const ui::PlayGeometry again = ui::playLayout(k.w, k.h, k.ui, 14, 11);
        EXPECT_EQ(std::memcmp(&g, &again, sizeof g), 0);
        EXPECT_GE(g.R, 11);
        EXPECT_LE(g.R, std::max(11.0, 38 * k.ui));
        EXPECT_NEAR(g.gridX + g.gridW / 2, k.w / 2, 1e-9);  // centred
        EXPECT_GT(g.shooterY, g.fieldBottom);
        EXPECT_LT(g.shooterY, k.h);
    }
    // A tiny window keeps a 200-unit field and marbles of 11 units, wider than the field.
    const ui::PlayGeometry tiny = ui::playLayout(400, 300, 0.72, 14, 11);
    EXPECT_EQ(tiny.fieldH, 200);
    EXPECT_EQ(tiny.fieldW, 124);
    EXPECT_EQ(tiny.R, 11);
    EXPECT_GT(tiny.gridW, tiny.fieldW);
    // A level of 14 rows is sized for 11 visible rows: the 11th row fits the field.
    const ui::PlayGeometry hd = ui::playLayout(1280, 720, 1.0, 14, 11);
    EXPECT_LE(hd.fieldTop + core::cellCenter(10, 0, hd.R).y + hd.R, hd.fieldBottom);
    EXPECT_LE(hd.gridW, hd.fieldW);
    EXPECT_EQ(hd.hudH, 70);
    EXPECT_EQ(ui::playLayout(1000, 700, 1.0, 14, 11).hudH, 52);  // compact
}

TEST(PlayScreen, FreshGamesStartFromTheLevelOrTheSeed) {
    Play p("play-fresh");
    p.start(playing(0));
    // The screen shows the rules' fresh game of its level and seed.
    const core::GameModel fresh = core::newCampaignGame(0, 12345);
    EXPECT_EQ(p.view().board, fresh.board);
    EXPECT_EQ(p.view().incomingRows, static_cast<int>(fresh.incoming.size()));
    EXPECT_EQ(p.view().starOrbs, fresh.starOrbs);
    EXPECT_EQ(std::pair(p.view().currentColor, p.view().nextColor),
              std::pair(fresh.currentColor, fresh.nextColor));
    EXPECT_DOUBLE_EQ(p.view().aim, -kPi / 2);

    p.start(playing(0, true));
    EXPECT_EQ(p.view().board, core::newArcadeGame(12345).board);
    EXPECT_EQ(p.view().incomingRows, 0);
    EXPECT_TRUE(p.view().starOrbs.empty());
    EXPECT_TRUE(p.view().obstacles.empty());

    // A campaign stage with obstacles places them on the field.
    p.start(playing(15));
    EXPECT_EQ(p.view().obstacles.size(), core::obstaclesForStage(1).size());
    EXPECT_FALSE(store::hasSavedGame());  // nothing happened yet, nothing saved
}

TEST(PlayScreen, AimFollowsThePointerAboveTheLauncherAndStaysClamped) {
    Play p("play-aim");
    p.start(playing(0));
    const ui::PlayGeometry g = p.view().geo;
    p.moveTo(g.shooterX + 100, g.shooterY - 100);
    EXPECT_NEAR(p.view().aim, -kPi / 4, 1e-9);
    // Within 10 units above the launcher, or below it, the pointer does not aim.
    p.moveTo(g.shooterX - 300, g.shooterY - 9);
    EXPECT_NEAR(p.view().aim, -kPi / 4, 1e-9);
    p.moveTo(g.shooterX - 300, g.h - 1);
    EXPECT_NEAR(p.view().aim, -kPi / 4, 1e-9);
    // Almost horizontal: clamped to 0.12 rad above the horizontal on either side.
    p.moveTo(g.shooterX + 600, g.shooterY - 11);
    EXPECT_NEAR(p.view().aim, -0.12, 1e-9);
    p.moveTo(g.shooterX - 600, g.shooterY - 11);
    EXPECT_NEAR(p.view().aim, -kPi + 0.12, 1e-9);
    // The keys turn by 0.02 rad a press and cannot pass the clamp either; a pointer that
    // rests where it was does not take the aim back.
    p.key(0x4000004F);
    EXPECT_NEAR(p.view().aim, -kPi + 0.14, 1e-9);
    for (int i = 0; i < 3; ++i) p.key(0x40000050);
    EXPECT_NEAR(p.view().aim, -kPi + 0.12, 1e-9);
    p.moveTo(g.shooterX + 600, g.shooterY - 11);
    for (int i = 0; i < 3; ++i) p.key(0x40000050);
    EXPECT_NEAR(p.view().aim, -0.18, 1e-9);
    for (int i = 0; i < 5; ++i) p.key(0x4000004F);
    EXPECT_NEAR(p.view().aim, -0.12, 1e-9);
    EXPECT_FALSE(p.view().shotActive);
}

TEST(PlayScreen, TopBarClicksNeverFireAndPauseFreezesTheClock) {
    Play p("play-topbar");
    p.start(playing(0));
    const ui::PlayGeometry g = p.view().geo;
    // A release on the bar (here on an empty part of it) does not fire.
    p.clickAt(g.w / 2, g.hudH / 2);
    EXPECT_FALSE(p.view().shotActive);
    // The pause button pauses and does not fire.
    p.clickAt(p.pauseButton().x, p.pauseButton().y);
    ASSERT_TRUE(p.view().paused);
    EXPECT_FALSE(p.view().shotActive);
    const std::int64_t before = p.view().elapsedMs;
    p.wait(3.0);
    EXPECT_EQ(p.view().elapsedMs, before);
    // While paused, a free click only resumes; the next one fires.
    p.clickAt(g.shooterX, g.shooterY - 100);
    EXPECT_FALSE(p.view().paused);
    EXPECT_FALSE(p.view().shotActive);
    p.clickAt(g.shooterX + 1, g.shooterY - 100);
    EXPECT_TRUE(p.view().shotActive);
    // "p" pauses, Space resumes without firing; time runs on only when not paused.
    p.settle();
    p.key('p');
    ASSERT_TRUE(p.view().paused);
    p.wait(2.0);
    p.key(' ');
    EXPECT_FALSE(p.view().paused);
    EXPECT_FALSE(p.view().shotActive);
    const std::int64_t resumed = p.view().elapsedMs;
    p.wait(1.0);
    EXPECT_NEAR(static_cast<double>(p.view().elapsedMs - resumed), 1000, 40);
    EXPECT_LT(p.view().elapsedMs, 3000);  // the 5 paused seconds are not counted
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
        SCOPED_TRACE(away);
        p.wait(1.0);
        const std::int64_t before = p.view().elapsedMs;
        windowEvent(away);
        p.step({}, 6.0);  // gone for six seconds; a minimised window paints nothing at all
        EXPECT_TRUE(audio::isSuspended());
        if (away == SDL_WINDOWEVENT_FOCUS_LOST) {
            EXPECT_TRUE(p.view().paused);
            EXPECT_EQ(p.view().elapsedMs, before);
        }
        if (away == SDL_WINDOWEVENT_MINIMIZED) windowEvent(SDL_WINDOWEVENT_RESTORED);
        windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
        EXPECT_FALSE(audio::isSuspended());
        p.wait(1.0);
        EXPECT_TRUE(p.view().paused) << "back, but paused until the player resumes";
        EXPECT_EQ(p.view().elapsedMs, before);
        p.key(' ');
        EXPECT_FALSE(p.view().paused);
        EXPECT_FALSE(p.view().shotActive) << "the resuming key does not fire";
    }
}

TEST(PlayScreen, AStalledFrameMovesTheMarbleByOnly50ms) {
    Play p("play-stall");
    p.start(playing(0));
    const ui::PlayGeometry g = p.view().geo;
    p.moveTo(g.shooterX, g.shooterY - 100);
    ui::Input fire;
    fire.keys.push_back(' ');
    p.step(fire);
    ASSERT_TRUE(p.view().shotActive);
    const double y0 = p.view().shot.y;
    p.step({}, 0.2);  // the frame clock caps dt at 0.1; the flight at 0.05
    // Whole steps of a quarter radius; the rest of the 50 ms waits for the next frame.
    const double moved = y0 - p.view().shot.y;
    EXPECT_LE(moved, 0.05 * 1200 + 1e-6);
    EXPECT_GT(moved, 0.05 * 1200 - core::kFlightStep * g.R);
    // It spins as it flies only when it moves sideways.
    EXPECT_NEAR(p.view().shotSpin, 0, 1e-9);
}

TEST(PlayScreen, RefillComesAfterSixTenthsOfASecondUnlessAShotFillsTheBoard) {
    Play p("play-refill");
    store::SavedGame g = blankGame(0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 11; ++c) g.board[r][c] = (r + c) % 2;
    g.incomingQueue.assign(3, std::vector<int>(11, 2));
    g.currentColor = g.nextColor = 3;
    g.starOrbPositions = {{2, 5}};
    p.resume(g);
    const double due = p.view().fillDue;
    EXPECT_NEAR(due - p.t, 0.6, 1e-9);  // pending, due 0.6 s after it was noticed
    p.wait(0.55);
    EXPECT_EQ(p.view().incomingRows, 3);
    p.wait(0.1);
    EXPECT_EQ(p.view().incomingRows, 2);  // one row tops the board up to four
    EXPECT_EQ(rowsUsed(p.view().board), 4);
    EXPECT_EQ(p.view().board[0], std::vector<int>(11, 2));
    EXPECT_EQ(p.view().starOrbs[0].r, 1);  // orbs rise by the rows that entered
    EXPECT_LT(p.view().fillDue, 0);
    EXPECT_EQ(store::savedGame().incomingQueue.size(), 2u);  // saved at once

    // Three rows again, a refill pending, then a shot that makes a fourth row cancels it.
    store::SavedGame h = blankGame(0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 11; ++c) h.board[r][c] = (r + c) % 2;
    h.incomingQueue.assign(2, std::vector<int>(11, 2));
    h.currentColor = h.nextColor = 3;
    p.resume(h);
    ASSERT_GE(p.view().fillDue, 0);
    const double a = findAngle(p.view(), ShotOutcome::Landed);
    ASSERT_EQ(testsupport::simulateShot(p.view(), a, kFrame).r, 3);
    p.fire(a);
    p.settle();
    EXPECT_LT(p.view().fillDue, 0);
    p.wait(1.0);
    EXPECT_EQ(p.view().incomingRows, 2);
}

TEST(PlayScreen, PuddlesSwallowAShotAndLostMarblesAreNotCounted) {
    // Stage 5 onwards has puddles: a swallowed marble is a shot without a landing.
    Play p("play-puddle");
    store::SavedGame g = blankGame(55);
    g.board[0][0] = g.board[0][1] = 0;  // a pair, so the level is not over
    g.board[0][10] = 1;
    g.currentColor = 2;
    g.nextColor = 3;
    p.resume(g);
    const double a = findAngle(p.view(), ShotOutcome::Swallowed);
    ASSERT_FALSE(std::isnan(a)) << "no angle reaches a puddle";
    p.fire(a);
    p.settle();
    EXPECT_EQ(p.view().shots, 1);
    EXPECT_EQ(occupied(p.view().board), 3);
    EXPECT_EQ(p.view().currentColor, 3);  // the launcher moved on
    EXPECT_EQ(p.view().trick, static_cast<int>(ui::Trick::Shake));
    EXPECT_EQ(store::savedGame().shotsFired, 1);
    EXPECT_EQ(store::savedGame().elapsedMs, 0);  // such a save keeps the previous time

    // A marble thrown back out of the field by a bumper is simply gone.
    const double lost = findAngle(p.view(), ShotOutcome::Lost);
    if (!std::isnan(lost)) {
        p.fire(lost);
        p.settle();
        EXPECT_FALSE(p.view().shotActive);
        EXPECT_EQ(p.view().shots, 1);
        EXPECT_EQ(p.view().currentColor, 3);
    }
}

TEST(PlayScreen, CampaignDescentsComeEverySixthShotWithTheNextRow) {
    Play p("play-descent");
    store::SavedGame g = blankGame(0);  // level 1: a descent every 6 shots
    core::Mulberry32 rnd(5);
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 11; ++c) g.board[r][c] = rnd.nextInt(3);
    g.incomingQueue = {std::vector<int>(11, 3), std::vector<int>(11, 3)};
    g.starOrbPositions = {{9, 4}};
    g.currentColor = 0;
    g.nextColor = 1;
    p.resume(g);
    ASSERT_EQ(core::levelConfig(0).shotsPerDescent, 6);
    for (int shot = 1; shot <= 6; ++shot) {
        p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
        p.settle();
        ASSERT_EQ(p.view().shots, shot);
        EXPECT_EQ(p.view().incomingRows, shot < 6 ? 2 : 1) << "after shot " << shot;
    }
    EXPECT_EQ(p.view().board[0], std::vector<int>(11, 3));
    EXPECT_EQ(p.view().starOrbs[0].r, 8);
}

TEST(PlayScreen, ArcadeRespawnsFourRowsWhenTheBoardIsCleared) {
    Play p("play-arcade-respawn");
    store::SavedGame g = blankGame(0, true);
    g.board[0][4] = g.board[0][5] = 1;
    g.currentColor = 1;
    g.nextColor = 1;
    p.resume(g);
    p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
    p.settle();
    EXPECT_EQ(p.view().shots, 1);
    EXPECT_EQ(rowsUsed(p.view().board), 4);
    EXPECT_EQ(p.view().score, core::scoreForPop(3, 0));
    EXPECT_EQ(p.top().kind, ui::ScreenKind::Playing);
}

TEST(PlayScreen, CampaignEndsSolvedOnAnEmptyBoardOrWithoutPairs) {
    Play p("play-win");
    // Three of a kind with nothing waiting: the shot clears the board.
    store::SavedGame g = blankGame(3);
    g.board[0][4] = g.board[0][5] = 2;
    g.currentColor = g.nextColor = 2;
    g.starOrbPositions = {{0, 4}, {0, 5}, {16, 3}};
    g.score = 40;
    g.shotsFired = 7;
    g.elapsedMs = 61000;
    p.resume(g);
    p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
    p.settle();
    ASSERT_TRUE(p.view().finished);
    ui::GameState top = p.top();
    EXPECT_EQ(top.kind, ui::ScreenKind::Solved);
    EXPECT_EQ(top.level, 3);
    EXPECT_EQ(top.marbles, 8);
    EXPECT_EQ(top.score, 40 + core::scoreForPop(3, 0));
    EXPECT_EQ(top.starOrbs, 2);
    EXPECT_EQ(top.starOrbsTotal, 3);
    EXPECT_GE(top.elapsedMs, 61000);
    EXPECT_LT(top.elapsedMs, 64000);
    EXPECT_FALSE(top.arcade);
    EXPECT_FALSE(store::hasSavedGame());

    // Marbles left but no two alike together: solved on the first frame, nothing fired.
    store::SavedGame h = blankGame(8);
    h.board[0] = {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1};
    p.resume(h);
    EXPECT_EQ(p.top().kind, ui::ScreenKind::Solved);
    EXPECT_EQ(p.top().marbles, 0);
    EXPECT_FALSE(store::hasSavedGame());
}

TEST(PlayScreen, ADescentIntoTheLossRowEndsTheGame) {
    Play p("play-loss");
    // A column hanging down to row 12; the sixth shot brings a descent into row 13.
    store::SavedGame g = blankGame(0);
    for (int r = 0; r <= 12; ++r) g.board[r][0] = r % 2 ? 1 : 0;
    g.board[0][1] = 0;  // a pair, so the level is not over before the shot
    g.shotsFired = 5;
    g.score = 120;
    g.currentColor = g.nextColor = 3;
    g.starOrbPositions = {{3, 3}};
    p.resume(g);
    p.wait(0.5);
    testsupport::savePng(p.h.last(), testsupport::artefactDir() + "/playing-near-loss.png");
    p.fire(findAngle(p.view(), ShotOutcome::Landed));
    p.settle();
    ASSERT_TRUE(p.view().finished);
    EXPECT_EQ(p.top().kind, ui::ScreenKind::GameOver);
    EXPECT_EQ(p.top().level, 0);
    EXPECT_EQ(p.top().marbles, 6);
    EXPECT_EQ(p.top().score, 120);
    EXPECT_EQ(p.top().starOrbsTotal, 1);
    EXPECT_FALSE(p.top().arcade);
    EXPECT_FALSE(store::hasSavedGame());
    // The finished screen neither saves nor takes input in the frame it still runs.
    p.step();
    EXPECT_FALSE(store::hasSavedGame());

    // Arcade: the run ends in a GameOver record and the high-score table.
    store::SavedGame a = blankGame(0, true);
    for (int r = 0; r <= 12; ++r) a.board[r][5] = r % 2 ? 1 : 0;
    a.currentColor = a.nextColor = 2;
    a.score = 4321;
    a.shotsFired = 1;  // the next shot is one that brings the ceiling down
    while ((a.shotsFired + 1) % core::arcadeShotsPerDrop(a.shotsFired + 1) != 0) ++a.shotsFired;
    p.resume(a);
    p.fire(findAngle(p.view(), ShotOutcome::Landed));
    p.settle();
    ASSERT_EQ(p.top().kind, ui::ScreenKind::GameOver);
    EXPECT_TRUE(p.top().arcade);
    EXPECT_EQ(p.top().score, 4321);
    EXPECT_EQ(p.top().highScore, 4321);
    ASSERT_FALSE(store::arcadeHighs().empty());
    EXPECT_EQ(store::arcadeHighs().front().score, 4321);
    EXPECT_EQ(store::arcadeHighs().front().marbles, a.shotsFired + 1);
}

TEST(PlayScreen, LeavingAndResumingRestoresTheWholeGame) {
    Play p("play-resume");
    p.start(playing(25));  // stage 2: obstacles
    for (int i = 0; i < 4; ++i) {
        p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
        p.settle();
        EXPECT_EQ(store::savedGame().shotsFired, i + 1);  // saved after every shot
    }
    p.wait(0.5);
    const ui::PlayView before = p.view();
    p.key(27);  // Escape: saved, back to the menu
    EXPECT_EQ(p.top().kind, ui::ScreenKind::Menu);
    p.step();
    ASSERT_TRUE(store::hasSavedGame());

    p.start(playing(25, false, true));
    const ui::PlayView& after = p.view();
    EXPECT_EQ(after.board, before.board);
    EXPECT_EQ(after.incomingRows, before.incomingRows);
    EXPECT_EQ(after.freed, before.freed);
    EXPECT_EQ(after.destroyed, before.destroyed);
    EXPECT_EQ(after.currentColor, before.currentColor);
    EXPECT_EQ(after.nextColor, before.nextColor);
    EXPECT_EQ(after.shots, 4);
    EXPECT_EQ(after.score, before.score);
    ASSERT_EQ(after.starOrbs.size(), before.starOrbs.size());
    for (size_t i = 0; i < after.starOrbs.size(); ++i) {
        EXPECT_EQ(after.starOrbs[i].r, before.starOrbs[i].r);
        EXPECT_EQ(after.starOrbs[i].c, before.starOrbs[i].c);
    }
    // The play time goes on from the last landing's save.
    EXPECT_GE(after.elapsedMs + 1, store::savedGame().elapsedMs);  // ms truncated
    EXPECT_LT(after.elapsedMs, store::savedGame().elapsedMs + 100);

    // Crushed obstacles stay crushed.
    store::SavedGame g = store::savedGame();
    g.destroyedObstacles = {0};
    p.resume(g);
    EXPECT_EQ(p.view().destroyed, std::vector<int>{0});
    EXPECT_EQ(p.view().obstacles.size(), core::obstaclesForStage(2).size() - 1);

    // A saved play time longer than the program has been running goes on counting.
    g.elapsedMs = 600000;
    p.resume(g);
    p.wait(1.0);
    EXPECT_NEAR(static_cast<double>(p.view().elapsedMs), 601000, 60);

    // A save from the other mode is not resumed: a fresh arcade run starts instead.
    p.start(playing(0, true, true));
    EXPECT_TRUE(p.view().arcade);
    EXPECT_EQ(p.view().shots, 0);
    EXPECT_EQ(p.view().board.size(), 14u);
}

TEST(PlayScreen, ObstaclesUnderTheBoardAreCrushed) {
    Play p("play-crush");
    p.start(playing(15));
    const ui::PlayView v = p.view();
    ASSERT_FALSE(v.obstacles.empty());
    // Marbles everywhere near the first obstacle: it is crushed on the next frame.
    store::SavedGame g = blankGame(15);
    const core::ResolvedObstacle o = v.obstacles[0];
    for (int r = 0; r < 14; ++r) {
        for (int c = 0; c < 11; ++c) {
            const core::Point q = core::cellCenter(r, c, v.geo.R);
            if (std::hypot(q.x + v.geo.gridX - o.cx, q.y + v.geo.fieldTop - o.cy) <
                0.75 * v.geo.R + o.cr + 2 * v.geo.R)
                g.board[r][c] = 0;
        }
    }
    for (int c = 0; c < 11; ++c) g.board[0][c] = 1;
    p.resume(g);
    p.step();
    EXPECT_EQ(p.view().destroyed.front(), 0);
    EXPECT_EQ(store::savedGame().destroyedObstacles.front(), 0);
    EXPECT_GT(p.view().particles, 18);
}

TEST(PlayBot, PlaysLevelOneToASolvedRecord) {
    Play p("play-bot");
    p.start(playing(0));
    int shots = 0;
    while (!p.view().finished && shots < 250) {
        p.fire(testsupport::chooseAim(p.view(), kFrame).angle);
        p.settle();
        ++shots;
        if (!p.view().finished) {
            // The autosave holds exactly what the screen shows.
            ASSERT_EQ(store::savedGame().board, p.view().board) << "shot " << shots;
            ASSERT_EQ(store::savedGame().shotsFired, p.view().shots);
        }
        p.wait(0.7);  // lets any refill happen
    }
    ASSERT_EQ(p.top().kind, ui::ScreenKind::Solved) << "after " << shots << " shots";
    EXPECT_EQ(p.top().marbles, shots);
    EXPECT_GT(p.top().score, 0);
    EXPECT_EQ(p.top().starOrbsTotal, 3);
    EXPECT_FALSE(store::hasSavedGame());
}

namespace {

// One of SDL's virtual game controllers with the standard buttons and axes, plugged in for
// its lifetime unless pulled out earlier.
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
    ~VirtualPad() { pullOut(); }
    void pullOut() {
        if (joy == nullptr) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joy);
        SDL_JoystickClose(joy);
        joy = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
        }
    }
    void hold(SDL_GameControllerButton b, bool down) { SDL_JoystickSetVirtualButton(joy, b, down); }
    // The left stick's deflection, -1..1 each way, positive right and down.
    void stick(double x, double y = 0) {
        for (auto [axis, v] :
             {std::pair{SDL_CONTROLLER_AXIS_LEFTX, x}, {SDL_CONTROLLER_AXIS_LEFTY, y}})
            SDL_JoystickSetVirtualAxis(
                joy, axis, static_cast<Sint16>(std::lround(std::clamp(v, -1.0, 1.0) * 32767)));
    }
};

}  // namespace

TEST(PlayGamepad, APadWalksTheMenusAndSolvesLevelOneAndUnpluggingPauses) {
    Play p("play-gamepad");
    // The headless window never has the focus, without which SDL drops pad input.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
    ui::GameState menu;
    menu.kind = ui::ScreenKind::Menu;
    p.h.start(menu);
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
    // Menu: a nudge inside the stick's dead zone does nothing, a push down moves once to the
    // level select, the d-pad down and up again; A there starts the newest level, the first.
    for (double y : {0.2, 0.0, 0.9, 0.0}) {
        pad.stick(0, y);
        frame();
    }
    press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    press(SDL_CONTROLLER_BUTTON_DPAD_UP);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(p.top().kind, ui::ScreenKind::LevelSelect);
    press(SDL_CONTROLLER_BUTTON_A);
    ASSERT_EQ(p.top().kind, ui::ScreenKind::Playing);
    ASSERT_EQ(p.top().level, 0);

    // Aims with the stick alone, steering like a player until on target, then fires with A.
    // Frames of 50 ms, the longest the game advances a marble by in one go.
    constexpr double kStep = 0.05;
    const auto shoot = [&](double angle) {
        for (int i = 0; i < 100 && std::fabs(angle - p.view().aim) > 2e-4; ++i) {
            const double err = angle - p.view().aim;
            // Past the dead zone, a deflection that closes about half the gap per frame.
            pad.stick(
                std::copysign(0.25 + 0.75 * std::min(std::fabs(err) / (4.0 * kStep), 1.0), err));
            frame(kStep);
        }
        pad.stick(0);
        press(SDL_CONTROLLER_BUTTON_A);
        for (int i = 0; i < 100 && p.view().shotActive; ++i) frame(kStep);
    };
    shoot(testsupport::chooseAim(p.view(), kStep).angle);
    ASSERT_EQ(p.view().shots, 1);
    // A second pad plugged in mid-game is taken up; pulling it out pauses, and A on the
    // first resumes without firing.
    auto spare = std::make_unique<VirtualPad>();
    frame();
    EXPECT_EQ(p.h.shell().pads.size(), 2u);
    EXPECT_FALSE(p.view().paused);
    spare.reset();
    frame();
    EXPECT_TRUE(p.view().paused);
    EXPECT_EQ(p.h.shell().pads.size(), 1u);
    press(SDL_CONTROLLER_BUTTON_A);
    EXPECT_FALSE(p.view().paused);
    EXPECT_FALSE(p.view().shotActive);
    // Start pauses and resumes.
    press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_TRUE(p.view().paused);
    press(SDL_CONTROLLER_BUTTON_START);
    EXPECT_FALSE(p.view().paused);

    int shots = 1;
    while (p.top().kind == ui::ScreenKind::Playing && shots < 250) {
        shoot(testsupport::chooseAim(p.view(), kStep).angle);
        ++shots;
        for (int i = 0; i < 14; ++i) frame(kStep);  // lets any refill happen
    }
    EXPECT_EQ(p.top().kind, ui::ScreenKind::Solved) << "after " << shots << " shots";
}

TEST(PlayBlackBox, ShotsAreSavedAndSurviveAKill) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd";
    // The first shot of level 1 that pops, aimed through a whole pixel as xdotool must.
    core::Point aim;
    {
        Play p("play-blackbox-aim", 1280, 720);
        p.start(playing(0));
        aim = testsupport::chooseAim(p.view(), kFrame, 300).pointer;
    }
    const std::string popAt =
        std::to_string(std::lround(aim.x)) + " " + std::to_string(std::lround(aim.y));
    const testsupport::Session s = testsupport::runXSession("playing", R"SH(
export PLUMBRIX_SCREEN=playing:1
launch --size 1280x720 || exit 1
shot opening
save="$XDG_DATA_HOME/Plumbrix/saves.dat"
# Waits (at most 20 s: a loaded machine under the sanitizers is slow) until the save file
# differs from what it was.
await_save() {
    local i
    for i in $(seq 1 400); do
        [ "$(md5sum "$save" 2>/dev/null)" != "$1" ] && return 0
        sleep 0.05
    done
    return 1
}
click_at )SH" + popAt + R"SH(
await_save "" && echo changed >> "$OUT/saves.log"
sleep 0.12
shot popping
for x in 560 700; do
    before=$(md5sum "$save" 2>/dev/null)
    click_at $x 260
    await_save "$before" && echo changed >> "$OUT/saves.log"
done
keys p
shot paused
keys p
sleep 1
kill -KILL "$GAME_PID"; finish > /dev/null
exit 0
)SH",
                                                                   "1280x720");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/saves.log"), "changed\nchanged\nchanged\n");
    for (const char* name : {"opening", "popping", "paused"}) {
        const testsupport::Frame f = testsupport::loadXwd(s.dir + "/" + name + ".xwd");
        ASSERT_FALSE(f.empty()) << name;
        testsupport::savePng(f, testsupport::artefactDir() + "/x-playing-" + name + ".png");
    }
    // The killed game is there to be resumed, with the three shots.
    store::openAt(s.dir + "/data/Plumbrix");
    ASSERT_TRUE(store::hasSavedGame());
    const store::SavedGame g = store::savedGame();
    EXPECT_EQ(g.shotsFired, 3);
    EXPECT_FALSE(g.arcade);
    Play p("play-after-kill");
    p.resume(g);
    EXPECT_EQ(p.view().board, g.board);
    EXPECT_EQ(p.view().shots, 3);
}

namespace {

// The board's first rows at a fixed moment of a fresh level 1, as the screen shows them.
testsupport::Frame openingBoard(Play& p) {
    p.start(playing(0));
    p.step({}, 2.0 - p.t + 10.0);  // the same moment in every process
    const ui::PlayGeometry g = p.view().geo;
    const testsupport::Frame& f = p.h.last();
    testsupport::Frame crop;
    crop.w = static_cast<int>(g.gridW);
    crop.h = static_cast<int>(core::cellCenter(4, 0, g.R).y);
    for (int y = 0; y < crop.h; ++y)
        for (int x = 0; x < crop.w; ++x)
            crop.px.push_back(f.at(static_cast<int>(g.gridX) + x, static_cast<int>(g.fieldTop) + y));
    return crop;
}

}  // namespace

// Runs only in children started by PlayEnv.SwitchesReachTheScreen.
TEST(PlayEnvChild, Switches) {
    const char* trick = std::getenv("PLUMBRIX_TRICK");
    const char* spin = std::getenv("PLUMBRIX_SPIN");
    if (trick == nullptr && spin == nullptr) GTEST_SKIP() << "runs in a child process";
    Play p("play-env-child");
    if (spin != nullptr) {
        ASSERT_TRUE(testsupport::savePng(openingBoard(p), testsupport::artefactDir() +
                                                              "/playing-board-spun.png"));
        return;
    }
    // An unknown trick name makes the mascot shake forever, with 0.4 s rests.
    p.start(playing(0));
    const double period = ui::trickDuration(ui::Trick::Shake) + 0.4;
    for (int i = 0; i < 40; ++i) {
        p.step({}, 0.05);
        ASSERT_EQ(p.view().trick, static_cast<int>(ui::Trick::Shake));
        ASSERT_NEAR(p.view().cheerAt, p.t - std::fmod(p.t, period), 1e-9);
    }
}

TEST(PlayEnv, SwitchesReachTheScreen) {
    std::string out;
    EXPECT_TRUE(testsupport::runChild("PLUMBRIX_TRICK", "wobble", "PlayEnvChild.*", &out)) << out;
    EXPECT_TRUE(testsupport::runChild("PLUMBRIX_SPIN", "40", "PlayEnvChild.*", &out)) << out;
    // Without the switches the mascot waits for play, and the marbles rest unturned: the
    // same moment differs from the spun child's only where the marbles are turned.
    Play p("play-env");
    const testsupport::Frame plain = openingBoard(p);
    EXPECT_EQ(p.view().trick, static_cast<int>(ui::Trick::None));
    const testsupport::Frame spun =
        testsupport::loadPng(testsupport::artefactDir() + "/playing-board-spun.png");
    ASSERT_EQ(spun.w, plain.w);
    ASSERT_EQ(spun.h, plain.h);
    EXPECT_GT(testsupport::pixelsOver(plain, spun, 40), plain.w * plain.h / 20);
}

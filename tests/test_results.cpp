// The result screens: what the solved screen records in the store, where every button and
// Escape lead, the seeded confetti, what each screen shows in which case, and screenshots
// of all of them in a compact and a wide window.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/levels.h"
#include "core/obstacles.h"
#include "core/storage.h"
#include "screens/playing.h"
#include "support/bot.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "ui/app.h"

using testsupport::Frame;
using testsupport::Headless;
using ui::GameState;
using ui::ScreenKind;

namespace {

GameState record(ScreenKind kind, int level = 0) {
    GameState s;
    s.kind = kind;
    s.level = level;
    return s;
}

GameState solved(int level, int orbs, int total) {
    GameState s = record(ScreenKind::Solved, level);
    s.marbles = 21;
    s.score = 4350;
    s.elapsedMs = 83000;
    s.starOrbs = orbs;
    s.starOrbsTotal = total;
    return s;
}

GameState lost(bool arcade, int score, int best) {
    GameState s = record(ScreenKind::GameOver, arcade ? 0 : 12);
    s.arcade = arcade;
    s.marbles = 48;
    s.score = score;
    s.highScore = best;
    s.elapsedMs = 191000;
    s.starOrbs = 1;
    s.starOrbsTotal = 3;
    return s;
}

// Pixels within tol of rgb in the rectangle.
int countNear(const Frame& f, int x0, int y0, int w, int h, std::uint32_t rgb, int tol) {
    int n = 0;
    for (int y = y0; y < y0 + h && y < f.h; ++y)
        for (int x = x0; x < x0 + w && x < f.w; ++x) {
            const std::uint32_t p = f.at(x, y);
            if (std::abs(testsupport::red(p) - static_cast<int>(rgb >> 16)) <= tol &&
                std::abs(testsupport::green(p) - static_cast<int>((rgb >> 8) & 0xFF)) <= tol &&
                std::abs(testsupport::blue(p) - static_cast<int>(rgb & 0xFF)) <= tol)
                ++n;
        }
    return n;
}

int countDiff(const Frame& a, const Frame& b, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (a.at(x, y) != b.at(x, y)) ++n;
    return n;
}

void freshStore(const std::string& name) {
    store::openAt(testsupport::freshDir(name));
}

void shoot(const Frame& f, const std::string& name) {
    EXPECT_TRUE(testsupport::savePng(f, testsupport::artefactDir() + "/results_" + name + ".png"))
        << name;
}

}  // namespace

TEST(SolvedScreen, RecordsUnlockBestAndSolveOnceBuilt) {
    const std::string dir = testsupport::freshDir("results-store");
    store::openAt(dir);
    ASSERT_EQ(store::unlockedLevel(), 1);

    auto best = [](int level) {
        const store::LevelBest b = store::levelBests().count(level) ? store::levelBests().at(level)
                                                                    : store::LevelBest{-1, -1, -1};
        return std::tuple(b.stars, b.moves, b.elapsedMs);
    };
    ui::makeSolvedScreen(solved(4, 2, 3));
    EXPECT_EQ(store::unlockedLevel(), 6) << "index 4 solved makes index 5 playable";
    EXPECT_EQ(best(4), std::tuple(2, 21, 83000));
    ASSERT_EQ(store::solves().size(), 1u);
    const store::SolveEntry first = store::solves().front();
    EXPECT_EQ(std::tuple(first.level, first.marbles, first.score, first.elapsedMs, first.stars),
              std::tuple(4, 21, 4350, 83000, 2));
    EXPECT_GT(first.solvedAt, 0);

    // A faster run with fewer stars: the best merges field by field, the unlock never drops.
    GameState quick = solved(4, 1, 3);
    quick.marbles = 15;
    quick.elapsedMs = 90000;
    ui::makeSolvedScreen(quick);
    EXPECT_EQ(store::unlockedLevel(), 6);
    EXPECT_EQ(best(4), std::tuple(2, 15, 83000));
    EXPECT_EQ(store::solves().size(), 1u) << "one solve per level";

    // Records from outside the campaign write nothing.
    ui::makeSolvedScreen(solved(100, 3, 3));
    ui::makeSolvedScreen(solved(-1, 3, 3));
    EXPECT_EQ(store::unlockedLevel(), 6);
    EXPECT_EQ(store::levelBests().size(), 1u);

    // The last level clears the campaign; everything is on disk.
    ui::makeSolvedScreen(solved(99, 3, 3));
    store::openAt(dir);
    EXPECT_EQ(store::unlockedLevel(), store::kAllCleared);
    EXPECT_EQ(best(99), std::tuple(3, 21, 83000));
    EXPECT_EQ(best(4), std::tuple(2, 15, 83000));
    EXPECT_EQ(store::solves().front().level, 99);
}

TEST(ResultScreens, ButtonsAndEscapeNavigate) {
    testsupport::usePrivateFonts();
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    // Button centres at 1280 x 720 (u = k = 1): the text column ends where the buttons
    // start 10 units lower; each button is 48 high with 10 between them.
    const double cx = 640;
    auto centres = [](double columnEnd) {
        const double top = columnEnd + 10;
        return std::vector<double>{top + 24, top + 82, top + 140};
    };
    const std::vector<double> solvedPlain = centres(70 + 50 + 46 + 34 + 26 + 26 + 26);
    const std::vector<double> solvedHint = centres(70 + 50 + 46 + 34 + 26 + 26 + 26 + 28);
    const std::vector<double> lostCampaign = centres(90 + 52 + 28 + 34 + 26 + 26 + 36);
    const std::vector<double> lostArcade = centres(90 + 52 + 28 + 34 + 26 + 26);
    const std::vector<double> lostRecord = centres(90 + 52 + 38 + 28 + 34 + 26 + 26);

    struct Case {
        const char* name;
        std::vector<GameState> below;  // records under the result screen
        GameState screen;
        double y;                       // the click's height; below 0: press Escape
        std::vector<ScreenKind> after;  // the stack afterwards, bottom first
        int level;                      // a new game's level and mode
        bool arcade;
    };
    const GameState menu = record(ScreenKind::Menu);
    const GameState sel = record(ScreenKind::LevelSelect);
    using K = ScreenKind;
    const GameState won = solved(4, 3, 3);
    const GameState lostLevel = lost(false, 900, 0);
    const GameState lostRun = lost(true, 50, 900);
    // clang-format off
    const std::vector<Case> cases = {
        {"next level", {menu, sel}, won, solvedPlain[0], {K::Menu, K::LevelSelect, K::Playing}, 5,
         false},
        {"next after hint", {menu}, solved(4, 2, 3), solvedHint[0], {K::Menu, K::Playing}, 5, false},
        {"again", {menu, sel}, won, solvedPlain[1], {K::Menu, K::LevelSelect, K::Playing}, 4, false},
        {"solved to menu", {menu, sel}, won, solvedPlain[2], {K::Menu}, 0, false},
        {"solved escape", {menu, sel}, solved(4, 2, 3), -1, {K::Menu}, 0, false},
        {"last level", {menu, sel}, solved(99, 3, 3), solvedPlain[0],
         {K::Menu, K::LevelSelect, K::Ending}, 0, false},
        {"retry", {menu, sel}, lostLevel, lostCampaign[0], {K::Menu, K::LevelSelect, K::Playing},
         12, false},
        {"back to level select", {menu, sel}, lostLevel, lostCampaign[1], {K::Menu, K::LevelSelect},
         0, false},
        {"level select from menu", {menu}, lostLevel, lostCampaign[1], {K::Menu, K::LevelSelect}, 0,
         false},
        {"lost to menu", {menu, sel}, lostLevel, lostCampaign[2], {K::Menu}, 0, false},
        {"lost escape", {menu}, lostRun, -1, {K::Menu}, 0, false},
        {"arcade retry", {menu}, lostRun, lostArcade[0], {K::Menu, K::Playing}, 0, true},
        {"arcade high scores", {menu}, lostRun, lostArcade[1], {K::Menu, K::GameOver, K::HighScores},
         0, false},
        {"arcade record retry", {menu}, lost(true, 900, 900), lostRecord[0], {K::Menu, K::Playing},
         0, true},
        {"ending escape", {menu}, record(K::Ending), -1, {K::Menu}, 0, false},
    };
    // clang-format on
    double t = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshStore("results-nav");
        h.start(c.below.front());
        for (size_t i = 1; i < c.below.size(); ++i) ui::Game::instance().push(c.below[i]);
        ui::Game::instance().push(c.screen);
        h.frame(t);
        h.frame(t + 1.5);
        if (c.y < 0)
            h.key(SDLK_ESCAPE, t + 1.6);
        else
            h.click(cx, c.y, t + 1.6);
        t += 5;
        const auto& stack = ui::Game::instance().stack();
        std::vector<ScreenKind> kinds;
        for (const GameState& s : stack) kinds.push_back(s.kind);
        ASSERT_EQ(kinds, c.after);
        const GameState& top = stack.back();
        if (top.kind == K::Playing) {
            EXPECT_EQ(top.level, c.level);
            EXPECT_EQ(top.arcade, c.arcade);
            EXPECT_FALSE(top.resume);
            EXPECT_EQ(top.score + top.marbles + top.starOrbs + top.highScore, 0);
            EXPECT_EQ(top.elapsedMs, 0);
            const auto now = static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
            EXPECT_LE(now - top.seed, 60000u) << "seeded from the clock";
        }
        EXPECT_FALSE(top.forcePerfect);
    }

    // The ending's one button sits between the progress line and the mascot.
    freshStore("results-nav");
    h.start(menu);
    ui::Game::instance().push(record(K::Ending));
    h.frame(t);
    const Frame& f = h.frame(t + 3);
    int buttonY = -1;
    for (int y = 300; y < 440 && buttonY < 0; ++y)
        if (countNear(f, 500, y, 1, 1, 0xff5fa3, 40) == 1 &&
            countNear(f, 780, y, 1, 1, 0xff5fa3, 40))
            buttonY = y + 10;
    ASSERT_GT(buttonY, 0) << "no pink button under the text";
    h.click(cx, buttonY, t + 3.1);
    ASSERT_EQ(ui::Game::instance().stack().size(), 1u);
    EXPECT_EQ(ui::Game::instance().top().kind, K::Menu);
}

TEST(ResultScreens, WhatEachCaseShows) {
    testsupport::usePrivateFonts();
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    auto show = [&](const GameState& s, double age) {
        h.start(s);
        h.frame(20);
        return h.frame(20 + age);
    };

    // Confetti: one level on one window size always throws the same burst; a screen whose
    // burst is long over shows the same frame without it.
    freshStore("results-looks");
    const Frame a = show(solved(7, 1, 3), 0.55);
    const Frame b = show(solved(7, 1, 3), 0.55);
    EXPECT_EQ(testsupport::maxChannelDiff(a, b), 0);
    h.start(solved(7, 1, 3));
    h.frame(16);
    const Frame calm = h.frame(20.55);
    EXPECT_GT(countDiff(a, calm, 0, 0, 1280, 40), 400) << "confetti above the headline";

    // The hint for a missing orb, light text under the time line; none with every orb.
    const Frame hint = show(solved(7, 2, 3), 3);
    const Frame full = show(solved(7, 3, 3), 3);
    const Frame noOrbs = show(solved(7, 0, 0), 3);
    const int hintY = 70 + 50 + 46 + 34 + 26 + 26 + 26;
    EXPECT_GT(countNear(hint, 440, hintY - 9, 400, 18, 0xd6cbe8, 12), 40);
    EXPECT_LT(countNear(full, 440, hintY - 9, 400, 18, 0xd6cbe8, 12), 5);
    EXPECT_LT(countNear(noOrbs, 440, hintY - 9, 400, 18, 0xd6cbe8, 12), 5);
    // Stars: all three golden with every orb, one fewer with one missing.
    const int starY = 70 + 50;
    const int gold3 = countNear(full, 540, starY - 25, 200, 50, 0xffd700, 30);
    const int gold2 = countNear(hint, 540, starY - 25, 200, 50, 0xffd700, 30);
    EXPECT_GT(gold3, 300);
    EXPECT_NEAR(gold2 * 3.0 / gold3, 2.0, 0.4);

    // Game over: the gold record line only for a new best above zero; campaign stars.
    const int recordY = 90 + 52;
    const Frame best = show(lost(true, 900, 900), 1);
    const Frame zero = show(lost(true, 0, 0), 1);
    const Frame beaten = show(lost(true, 50, 900), 1);
    EXPECT_GT(countNear(best, 440, recordY - 12, 400, 24, 0xffd700, 20), 40);
    EXPECT_LT(countNear(zero, 440, recordY - 12, 400, 24, 0xffd700, 20), 5);
    EXPECT_LT(countNear(beaten, 440, recordY - 12, 400, 24, 0xffd700, 20), 5);
    const int lostStarY = 90 + 52 + 28 + 34 + 26 + 26;
    const Frame campaign = show(lost(false, 900, 0), 1);
    GameState plain = lost(false, 900, 0);
    plain.starOrbsTotal = 0;
    plain.starOrbs = 0;
    const Frame noRow = show(plain, 1);
    EXPECT_GT(countNear(campaign, 560, lostStarY - 13, 160, 26, 0xffd700, 30), 60);
    EXPECT_LT(countNear(noRow, 560, lostStarY - 13, 160, 26, 0xffd700, 30), 5);

    // Ending: three gold stars when forced or when all 100 levels hold three, else two.
    auto endingGold = [&](bool forced) {
        GameState e = record(ScreenKind::Ending);
        e.forcePerfect = forced;
        const Frame f = show(e, 3);
        return countNear(f, 540, 110 + 56 - 22, 200, 44, 0xffd700, 30);
    };
    freshStore("results-ending");
    const int forced = endingGold(true);
    const int incomplete = endingGold(false);
    for (int level = 0; level < 100; ++level) store::recordBest(level, {3, 10, 1000});
    const int earned = endingGold(false);
    EXPECT_GT(forced, 300);
    EXPECT_NEAR(incomplete * 3.0 / forced, 2.0, 0.4);
    EXPECT_NEAR(earned * 1.0 / forced, 1.0, 0.1);
}

TEST(ResultScreens, ScreenshotsCompactAndWide) {
    testsupport::usePrivateFonts();
    freshStore("results-shots");
    for (int level = 0; level < 37; ++level) store::recordBest(level, {3, 10, 1000});
    GameState perfect = record(ScreenKind::Ending);
    perfect.forcePerfect = true;
    const std::vector<std::pair<std::string, GameState>> screens = {
        {"solved3", solved(12, 3, 3)},
        {"solved2", solved(33, 2, 3)},
        {"lost_campaign", lost(false, 1720, 0)},
        {"lost_arcade", lost(true, 8800, 8800)},
        {"ending_perfect", perfect},
        {"ending_incomplete", record(ScreenKind::Ending)},
    };
    struct Size {
        const char* name;
        int w, h;
    };
    for (const Size& sz : {Size{"compact", 900, 560}, Size{"wide", 1600, 900}}) {
        Headless h(sz.w, sz.h);
        ASSERT_TRUE(h.ok());
        for (const auto& [name, s] : screens) {
            h.start(s);
            // Solved screens mid-confetti; the others once their stars are all in.
            const bool burst = s.kind == ScreenKind::Solved;
            h.frame(30);
            const Frame& f = h.frame(burst ? 30.6 : 32.5);
            shoot(f, name + "_" + sz.name);
            // Nothing runs off the bottom: the last row of pixels is background, not pink.
            EXPECT_LT(countNear(f, 0, sz.h - 2, sz.w, 2, 0xff5fa3, 20), 3) << name;
        }
    }
}

namespace {

// The play screen's view of level 1 at 1280 x 720 as the real game shows it: from its
// autosave once there is one, else the level's opening with the first colours of seed
// 12345 (the development start screen's seed).
ui::PlayView viewOfLevelOne() {
    const core::LevelConfig cfg = core::levelConfig(0);
    ui::PlayView v;
    v.geo = ui::playLayout(1280, 720, 1.0, cfg.rows, cfg.cols);
    v.rows = cfg.rows;
    v.cols = cfg.cols;
    v.lossRow = cfg.lossRow;
    v.numColors = cfg.numColors;
    const store::SavedGame& g = store::savedGame();
    if (store::hasSavedGame()) {
        v.board = g.board;
        v.incomingRows = static_cast<int>(g.incomingQueue.size());
        v.starOrbs = g.starOrbPositions;
        v.freed = g.freedStarOrbs;
        v.destroyed = g.destroyedObstacles;
        v.currentColor = g.currentColor;
        v.nextColor = g.nextColor;
        v.shots = g.shotsFired;
    } else {
        const core::LevelBoard lb = core::levelBoard(0);
        v.board = lb.board;
        v.incomingRows = static_cast<int>(lb.incomingRows.size());
        v.starOrbs = lb.starOrbs;
        v.currentColor = core::Mulberry32(12345).nextInt(cfg.numColors);
        v.nextColor = core::Mulberry32(12345u * 31u + 7u).nextInt(cfg.numColors);
    }
    const auto all = core::resolveObstacles(core::obstaclesForStage(cfg.stage), v.geo.fieldLeft,
                                            v.geo.fieldTop, v.geo.fieldW, v.geo.fieldH, v.geo.R);
    for (size_t i = 0; i < all.size(); ++i)
        if (std::find(v.destroyed.begin(), v.destroyed.end(), static_cast<int>(i)) ==
            v.destroyed.end())
            v.obstacles.push_back(all[i]);
    return v;
}

bool awaitFile(const std::string& path, const std::atomic<bool>& over, double seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (std::filesystem::exists(path)) return true;
        if (over) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

// Level 1 played to the end in the real game, one command at a time: the test reads the
// autosave, chooses the shot and hands the script a click; the script clicks and reports
// back once the save has settled.
TEST(ResultScreens, SolvingLevelOneInTheRealGameUnlocksLevelTwo) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd";
    const std::string body = R"SH(
save="$XDG_DATA_HOME/Plumbrix/saves.dat"
sum() { md5sum "$save" 2>/dev/null; }
# Waits until the save file has stayed the same for 0.8 s (a refill saves again).
settled() {
    local prev now i
    prev=$(sum)
    for i in $(seq 1 12); do
        sleep 0.8
        now=$(sum)
        [ "$now" = "$prev" ] && return 0
        prev=$now
    done
}
PLUMBRIX_SCREEN=playing:1 launch --size 1280x720 || exit 1
touch "$OUT/ready"
n=0
while :; do
    n=$((n + 1))
    for i in $(seq 1 1200); do [ -f "$OUT/cmd.$n" ] && break; sleep 0.05; done
    read -r what x y < "$OUT/cmd.$n" || break
    case $what in
    shoot)
        before=$(sum)
        click_at "$x" "$y"
        for i in $(seq 1 100); do [ "$(sum)" != "$before" ] && break; sleep 0.05; done
        settled ;;
    click) click_at "$x" "$y"; sleep 0.5 ;;
    shot) shot "$x" ;;
    restart)
        keys ctrl+q; finish > "$OUT/quit.status"
        PLUMBRIX_SCREEN=ending launch --size 1280x720 || exit 1
        sleep 2
        shot ending
        keys Escape
        shot menu
        keys ctrl+q; finish > "$OUT/quit2.status" ;;
    *) break ;;
    esac
    touch "$OUT/done.$n"
done
kill -0 "$GAME_PID" 2>/dev/null && { keys ctrl+q; finish > /dev/null; }
exit 0
)SH";
    const std::string dir =
        testsupport::artefactDir() + "/x-results-play-" + std::to_string(::getpid());
    std::atomic<bool> over{false};
    testsupport::Session s;
    std::thread session([&] {
        s = testsupport::runXSession("results-play", body, "1280x720");
        over = true;
    });
    int n = 0;
    auto send = [&](const std::string& cmd) {
        ++n;
        const std::string path = dir + "/cmd." + std::to_string(n);
        std::ofstream(path + ".tmp") << cmd << "\n";
        std::filesystem::rename(path + ".tmp", path);
        return awaitFile(dir + "/done." + std::to_string(n), over, 60);
    };
    const std::string data = dir + "/data/Plumbrix";
    bool solvedIt = false;
    int shots = 0;
    if (awaitFile(dir + "/ready", over, 60)) {
        for (; shots < 60; ++shots) {
            store::openAt(data);
            if (store::unlockedLevel() >= 2) {
                solvedIt = true;
                break;
            }
            const auto aim = testsupport::chooseAim(viewOfLevelOne(), 1.0 / 60, 300);
            if (!send("shoot " + std::to_string(std::lround(aim.pointer.x)) + " " +
                      std::to_string(std::lround(aim.pointer.y))))
                break;
        }
    }
    bool nextOk = false;
    int stars = -1;
    if (solvedIt) {
        // The first button: the column ends 10 below the time line, or 38 with the hint.
        stars = store::solves().empty() ? -1 : store::solves().front().stars;
        const bool hint = stars < 3 && !core::levelBoard(0).starOrbs.empty();
        const int buttonY = 70 + 50 + 46 + 34 + 26 + 26 + 26 + (hint ? 28 : 0) + 10 + 24;
        nextOk = send("shot solved") && send("click 640 " + std::to_string(buttonY)) &&
                 send("shoot 640 300") && send("restart");
    }
    send("end");
    session.join();
    ASSERT_EQ(s.status, 0) << s.log;
    ASSERT_TRUE(solvedIt) << "level 1 not solved in " << shots << " shots";
    ASSERT_TRUE(nextOk) << s.log;
    const Frame solvedShot = testsupport::loadXwd(s.dir + "/solved.xwd");
    ASSERT_FALSE(solvedShot.empty());
    shoot(solvedShot, "x_solved_level1");

    // The ending, restarted on its own: golden headline and stars, gone after Escape.
    const Frame ending = testsupport::loadXwd(s.dir + "/ending.xwd");
    const Frame menu = testsupport::loadXwd(s.dir + "/menu.xwd");
    ASSERT_FALSE(ending.empty() || menu.empty());
    shoot(ending, "x_ending_perfect");
    EXPECT_GT(countNear(ending, 0, 0, ending.w, ending.h, 0xffd700, 20), 1500);
    EXPECT_LT(countNear(menu, 0, 0, menu.w, menu.h, 0xffd700, 20), 200);

    // The next level opened (its first shot saved level index 1); after a restart the
    // progress is still there.
    store::openAt(data);
    EXPECT_EQ(store::unlockedLevel(), 2);
    ASSERT_TRUE(store::hasSavedGame());
    EXPECT_EQ(store::savedGame().level, 1);
    EXPECT_FALSE(store::savedGame().arcade);
    EXPECT_EQ(store::savedGame().shotsFired, 1);
    ASSERT_EQ(store::levelBests().count(0), 1u);
    EXPECT_EQ(store::levelBests().at(0).stars, stars);
    ASSERT_FALSE(store::solves().empty());
    EXPECT_EQ(store::solves().front().level, 0);
    EXPECT_EQ(store::levelBests().at(0).moves, store::solves().front().marbles);
    EXPECT_GE(store::solves().front().marbles, 1);
    EXPECT_LE(store::solves().front().marbles, shots);
    EXPECT_EQ(testsupport::readText(s.dir + "/quit2.status").substr(0, 1), "0");
}

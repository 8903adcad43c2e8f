// The result screens: store records, navigation, what each case shows, and screenshots.
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
#include "support/canvas.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "theme.h"
#include "ui/app.h"
#include "ui/scene.h"

using testsupport::Frame;
using testsupport::Headless;
using ui::GameState;
using ui::ScreenKind;

namespace {

GameState record(ScreenKind kind, int level = 0) {
    return {.kind = kind, .level = level};
}
GameState solved(int level, int orbs, int total) {
    return {.kind = ScreenKind::Solved,
            .level = level,
            .marbles = 21,
            .score = 4350,
            .elapsedMs = 83000,
            .starOrbs = orbs,
            .starOrbsTotal = total};
}
GameState lost(bool arcade, int score, int best) {
    return {.kind = ScreenKind::GameOver,
            .level = arcade ? 0 : 12,
            .arcade = arcade,
            .marbles = 48,
            .score = score,
            .elapsedMs = 191000,
            .starOrbs = 1,
            .starOrbsTotal = 3,
            .highScore = best};
}

// Pixels within tol of rgb in the rectangle.
int countNear(const Frame& f, int x0, int y0, int w, int h, std::uint32_t rgb, int tol) {
    int n = 0;
    for (int y = y0; y < y0 + h && y < f.h; ++y)
        for (int x = x0; x < x0 + w && x < f.w; ++x)
            n += testsupport::nearRgb(f.at(x, y) & 0xffffff, rgb, tol) ? 1 : 0;
    return n;
}

int countDiff(const Frame& a, const Frame& b, int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += a.at(x, y) != b.at(x, y);
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
    auto at = [](double columnEnd, int i) { return columnEnd + 10 + 24 + 58 * i; };
    const double solvedEnd = 70 + 50 + 46 + 34 + 26 + 26 + 26,
                 lostEnd = 90 + 52 + 28 + 34 + 26 + 26;
    struct Case {
        const char* name;
        bool overSelect;  // the level select lies between the menu and the result screen
        GameState screen;
        double y;                       // the click's height; -1: Escape, -2: Return
        std::vector<ScreenKind> after;  // the stack above the menu afterwards
        int level;                      // a new game's level and mode
        bool arcade;
    };
    using enum ScreenKind;
    const GameState won = solved(4, 3, 3), lostLevel = lost(false, 900, 0);
    const GameState lostRun = lost(true, 50, 900);
    // clang-format off
    const std::vector<Case> cases = {
        {"next level", true, won, at(solvedEnd, 0), {LevelSelect, Playing}, 5, false},
        {"next after hint", false, solved(4, 2, 3), at(solvedEnd + 28, 0), {Playing}, 5, false},
        {"again", true, won, at(solvedEnd, 1), {LevelSelect, Playing}, 4, false},
        {"solved to menu", true, won, at(solvedEnd, 2), {}, 0, false},
        {"solved escape", true, solved(4, 2, 3), -1, {}, 0, false},
        {"next level by key", true, won, -2, {LevelSelect, Playing}, 5, false},
        {"retry by key", true, lostLevel, -2, {LevelSelect, Playing}, 12, false},
        {"last level", true, solved(99, 3, 3), at(solvedEnd, 0), {LevelSelect, Ending}, 0, false},
        {"retry", true, lostLevel, at(lostEnd + 36, 0), {LevelSelect, Playing}, 12, false},
        {"back to level select", true, lostLevel, at(lostEnd + 36, 1), {LevelSelect}, 0, false},
        {"level select from menu", false, lostLevel, at(lostEnd + 36, 1), {LevelSelect}, 0, false},
        {"lost to menu", true, lostLevel, at(lostEnd + 36, 2), {}, 0, false},
        {"lost escape", false, lostRun, -1, {}, 0, false},
        {"arcade retry", false, lostRun, at(lostEnd, 0), {Playing}, 0, true},
        {"arcade high scores", false, lostRun, at(lostEnd, 1), {GameOver, HighScores}, 0, false},
        {"arcade record retry", false, lost(true, 900, 900), at(lostEnd + 38, 0), {Playing}, 0, true},
        {"ending escape", false, record(Ending), -1, {}, 0, false},
    };
    // clang-format on
    double t = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshStore("results-nav");
        h.start(record(Menu));
        if (c.overSelect) ui::Game::instance().push(record(LevelSelect));
        ui::Game::instance().push(c.screen);
        h.frame(t);
        h.frame(t + 1.5);
        if (c.y < 0)
            h.key(c.y == -1 ? SDLK_ESCAPE : SDLK_RETURN, t + 1.6);
        else
            h.click(640, c.y, t + 1.6);
        t += 5;
        const auto& stack = ui::Game::instance().stack();
        std::vector<ScreenKind> kinds{Menu};
        kinds.insert(kinds.end(), c.after.begin(), c.after.end());
        std::vector<ScreenKind> got;
        for (const GameState& s : stack) got.push_back(s.kind);
        ASSERT_EQ(got, kinds);
        const GameState& top = stack.back();
        if (top.kind == Playing) {
            EXPECT_EQ(std::tuple(top.level, top.arcade, top.resume),
                      std::tuple(c.level, c.arcade, false));
            EXPECT_EQ(top.score + top.marbles + top.starOrbs + top.highScore + top.elapsedMs, 0);
            const auto now = static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
            EXPECT_LE(now - top.seed, 60000u) << "seeded from the clock";
        }
        EXPECT_FALSE(top.forcePerfect);
    }

    // The ending's one button sits between the progress line and the mascot.
    freshStore("results-nav");
    h.start(record(Menu));
    ui::Game::instance().push(record(Ending));
    h.frame(t);
    const Frame& f = h.frame(t + 3);
    int buttonY = -1;
    for (int y = 300; y < 440 && buttonY < 0; ++y)
        if (countNear(f, 500, y, 1, 1, 0xff5fa3, 40) == 1 &&
            countNear(f, 780, y, 1, 1, 0xff5fa3, 40))
            buttonY = y + 10;
    ASSERT_GT(buttonY, 0) << "no pink button under the text";
    h.click(640, buttonY, t + 3.1);
    ASSERT_EQ(ui::Game::instance().stack().size(), 1u);
    EXPECT_EQ(ui::Game::instance().top().kind, Menu);
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
    // Pixels near rgb in a band of height bh centred on y.
    auto band = [](const Frame& f, int x, int y, int w, int bh, std::uint32_t rgb, int tol) {
        return countNear(f, x, y - bh / 2, w, bh, rgb, tol);
    };

    // Confetti: one level on one window size always throws the same burst; a screen whose
    // burst is long over shows the same frame without it.
    freshStore("results-looks");
    const Frame a = show(solved(7, 1, 3), 0.55);
    EXPECT_EQ(testsupport::maxChannelDiff(a, show(solved(7, 1, 3), 0.55)), 0);
    h.start(solved(7, 1, 3));
    h.frame(16);
    EXPECT_GT(countDiff(a, h.frame(20.55), 0, 0, 1280, 40), 400) << "confetti above the headline";

    // The hint for a missing orb, light text under the time line; none with every orb.
    const Frame hint = show(solved(7, 2, 3), 3);
    const Frame full = show(solved(7, 3, 3), 3);
    const int hintY = 70 + 50 + 46 + 34 + 26 + 26 + 26;
    EXPECT_GT(band(hint, 440, hintY, 400, 18, 0xd6cbe8, 12), 40);
    EXPECT_LT(band(full, 440, hintY, 400, 18, 0xd6cbe8, 12), 5);
    EXPECT_LT(band(show(solved(7, 0, 0), 3), 440, hintY, 400, 18, 0xd6cbe8, 12), 5);
    // Stars: all three golden with every orb, one fewer with one missing.
    const int gold3 = band(full, 540, 70 + 50, 200, 50, 0xffd700, 30);
    EXPECT_GT(gold3, 300);
    EXPECT_NEAR(band(hint, 540, 70 + 50, 200, 50, 0xffd700, 30) * 3.0 / gold3, 2.0, 0.4);

    // Game over: the gold record line only for a new best above zero; campaign stars.
    auto recordLine = [&](int score, int best) {
        return band(show(lost(true, score, best), 1), 440, 90 + 52, 400, 24, 0xffd700, 20);
    };
    EXPECT_GT(recordLine(900, 900), 40);
    EXPECT_LT(recordLine(0, 0), 5);
    EXPECT_LT(recordLine(50, 900), 5);
    const int lostStarY = 90 + 52 + 28 + 34 + 26 + 26;
    GameState plain = lost(false, 900, 0);
    EXPECT_GT(band(show(plain, 1), 560, lostStarY, 160, 26, 0xffd700, 30), 60);
    plain.starOrbsTotal = plain.starOrbs = 0;
    EXPECT_LT(band(show(plain, 1), 560, lostStarY, 160, 26, 0xffd700, 30), 5);

    // The landscape is that of the world the level was played in. Level 21 is played in
    // the first world although its block of ten has the second: against bare landscapes
    // of both, on the left edge where nothing else is drawn on the first frame.
    const int level21 = 20;
    ASSERT_NE(&theme::worldForStage(theme::stageForLevel(level21)),
              &theme::worldForStage(core::levelConfig(level21).stage));
    const Frame shown = show(solved(level21, 2, 3), 0);
    auto bare = [&](int stage) {
        h.setUpdate([stage, level21](ui::Ctx& c) { ui::drawScreenScene(c, stage, level21 + 97); });
        return h.frame(20);
    };
    EXPECT_LT(countDiff(shown, bare(theme::stageForLevel(level21)), 0, 150, 120, 450), 100);
    EXPECT_GT(countDiff(shown, bare(core::levelConfig(level21).stage), 0, 150, 120, 450), 20000);

    // Ending: three gold stars when forced or when all 100 levels hold three, else two.
    auto endingGold = [&](bool forced) {
        return band(show({.kind = ScreenKind::Ending, .forcePerfect = forced}, 3), 540, 110 + 56,
                    200, 44, 0xffd700, 30);
    };
    freshStore("results-ending");
    const int forced = endingGold(true);
    const int incomplete = endingGold(false);
    for (int level = 0; level < 100; ++level) store::recordBest(level, {3, 10, 1000});
    EXPECT_GT(forced, 300);
    EXPECT_NEAR(incomplete * 3.0 / forced, 2.0, 0.4);
    EXPECT_NEAR(endingGold(false) * 1.0 / forced, 1.0, 0.1);
}

TEST(ResultScreens, ScreenshotsCompactAndWide) {
    testsupport::usePrivateFonts();
    freshStore("results-shots");
    for (int level = 0; level < 37; ++level) store::recordBest(level, {3, 10, 1000});
    const GameState perfect{.kind = ScreenKind::Ending, .forcePerfect = true};
    const std::vector<std::pair<std::string, GameState>> screens = {
        {"solved3", solved(12, 3, 3)},
        {"solved2", solved(33, 2, 3)},
        {"lost_campaign", lost(false, 1720, 0)},
        {"lost_arcade", lost(true, 8800, 8800)},
        {"ending_perfect", perfect},
        {"ending_incomplete", record(ScreenKind::Ending)},
    };
    for (auto [size, w, hh] : {std::tuple{"compact", 900, 560}, {"wide", 1600, 900}}) {
        Headless h(w, hh);
        ASSERT_TRUE(h.ok());
        for (const auto& [name, s] : screens) {
            h.start(s);
            // Solved screens mid-confetti; the others once their stars are all in.
            const bool burst = s.kind == ScreenKind::Solved;
            h.frame(30);
            const Frame& f = h.frame(burst ? 30.6 : 32.5);
            shoot(f, name + "_" + size);
            // Nothing runs off the bottom: the last row of pixels is background, not pink.
            EXPECT_LT(countNear(f, 0, hh - 2, w, 2, 0xff5fa3, 20), 3) << name;
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
    core::GameModel m = store::hasSavedGame() ? store::gameModelOf(store::savedGame())
                                              : core::newCampaignGame(0, 12345);
    m.cfg = cfg;
    ui::showGame(v, m);
    const auto all = ui::stageObstacles(v.geo, m);
    for (size_t i = 0; i < all.size(); ++i)
        if (!m.destroyed.count(static_cast<int>(i))) v.obstacles.push_back(all[i]);
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
    const store::SavedGame& g = store::savedGame();
    EXPECT_EQ(std::tuple(g.level, g.arcade, g.shotsFired), std::tuple(1, false, 1));
    ASSERT_EQ(store::levelBests().count(0), 1u);
    EXPECT_EQ(store::levelBests().at(0).stars, stars);
    ASSERT_FALSE(store::solves().empty());
    EXPECT_EQ(store::solves().front().level, 0);
    EXPECT_EQ(store::levelBests().at(0).moves, store::solves().front().marbles);
    EXPECT_GE(store::solves().front().marbles, 1);
    EXPECT_LE(store::solves().front().marbles, shots);
    EXPECT_EQ(testsupport::readText(s.dir + "/quit2.status").substr(0, 1), "0");
}

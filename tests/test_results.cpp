// The result screens and the high scores: what a solve records, where each button and key
// leads, the table of scores.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "support/headless.h"
#include "support/screens.h"
#include "ui/app.h"
#include "ui/widgets.h"

using ui::GameState;
using ui::ScreenKind;

namespace {

GameState solved(int level, int orbs, int total) {
    return {.kind = ScreenKind::Solved, .level = level, .marbles = 21, .score = 4350,
            .elapsedMs = 83000, .starOrbs = orbs, .starOrbsTotal = total};
}
GameState lost(bool arcade, int score, int best) {
    return {.kind = ScreenKind::GameOver, .level = arcade ? 0 : 12, .arcade = arcade,
            .marbles = 48, .score = score, .elapsedMs = 191000, .starOrbs = 1,
            .starOrbsTotal = 3, .highScore = best};
}

std::tuple<int, int, int> best(int level) {
    const store::LevelBest b = store::levelBests().at(level);
    return {b.stars, b.moves, b.elapsedMs};
}

}  // namespace

TEST(SolvedScreen, RecordsUnlockBestAndSolveOnceBuilt) {
    const std::string dir = testsupport::openStore("results-store");
    ui::makeSolvedScreen(solved(4, 2, 3));
    EXPECT_EQ(store::unlockedLevel(), 6) << "index 4 solved makes index 5 playable";
    EXPECT_EQ(best(4), std::tuple(2, 21, 83000));
    ASSERT_EQ(store::solves().size(), 1u);
    const store::SolveEntry first = store::solves().front();
    EXPECT_EQ(std::tuple(first.level, first.marbles, first.score, first.elapsedMs, first.stars),
              std::tuple(4, 21, 4350, 83000, 2));
    EXPECT_GT(first.solvedAt, 0);
    // Records from outside the campaign write nothing; the last level clears it, on disk.
    ui::makeSolvedScreen(solved(100, 3, 3));
    ui::makeSolvedScreen(solved(-1, 3, 3));
    EXPECT_EQ(store::levelBests().size(), 1u);
    ui::makeSolvedScreen(solved(99, 3, 3));
    store::openAt(dir);
    EXPECT_EQ(store::unlockedLevel(), store::kAllCleared);
    EXPECT_EQ(best(99), std::tuple(3, 21, 83000));
    EXPECT_EQ(store::solves().front().level, 99);
}

TEST(ResultScreens, ButtonsAndKeysNavigate) {
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    using enum ScreenKind;
    constexpr int kEscape = -1, kReturn = -2;  // instead of a button's place
    struct Case {
        const char* name;
        bool overSelect;  // the level select lies between the menu and the result screen
        GameState screen;
        int press;                      // the button's place in the column, or a key
        std::vector<ScreenKind> after;  // the stack above the menu afterwards
        int level;                      // a new game's level and mode
        bool arcade;
    };
    const GameState won = solved(4, 3, 3), lostLevel = lost(false, 900, 0);
    const GameState lostRun = lost(true, 50, 900);
    const std::vector<Case> cases = {
        {"next level", true, won, 0, {LevelSelect, Playing}, 5, false},
        {"next after the hint", false, solved(4, 2, 3), 0, {Playing}, 5, false},
        {"again", true, won, 1, {LevelSelect, Playing}, 4, false},
        {"solved to menu", true, won, 2, {}, 0, false},
        {"solved escape", true, won, kEscape, {}, 0, false},
        {"next level by key", true, won, kReturn, {LevelSelect, Playing}, 5, false},
        {"last level", true, solved(99, 3, 3), 0, {LevelSelect, Ending}, 0, false},
        {"retry", true, lostLevel, 0, {LevelSelect, Playing}, 12, false},
        {"back to level select", true, lostLevel, 1, {LevelSelect}, 0, false},
        {"level select from menu", false, lostLevel, 1, {LevelSelect}, 0, false},
        {"lost to menu", true, lostLevel, 2, {}, 0, false},
        {"lost escape", false, lostRun, kEscape, {}, 0, false},
        {"arcade retry", false, lostRun, 0, {Playing}, 0, true},
        {"arcade high scores", false, lostRun, 1, {GameOver, HighScores}, 0, false},
        {"ending", false, {.kind = Ending}, 0, {}, 0, false},
    };
    double t = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::openStore("results-nav");
        h.start({.kind = Menu});
        if (c.overSelect) ui::Game::instance().push({.kind = LevelSelect});
        ui::Game::instance().push(c.screen);
        h.frame(t);
        h.frame(t + 1.5);
        if (c.press < 0) h.key(c.press == kEscape ? SDLK_ESCAPE : SDLK_RETURN, t + 1.6);
        if (c.press >= 0) testsupport::clickOn(h, testsupport::control(h, c.press), t + 1.6);
        t += 5;
        std::vector<ScreenKind> kinds{Menu};
        kinds.insert(kinds.end(), c.after.begin(), c.after.end());
        ASSERT_EQ(testsupport::stackKinds(), kinds);
        const GameState& top = ui::Game::instance().top();
        if (top.kind == Playing) {
            EXPECT_EQ(std::tuple(top.level, top.arcade, top.resume),
                      std::tuple(c.level, c.arcade, false));
            EXPECT_EQ(top.score + top.marbles + top.starOrbs + top.highScore + top.elapsedMs, 0);
            const auto now = static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
            EXPECT_LE(now - top.seed, 60000u) << "seeded from the clock";
        }
    }
}

TEST(HighScoresScreen, TenRowsBestFirstTheEmptyMessageAndTheWaysBack) {
    i18n::setLanguage("en");
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    double t = 1;
    for (int entries : {0, 3, 10}) {
        SCOPED_TRACE(entries);
        testsupport::openStore("highscores-" + std::to_string(entries));
        std::vector<int> best;
        for (int i = 0; i < entries; ++i) {  // stored out of order
            best.push_back(1000 + 700 * ((i * 3) % 10));
            store::recordArcadeHigh({best.back(), 40 + i, 60000, store::nowMs()});
        }
        std::sort(best.rbegin(), best.rend());
        testsupport::openOver(ScreenKind::GameOver, {.kind = ScreenKind::HighScores});
        h.frame(t += 1);
        std::vector<int> scores;
        int dashes = 0;
        const std::vector<std::string> drawn = testsupport::textsDrawn(h, t += 1);
        for (const std::string& s : drawn) {
            if (s.size() >= 4 && s.find_first_not_of("0123456789") == std::string::npos)
                scores.push_back(std::stoi(s));
            dashes += s == "— — —";
        }
        EXPECT_EQ(scores, best);
        EXPECT_EQ(dashes, 10 - entries);
        EXPECT_EQ(testsupport::contains(drawn, i18n::tr("highscores.empty")), entries == 0);
        // Escape or the back link returns to the screen below.
        if (entries == 3) h.key(SDLK_ESCAPE, t += 1);
        if (entries != 3) testsupport::clickOn(h, ui::backButtonRect(h.ctx()), t += 1);
        EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::GameOver});
    }
}

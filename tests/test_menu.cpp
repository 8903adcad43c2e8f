// The navigation stack with its crash context, the main menu and the level select: entries,
// where each button and tile leads, and the question before a stored game is dropped.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "platform/crash.h"
#include "screens/level_select.h"
#include "screens/menu.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

using testsupport::control;
using testsupport::Headless;
using ui::Game;
using ui::MenuAction;
using ui::ScreenKind;

namespace {

store::SavedGame savedAt(int level, bool arcade) {
    store::SavedGame g = testsupport::gameFor(3);
    g.level = level;
    g.arcade = arcade;
    g.seed = 4242;
    return g;
}

void openMenu(Headless& h, int unlocked, const store::SavedGame* saved, double t) {
    testsupport::openStore("menu", unlocked);
    if (saved != nullptr) store::saveGame(*saved);
    h.start({.kind = ScreenKind::Menu});
    h.frame(t);
}

}  // namespace

TEST(Game, StackOperationsRebuildsAndTheCrashContext) {
    EXPECT_EQ(ui::crashContextFor(
                  {.kind = ScreenKind::Playing, .level = 4, .seed = 4294967295u, .arcade = true}),
              "Bildschirm 3, Level 5, Seed 4294967295, Arcade");
    ui::Game g;  // a private stack: the singleton stays untouched
    ASSERT_EQ(g.stack().size(), 1u);
    testsupport::Headless h(320, 200);
    ASSERT_TRUE(h.ok());
    h.setUpdate([&g](ui::Ctx& c) { g.update(c); });
    h.frame(0.0);
    h.frame(0.1);
    EXPECT_EQ(g.builds(), 1) << "an unchanged stack keeps its screen";
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 0, Level 1, Seed 0, Level-Modus");
    g.push({.kind = ScreenKind::Menu});
    g.push({.kind = ScreenKind::Licenses});
    EXPECT_EQ(g.builds(), 1) << "navigation takes effect at the next frame";
    h.frame(0.2);
    EXPECT_EQ(g.builds(), 2);
    EXPECT_STREQ(platform::crashContext(), "Bildschirm 11, Level 1, Seed 0, Level-Modus");
    g.pop();
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
    g.replace(g.top());  // an identical record still rebuilds: screens restart that way
    h.frame(0.3);
    EXPECT_EQ(g.builds(), 3);
    g.resetTo({.kind = ScreenKind::Settings});
    g.pop();  // the last record stays, and its screen is rebuilt
    ASSERT_EQ(g.stack().size(), 1u);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);
    h.frame(0.4);
    EXPECT_EQ(g.builds(), 4);
    g.push({.kind = static_cast<ScreenKind>(42)});  // an unknown kind keeps the screen there
    h.frame(0.5);
    EXPECT_EQ(g.builds(), 4);
    // At exit, a record handed on in the last frame still gets its screen built, so a level
    // won in that frame is recorded; settling twice builds once.
    testsupport::openStore("game-settle");
    g.replace({.kind = ScreenKind::Solved, .level = 4, .marbles = 20, .score = 900});
    g.settle();
    g.settle();
    EXPECT_EQ(g.builds(), 5);
    EXPECT_EQ(store::unlockedLevel(), 6);
}

TEST(MenuItems, EntriesFollowTheStore) {
    i18n::setLanguage("en");
    using enum MenuAction;
    struct Case {
        int savedLevel;  // -1: nothing saved
        bool arcade;
        int unlocked;
        std::vector<std::string> labels;  // the second and third entries; the others stay
        std::vector<MenuAction> actions;
    };
    for (Case c : std::vector<Case>{
             {-1, false, 1, {"Choose Level", "Continue · Level 1"}, {LevelSelect, ContinueLevel}},
             {-1, false, 100, {"Choose Level", "Continue · Level 100"},
              {LevelSelect, ContinueLevel}},
             {6, false, 9, {"Continue · Level 7", "Choose Level"}, {Resume, LevelSelect}},
             {0, true, 101, {"Resume · Arcade · Endless", "All levels cleared"},
              {Resume, LevelSelect}},
             {-1, false, 101, {"All levels cleared", "You did it!"}, {LevelSelect, Ending}}}) {
        SCOPED_TRACE(c.unlocked);
        store::SavedGame g = savedAt(c.savedLevel, c.arcade);
        g.valid = c.savedLevel >= 0;
        std::vector<std::string> labels;
        std::vector<MenuAction> actions;
        for (const ui::MenuItem& item : ui::menuItems(g, c.unlocked)) {
            labels.push_back(item.label + item.sub);
            actions.push_back(item.action);
        }
        c.labels.insert(c.labels.begin(), "PLAYArcade · Endless");
        c.actions.insert(c.actions.begin(), Arcade);
        c.actions.insert(c.actions.end(), {HighScores, Gallery, Settings, About, Quit});
        EXPECT_EQ(actions, c.actions);
        ASSERT_EQ(labels.size(), 8u);
        EXPECT_EQ(std::vector(labels.begin(), labels.begin() + 3), c.labels);
    }
}

TEST(MenuScreen, EveryButtonPushesItsRecordAndTheQuestionGuardsAStoredGame) {
    i18n::setLanguage("en");
    Game& g = Game::instance();
    const store::SavedGame campaign = savedAt(6, false);
    const store::SavedGame arcade = savedAt(0, true);
    double t = 1;
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    struct Case {
        const store::SavedGame* saved;
        int unlocked, entry;
        ScreenKind kind;
        int level;
        bool arcade, resume;
        bool savedAfter;  // the interrupted game is still stored afterwards
    };
    const std::vector<Case> cases = {
        {nullptr, 9, 0, ScreenKind::Playing, 0, true, false, false},
        {&campaign, 9, 1, ScreenKind::Playing, 6, false, true, true},
        {&arcade, 9, 1, ScreenKind::Playing, 0, true, true, true},
        {nullptr, 7, 1, ScreenKind::LevelSelect, 0, false, false, false},
        {nullptr, 7, 2, ScreenKind::Playing, 6, false, false, false},
        {nullptr, 101, 2, ScreenKind::Ending, 0, false, false, false},
        {nullptr, 1, 3, ScreenKind::HighScores, 0, false, false, false},
        {nullptr, 1, 4, ScreenKind::Gallery, 0, false, false, false},
        {nullptr, 1, 5, ScreenKind::Settings, 0, false, false, false},
        {nullptr, 1, 6, ScreenKind::About, 0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("entry " + std::to_string(c.entry));
        openMenu(h, c.unlocked, c.saved, t += 1);
        testsupport::clickOn(h, control(h, c.entry), t += 1);
        ASSERT_EQ(g.stack().size(), 2u);
        const ui::GameState& s = g.top();
        EXPECT_EQ(std::tuple(s.kind, s.level, s.arcade, s.resume, store::hasSavedGame()),
                  std::tuple(c.kind, c.level, c.arcade, c.resume, c.savedAfter));
        // A new game gets a fresh seed from the clock, a resumed one the stored seed.
        EXPECT_EQ(s.seed != 0, c.kind == ScreenKind::Playing);
        EXPECT_TRUE(!c.resume || s.seed == 4242u) << s.seed;
    }
    // Over a stored game a new run asks first, naming it. Escape and a click beside the dialog
    // keep the game (reaching nothing under it); Return (on OK) drops it and starts the run.
    for (const store::SavedGame* saved : {&campaign, &arcade}) {
        openMenu(h, 9, saved, t += 1);
        const ui::Rect play = control(h, 0), quit = control(h, 7);
        const std::string message = saved->arcade ? "Your saved game (Arcade) will be lost."
                                                  : "Your saved game (Level 7) will be lost.";
        const auto asks = [&] {
            testsupport::clickOn(h, play, t += 1);
            return testsupport::contains(testsupport::textsDrawn(h, t += 1), message) &&
                   g.stack().size() == 1u;
        };
        ASSERT_TRUE(asks());
        h.key(SDLK_ESCAPE, t += 1);
        ASSERT_TRUE(asks());
        h.click(20, quit.y + quit.h / 2, t += 1);
        EXPECT_EQ(std::tuple(g.stack().size(), h.ctx().quitRequested, store::hasSavedGame()),
                  std::tuple(1u, false, true));
        ASSERT_TRUE(asks());
        h.key(SDLK_RETURN, t += 1);
        ASSERT_EQ(g.stack().size(), 2u);
        EXPECT_EQ(std::tuple(g.top().arcade, g.top().resume, store::hasSavedGame()),
                  std::tuple(true, false, false));
    }
    // Quit, by its button and by Escape; a click beside the buttons does nothing.
    openMenu(h, 1, nullptr, t += 1);
    const ui::Rect quit = control(h, 7);
    h.click(quit.x - 20, control(h, 3).y + 5, t += 1);
    EXPECT_EQ(std::pair(g.stack().size(), h.ctx().quitRequested), std::pair(size_t{1}, false));
    testsupport::clickOn(h, quit, t += 1);
    EXPECT_EQ(std::pair(g.stack().size(), h.ctx().quitRequested), std::pair(size_t{1}, true));
    h.ctx().quitRequested = false;
    h.key(SDLK_ESCAPE, t += 1);
    EXPECT_TRUE(h.ctx().quitRequested);
}

namespace {

// The level select over the menu at 1280 x 720, opened afresh for each case.
struct Select {
    testsupport::Headless h{1280, 720};
    const ui::LevelGrid grid = ui::levelGrid(1280, 720, 1.0, 60);
    double t = 1;
    void open(int unlocked) {
        i18n::setLanguage("en");
        testsupport::openStore("level-select", unlocked);
        testsupport::openOver(ScreenKind::Menu, {.kind = ScreenKind::LevelSelect});
        h.frame(t += 1);
    }
    // The level tile i starts; -1 when the click did nothing.
    int start(int i) {
        testsupport::clickOn(h, grid.tile(i), t += 1);
        const ui::GameState& top = ui::Game::instance().top();
        return top.kind == ScreenKind::Playing ? top.level : -1;
    }
};

}  // namespace

TEST(LevelSelect, TilesStartUnlockedLevelsAndAskOverAStoredGame) {
    Select s;
    ASSERT_TRUE(s.h.ok());
    ui::Game& g = ui::Game::instance();
    for (auto [unlocked, level] : {std::pair{1, 0}, {41, 40}, {100, 80}}) {
        s.open(unlocked);
        EXPECT_EQ(s.start(0), level) << unlocked;
    }
    s.open(2);
    EXPECT_EQ(s.start(2), -1) << "level 3 is locked";
    EXPECT_EQ(s.start(1), 1) << "level 2 is not";
    // Over a stored game a level asks first: Escape keeps both, Return starts it afresh.
    s.open(9);
    store::saveGame(testsupport::gameFor(5));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_ESCAPE, s.t += 1);
    EXPECT_EQ(std::pair(g.top().kind, store::hasSavedGame()),
              std::pair(ScreenKind::LevelSelect, true));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_RETURN, s.t += 1);
    ASSERT_EQ(g.top().kind, ScreenKind::Playing);
    EXPECT_EQ(std::tuple(g.top().level, g.top().resume, g.top().arcade, store::hasSavedGame()),
              std::tuple(0, false, false, false));
    EXPECT_NE(g.top().seed, 0u);
    // Escape and the back link both return to the menu.
    for (bool byKey : {true, false}) {
        s.open(9);
        if (byKey) s.h.key(SDLK_ESCAPE, s.t += 1);
        if (!byKey) testsupport::clickOn(s.h, ui::backButtonRect(s.h.ctx()), s.t += 1);
        EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu}) << byKey;
    }
}

// No screen shows a text below 10 px, in the smallest window and in a tall narrow one, in
// English and in German (long words).
TEST(Screens, EveryTextIsReadableAtSmallWindows) {
    testsupport::usePrivateFonts();
    testsupport::openStore("readable", 24);
    for (int level = 0; level < 23; ++level)
        store::recordSolve({.level = level, .marbles = 30, .score = 4350, .elapsedMs = 95000,
                            .solvedAt = 0, .stars = 1 + level % 3});
    store::recordArcadeHigh({.score = 9900, .marbles = 40, .elapsedMs = 120000});
    using K = ScreenKind;
    const std::vector<ui::GameState> screens = {
        {.kind = K::Splash}, {.kind = K::Menu}, {.kind = K::LevelSelect},
        {.kind = K::Playing, .level = 30, .seed = 5},
        {.kind = K::Playing, .seed = 5, .arcade = true},
        {.kind = K::Solved, .level = 33, .marbles = 21, .score = 4350, .starOrbs = 2,
         .starOrbsTotal = 3},
        {.kind = K::GameOver, .level = 12, .marbles = 48, .score = 1720, .starOrbs = 1,
         .starOrbsTotal = 3},
        {.kind = K::Ending}, {.kind = K::HighScores}, {.kind = K::Gallery}, {.kind = K::Settings},
        {.kind = K::About}, {.kind = K::Licenses}};
    double t = 100;
    for (auto [w, h] : {std::pair{820, 560}, {700, 1000}}) {
        Headless win(w, h);
        ASSERT_TRUE(win.ok());
        for (const char* lang : {"en", "de"}) {
            i18n::setLanguage(lang);
            for (const ui::GameState& s : screens) {
                ui::recordDrawnTexts(true);
                win.start(s);
                win.frame(t += 1);
                win.frame(t += 2.5);
                for (const ui::DrawnText& d : ui::drawnTexts())
                    EXPECT_GE(d.px, 10) << int(s.kind) << " " << w << "x" << h << " " << lang
                                        << ": " << d.text;
            }
        }
    }
    i18n::setLanguage("en");
}

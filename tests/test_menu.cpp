// The splash, the main menu and the level select: entries for each store, layouts, where
// each button and tile leads, paging, and the question before a stored game is dropped.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "screens/level_select.h"
#include "screens/menu.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/app.h"
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

TEST(MenuItems, EntriesFollowTheStore) {
    i18n::setLanguage("en");
    using A = MenuAction;
    struct Case {
        bool saved, arcade;
        int savedLevel, unlocked;
        std::vector<std::string> labels;  // the first three
        std::vector<MenuAction> actions;
    };
    for (Case c : std::vector<Case>{
             {false, false, 0, 1, {"PLAY", "Choose Level", "Continue · Level 1"},
              {A::Arcade, A::LevelSelect, A::ContinueLevel}},
             {false, false, 0, 100, {"PLAY", "Choose Level", "Continue · Level 100"},
              {A::Arcade, A::LevelSelect, A::ContinueLevel}},
             {true, false, 6, 9, {"PLAY", "Continue · Level 7", "Choose Level"},
              {A::Arcade, A::Resume, A::LevelSelect}},
             {true, true, 0, 101, {"PLAY", "Resume · Arcade · Endless", "All levels cleared"},
              {A::Arcade, A::Resume, A::LevelSelect}},
             {false, false, 0, 101, {"PLAY", "All levels cleared", "You did it!"},
              {A::Arcade, A::LevelSelect, A::Ending}}}) {
        SCOPED_TRACE(c.unlocked);
        store::SavedGame g = savedAt(c.savedLevel, c.arcade);
        g.valid = c.saved;
        std::vector<std::string> labels;
        std::vector<MenuAction> actions;
        for (const ui::MenuItem& item : ui::menuItems(g, c.unlocked)) {
            labels.push_back(item.label + item.sub);
            actions.push_back(item.action);
        }
        ASSERT_EQ(actions.size(), 8u);
        EXPECT_EQ(labels[0], "PLAYArcade · Endless");
        EXPECT_EQ(std::vector(labels.begin() + 1, labels.begin() + 3),
                  std::vector(c.labels.begin() + 1, c.labels.end()));
        c.actions.insert(c.actions.end(), {A::HighScores, A::Gallery, A::Settings, A::About, A::Quit});
        EXPECT_EQ(actions, c.actions);
    }
}

TEST(MenuScreen, EntriesStackClearOfTheFooterInSmallAndLargeWindows) {
    i18n::setLanguage("en");
    const store::SavedGame campaign = savedAt(6, false);
    for (auto [w, hh] : {std::pair{820, 560}, {2560, 1440}}) {
        Headless h(w, hh);
        ASSERT_TRUE(h.ok());
        openMenu(h, 9, &campaign, 1);
        ASSERT_EQ(h.ctx().focus.slots.size(), 8u);
        for (int i = 1; i < 8; ++i) EXPECT_LT(control(h, i - 1).y + control(h, i - 1).h, control(h, i).y);
        EXPECT_LE(control(h, 7).y + control(h, 7).h, hh - 40 * h.ctx().ui);
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
        const bool fresh = !c.resume && c.kind == ScreenKind::Playing;
        if (c.resume) EXPECT_EQ(s.seed, 4242u);
        else EXPECT_EQ(s.seed != 0, fresh);
    }

    // Over a stored game a new arcade run asks first, naming the stored game. Escape and a
    // click beside the dialog keep the game (and neither quit nor reach the menu under
    // it); Return (on OK) drops it and starts the run.
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
    EXPECT_EQ(g.stack().size(), 1u);
    EXPECT_FALSE(h.ctx().quitRequested);
    testsupport::clickOn(h, quit, t += 1);
    EXPECT_TRUE(h.ctx().quitRequested);
    EXPECT_EQ(g.stack().size(), 1u);
    h.ctx().quitRequested = false;
    h.key(SDLK_ESCAPE, t += 1);
    EXPECT_TRUE(h.ctx().quitRequested);
}

TEST(SplashScreen, LeavesOnKeyClickOrAfterItsTime) {
    testsupport::openStore("splash");
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    // At `at` seconds after the first frame: a key, a press or a release, or nothing.
    for (auto [at, key, pressed, released, leaves] :
         {std::tuple{4.4, 0, false, false, false}, {4.6, 0, false, false, true},
          {0.5, SDLK_SPACE, false, false, true}, {0.5, 0, true, false, false},
          {0.5, 0, false, true, true}}) {
        SCOPED_TRACE(testing::Message() << at << " " << key << pressed << released);
        h.start(ui::GameState{});
        for (double t = 100; t < 100 + std::min(at, 4.4) - 0.01; t += 0.1) h.frame(t);
        ASSERT_EQ(Game::instance().top().kind, ScreenKind::Splash);
        ui::Input in{.mouseX = 300, .mouseY = 200, .pressed = pressed, .released = released, .keys = {}};
        if (key != 0) in.keys.push_back(key);
        h.frame(in, 100 + at);
        EXPECT_EQ(testsupport::stackKinds(), std::vector{leaves ? ScreenKind::Menu : ScreenKind::Splash});
    }
}

TEST(LevelSelect, OpeningPageAndGrid) {
    for (auto [unlocked, page] : {std::pair{1, 0}, {20, 0}, {21, 1}, {41, 2}, {100, 4}, {101, 4}})
        EXPECT_EQ(ui::levelSelectOpeningPage(unlocked), page) << unlocked;
    for (auto [w, h, u, columns, rows] : {std::tuple{500.0, 900.0, 1.0, 2, 10},
                                          {500.0, 900.0, 0.72, 3, 7},
                                          {1280.0, 720.0, 1.0, 5, 4},
                                          {700.0, 720.0, 1.0, 3, 7},
                                          {3840.0, 2160.0, 2.0, 5, 4}}) {
        SCOPED_TRACE(std::to_string(int(w)) + "x" + std::to_string(int(h)));
        const ui::LevelGrid g = ui::levelGrid(w, h, u, 60 * u);
        EXPECT_EQ(std::pair(g.columns, g.rows), std::pair(columns, rows));
        // Every tile between the header and the page bar, none touching its neighbours.
        for (int i = 0; i < 20; ++i) {
            const ui::Rect r = g.tile(i);
            EXPECT_TRUE(r.x >= 0 && r.x + r.w <= w && r.y >= 60 * u && r.y + r.h <= h - 56 * u) << i;
            if ((i + 1) % g.columns != 0 && i + 1 < 20) {
                EXPECT_LT(r.x + r.w, g.tile(i + 1).x) << i;
            }
            if (i + g.columns < 20) {
                EXPECT_LT(r.y + r.h, g.tile(i + g.columns).y) << i;
            }
        }
    }
    EXPECT_GE(ui::levelGrid(300, 100, 0.72, 52 * 0.72).tileH, 0) << "never negative";
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

    // Starting a level over an interrupted game asks first: Escape keeps the game and the
    // level select (the key does not leave it), Return (on OK) starts the level afresh.
    s.open(9);
    store::saveGame(testsupport::gameFor(5));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_ESCAPE, s.t += 1);
    EXPECT_EQ(std::tuple(g.top().kind, store::hasSavedGame()), std::tuple(ScreenKind::LevelSelect, true));
    EXPECT_EQ(s.start(0), -1);
    s.h.key(SDLK_RETURN, s.t += 1);
    ASSERT_EQ(g.top().kind, ScreenKind::Playing);
    EXPECT_EQ(std::tuple(g.top().level, g.top().resume, g.top().arcade, store::hasSavedGame()),
              std::tuple(0, false, false, false));
    EXPECT_NE(g.top().seed, 0u);

    // Escape and the back link both return to the menu.
    s.open(9);
    s.h.key(SDLK_ESCAPE, s.t += 1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
    s.open(9);
    testsupport::clickOn(s.h, ui::backButtonRect(s.h.ctx()), s.t += 1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
}

TEST(LevelSelect, PagesTurnOneAtATimeAndStopAtBothEnds) {
    Select s;
    ASSERT_TRUE(s.h.ok());
    // Turning pages from the last one (every level cleared): the page bar's buttons, page
    // keys, the wheel and arrows that run off the grid move one page at a time and stop at
    // both ends. n/p: "›"/"‹", D/U: PageDown/PageUp, +/-: one wheel step back/forward,
    // W: a two-step wheel turn back, </>: arrow keys, which first move the focus from the
    // last level (the bottom-right tile) across the grid.
    for (auto [moves, level] : {std::pair{"n", 80}, {"U", 60}, {"W", 60}, {"UD", 80}, {"p", 60},
                                {"++++++pn", 20}, {"--", 80}, {">", 80}, {"<<<<", 80}, {"<<<<<", 60}}) {
        s.open(101);
        for (const char* m = moves; *m != 0; ++m) {
            ui::Input in;
            for (const ui::FocusSlot& f : s.h.ctx().focus.slots) {  // the page bar's buttons
                const double x = f.r.x + f.r.w / 2;
                if (f.r.y > 720 - 56 && ((*m == 'n' && x > 640) || (*m == 'p' && x < 640))) {
                    in.mouseX = x;
                    in.mouseY = f.r.y + f.r.h / 2;
                    in.released = true;
                }
            }
            for (auto [c, key] : {std::pair{'D', SDLK_PAGEDOWN}, {'U', SDLK_PAGEUP},
                                  {'>', SDLK_RIGHT}, {'<', SDLK_LEFT}})
                if (*m == c) in.keys.push_back(key);
            in.wheel = *m == '+' ? 1 : *m == '-' ? -1 : *m == 'W' ? 2 : 0;
            s.h.frame(in, s.t += 1);
        }
        EXPECT_EQ(s.start(0), level) << moves;
    }
}

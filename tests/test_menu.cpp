// The splash and the main menu: entries for each store, layout, where each button leads,
// the question before a stored game is dropped, and the mascot's eyes.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "screens/menu.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/app.h"

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
        for (int i = 1; i < 8; ++i) {
            EXPECT_LT(control(h, i - 1).y + control(h, i - 1).h, control(h, i).y);
        }
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
        EXPECT_EQ(s.seed != 0, fresh || c.resume);
        if (c.resume) {
            EXPECT_EQ(s.seed, 4242u);
        }
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
    struct Way {
        const char* name;
        int key;       // 0: none
        bool release;  // a left-button release
        double at;     // seconds after the first frame
        bool leaves;
    };
    for (const Way& w :
         {Way{"4.4 s", 0, false, 4.4, false}, Way{"4.6 s", 0, false, 4.6, true},
          Way{"key", SDLK_SPACE, false, 0.5, true}, Way{"press only", 0, false, 0.5, false},
          Way{"release", 0, true, 0.5, true}}) {
        h.start(ui::GameState{});
        const double t0 = 100;
        for (double t = t0; t < t0 + std::min(w.at, 4.4) - 0.01; t += 0.1) h.frame(t);
        ASSERT_EQ(Game::instance().top().kind, ScreenKind::Splash) << w.name;
        ui::Input in;
        in.mouseX = 300;
        in.mouseY = 200;
        if (w.key != 0) in.keys.push_back(w.key);
        in.released = w.release;
        in.pressed = !w.release && w.key == 0;
        h.frame(in, t0 + w.at);
        EXPECT_EQ(testsupport::stackKinds(),
                  std::vector{w.leaves ? ScreenKind::Menu : ScreenKind::Splash})
            << w.name;
    }
}

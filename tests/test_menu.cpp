// The splash and the main menu: entries, layout, navigation, the mascot, and screenshots.
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
#include "support/canvas.h"
#include "support/headless.h"
#include "support/store_files.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "ui/app.h"
#include "ui/draw.h"

using testsupport::Headless;
using ui::Game;
using ui::GameState;
using ui::MenuAction;
using ui::ScreenKind;

namespace {

constexpr int kEntries = 8;

store::SavedGame savedAt(int level, bool arcade) {
    store::SavedGame g = testsupport::gameFor(3);
    g.level = level;
    g.arcade = arcade;
    g.seed = 4242;
    return g;
}

GameState menuState() {
    return {.kind = ScreenKind::Menu};
}

ui::Input pointerAt(double x, double y) {
    return {.mouseX = x, .mouseY = y, .keys = {}};
}

// Centre of entry i in a layout.
struct Point {
    double x;
    double y;
};
Point entryCentre(const ui::MenuLayout& L, int i) {
    double y = L.firstY + 1.26 * L.buttonH / 2;
    if (i > 0)
        y = L.firstY + 1.26 * L.buttonH + L.gap + (i - 1) * (L.buttonH + L.gap) + L.buttonH / 2;
    return {L.columnX + L.columnW / 2, y};
}

// "x y" of the centre of entry i in a w x h game window, for xdotool.
std::string windowPoint(int i, int w, int h) {
    const double u = std::clamp(std::min(w / 1280.0, h / 720.0), 0.72, 2.0);
    const Point p = entryCentre(ui::menuLayout(w, h, u, kEntries), i);
    return std::to_string(static_cast<int>(p.x)) + " " + std::to_string(static_cast<int>(p.y));
}

// A fresh store holding the given unlocked count and, when valid, an interrupted game.
void freshStore(const std::string& name, int unlocked, const store::SavedGame* saved) {
    store::openAt(testsupport::freshDir(name));
    store::advanceUnlockedLevel(unlocked);
    if (saved != nullptr) store::saveGame(*saved);
}

}  // namespace

TEST(MenuItems, EntriesFollowTheStore) {
    i18n::setLanguage("en");
    struct Case {
        const char* name;
        bool saved;
        bool arcade;
        int savedLevel;
        int unlocked;
        std::vector<std::string> labels;
        std::vector<MenuAction> actions;
    };
    using A = MenuAction;
    // clang-format off
    const std::vector<Case> cases = {
        {"new player", false, false, 0, 1, {"PLAY", "Choose Level", "Continue · Level 1", "Highscores"},
         {A::Arcade, A::LevelSelect, A::ContinueLevel, A::HighScores}},
        {"level 7 unlocked", false, false, 0, 7, {"PLAY", "Choose Level", "Continue · Level 7"},
         {A::Arcade, A::LevelSelect, A::ContinueLevel}},
        {"campaign saved on level 7", true, false, 6, 9,
         {"PLAY", "Continue · Level 7", "Choose Level", "Highscores"},
         {A::Arcade, A::Resume, A::LevelSelect, A::HighScores}},
        {"arcade saved", true, true, 0, 101,
         {"PLAY", "Resume · Arcade · Endless", "All levels cleared", "Highscores"},
         {A::Arcade, A::Resume, A::LevelSelect, A::HighScores}},
        {"all cleared", false, false, 0, 101, {"PLAY", "All levels cleared", "You did it!", "Highscores"},
         {A::Arcade, A::LevelSelect, A::Ending, A::HighScores}},
    };
    // clang-format on
    for (const Case& c : cases) {
        store::SavedGame g;
        if (c.saved) g = savedAt(c.savedLevel, c.arcade);
        g.valid = c.saved;
        const std::vector<ui::MenuItem> items = ui::menuItems(g, c.unlocked);
        ASSERT_EQ(items.size(), static_cast<size_t>(kEntries)) << c.name;
        for (size_t i = 0; i < c.labels.size(); ++i) {
            EXPECT_EQ(items[i].label, c.labels[i]) << c.name << " entry " << i;
            EXPECT_EQ(items[i].action, c.actions[i]) << c.name << " entry " << i;
        }
        EXPECT_EQ(items[0].sub, "Arcade · Endless");
        for (size_t i = 1; i < items.size(); ++i) EXPECT_EQ(items[i].sub, "") << c.name;
        const std::vector<MenuAction> tail = {A::HighScores, A::Gallery, A::Settings, A::About,
                                              A::Quit};
        for (size_t i = 0; i < tail.size(); ++i) EXPECT_EQ(items[3 + i].action, tail[i]);
        EXPECT_EQ(items[7].label, "Quit");
    }
}

TEST(MenuLayout, FitsSmallMediumAndHugeWindows) {
    // shrinks: the title had to give way.
    for (auto [w, h, u, shrinks] : {std::tuple{640.0, 360.0, 0.72, true},
                                    {1280.0, 720.0, 1.0, false},
                                    {3840.0, 2160.0, 2.0, false},
                                    {820.0, 560.0, 0.72, false}}) {
        const ui::MenuLayout L = ui::menuLayout(w, h, u, kEntries);
        const std::string at = std::to_string(int(w)) + "x" + std::to_string(int(h));
        EXPECT_GE(L.buttonH, 22 * u - 1e-9) << at;
        EXPECT_LE(L.buttonH, 42 * u + 1e-9) << at;
        EXPECT_GE(L.titleSize, 20 * u - 1e-9) << at;
        EXPECT_EQ(L.titleSize < 24 * u || L.gap < 9 * u, shrinks) << at;
        // Title above tagline above the buttons; the column inside the window and clear of
        // the footer's strip at the bottom.
        EXPECT_GT(L.titleBaseY, 0) << at;
        EXPECT_LT(L.titleBaseY, L.tagY - L.tagSize / 2) << at;
        EXPECT_LE(L.tagY + L.tagSize / 2, L.firstY) << at;
        EXPECT_GE(L.columnX, 0) << at;
        EXPECT_LE(L.columnX + L.columnW, w) << at;
        const Point last = entryCentre(L, kEntries - 1);
        EXPECT_LE(last.y + L.buttonH / 2, h - 40 * u) << at;
        // Consecutive buttons never overlap.
        for (int i = 1; i < kEntries; ++i) {
            const double prevBottom =
                i == 1 ? L.firstY + 1.26 * L.buttonH : entryCentre(L, i - 1).y + L.buttonH / 2;
            EXPECT_LT(prevBottom, entryCentre(L, i).y - L.buttonH / 2) << at << " " << i;
        }
    }
    // A big window caps the buttons at 42u and centres the column between title and footer.
    const ui::MenuLayout big = ui::menuLayout(3840, 2160, 2.0, kEntries);
    EXPECT_DOUBLE_EQ(big.buttonH, 84);
    EXPECT_DOUBLE_EQ(big.columnW, 600);
    const double column = 7 * (big.buttonH + big.gap) + 1.26 * big.buttonH;
    EXPECT_NEAR(big.firstY - big.top, 2160 - 116 - (big.firstY + column), 1e-6);
}

TEST(MenuScreen, EveryButtonPushesItsRecord) {
    i18n::setLanguage("en");
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    Game& g = Game::instance();
    const ui::MenuLayout L = ui::menuLayout(1280, 720, 1.0, kEntries);
    const store::SavedGame campaign = savedAt(6, false);
    const store::SavedGame arcade = savedAt(0, true);
    double t = 1;

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
        freshStore("menu-actions", c.unlocked, c.saved);
        h.start(menuState());
        h.frame(t += 1);
        const Point p = entryCentre(L, c.entry);
        h.click(p.x, p.y, t += 1);
        SCOPED_TRACE("entry " + std::to_string(c.entry));
        ASSERT_EQ(g.stack().size(), 2u);
        const GameState& s = g.top();
        EXPECT_EQ(s.kind, c.kind);
        EXPECT_EQ(std::tuple(s.level, s.arcade, s.resume, store::hasSavedGame()),
                  std::tuple(c.level, c.arcade, c.resume, c.savedAfter));
        // A new game gets a fresh seed from the clock, a resumed one the stored seed.
        if (!c.resume && c.kind == ScreenKind::Playing) {
            EXPECT_NE(s.seed, 0u);
        } else {
            EXPECT_EQ(s.seed, c.resume ? 4242u : 0u);
        }
        EXPECT_EQ(s.score + s.marbles + s.starOrbs + s.highScore, 0);
    }

    // Over a stored game a new arcade run asks first, naming the stored game. Escape and a
    // click beside the dialog keep the game (and neither quit nor reach the menu under
    // it); OK or Return drop it and start the run.
    const Point play = entryCentre(L, 0);
    const auto asks = [&](const std::string& message) {
        ui::recordDrawnTexts(true);
        h.click(play.x, play.y, t += 1);
        h.frame(t += 1);
        const auto& drawn = ui::drawnTexts();
        const bool named = std::any_of(drawn.begin(), drawn.end(),
                                       [&](const ui::DrawnText& d) { return d.text == message; });
        ui::recordDrawnTexts(false);
        return named && g.stack().size() == 1u;
    };
    for (const store::SavedGame* saved : {&campaign, &arcade}) {
        freshStore("menu-actions", 9, saved);
        h.start(menuState());
        h.frame(t += 1);
        const std::string message = saved->arcade ? "Your saved game (Arcade) will be lost."
                                                  : "Your saved game (Level 7) will be lost.";
        ASSERT_TRUE(asks(message));
        h.key(SDLK_ESCAPE, t += 1);
        ASSERT_TRUE(asks(message));
        h.click(20, entryCentre(L, 7).y, t += 1);  // beside the dialog, on the Quit row
        EXPECT_EQ(std::tuple(g.stack().size(), h.ctx().quitRequested, store::hasSavedGame()),
                  std::tuple(1u, false, true));
        ASSERT_TRUE(asks(message));
        h.key(SDLK_RETURN, t += 1);
        ASSERT_EQ(g.stack().size(), 2u);
        EXPECT_EQ(std::tuple(g.top().arcade, g.top().resume, store::hasSavedGame()),
                  std::tuple(true, false, false));
    }

    // Quit, by its button and by Escape; a click between buttons does nothing.
    freshStore("menu-actions", 1, nullptr);
    h.start(menuState());
    h.frame(t += 1);
    h.click(L.columnX - 20, entryCentre(L, 3).y, t += 1);
    EXPECT_EQ(g.stack().size(), 1u);
    EXPECT_FALSE(h.ctx().quitRequested);
    const Point quit = entryCentre(L, 7);
    h.click(quit.x, quit.y, t += 1);
    EXPECT_TRUE(h.ctx().quitRequested);
    EXPECT_EQ(g.stack().size(), 1u);
    h.ctx().quitRequested = false;
    h.key(SDLK_ESCAPE, t += 1);
    EXPECT_TRUE(h.ctx().quitRequested);
}

TEST(MenuScreen, MascotFollowsThePointerAndScreenshots) {
    i18n::setLanguage("en");
    const store::SavedGame campaign = savedAt(6, false);
    struct Shot {
        int w, h;
        const store::SavedGame* saved;
        const char* name;
    };
    for (const Shot& s :
         {Shot{1280, 720, nullptr, "menu-new"}, Shot{1280, 720, &campaign, "menu-saved"},
          Shot{820, 560, &campaign, "menu-small"}, Shot{2560, 1440, nullptr, "menu-large"}}) {
        freshStore("menu-shots", 7, s.saved);
        Headless h(s.w, s.h);
        ASSERT_TRUE(h.ok());
        h.start(menuState());
        // Let the title drop in, then hold the clock: only the pointer changes.
        for (double t = 0; t < 3; t += 0.5) h.frame(t);
        const testsupport::Frame a = h.frame(pointerAt(2, 2), 3);
        const testsupport::Frame b = h.frame(pointerAt(s.w - 2, s.h - 2), 3);
        testsupport::savePng(b, testsupport::artefactDir() + "/" + s.name + ".png");

        const double u = h.ctx().ui;
        const ui::MenuLayout L = ui::menuLayout(s.w, s.h, u, kEntries);
        const double m = std::min({0.22 * s.h, 0.16 * s.w, 130 * u});
        const int mascotLeft = static_cast<int>(L.columnX + L.columnW + 0.8 * m - m);
        // The eyes move, and nothing else does.
        int inside = 0, outside = 0;
        for (int y = 0; y < a.h; ++y)
            for (int x = 0; x < a.w; ++x)
                if (!testsupport::nearRgb(a.at(x, y), b.at(x, y), 24))
                    ++(x >= mascotLeft ? inside : outside);
        EXPECT_GT(inside, 10) << s.name;
        EXPECT_EQ(outside, 0) << s.name;
    }
}

TEST(SplashScreen, LeavesOnKeyClickOrAfterItsTime) {
    i18n::setLanguage("en");
    store::openAt(testsupport::freshDir("splash"));
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    Game& g = Game::instance();
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
        h.start(GameState{});
        const double t0 = 100;
        for (double t = t0; t < t0 + std::min(w.at, 4.4) - 0.01; t += 0.1) h.frame(t);
        ASSERT_EQ(g.top().kind, ScreenKind::Splash) << w.name;
        ui::Input in = pointerAt(300, 200);
        if (w.key != 0) in.keys.push_back(w.key);
        in.released = w.release;
        in.pressed = !w.release && w.key == 0;
        h.frame(in, t0 + w.at);
        EXPECT_EQ(g.top().kind, w.leaves ? ScreenKind::Menu : ScreenKind::Splash) << w.name;
        EXPECT_EQ(g.stack().size(), 1u) << w.name;
        if (std::string(w.name) == "4.4 s") {
            testsupport::savePng(h.last(), testsupport::artefactDir() + "/splash.png");
        }
    }
}

TEST(MenuWindow, ANewPlayerReachesLevelOneAndComesBackToIt) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd";
    // Nothing stored: the default 1102 x 620 window. Splash, then Choose Level (the second
    // entry without a saved game), the first tile, one shot, Escape to the level select and
    // on to the menu, Continue (now the second entry), and a second shot in the resumed game.
    const int w = 1102;
    const int h = 620;
    const double u = std::min(w / 1280.0, h / 720.0);
    const ui::Rect tile = ui::levelGrid(w, h, u, 60 * u).tile(0);
    const std::string tileAt =
        std::to_string(int(tile.x + tile.w / 2)) + " " + std::to_string(int(tile.y + tile.h / 2));
    const testsupport::Session s = testsupport::runXSession("menu-resume", R"(
launch || exit 1
shot splash
click_at 400 300
shot menu
click_at )" + windowPoint(1, w, h) + R"(
shot levels
click_at )" + tileAt + R"(
sleep 0.5
click_at 551 250
sleep 2
shot played
keys Escape Escape
shot continue
click_at )" + windowPoint(1, w, h) + R"(
sleep 0.5
click_at 500 260
sleep 2
shot resumed
keys ctrl+q
finish > "$OUT/quit.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/quit.status"), "0\n");
    const char* names[] = {"splash", "menu", "levels", "played", "continue", "resumed"};
    for (const char* name : names) {
        const testsupport::Frame f = testsupport::loadXwd(s.dir + "/" + name + ".xwd");
        ASSERT_FALSE(f.empty()) << name;
        testsupport::savePng(f, testsupport::artefactDir() + "/x-menu-" + name + ".png");
    }
    // Two shots in one game on level 1: the second went into the resumed game, not a new one.
    store::openAt(s.dir + "/data/Plumbrix");
    const store::SavedGame& g = store::savedGame();
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(std::tuple(g.arcade, g.level, g.shotsFired), std::tuple(false, 0, 2));
}

TEST(MenuWindow, KeysAloneReachLevelOneFireLeaveAndContinueIt) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd";
    // Not one pointer event: a key leaves the splash, Down and Return choose Choose Level,
    // Return starts the level focus starts on (the newest, the first), Space fires, Escape
    // twice back to the menu, Down and Return choose Continue, Space fires again.
    const testsupport::Session s = testsupport::runXSession("menu-keys", R"(
launch || exit 1
sleep 0.5
keys space
sleep 0.5
keys Down Return
sleep 0.5
keys Return
sleep 0.5
keys space
sleep 2
keys Escape Escape
sleep 0.5
shot continue
keys Down Return
sleep 0.5
keys space
sleep 2
keys ctrl+q
finish > "$OUT/quit.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/quit.status"), "0\n");
    const testsupport::Frame f = testsupport::loadXwd(s.dir + "/continue.xwd");
    ASSERT_FALSE(f.empty());
    testsupport::savePng(f, testsupport::artefactDir() + "/x-menu-keys-continue.png");
    store::openAt(s.dir + "/data/Plumbrix");
    const store::SavedGame& g = store::savedGame();
    ASSERT_TRUE(g.valid);
    EXPECT_EQ(std::tuple(g.arcade, g.level, g.shotsFired), std::tuple(false, 0, 2));
}

// The navigation stack with its rebuilds and crash context, every screen's texts at the
// smallest windows, and the about and licences screens.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <string>
#include <utility>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "platform/crash.h"
#include "screens/licenses.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "support/xsession.h"
#include "ui/app.h"
#include "ui/draw.h"

using ui::GameState;
using ui::ScreenKind;

TEST(Game, StackOperationsRebuildsAndTheCrashContext) {
    GameState play{.kind = ScreenKind::Playing, .level = 4, .seed = 4294967295u, .arcade = true};
    EXPECT_EQ(ui::crashContextFor(play), "Bildschirm 3, Level 5, Seed 4294967295, Arcade");
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

// Every screen with something to show, the paused game and the question before a stored
// game is dropped, at the smallest window the game allows and at a tall narrow one, in two
// languages: no text is drawn below 10 px.
TEST(Screens, EveryTextIsReadableAtSmallWindows) {
    testsupport::usePrivateFonts();
    testsupport::openStore("readable", 24);
    for (int level = 0; level < 23; ++level) {
        store::recordBest(level, {.stars = 1 + level % 3, .moves = 30, .elapsedMs = 95000});
        store::recordSolve({level, 30, 4350, 95000, 0, 1 + level % 3});
    }
    for (int i = 1; i <= 10; ++i) store::recordArcadeHigh({900 * i, 40, 120000, 1700000000000});
    using K = ScreenKind;
    const std::vector<std::pair<GameState, int>> screens = {  // a key in the second frame
        {{.kind = K::Splash}, 0}, {{.kind = K::Menu}, -1},  // -1: its first button, the question
        {{.kind = K::LevelSelect}, 0}, {{.kind = K::Playing, .level = 30, .seed = 5}, SDLK_p},
        {{.kind = K::Playing, .seed = 5, .arcade = true}, 0},
        {{.kind = K::Solved, .level = 33, .marbles = 21, .score = 4350, .elapsedMs = 83000,
          .starOrbs = 2, .starOrbsTotal = 3}, 0},
        {{.kind = K::GameOver, .level = 12, .marbles = 48, .score = 1720, .elapsedMs = 191000,
          .starOrbs = 1, .starOrbsTotal = 3}, 0},
        {{.kind = K::GameOver, .arcade = true, .marbles = 48, .score = 9900, .highScore = 9900}, 0},
        {{.kind = K::Ending}, 0}, {{.kind = K::HighScores}, 0}, {{.kind = K::Gallery}, 0},
        {{.kind = K::Settings}, 0}, {{.kind = K::About}, 0}, {{.kind = K::Licenses}, 0}};
    double t = 100;
    for (auto [w, h] : {std::pair{820, 560}, {700, 1000}}) {
        testsupport::Headless win(w, h);
        ASSERT_TRUE(win.ok());
        for (const char* lang : {"en", "de"}) {
            i18n::setLanguage(lang);
            for (const auto& [state, key] : screens) {
                store::saveGame(testsupport::gameFor(5));
                win.start(state);
                win.frame(t += 1);
                if (key > 0) win.key(key, t += 0.1);
                if (key < 0) testsupport::clickOn(win, testsupport::control(win, 0), t += 0.1);
                ui::recordDrawnTexts(true);
                win.frame(t += 2.5);
                for (const ui::DrawnText& d : ui::drawnTexts())
                    EXPECT_GE(d.px, 10) << static_cast<int>(state.kind) << " " << w << "x" << h
                                        << " " << lang << ": " << d.text;
            }
        }
    }
    ui::recordDrawnTexts(false);
    i18n::setLanguage("en");
}

namespace {

// The text after the first `key` in the source file at path, up to the next `to`.
std::string field(const std::string& path, const std::string& key, char to) {
    const std::string text = testsupport::readText(std::string(TARNWICK_SOURCE_DIR) + path);
    const size_t at = text.find(key);
    if (at == std::string::npos) return "";
    return text.substr(at + key.size(), text.find(to, at + key.size()) - at - key.size());
}

}  // namespace

TEST(LicenseTable, CreditsTheLinkedCryptoVersionAndTheGamesOwnWorkInEveryLanguage) {
    const auto rows = ui::licenseRows();
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_STREQ(rows[17].name, "libsodium");
    EXPECT_EQ(ui::licenseLine(rows[17]), std::string("v") + sodium_version_string() + "  ·  ISC");
    // The game's own work is under the licence the software centres read, and the music's
    // credit names the title the generator gives the track.
    const std::string project =
        field("/data/org.tarnwick.Tarnwick.metainfo.xml", "<project_license>", '<');
    const std::string title = field("/tools/gen_sounds.py", "MUSIC_TITLE = \"", '"');
    ASSERT_EQ(project, "GPL-3.0-or-later");
    ASSERT_FALSE(title.empty());
    for (const i18n::Language& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        for (const ui::LicenseRow& r : rows) {
            const std::string holder = ui::licenseHolder(r);
            EXPECT_NE(holder, "") << r.name;
            if (!r.own) continue;
            EXPECT_EQ(r.license, project) << lang.code << " " << r.name;
            EXPECT_NE(holder.find("Tarnwick"), std::string::npos) << lang.code << " " << holder;
            EXPECT_EQ((ui::licenseName(r) + holder).find("licenses."), std::string::npos) << lang.code;
        }
        EXPECT_NE(ui::licenseName(rows[20]).find(title), std::string::npos) << lang.code;
    }
    i18n::setLanguage("en");
    EXPECT_EQ(ui::licenseName(rows[20]), "Music: " + title);
    EXPECT_NE(i18n::tr("about.musicCredit").find(title), std::string::npos);
}

TEST(InfoScreens, TheAboutButtonOpensTheLicencesWhichScrollToTheirLastRow) {
    i18n::setLanguage("en");
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    testsupport::openOver(ScreenKind::Menu, {.kind = ScreenKind::About});
    double t = 0;
    testsupport::savePng(h.frame(t), testsupport::artefactDir() + "/about.png");
    testsupport::clickOn(h, testsupport::control(h, -1), t += 0.1);
    ASSERT_EQ(ui::Game::instance().top().kind, ScreenKind::Licenses);
    // The last row comes into view only once scrolled to the end.
    const std::string last = ui::licenseName(ui::licenseRows().back());
    EXPECT_FALSE(testsupport::contains(testsupport::textsDrawn(h, t += 0.1), last));
    ui::Input wheel;
    wheel.mouseX = 640;
    wheel.mouseY = 400;
    wheel.wheel = -100;
    h.frame(wheel, t += 0.1);
    EXPECT_TRUE(testsupport::contains(testsupport::textsDrawn(h, t += 0.1), last));
    h.click(100, 600, t += 0.1);  // beside the rows: nothing takes it
    EXPECT_FALSE(h.ctx().clickUsed);
    h.key(SDLK_ESCAPE, t += 0.1);
    h.frame(t += 0.1);
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
}

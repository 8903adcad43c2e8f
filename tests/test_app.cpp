// The navigation stack with its rebuilds and crash context, and the licence table.
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

// The crypto library is credited with the version this build runs against; the game's own
// work, in every language, under the licence the software centres read and naming the game;
// the music's credit names the title the generator gives the track.
TEST(LicenseTable, CreditsTheLinkedCryptoVersionAndTheGamesOwnWorkInEveryLanguage) {
    const auto rows = ui::licenseRows();
    ASSERT_EQ(rows.size(), 22u);
    EXPECT_EQ(ui::licenseLine(rows[17]), std::string("v") + sodium_version_string() + "  ·  ISC");
    const auto field = [](const std::string& path, const std::string& key, char to) {
        const std::string text = testsupport::readText(std::string(TARNWICK_SOURCE_DIR) + path);
        const size_t at = text.find(key) + key.size();
        return at < key.size() ? std::string() : text.substr(at, text.find(to, at) - at);
    };
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
        }
        EXPECT_NE(ui::licenseName(rows[20]).find(title), std::string::npos) << lang.code;
    }
    i18n::setLanguage("en");
    EXPECT_NE(i18n::tr("about.musicCredit").find(title), std::string::npos);
}

// The about and licences screens: the licence table, the way between the two screens, and
// the about page's room on small windows.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <string>
#include <vector>

#include "i18n.h"
#include "screens/licenses.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/xsession.h"
#include "ui/draw.h"

using ui::ScreenKind;

namespace {

// The text between the first `from` after `key` and the next `to` in the file at path.
std::string field(const std::string& path, const std::string& key, char to) {
    const std::string text = testsupport::readText(std::string(TARNWICK_SOURCE_DIR) + path);
    const size_t at = text.find(key);
    if (at == std::string::npos) return "";
    const size_t start = at + key.size();
    return text.substr(start, text.find(to, start) - start);
}

}  // namespace

TEST(LicenseTable, CreditsWhatTheGameLinksAndShipsAndItsOwnWorkInEveryLanguage) {
    i18n::setLanguage("en");
    const auto rows = ui::licenseRows();
    ASSERT_EQ(rows.size(), 22u);
    for (const ui::LicenseRow& r : rows) {
        const std::string all = ui::licenseName(r) + r.license + ui::licenseHolder(r) + r.homepage;
        EXPECT_NE(ui::licenseHolder(r), "") << r.name;
        EXPECT_STRNE(r.homepage, "") << r.name;
        for (const char* gone : {"Monocypher", "ffmpeg", "LicenseRef"})
            EXPECT_EQ(all.find(gone), std::string::npos) << r.name;
        if (std::string(r.name) != "libsodium") {
            EXPECT_EQ(ui::licenseLine(r), r.license);
        }
    }
    // The crypto library is credited with the version this build runs against.
    EXPECT_STREQ(rows[17].name, "libsodium");
    EXPECT_EQ(ui::licenseLine(rows[17]), std::string("v") + sodium_version_string() + "  ·  ISC");

    // The game's own work comes first under the licence the software centres read, and the
    // music's credit names the title the generator gives the track.
    const std::string project =
        field("/data/org.tarnwick.Tarnwick.metainfo.xml", "<project_license>", '<');
    EXPECT_EQ(project, "GPL-3.0-or-later");
    const std::string title = field("/tools/gen_sounds.py", "MUSIC_TITLE = \"", '"');
    ASSERT_FALSE(title.empty());
    const std::vector<size_t> own = {0, 20, 21};
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].own, std::find(own.begin(), own.end(), i) != own.end()) << i;
    for (const i18n::Language& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        for (size_t i : own) {
            const std::string name = ui::licenseName(rows[i]), holder = ui::licenseHolder(rows[i]);
            EXPECT_EQ(rows[i].license, project) << lang.code << " " << i;
            for (const std::string& text : {name, holder}) {
                EXPECT_EQ(text.find("licenses."), std::string::npos) << lang.code << " " << text;
                EXPECT_EQ(text.find("{{"), std::string::npos) << lang.code << " " << text;
            }
            EXPECT_NE(holder.find("Tarnwick"), std::string::npos) << lang.code << " " << i;
        }
        EXPECT_NE(ui::licenseName(rows[20]).find(title), std::string::npos) << lang.code;
        EXPECT_NE(ui::licenseHolder(rows[20]).find("tools/gen_sounds.py"), std::string::npos);
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
    testsupport::savePng(h.last(), testsupport::artefactDir() + "/licenses-end.png");
    h.click(100, 600, t += 0.1);  // beside the rows: nothing takes it
    EXPECT_FALSE(h.ctx().clickUsed);
    h.key(SDLK_ESCAPE, t += 0.1);
    h.frame(t += 0.1);
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(testsupport::stackKinds(), std::vector{ScreenKind::Menu});
}

TEST(InfoScreens, TheAboutPageUsesItsRoomInsteadOfShrinkingOnSmallWindows) {
    // The game's name, the largest text, keeps its size in windows that have room for it.
    double full = 0;
    for (auto [w, hh] : {std::pair{1280, 720}, {700, 700}, {1280, 600}}) {
        testsupport::Headless h(w, hh);
        ASSERT_TRUE(h.ok());
        testsupport::openOver(ScreenKind::Menu, {.kind = ScreenKind::About});
        ui::recordDrawnTexts(true);
        h.frame(0.0);
        double px = 0;
        for (const ui::DrawnText& d : ui::drawnTexts()) px = std::max(px, d.px);
        ui::recordDrawnTexts(false);
        if (full == 0) full = px;
        EXPECT_NEAR(px, full, 0.15 * full) << w << "x" << hh;
    }
}

// The about and licences screens: the licence table, layout, links, and screenshots.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "i18n.h"
#include "screens/licenses.h"
#include "support/headless.h"
#include "support/xsession.h"
#include "ui/widgets.h"

using testsupport::Headless;
using ui::Game;
using ui::GameState;
using ui::ScreenKind;

namespace {

// In English, with the screen top above the screen below.
void open(ScreenKind below, ScreenKind top) {
    i18n::setLanguage("en");
    Game::instance().resetTo({.kind = below});
    Game::instance().push({.kind = top});
}

// Pink pixels (the game's name) in the rectangle.
int pinkIn(const testsupport::Frame& f, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += testsupport::red(f.at(x, y)) > 220 && testsupport::green(f.at(x, y)) < 130 &&
                 testsupport::blue(f.at(x, y)) > 130;
    return n;
}

// Mean brightness of a horizontal run of pixels centred on the window.
double rowBrightness(const testsupport::Frame& f, int y, int halfWidth) {
    double sum = 0;
    for (int x = f.w / 2 - halfWidth; x < f.w / 2 + halfWidth; ++x) {
        const std::uint32_t p = f.at(x, y);
        sum += testsupport::red(p) + testsupport::green(p) + testsupport::blue(p);
    }
    return sum / (3.0 * 2 * halfWidth);
}

}  // namespace

TEST(LicenseTable, CreditsWhatTheGameLinksAndShips) {
    i18n::setLanguage("en");
    const auto rows = ui::licenseRows();
    ASSERT_EQ(rows.size(), 22u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const ui::LicenseRow& r = rows[i];
        const std::string all = ui::licenseName(r) + r.license + ui::licenseHolder(r) + r.homepage;
        EXPECT_NE(ui::licenseHolder(r), "") << r.name;
        EXPECT_STRNE(r.homepage, "") << r.name;
        EXPECT_EQ(all.find("Monocypher"), std::string::npos) << r.name;
        EXPECT_EQ(all.find("ffmpeg"), std::string::npos) << r.name;
        EXPECT_EQ(all.find("LicenseRef"), std::string::npos) << r.name;
        if (i == 17) continue;
        EXPECT_STREQ(r.version, "") << r.name;
        EXPECT_EQ(ui::licenseLine(r), r.license);
    }
    // The crypto library is credited with the version this build runs against.
    EXPECT_STREQ(rows[17].name, "libsodium");
    EXPECT_EQ(ui::licenseLine(rows[17]), std::string("v") + sodium_version_string() + "  ·  ISC");
}

TEST(LicenseTable, TheGamesOwnWorkComesFirstUnderItsLicenceInEveryLanguage) {
    const auto rows = ui::licenseRows();
    const std::string src = TARNWICK_SOURCE_DIR;
    // The licence the software centres read is the one the screen shows.
    const std::string meta =
        testsupport::readText(src + "/data/org.tarnwick.Tarnwick.metainfo.xml");
    const std::string tag = "<project_license>";
    const size_t at = meta.find(tag);
    ASSERT_NE(at, std::string::npos);
    const std::string project =
        meta.substr(at + tag.size(), meta.find('<', at + tag.size()) - at - tag.size());
    EXPECT_EQ(project, "GPL-3.0-or-later");

    // The music's credit names the title the generator gives the track.
    const std::string gen = testsupport::readText(src + "/tools/gen_sounds.py");
    const std::string key = "MUSIC_TITLE = \"";
    const size_t t = gen.find(key);
    ASSERT_NE(t, std::string::npos);
    const std::string title =
        gen.substr(t + key.size(), gen.find('"', t + key.size()) - t - key.size());

    const std::vector<size_t> own = {0, 20, 21};
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].own, std::find(own.begin(), own.end(), i) != own.end()) << i;
    for (const i18n::Language& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        for (size_t i : own) {
            const std::string name = ui::licenseName(rows[i]);
            const std::string holder = ui::licenseHolder(rows[i]);
            EXPECT_EQ(rows[i].license, project) << lang.code << " " << i;
            for (const std::string& text : {name, holder}) {
                EXPECT_EQ(text.find("licenses."), std::string::npos) << lang.code << " " << text;
                EXPECT_EQ(text.find("{{"), std::string::npos) << lang.code << " " << text;
            }
            EXPECT_NE(holder.find("Tarnwick"), std::string::npos) << lang.code << " " << i;
        }
        EXPECT_NE(ui::licenseName(rows[20]).find(title), std::string::npos) << lang.code;
        EXPECT_NE(ui::licenseHolder(rows[20]).find("tools/gen_sounds.py"), std::string::npos)
            << lang.code;
        if (lang.code == "en") {
            // An English player reads English, not the German the table once carried.
            EXPECT_EQ(ui::licenseName(rows[20]), "Music: " + title);
            EXPECT_EQ(ui::licenseHolder(rows[20]).find("erzeugt"), std::string::npos);
        }
    }
    i18n::setLanguage("en");
    EXPECT_NE(i18n::tr("about.musicCredit").find(title), std::string::npos);
}

TEST(LicensesScreen, ScrollsToTheLastBlockAndLinksTakeTheirClick) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    open(ScreenKind::About, ScreenKind::Licenses);
    Game& g = Game::instance();
    double t = 0;
    const testsupport::Frame& top = h.frame(t);
    testsupport::savePng(top, testsupport::artefactDir() + "/licenses-top.png");

    h.frame({.mouseX = 640, .mouseY = 400, .wheel = -100, .keys = {}}, t += 0.1);
    const testsupport::Frame end = h.frame(t += 0.1);
    testsupport::savePng(end, testsupport::artefactDir() + "/licenses-end.png");

    // Header 60, blocks 92 apart from 50 under it, 20 spare at the end: the last block's
    // top is 92 + 20 above the bottom edge.
    const int lastTop = 720 - 92 - 20;
    const int sepAbove = lastTop - 6;
    const int sepBelow = lastTop + 92 - 6;
    EXPECT_GT(rowBrightness(end, sepAbove, 100), rowBrightness(end, sepAbove + 4, 100) + 15)
        << "a separator above the last block";
    EXPECT_LT(std::abs(rowBrightness(end, sepBelow, 100) - rowBrightness(end, sepBelow - 4, 100)),
              6)
        << "no separator under the last block";
    // The last block's name is drawn where it belongs.
    EXPECT_GT(rowBrightness(end, lastTop + 14, 200), rowBrightness(end, sepBelow, 200) + 10);

    // A click on a link is taken and goes nowhere; a click on empty space is not taken.
    h.click(640, lastTop + 72, t += 0.1);
    EXPECT_TRUE(h.ctx().clickUsed);
    EXPECT_EQ(g.top().kind, ScreenKind::Licenses);
    h.click(100, lastTop + 40, t += 0.1);
    EXPECT_FALSE(h.ctx().clickUsed);
    EXPECT_EQ(g.top().kind, ScreenKind::Licenses);

    // Escape goes back to the about screen.
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::About);
}

TEST(AboutScreen, LinksGoNowhereAndTheButtonOpensTheLicences) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    open(ScreenKind::Menu, ScreenKind::About);
    Game& g = Game::instance();
    double t = 0;
    const testsupport::Frame about = h.frame(t);
    testsupport::savePng(about, testsupport::artefactDir() + "/about.png");
    EXPECT_GT(pinkIn(about, 540, 70, 740, 120), 300) << "the name in pink near the top";

    // At full scale the web address sits 336 down and the licences button 532 to 572.
    h.click(640, 336, t += 0.1);
    EXPECT_TRUE(h.ctx().clickUsed);
    h.frame(t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::About);
    h.click(640, 552, t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::Licenses);
    h.frame(t += 0.1);
    h.key(SDLK_ESCAPE, t += 0.1);
    h.frame(t += 0.1);
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
}

TEST(AboutScreen, UsesItsRoomInsteadOfShrinkingOnSmallWindows) {
    // The page has room for its name at full size even in the smallest windows.
    double ref = 0;
    for (auto [w, hh, ku] : {std::tuple{1280, 720, 1.0}, {700, 700, 1.0}, {1280, 600, 1.0}}) {
        Headless h(w, hh);
        ASSERT_TRUE(h.ok());
        open(ScreenKind::Menu, ScreenKind::About);
        const testsupport::Frame f = h.frame(0.0);
        int first = -1;
        int last = -1;
        for (int y = 0; y < hh / 2; ++y) {
            if (pinkIn(f, w / 4, y, 3 * w / 4, y + 1) < 3) continue;
            if (first < 0) first = y;
            if (y - last > 4 && last >= 0) break;  // the next pink line is a link
            last = y;
        }
        ASSERT_GE(first, 0) << w << "x" << hh;
        const double perUnit = (last - first + 1) / ku;
        if (ref == 0) ref = perUnit;
        EXPECT_NEAR(perUnit, ref, 0.15 * ref) << w << "x" << hh;
        testsupport::savePng(f, testsupport::artefactDir() + "/about-" + std::to_string(w) + "x" +
                                    std::to_string(hh) + ".png");
    }
}

TEST(InfoScreensBlackBox, AboutLeadsToTheLicencesInTheRealGame) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "no Xvfb, xdotool or xwd";
    // The crash report names the screen that was live, which tells where the click led
    // however slowly the machine paints.
    const testsupport::Session s = testsupport::runXSession("about-licenses", R"(
export PLUMBRIX_SCREEN=about
launch --size 1280x720 || exit 1
shot about
click_at 640 552
sleep 1
shot licenses
kill -SEGV "$GAME_PID"
finish > "$OUT/status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/status"), "139\n");
    EXPECT_NE(testsupport::readText(s.dir + "/run/Plumbrix_crash.txt").find("Bildschirm 11,"),
              std::string::npos);
    for (const char* name : {"about", "licenses"}) {
        const testsupport::Frame f = testsupport::loadXwd(s.dir + "/" + name + ".xwd");
        ASSERT_FALSE(f.empty()) << name;
        testsupport::savePng(f, testsupport::artefactDir() + "/xvfb-" + name + ".png");
    }
}

// The settings screen: what each control writes and when, the language grid, the reset.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "platform/fs.h"
#include "screens/settings.h"
#include "support/canvas.h"
#include "support/headless.h"
#include "support/store_files.h"
#include "support/tmpdir.h"
#include "support/xsession.h"
#include "ui/widgets.h"

using testsupport::Headless;
using ui::Game;
using ui::GameState;
using ui::Rect;
using ui::ScreenKind;

namespace {

GameState kindState(ScreenKind k) {
    return {.kind = k};
}

// A fresh store in its own directory, audio on the dummy driver, and the settings screen
// on top of the menu.
std::string openSettings(Headless& h, const std::string& name) {
    const std::string dir = testsupport::freshDir(name);
    store::openAt(dir);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    audio::init();
    i18n::setLanguage("en");
    Game::instance().resetTo(kindState(ScreenKind::Menu));
    Game::instance().push(kindState(ScreenKind::Settings));
    h.frame(0.0);
    return dir;
}

double headerH(const ui::Ctx& c) {
    return c.compact() ? c.s(52) : c.s(60);
}

ui::Input pointerAt(double x, double y, bool down = false, bool pressed = false,
                    bool released = false, double wheel = 0) {
    return {.mouseX = x,
            .mouseY = y,
            .mouseDown = down,
            .pressed = pressed,
            .released = released,
            .wheel = wheel,
            .keys = {}};
}

void clickAt(Headless& h, const Rect& r, double* t) {
    h.click(r.x + r.w / 2, r.y + r.h / 2, *t += 0.1);
    h.frame(*t += 0.1);
}

// Scrolls the settings to the end with the wheel; returns the layout there.
ui::SettingsLayout scrollToEnd(Headless& h, double* t) {
    h.frame(pointerAt(h.ctx().w / 2, h.ctx().h / 2, false, false, false, -40), *t += 0.1);
    h.frame(*t += 0.1);
    const ui::SettingsLayout l = ui::settingsLayout(h.ctx(), headerH(h.ctx()), 0);
    return ui::settingsLayout(h.ctx(), headerH(h.ctx()), std::max(l.contentH - l.viewport.h, 0.0));
}

int pinkPixels(const testsupport::Frame& f, const Rect& r) {
    int n = 0;
    for (int y = static_cast<int>(r.y); y < static_cast<int>(r.y + r.h); ++y)
        for (int x = static_cast<int>(r.x); x < static_cast<int>(r.x + r.w); ++x) {
            const std::uint32_t p = f.at(x, y);
            n += testsupport::red(p) > 200 && testsupport::green(p) < 140 &&
                 testsupport::blue(p) > 120;
        }
    return n;
}

size_t languageIndex(const std::string& code) {
    const auto& langs = i18n::languages();
    for (size_t i = 0; i < langs.size(); ++i)
        if (langs[i].code == code) return i;
    return langs.size();
}

}  // namespace

TEST(SettingsScreen, SwitchesWriteAtOnceAndSlidersOnRelease) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const std::string dir = openSettings(h, "settings-controls");
    const std::string file = dir + "/settings.dat";
    const ui::SettingsLayout l = ui::settingsLayout(h.ctx(), headerH(h.ctx()), 0);
    double t = 0;

    // Each switch flips its field and the file holds the new value when the click is done.
    for (auto [row, field, key] :
         {std::tuple{l.sound, &store::Settings::soundOn, "soundOn"},
          {l.aimGuide, &store::Settings::aimGuide, "aimGuide"},
          {l.fullscreen, &store::Settings::fullscreen, "fullscreen"},
          {l.marbleSymbols, &store::Settings::marbleSymbols, "marble_symbols"}}) {
        for (int round = 0; round < 2; ++round) {
            const bool before = store::settings().*field;
            platform::fs::remove(file);
            clickAt(h, row, &t);
            EXPECT_EQ(store::settings().*field, !before) << key;
            EXPECT_EQ(testsupport::readSealedDoc(file)[key].asBool(before), !before) << key;
            if (key == std::string("soundOn")) {
                EXPECT_EQ(audio::isEnabled(), !before);
                // Off withdraws the music; on again must ask for it anew.
                EXPECT_EQ(audio::musicWanted(), !before);
            }
        }
    }

    // Sliders follow the pointer live and write once, on release; tiny moves are no change.
    for (auto [r, field, live, key] :
         {std::tuple{l.musicVolume, &store::Settings::musicVolume, &audio::musicVolume,
                     "musicVolume"},
          {l.sfxVolume, &store::Settings::sfxVolume, &audio::sfxVolume, "sfxVolume"}}) {
        const double y = r.y + r.h / 2;
        platform::fs::remove(file);
        h.frame(pointerAt(r.x + 0.8 * r.w, y, true, true), t += 0.1);
        EXPECT_NEAR(store::settings().*field, 0.8, 1e-9) << key;
        EXPECT_NEAR(live(), 0.8, 1e-9) << key;
        h.frame(pointerAt(r.x + 0.25 * r.w, y, true), t += 0.1);
        EXPECT_NEAR(live(), 0.25, 1e-9) << key;
        EXPECT_FALSE(platform::fs::isFile(file)) << key << ": nothing written while held";
        h.frame(pointerAt(r.x + 0.25 * r.w, y, false, false, true), t += 0.1);
        EXPECT_NEAR(testsupport::readSealedDoc(file)[key].asNumber(-1), 0.25, 1e-9) << key;

        platform::fs::remove(file);
        const double held = store::settings().*field;
        h.frame(pointerAt(r.x + (0.25 + 0.0008) * r.w, y, true, true), t += 0.1);
        h.frame(pointerAt(r.x + (0.25 + 0.0008) * r.w, y, false, false, true), t += 0.1);
        EXPECT_EQ(store::settings().*field, held) << key;
        EXPECT_FALSE(platform::fs::isFile(file)) << key << ": a change under 0.001 is none";
    }

    // Leaving saves once more, and goes back to the menu.
    platform::fs::remove(file);
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(Game::instance().top().kind, ScreenKind::Menu);
    EXPECT_TRUE(platform::fs::isFile(file));
    store::settings().fullscreen = false;
}

TEST(SettingsScreen, LanguageGridRebuildsTheScreenInTheNewLanguage) {
    // The grid's shape: 23 cells in 3 columns on a wide column, in 2 on a narrow one, where
    // the reset button must still lie inside the scrolling range.
    for (int w : {1280, 330}) {
        testsupport::Canvas cv(w, 720, 0.72);
        const ui::SettingsLayout l = ui::settingsLayout(cv.ctx(), 52 * 0.72, 0);
        ASSERT_EQ(l.cells.size(), i18n::languages().size() + 1);
        EXPECT_EQ(l.columns, w == 1280 ? 3 : 2);
        EXPECT_EQ(l.cells.back().y, l.cells[0].y + ((l.cells.size() - 1) / l.columns) * 44 * 0.72);
        EXPECT_LE(l.reset.y + l.reset.h, l.viewport.y + l.contentH) << w;
        for (const Rect& r : l.cells) EXPECT_LE(r.x + r.w, l.x + l.cw + 1e-9) << w;
    }

    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const std::string dir = openSettings(h, "settings-language");
    double t = 0;
    const ui::SettingsLayout l = scrollToEnd(h, &t);
    Game& g = Game::instance();
    const testsupport::Frame english = h.frame(t += 0.1);
    testsupport::savePng(english, testsupport::artefactDir() + "/settings-en.png");

    for (const char* code : {"ja", "ar", "ru"}) {
        const size_t i = languageIndex(code);
        ASSERT_LT(i, i18n::languages().size());
        const int builds = g.builds();
        h.click(l.cells[i + 1].x + 10, l.cells[i + 1].y + 10, t += 0.1);
        EXPECT_EQ(store::settings().language, code);
        EXPECT_EQ(i18n::currentLanguage(), code);
        EXPECT_EQ(testsupport::readSealedDoc(dir + "/settings.dat")["language"].asString(), code);
        const testsupport::Frame& f = h.frame(t += 0.1);
        EXPECT_EQ(g.builds(), builds + 1) << "rebuilt for " << code;
        EXPECT_EQ(g.top().kind, ScreenKind::Settings);
        EXPECT_EQ(g.stack().size(), 2u);
        // The header's title is drawn in the new language.
        int changed = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 440; x < 840; ++x)
                changed += std::abs(testsupport::red(english.at(x, y)) -
                                    testsupport::red(f.at(x, y))) > 60;
        EXPECT_GT(changed, 50) << code;
        testsupport::savePng(f, testsupport::artefactDir() + "/settings-" + code + ".png");
        // A rebuilt screen starts at the top; scroll back for the next click.
        scrollToEnd(h, &t);
    }

    // "System" stores no code and is then the selected cell.
    const testsupport::Frame before = h.frame(t += 0.1);
    EXPECT_GT(pinkPixels(before, l.cells[languageIndex("ru") + 1]), 500);
    EXPECT_LT(pinkPixels(before, l.cells[0]), 50);
    h.click(l.cells[0].x + 10, l.cells[0].y + 10, t += 0.1);
    EXPECT_EQ(store::settings().language, "");
    const auto doc = testsupport::readSealedDoc(dir + "/settings.dat");
    EXPECT_TRUE(doc.has("language"));
    EXPECT_EQ(doc["language"].asString(), "");
    h.frame(t += 0.1);
    scrollToEnd(h, &t);
    const testsupport::Frame after = h.frame(t += 0.1);
    EXPECT_GT(pinkPixels(after, l.cells[0]), 500);
    EXPECT_LT(pinkPixels(after, l.cells[languageIndex("ru") + 1]), 50);
    i18n::setLanguage("en");
}

TEST(SettingsScreen, ResetAsksFirstErasesProgressAndKeepsSettings) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const std::string dir = openSettings(h, "settings-reset");
    store::settings().sfxVolume = 0.42;
    store::settings().language = "en";
    store::saveSettings();
    store::advanceUnlockedLevel(7);
    store::recordBest(2, store::LevelBest{3, 20, 5000});
    store::recordSolve(store::SolveEntry{2, 20, 900, 5000, 0, 3});
    store::recordArcadeHigh(store::ArcadeHigh{1234, 50, 60000, 1});
    store::saveGame(testsupport::gameFor(4));
    const store::Settings kept = store::settings();
    auto progressKept = [] {
        return store::unlockedLevel() == 7 && store::levelBests().size() == 1 &&
               store::solves().size() == 1 && store::arcadeHighs().size() == 1 &&
               store::hasSavedGame();
    };

    double t = 0;
    Game& g = Game::instance();
    const ui::SettingsLayout l = scrollToEnd(h, &t);
    const ui::Ctx& c = h.ctx();
    const double pw = std::min(c.w - c.s(64), c.s(360));
    const Rect panel{(c.w - pw) / 2, (c.h - c.s(220)) / 2, pw, c.s(220)};
    const double bw = (pw - c.s(60)) / 2;
    const Rect cancel{panel.x + c.s(20), panel.y + panel.h - c.s(66), bw, c.s(46)};
    const Rect ok{cancel.x + bw + c.s(20), cancel.y, bw, cancel.h};
    const Rect back = ui::backButtonRect(c);

    // Each way out of the dialog but OK keeps everything and stays on this screen; the
    // dialog blocks Escape and the back link.
    for (const Rect* way : {(const Rect*)nullptr, &back, &cancel}) {  // null: Escape
        SCOPED_TRACE(way == nullptr ? "escape" : way == &back ? "back" : "cancel");
        clickAt(h, l.reset, &t);
        if (way == nullptr)
            h.key(SDLK_ESCAPE, t += 0.1);
        else
            h.click(way->x + 10, way->y + 10, t += 0.1);
        h.frame(t += 0.1);
        EXPECT_EQ(g.top().kind, ScreenKind::Settings);
        EXPECT_EQ(g.stack().size(), 2u);
        EXPECT_TRUE(progressKept());
    }

    // OK, clicked where a language button lies under the dialog: only the dialog answers.
    clickAt(h, l.reset, &t);
    testsupport::savePng(h.last(), testsupport::artefactDir() + "/settings-reset-dialog.png");
    double px = -1;
    double py = -1;
    for (double y = ok.y + 2; y < ok.y + ok.h - 2 && px < 0; y += 2)
        for (double x = ok.x + 2; x < ok.x + ok.w - 2 && px < 0; x += 2)
            for (const Rect& cell : l.cells)
                if (cell.contains(x, y)) {
                    px = x;
                    py = y;
                }
    ASSERT_GE(px, 0) << "a language button lies under OK";
    h.click(px, py, t += 0.1);
    h.frame(t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::Settings);
    EXPECT_EQ(store::settings().language, kept.language) << "the click went through the dialog";
    store::openAt(dir);
    EXPECT_EQ(std::tuple(store::unlockedLevel(), store::levelBests().size(), store::solves().size(),
                         store::arcadeHighs().size(), store::hasSavedGame()),
              std::tuple(1, 0u, 0u, 0u, false))
        << "progress erased";
    const store::Settings& now = store::settings();
    EXPECT_EQ(std::tuple(now.sfxVolume, now.language, now.soundOn),
              std::tuple(0.42, std::string("en"), kept.soundOn))
        << "settings kept";

    // With the dialog gone, the back link leaves again.
    h.click(back.x + 10, back.y + 10, t += 0.1);
    EXPECT_EQ(g.top().kind, ScreenKind::Menu);
}

TEST(SettingsScreen, HiddenControlsIgnoreThePointer) {
    // Scrolled by one wheel step, the sound row reaches up under the header: a click on the
    // header over that hidden part (away from the back link) must not reach the switch.
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    openSettings(h, "settings-hidden");
    double t = 0;
    h.frame(pointerAt(640, 360, false, false, false, -1), t += 0.1);
    const ui::SettingsLayout l = ui::settingsLayout(h.ctx(), headerH(h.ctx()), h.ctx().s(60));
    ASSERT_LT(l.sound.y, l.viewport.y);
    ASSERT_GT(l.sound.y + l.sound.h, l.viewport.y);
    const bool before = store::settings().soundOn;
    const double y = (l.sound.y + l.viewport.y) / 2;
    h.click(l.sound.x + l.sound.w - 20, y, t += 0.1);
    EXPECT_EQ(store::settings().soundOn, before);
    // The visible part of the same row still works.
    h.click(l.sound.x + l.sound.w - 20, l.viewport.y + 4, t += 0.1);
    EXPECT_EQ(store::settings().soundOn, !before);
}

TEST(SettingsScreenBlackBox, FullscreenSwitchInTheRealGame) {
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "no Xvfb, xdotool or xwd";
    // The fullscreen row's switch at 1280 x 720 with nothing scrolled. Xvfb has no window
    // manager to resize the window, so the stored setting tells whether the click took.
    testsupport::Canvas cv(1280, 720, 1.0);
    const ui::SettingsLayout l = ui::settingsLayout(cv.ctx(), 60, 0);
    const std::string x = std::to_string(static_cast<int>(l.fullscreen.x + l.fullscreen.w - 30));
    const std::string y = std::to_string(static_cast<int>(l.fullscreen.y + l.fullscreen.h / 2));
    const testsupport::Session s = testsupport::runXSession("settings-fullscreen", R"(
export PLUMBRIX_SCREEN=settings
launch --size 1280x720 || exit 1
shot settings
click_at )" + x + " " + y + R"(
sleep 1
keys Escape
keys ctrl+q
finish > "$OUT/status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(testsupport::readText(s.dir + "/status"), "0\n");
    const auto doc = testsupport::readSealedDoc(s.dir + "/data/Plumbrix/settings.dat");
    EXPECT_TRUE(doc["fullscreen"].asBool(false));
    const testsupport::Frame shot = testsupport::loadXwd(s.dir + "/settings.xwd");
    ASSERT_FALSE(shot.empty());
    testsupport::savePng(shot, testsupport::artefactDir() + "/xvfb-settings.png");
}

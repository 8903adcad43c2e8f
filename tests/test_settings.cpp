// The settings screen: what each control writes and when, the language grid, the reset.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "platform/fs.h"
#include "screens/settings.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "ui/widgets.h"

using testsupport::control;
using testsupport::Headless;
using ui::Game;
using ui::Rect;
using ui::ScreenKind;

namespace {

// A fresh store, audio on the dummy driver, and the settings screen over the menu.
std::string openSettings(Headless& h, const std::string& name) {
    const std::string dir = testsupport::openStore(name);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    audio::init();
    i18n::setLanguage("en");
    testsupport::openOver(ScreenKind::Menu, {.kind = ScreenKind::Settings});
    h.frame(0.0);
    return dir;
}

ui::SettingsLayout layout(Headless& h, double scroll = 0) {
    return ui::settingsLayout(h.ctx(), h.ctx().s(h.ctx().compact() ? 52 : 60), scroll);
}

ui::Input pointer(double x, double y, bool down, bool pressed, bool released, double wheel = 0) {
    return {.mouseX = x, .mouseY = y, .mouseDown = down, .pressed = pressed, .released = released,
            .wheel = wheel, .keys = {}};
}

// Scrolls the settings to the end with the wheel; the layout there.
ui::SettingsLayout scrollToEnd(Headless& h, double* t) {
    h.frame(pointer(640, 360, false, false, false, -40), *t += 0.1);
    h.frame(*t += 0.1);
    const ui::SettingsLayout l = layout(h);
    return layout(h, std::max(l.contentH - l.viewport.h, 0.0));
}

}  // namespace

TEST(SettingsScreen, SwitchesWriteAtOnceAndSlidersOnRelease) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const std::string file = openSettings(h, "settings-controls") + "/settings.dat";
    const ui::SettingsLayout l = layout(h);
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
            testsupport::clickOn(h, row, t += 0.1);
            h.frame(t += 0.1);
            EXPECT_EQ(store::settings().*field, !before) << key;
            EXPECT_EQ(testsupport::readSealedDoc(file)[key].asBool(before), !before) << key;
            // Sound off withdraws the music; on again asks for it anew.
            EXPECT_TRUE(key != std::string("soundOn") ||
                        (audio::isEnabled() == !before && audio::musicWanted() == !before));
        }
    }
    // Sliders follow the pointer live and write once, on release.
    for (auto [r, field, live, key] :
         {std::tuple{l.musicVolume, &store::Settings::musicVolume, &audio::musicVolume, "musicVolume"},
          {l.sfxVolume, &store::Settings::sfxVolume, &audio::sfxVolume, "sfxVolume"}}) {
        const double y = r.y + r.h / 2;
        platform::fs::remove(file);
        h.frame(pointer(r.x + 0.8 * r.w, y, true, true, false), t += 0.1);
        EXPECT_NEAR(store::settings().*field, 0.8, 1e-9) << key;
        h.frame(pointer(r.x + 0.25 * r.w, y, true, false, false), t += 0.1);
        EXPECT_NEAR(live(), 0.25, 1e-9) << key;
        EXPECT_FALSE(platform::fs::isFile(file)) << key << ": nothing written while held";
        h.frame(pointer(r.x + 0.25 * r.w, y, false, false, true), t += 0.1);
        EXPECT_NEAR(testsupport::readSealedDoc(file)[key].asNumber(-1), 0.25, 1e-9) << key;
    }
    // Leaving saves once more, and goes back to the menu.
    platform::fs::remove(file);
    h.key(SDLK_ESCAPE, t += 0.1);
    EXPECT_EQ(Game::instance().top().kind, ScreenKind::Menu);
    EXPECT_TRUE(platform::fs::isFile(file));
    store::settings().fullscreen = false;
}

TEST(SettingsScreen, LanguageGridRebuildsTheScreenInTheNewLanguage) {
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    const std::string dir = openSettings(h, "settings-language");
    double t = 0;
    const ui::SettingsLayout l = scrollToEnd(h, &t);
    Game& g = Game::instance();
    const auto& langs = i18n::languages();
    for (const char* code : {"ja", "ar", "ru", ""}) {  // "": System
        SCOPED_TRACE(code);
        size_t cell = 0;
        while (cell < langs.size() && langs[cell].code != code) ++cell;
        cell = cell < langs.size() ? cell + 1 : 0;
        const int builds = g.builds();
        testsupport::clickOn(h, l.cells[cell], t += 0.1);
        EXPECT_EQ(store::settings().language, code);
        const auto doc = testsupport::readSealedDoc(dir + "/settings.dat");
        EXPECT_EQ(std::pair(doc.has("language"), doc["language"].asString()),
                  std::pair(true, std::string(code)));
        // Rebuilt, with the header drawn in the new language.
        const std::vector<std::string> drawn = testsupport::textsDrawn(h, t += 0.1);
        EXPECT_TRUE(*code == 0 || (i18n::currentLanguage() == code &&
                                   testsupport::contains(drawn, i18n::tr("settings.headline"))));
        EXPECT_EQ(g.builds(), builds + 1);
        EXPECT_EQ(testsupport::stackKinds(), (std::vector{ScreenKind::Menu, ScreenKind::Settings}));
        scrollToEnd(h, &t);  // a rebuilt screen starts at the top
    }
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
    const auto progress = [] {
        return std::tuple(store::unlockedLevel(), store::levelBests().size(), store::solves().size(),
                          store::arcadeHighs().size(), store::hasSavedGame());
    };
    double t = 0;
    const ui::SettingsLayout l = scrollToEnd(h, &t);
    const Rect back = ui::backButtonRect(h.ctx());
    // Each way out of the dialog but OK keeps everything and stays on this screen; the
    // dialog blocks Escape and the back link. Its buttons are the last two controls.
    for (int way : {0, 1, 2}) {  // Escape, the back link, Cancel
        SCOPED_TRACE(way);
        testsupport::clickOn(h, l.reset, t += 0.1);
        h.frame(t += 0.1);
        if (way == 0) h.key(SDLK_ESCAPE, t += 0.1);
        if (way == 1) testsupport::clickOn(h, back, t += 0.1);
        if (way == 2) testsupport::clickOn(h, control(h, -2), t += 0.1);
        h.frame(t += 0.1);
        EXPECT_EQ(testsupport::stackKinds(), (std::vector{ScreenKind::Menu, ScreenKind::Settings}));
        EXPECT_EQ(progress(), std::tuple(7, 1u, 1u, 1u, true));
    }
    testsupport::clickOn(h, l.reset, t += 0.1);
    h.frame(t += 0.1);
    testsupport::clickOn(h, control(h, -1), t += 0.1);  // OK
    h.frame(t += 0.1);
    EXPECT_EQ(Game::instance().top().kind, ScreenKind::Settings);
    store::openAt(dir);
    EXPECT_EQ(progress(), std::tuple(1, 0u, 0u, 0u, false)) << "progress erased";
    const store::Settings& now = store::settings();
    EXPECT_EQ(std::tuple(now.sfxVolume, now.language, now.soundOn),
              std::tuple(0.42, std::string("en"), kept.soundOn))
        << "settings kept";
    // With the dialog gone, the back link leaves again.
    testsupport::clickOn(h, back, t += 0.1);
    EXPECT_EQ(Game::instance().top().kind, ScreenKind::Menu);
}

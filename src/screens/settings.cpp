// The settings screen: sound, the two volumes, the aiming guide, fullscreen, the interface
// language and the reset of progress behind a confirmation. Every change is applied at
// once and written to the settings file; a volume slider writes only when it is let go,
// so that a drag costs one write instead of one per frame.
#include "screens/settings.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "ui/draw.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr std::uint32_t kResetFill = 0x5a1428;
constexpr std::uint32_t kResetEdge = 0xff6b81;
constexpr std::uint32_t kResetText = 0xffd7de;
// A slider must move the value by more than this before it counts as a change.
constexpr double kVolumeStep = 0.001;

// What controls may see of a frame's pointer when they must not react to it (under the
// modal dialog, or while the pointer is outside the scrolling area where they may be
// hidden): no click, press, wheel, key or hover. A held button stays held, so a scroll
// drag that is under way goes on and ends as it normally would.
Input withoutPointer(const Input& in) {
    Input out = in;
    out.mouseX = -1e9;
    out.mouseY = -1e9;
    out.pressed = false;
    out.released = false;
    out.doubleClick = false;
    out.rightPressed = false;
    out.wheel = 0;
    out.keys.clear();
    return out;
}

class SettingsScreen : public Screen {
  public:
    void update(Ctx& c) override {
        drawScreenScene(c, 0, 5);
        // While the dialog is open nothing under it may take the pointer, not even the
        // back link, so that its buttons are the only things a click can reach.
        const Input real = c.in;
        if (confirming_) c.in = withoutPointer(real);
        bool back = false;
        const double headerH = screenHeader(c, i18n::tr("settings.headline"), &back);
        if (!confirming_ && (back || real.hasKey(SDLK_ESCAPE))) {
            c.in = real;
            store::saveSettings();
            Game::instance().pop();
            return;
        }

        const SettingsLayout lay = settingsLayout(c, headerH, scroll_);
        if (!confirming_ && !c.hover(lay.viewport)) {
            c.in = withoutPointer(real);
            c.in.keys = real.keys;  // the keyboard works wherever the pointer rests
        }
        applyScroll(c, lay.viewport, lay.contentH, &scroll_);
        const SettingsLayout at = settingsLayout(c, headerH, scroll_);

        cairo_t* cr = c.cr;
        cairo_save(cr);
        cairo_rectangle(cr, at.viewport.x, at.viewport.y, at.viewport.w, at.viewport.h);
        cairo_clip(cr);
        const int firstInside = static_cast<int>(c.focus.slots.size());
        const bool rebuilt = paintContent(c, at);
        cairo_restore(cr);
        revealFocus(c, at.viewport, firstInside);
        scrollbar(c, at.viewport, at.contentH, scroll_);
        c.in = real;
        if (rebuilt) return;

        if (confirming_) {
            const int answer = confirmDialog(c, i18n::tr("settings.resetProgress"),
                                             i18n::tr("settings.resetProgressMessage"),
                                             i18n::tr("common.ok"), i18n::tr("common.cancel"));
            if (answer == 1) store::resetProgress();
            if (answer != 0) confirming_ = false;
        }

        if (dirty_ && !c.in.mouseDown) {
            dirty_ = false;
            store::saveSettings();
        }
    }

  private:
    // Scrolls a control that keys moved the focus to fully into view.
    void revealFocus(const Ctx& c, const Rect& viewport, int firstInside) {
        const Focus& f = c.focus;
        if (!f.visible || f.index < firstInside || f.index >= static_cast<int>(f.slots.size()))
            return;
        const Rect& r = f.slots[static_cast<size_t>(f.index)].r;
        const double margin = c.s(12);
        if (r.y < viewport.y + margin)
            scroll_ -= viewport.y + margin - r.y;
        else if (r.y + r.h > viewport.y + viewport.h - margin)
            scroll_ += r.y + r.h - (viewport.y + viewport.h - margin);
    }

    // Draws and runs everything in the scrolling area; true when a language was chosen and
    // the screen is about to be rebuilt.
    bool paintContent(Ctx& c, const SettingsLayout& at) {
        cairo_t* cr = c.cr;
        store::Settings& s = store::settings();
        const double x = at.x;
        const double cw = at.cw;

        sectionHeading(c, x, at.sound.y - c.s(30), i18n::tr("settings.music"));

        c.mainControl();
        const bool sound = toggleRow(c, at.sound, i18n::tr("settings.sound"), s.soundOn);
        if (sound != s.soundOn) {
            s.soundOn = sound;
            audio::setEnabled(sound);
            // Switching sound off withdraws the wish for music; on again asks anew.
            if (sound) audio::startMusic();
            store::saveSettings();
        }

        const TextStyle label = textStyle(c.s(14), false, kDimLilac);
        drawText(cr, x, at.musicVolume.y - c.s(22), i18n::tr("settings.musicVolume"), label);
        const double music = slider(c, at.musicVolume, s.musicVolume);
        if (std::fabs(music - s.musicVolume) > kVolumeStep) {
            s.musicVolume = music;
            audio::setMusicVolume(music);
            dirty_ = true;
        }
        drawText(cr, x, at.sfxVolume.y - c.s(22), i18n::tr("settings.sfx"), label);
        const double sfx = slider(c, at.sfxVolume, s.sfxVolume);
        if (std::fabs(sfx - s.sfxVolume) > kVolumeStep) {
            s.sfxVolume = sfx;
            audio::setSfxVolume(sfx);
            dirty_ = true;
        }

        const double dividerY = at.sfxVolume.y + c.s(52);
        drawLine(cr, x, dividerY, x + cw, dividerY, c.s(1), kWhite, 0.2);

        const bool aim = toggleRow(c, at.aimGuide, i18n::tr("settings.aimGuide"), s.aimGuide);
        if (aim != s.aimGuide) {
            s.aimGuide = aim;
            store::saveSettings();
        }
        // The frame loop hands this flag to the window every frame.
        const bool full =
            toggleRow(c, at.fullscreen, i18n::tr("settings.fullscreen"), s.fullscreen);
        if (full != s.fullscreen) {
            s.fullscreen = full;
            store::saveSettings();
        }
        const bool symbols =
            toggleRow(c, at.marbleSymbols, i18n::tr("settings.marbleSymbols"), s.marbleSymbols);
        if (symbols != s.marbleSymbols) {
            s.marbleSymbols = symbols;
            store::saveSettings();
        }

        sectionHeading(c, x, at.cells.front().y - c.s(30), i18n::tr("settings.language"));
        const auto& langs = i18n::languages();
        int chosen = -1;
        for (size_t i = 0; i < at.cells.size(); ++i) {
            const bool system = i == 0;
            const std::string& text =
                system ? i18n::tr("settings.languageSystem") : langs[i - 1].nativeName;
            const bool selected = system ? s.language.empty() : s.language == langs[i - 1].code;
            // Each language's name is drawn as that language writes it.
            const char* lang = system ? nullptr : langs[i - 1].code.c_str();
            if (plainButton(c, at.cells[i], text, selected, lang)) chosen = static_cast<int>(i);
        }

        const Rect& r = at.reset;
        fillRoundedRect(cr, r, c.s(12), kResetFill, c.hover(r) ? 0.85 : 0.6);
        strokeRoundedRect(cr, r, c.s(12), c.s(1.4), kResetEdge, 0.7);
        TextStyle resetText = textStyle(c.s(15), true, kResetText);
        resetText.maxWidth = r.w - c.s(24);
        drawTextCentered(cr, r.x + r.w / 2, r.y + r.h / 2, i18n::tr("settings.resetProgress"),
                         resetText);
        if (c.takeControl(r)) confirming_ = true;

        if (chosen < 0) return false;
        // "System" stores no code: the environment decides at every start.
        s.language = chosen == 0 ? std::string() : langs[static_cast<size_t>(chosen) - 1].code;
        i18n::setLanguage(s.language);
        store::saveSettings();
        // Same record, new serial: the screen is built again and every text with it.
        Game::instance().replace(Game::instance().top());
        return true;
    }

    static void sectionHeading(Ctx& c, double x, double y, const std::string& text) {
        drawText(c.cr, x, y - c.s(6), text, textStyle(c.s(14), true, kWhite));
        drawLine(c.cr, x, y + c.s(12), x + c.s(46), y + c.s(12), c.s(2.5), kAccentPink, 0.9);
    }

    double scroll_ = 0;
    bool confirming_ = false;
    bool dirty_ = false;
};

}  // namespace

SettingsLayout settingsLayout(const Ctx& c, double headerH, double scroll) {
    SettingsLayout l;
    l.cw = std::min(c.w - c.s(48), c.s(520));
    l.x = (c.w - l.cw) / 2;
    l.viewport = Rect{0, headerH, c.w, c.h - headerH};
    const double x = l.x;
    const double cw = l.cw;

    double y = headerH + c.s(12) - scroll;
    y += c.s(30);
    l.sound = Rect{x, y, cw, c.s(34)};
    y += c.s(42) + c.s(18);
    l.musicVolume = Rect{x, y, cw, c.s(22)};
    y += c.s(38) + c.s(18);
    l.sfxVolume = Rect{x, y, cw, c.s(22)};
    y += c.s(44) + c.s(30);
    l.aimGuide = Rect{x, y, cw, c.s(34)};
    y += c.s(42);
    l.fullscreen = Rect{x, y, cw, c.s(34)};
    y += c.s(42);
    l.marbleSymbols = Rect{x, y, cw, c.s(34)};
    y += c.s(50) + c.s(30);

    l.columns = cw > c.s(420) ? 3 : 2;
    const int count = static_cast<int>(i18n::languages().size()) + 1;
    const double bw = (cw - c.s(8) * (l.columns - 1)) / l.columns;
    for (int i = 0; i < count; ++i)
        l.cells.push_back(
            Rect{x + (i % l.columns) * (bw + c.s(8)), y + (i / l.columns) * c.s(44), bw, c.s(38)});
    const int rows = (count + l.columns - 1) / l.columns;
    l.reset = Rect{x, y + (rows - 1) * c.s(44) + c.s(38) + c.s(24), cw, c.s(46)};
    // Counted with the grid's real column count: two columns take more rows, and the reset
    // button must stay reachable on a narrow window.
    l.contentH = rows * c.s(44) + c.s(512);
    return l;
}

std::unique_ptr<Screen> makeSettingsScreen() {
    return std::make_unique<SettingsScreen>();
}

}  // namespace ui

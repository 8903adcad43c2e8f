// The about screen: the game's name and version, who made it and under which licence,
// where its music and sounds come from, and the way to the licences. Link lines take their
// click and open nothing.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "i18n.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/scene.h"
#include "ui/widgets.h"
#include "version.h"

namespace ui {
namespace {

constexpr const char* kMaker = "Ostervall Software";
// No contact address has been published yet; while there is none, the web address stands
// alone.
constexpr const char* kContact = "";
constexpr const char* kWebsite = "https://tarnwick.org/";
// The music and the effects are our own, synthesised by tools/gen_sounds.py with NumPy.
constexpr const char* kMusicPage = "https://tarnwick.org/";
constexpr const char* kSoundToolPage = "https://numpy.org/";

// The height of the page below the header, in units of its scale.
constexpr double kPageHeight = 490;

class AboutScreen : public Screen {
  public:
    void update(Ctx& c) override {
        drawScreenScene(c, 0, 7);
        bool back = false;
        const double headerH = screenHeader(c, i18n::tr("about.headline"), &back);
        if (back || c.in.hasKey(SDLK_ESCAPE)) {
            Game::instance().pop();
            return;
        }

        double k = 0.78;
        if (c.h < 620)
            k = 0.62;
        else if (c.w >= c.s(1100) && c.h >= c.s(640))
            k = 1.0;
        // A smaller window shrinks the page only as far as it must: where there is room
        // below the header, the page grows back towards its size in a 1280 x 720 window.
        const double room = (c.h - headerH - c.s(12)) / kPageHeight;
        const double ku = std::max(k * c.ui, std::min(room, 1.0));
        ku_ = ku;
        fitWidth_ = c.w - c.s(48);
        const double cx = c.w / 2;
        cairo_t* cr = c.cr;

        double y = headerH + 34 * ku;
        drawTextCentered(cr, cx, y, version::kDisplayName, style(44 * ku, true, kAccentPink));
        char line[64];
        std::snprintf(line, sizeof line, "v%s Build %d", version::kVersion, version::kBuild);
        y += 38 * ku;
        drawTextCentered(cr, cx, y, line, style(16 * ku, false, kDimLilac));
        y += 36 * ku;
        divider(c, y);
        y += 28 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("about.developedBy"),
                         style(13 * ku, false, kDimLilac));
        y += 24 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("about.developers"), style(22 * ku, false, kWhite));
        y += 26 * ku;
        drawTextCentered(cr, cx, y, kMaker, style(17 * ku, false, kWhite));
        y += 22 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("licenses.gameLicense"),
                         style(13 * ku, false, kDimLilac));

        y += 30 * ku;
        divider(c, y);
        y += 26 * ku;
        if (kContact[0] == '\0') {
            // One address alone sits in the middle of the room kept for two.
            linkLine(c, y + 12 * ku, kWebsite, 14 * ku);
        } else {
            linkLine(c, y, kContact, 14 * ku);
            linkLine(c, y + 24 * ku, kWebsite, 14 * ku);
        }
        y += 24 * ku;

        y += 28 * ku;
        divider(c, y);
        y += 28 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("about.musicSound"), style(15 * ku, true, kWhite));
        y += 24 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("about.musicCredit"),
                         style(13 * ku, false, kDimLilac));
        y += 22 * ku;
        linkLine(c, y, kMusicPage, 13 * ku);
        y += 26 * ku;
        drawTextCentered(cr, cx, y, i18n::tr("about.sfxCredit"), style(13 * ku, false, kDimLilac));
        y += 22 * ku;
        linkLine(c, y, kSoundToolPage, 13 * ku);

        y += 34 * ku;
        const double bw = 220 * ku;
        const Rect button{cx - bw / 2, y, bw, 40 * ku};
        if (plainButton(c, button, i18n::tr("about.licenses"), false)) {
            GameState next;
            next.kind = ScreenKind::Licenses;
            Game::instance().push(next);
        }
    }

  private:
    TextStyle style(double size, bool bold, std::uint32_t color) const {
        return textStyle(size, bold, color, 1.0, fitWidth_);
    }

    void divider(Ctx& c, double y) {
        const double len = std::min(c.w - c.s(80), c.s(520));
        drawLine(c.cr, c.w / 2 - len / 2, y, c.w / 2 + len / 2, y, ku_, kWhite, 0.25);
    }

    // A pink address centred at (w/2, y), underlined while hovered; its click goes nowhere
    // but is taken, so nothing under it fires.
    void linkLine(Ctx& c, double y, const char* text, double size) {
        const TextStyle s = style(size, false, kAccentPink);
        double w = 0;
        double h = 0;
        measureText(c.cr, text, s, &w, &h);
        const Rect hit{c.w / 2 - w / 2, y - h / 2, w, h};
        drawTextCentered(c.cr, c.w / 2, y, text, s);
        if (c.hover(hit))
            drawLine(c.cr, hit.x, hit.y + h, hit.x + w, hit.y + h, ku_, kAccentPink, 1);
        c.takeClick(hit);
    }

    // Per-frame layout, set at the start of each frame: the unit of every size (the scale k
    // times the interface scale) and the width every line is shrunk to fit.
    double ku_ = 1;
    double fitWidth_ = 0;
};

}  // namespace

std::unique_ptr<Screen> makeAboutScreen() {
    return std::make_unique<AboutScreen>();
}

}  // namespace ui

// The licences screen: one block per component the game is built on, scrolled under the
// header. Link lines take their click and open nothing, so that a click meant for an
// address never reaches a control under it.
#include "screens/licenses.h"

#include <SDL.h>
#include <sodium/version.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "i18n.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

// The rights holders are those of the Debian 12 packages the game is built against; the
// libsodium version is the one whose headers this build was compiled with, which is the
// one it links. The game's code, its icons and levels, and the music and sound effects made
// by tools/gen_sounds.py are the game's own work under its own licence.
constexpr const char* kOwnLicense = "GPL-3.0-or-later";
constexpr const char* kOwnHolder = "The Tarnwick developers";
constexpr const char* kHomepage = "https://tarnwick.org/";
constexpr const char* kSoundTool = "tools/gen_sounds.py";
// The title tools/gen_sounds.py gives the background track.
constexpr const char* kMusicTitle = "Tarn at Dusk";

constexpr std::array<LicenseRow, 22> kLicenses{{
    {"licenses.ownCode", "", kOwnLicense, "licenses.ownCodeBy", kHomepage, true},
    {"SDL2", "", "Zlib", "© 1997–2023 Sam Lantinga", "https://www.libsdl.org/"},
    {"SDL2_mixer", "", "Zlib", "© 1997–2022 Sam Lantinga",
     "https://github.com/libsdl-org/SDL_mixer"},
    {"cairo", "", "LGPL-2.1 / MPL-1.1",
     "© 2002 University of Southern California, © 2005 Red Hat, Inc. and others",
     "https://www.cairographics.org/"},
    {"Pixman", "", "MIT", "© 1987–2010 The Open Group, Keith Packard, Red Hat, Inc. and others",
     "https://www.pixman.org/"},
    {"Pango", "", "LGPL-2.1", "© 1999–2019 Red Hat, Inc., Behdad Esfahbod and others",
     "https://pango.gnome.org/"},
    {"GLib / GObject / GIO", "", "LGPL-2.1",
     "© 1995–2022 Peter Mattis, Spencer Kimball, Josh MacDonald, Red Hat, Inc. and others",
     "https://gitlab.gnome.org/GNOME/glib"},
    {"HarfBuzz", "", "MIT", "© 2005–2023 Behdad Esfahbod, Google, Inc., Red Hat, Inc. and others",
     "https://harfbuzz.github.io/"},
    {"FreeType", "", "FTL / GPL-2", "© 1996–2022 David Turner, Robert Wilhelm and Werner Lemberg",
     "https://freetype.org/"},
    {"fontconfig", "", "MIT", "© 2001, 2003 Keith Packard and others",
     "https://www.freedesktop.org/wiki/Software/fontconfig/"},
    {"FriBidi", "", "LGPL-2.1",
     "© 1999–2017 Dov Grobgeld, Behdad Esfahbod, Sharif FarsiWeb, Inc. and others",
     "https://github.com/fribidi/fribidi"},
    {"libpng / zlib", "", "libpng / Zlib",
     "© 1995–2022 The PNG Reference Library Authors; Jean-loup Gailly and Mark Adler",
     "http://www.libpng.org/  ·  https://zlib.net/"},
    {"libogg / libvorbis", "", "BSD-3-Clause", "© 1994–2020 Xiph.Org Foundation",
     "https://xiph.org/"},
    {"Opus / opusfile / FLAC", "", "BSD-3-Clause",
     "© 1994–2022 Xiph.Org Foundation, CSIRO, Josh Coalson and others",
     "https://opus-codec.org/  ·  https://xiph.org/flac/"},
    {"mpg123 / LAME", "", "LGPL-2.1 / LGPL-2.0",
     "© 1995–2021 the mpg123 project; © 1998–2017 Mark Taylor, Takehiro Tominaga and others",
     "https://www.mpg123.de/  ·  https://lame.sourceforge.io/"},
    {"libsndfile / libsamplerate", "", "LGPL-2.1 / BSD-2-Clause",
     "© 1999–2022 Erik de Castro Lopo and others",
     "https://libsndfile.github.io/libsndfile/  ·  https://libsndfile.github.io/libsamplerate/"},
    {"FluidSynth / libmodplug", "", "LGPL-2.1 / Public Domain",
     "© 2000–2021 Peter Hanappe and others; Olivier Lapicque, Kenton Varda",
     "https://www.fluidsynth.org/  ·  https://modplug-xmms.sourceforge.net/"},
    {"libsodium", SODIUM_VERSION_STRING, "ISC", "© 2013–2017 Frank Denis",
     "https://libsodium.org/"},
    {"DejaVu Sans", "", "Bitstream Vera",
     "© 2003 Bitstream, Inc.; DejaVu changes are in the public domain",
     "https://dejavu-fonts.github.io/"},
    {"Quendra CJK (aus Noto Sans CJK)", "", "SIL OFL 1.1",
     "© 2014–2021 Adobe; Noto is a trademark of Google Inc.",
     "https://github.com/notofonts/noto-cjk"},
    {"licenses.ownMusic", "", kOwnLicense, "licenses.ownMadeWith", kHomepage, true},
    {"licenses.ownSounds", "", kOwnLicense, "licenses.ownMadeWith", kHomepage, true},
}};

std::string ownText(const char* key) {
    return i18n::tr(key, {{"holder", kOwnHolder}, {"title", kMusicTitle}, {"tool", kSoundTool}});
}

class LicensesScreen : public Screen {
  public:
    void update(Ctx& c) override {
        drawScreenScene(c, 4, 13);
        bool back = false;
        const double headerH = screenHeader(c, i18n::tr("licenses.headline"), &back);
        if (back || c.in.hasKey(SDLK_ESCAPE)) {
            Game::instance().pop();
            return;
        }

        // The page's unit: the interface scale, but never so small that the 11-unit links
        // fall below the smallest readable size (the page scrolls, so it may grow).
        const double lu = std::max(c.ui, kMinTextSize / 11);
        const auto ls = [lu](double v) { return v * lu; };
        const double pitch = ls(92);
        const Rect view{0, headerH, c.w, c.h - headerH};
        const double contentH = kLicenses.size() * pitch + ls(50) + ls(20);
        applyScroll(c, view, contentH, &scroll_);

        cairo_t* cr = c.cr;
        cairo_save(cr);
        cairo_rectangle(cr, view.x, view.y, view.w, view.h);
        cairo_clip(cr);

        TextStyle intro = textStyle(ls(13), false, kDimLilac);
        intro.maxWidth = c.w - ls(48);
        drawTextCentered(cr, c.w / 2, headerH + ls(22) - scroll_, i18n::tr("licenses.intro"),
                         intro);

        // A link hidden under the header must not take a click meant for the header.
        const bool pointerInside = c.hover(view);
        const double cx = c.w / 2;
        for (size_t i = 0; i < kLicenses.size(); ++i) {
            const LicenseRow& row = kLicenses[i];
            const double top = headerH + ls(50) + i * pitch - scroll_;
            if (top + pitch < view.y || top > view.y + view.h) continue;
            TextStyle name = textStyle(ls(16), true, kWhite);
            name.maxWidth = c.w - ls(48);
            drawTextCentered(cr, cx, top + ls(14), licenseName(row), name);
            TextStyle line = textStyle(ls(12), false, kAccentPink);
            line.maxWidth = c.w - ls(48);
            drawTextCentered(cr, cx, top + ls(36), licenseLine(row), line);
            TextStyle holder = textStyle(ls(12), false, kDimLilac);
            holder.maxWidth = c.w - ls(48);
            drawTextCentered(cr, cx, top + ls(55), licenseHolder(row), holder);
            if (row.homepage[0] != '\0') {
                TextStyle link = textStyle(ls(11), false, kAccentPink);
                link.maxWidth = c.w - ls(48);
                double lw = 0;
                double lh = 0;
                measureText(cr, row.homepage, link, &lw, &lh);
                const Rect hit{cx - lw / 2, top + ls(66), lw, lh};
                drawTextCentered(cr, cx, top + ls(72), row.homepage, link);
                if (pointerInside && c.hover(hit))
                    drawLine(cr, hit.x, hit.y + lh, hit.x + lw, hit.y + lh, ls(1), kAccentPink, 1);
                if (pointerInside) c.takeClick(hit);
            }
            if (i + 1 < kLicenses.size()) {
                const double sepY = top + pitch - ls(6);
                drawLine(cr, cx - ls(120), sepY, cx + ls(120), sepY, ls(1), kWhite, 0.22);
            }
        }
        cairo_restore(cr);
        scrollbar(c, view, contentH, scroll_);
    }

  private:
    double scroll_ = 0;
};

}  // namespace

std::span<const LicenseRow> licenseRows() {
    return kLicenses;
}

std::string licenseName(const LicenseRow& row) {
    return row.own ? ownText(row.name) : row.name;
}

std::string licenseHolder(const LicenseRow& row) {
    return row.own ? ownText(row.copyright) : row.copyright;
}

std::string licenseLine(const LicenseRow& row) {
    if (row.version[0] == '\0') return row.license;
    return std::string("v") + row.version + "  ·  " + row.license;
}

std::unique_ptr<Screen> makeLicensesScreen() {
    return std::make_unique<LicensesScreen>();
}

}  // namespace ui

// The level select: five pages of twenty tiles. A playable level shows its starting board
// and its best stars and starts afresh on a click; a locked one shows a padlock and takes
// no click. The page bar, the wheel, the page keys and arrow keys that run off the grid's
// edge turn pages; Back and Escape return.
#include "screens/level_select.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "screens/menu.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/levelthumb.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr std::uint32_t kSolvedGreen = 0x4dd97a;
constexpr int kLevelCount = kLevelPages * kTilesPerPage;

class LevelSelectScreen : public Screen {
  public:
    LevelSelectScreen() : page_(levelSelectOpeningPage(store::unlockedLevel())) {}

    void update(Ctx& c) override {
        drawScreenScene(c, std::min(2 * page_, 9), static_cast<std::uint32_t>(page_ + 31));
        question_.hold(c);
        bool back = false;
        const double headerBottom = screenHeader(c, i18n::tr("menu.levelSelect"), &back);
        if (back || c.in.hasKey(SDLK_ESCAPE)) {
            Game::instance().pop();
            return;
        }

        const int unlocked = store::unlockedLevel();
        const auto& bests = store::levelBests();
        const LevelGrid grid = levelGrid(c.w, c.h, c.ui, headerBottom);
        for (int i = 0; i < kTilesPerPage; ++i) {
            const int level = page_ * kTilesPerPage + i;
            if (level >= kLevelCount) break;
            const auto best = bests.find(level);
            const bool solved = best != bests.end();
            const int stars = solved ? best->second.stars : 0;
            if (level == std::min(unlocked, kLevelCount) - 1) c.mainControl();
            if (drawTile(c, grid.tile(i), level, level >= unlocked, solved, stars,
                         TileSlot{i, grid.columns})) {
                GameState play;
                play.kind = ScreenKind::Playing;
                play.level = level;
                play.seed = static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
                // A level chosen here starts afresh and takes the place of any
                // interrupted game, once the player agrees.
                if (question_.request(play)) return;
            }
        }
        pageBar(c);

        // Arrows reach here only when focus has nowhere to go that way: at the grid's edge
        // they turn the page.
        if (c.in.wheel < 0 || c.in.hasKey(SDLK_RIGHT) || c.in.hasKey(SDLK_PAGEDOWN)) turn(+1);
        if (c.in.wheel > 0 || c.in.hasKey(SDLK_LEFT) || c.in.hasKey(SDLK_PAGEUP)) turn(-1);
        question_.ask(c);
    }

  private:
    void turn(int delta) { page_ = std::clamp(page_ + delta, 0, kLevelPages - 1); }

    // Where a tile's picture sits on the page's sheet: its place on the page, and the
    // page's tiles to a row.
    struct TileSlot {
        int index;
        int across;
    };

    // Paints one tile; true when a playable one was clicked.
    static bool drawTile(Ctx& c, const Rect& r, int level, bool locked, bool solved, int stars,
                         TileSlot slot) {
        const bool hot = !locked && c.hover(r);
        copyTile(c, r, level, locked, solved, stars, hot, slot);
        if (locked) return false;
        if (!c.takeControl(r)) return false;
        audio::play(audio::Sfx::Click);  // a tile answers like every other control
        return true;
    }

    struct TilePaint {
        Ctx* c;
        Rect r;
        int level;
        bool locked, solved, hot;
        int stars;
    };

    static void paintTileImage(cairo_t* cr, void* user) {
        TilePaint& t = *static_cast<TilePaint*>(user);
        cairo_t* frameCr = t.c->cr;
        t.c->cr = cr;
        paintTile(*t.c, t.r, t.level, t.locked, t.solved, t.stars, t.hot);
        t.c->cr = frameCr;
    }

    // A tile's picture changes only with the level's state, the pointer over it, the
    // language and the size: it is painted once into a cached texture and copied from
    // there, above the scene and beneath the canvas.
    static void copyTile(Ctx& c, const Rect& r, int level, bool locked, bool solved, int stars,
                         bool hot, TileSlot slot) {
        const double scale = gpuScale();
        const double pad = c.s(3);
        char key[96];
        std::snprintf(key, sizeof key, "tile|%d|%d%d%d%d%d|%.2f|%.2f|%.3f|", level, locked, solved,
                      stars, hot, store::settings().marbleSymbols ? 1 : 0, r.w, r.h, c.ui);
        const int wPx = static_cast<int>(std::ceil((r.w + 2 * pad) * scale));
        const int hPx = static_cast<int>(std::ceil((r.h + 2 * pad) * scale));
        TilePaint paint{&c, Rect{pad, pad, r.w, r.h}, level, locked, solved, hot, stars};
        // The label's wording is part of the picture: the key carries it.
        const std::string label = i18n::tr("levels.tileLevel", {{"n", "#"}});
        // Placed on whole pixels, so the copy is as sharp as the painting.
        const double x = std::round((r.x - pad) * scale) / scale;
        const double y = std::round((r.y - pad) * scale) / scale;
        // Renderers that draw later than asked take the page's tiles from one sheet, in
        // one run of copies; the software renderer copies each tile's own texture into
        // the window directly.
        SDL_Rect part{};
        if (!gpuSoftware()) {
            if (SDL_Texture* sheet = gpuSheetPicture(
                    "tiles", kTilesPerPage, slot.across, slot.index,
                    std::string(key).append(label), wPx, hPx, paintTileImage, &paint, &part)) {
                gpuBlitTintedPart(sheet, part, x, y, wPx / scale, hPx / scale, 0xFFFFFF, 1);
                return;
            }
        }
        SDL_Texture* tex = gpuTexture(std::string(key).append(label), wPx, hPx, paintTileImage,
                                      &paint);
        if (tex == nullptr) {
            paintTile(c, r, level, locked, solved, stars, hot);
            return;
        }
        gpuBlit(tex, x, y, wPx / scale, hPx / scale, 1);
    }

    static void paintTile(Ctx& c, const Rect& r, int level, bool locked, bool solved, int stars,
                          bool hot) {
        const double corner = c.s(14);
        fillRoundedRect(c.cr, r, corner, kPanelViolet, locked ? 0.7 : hot ? 0.95 : 0.88);
        if (locked)
            strokeRoundedRect(c.cr, r, corner, c.s(1.2), solved ? kSolvedGreen : kWhite, 0.25);
        else
            strokeRoundedRect(c.cr, r, corner, hot ? c.s(2.0) : c.s(1.2),
                              solved ? kSolvedGreen : kAccentPink, solved ? 0.8 : 0.7);

        const Rect picture{r.x + c.s(10), r.y + c.s(10), r.w - c.s(20), 0.56 * r.h};
        if (picture.w > 0 && picture.h > 0) {
            if (locked)
                drawLockIcon(c.cr, picture.x + picture.w / 2, picture.y + picture.h / 2,
                             std::min(picture.w, picture.h) / 2, kWhite, 1.0);
            else
                drawLevelThumb(c.cr, picture, level);
        }

        TextStyle label;
        label.family = kWidgetFont;
        label.size = c.s(15);
        label.bold = true;
        label.color = locked ? kDimLilac : kWhite;
        label.maxWidth = std::max(r.w - c.s(16), 1.0);
        label.minScale = 0.6;
        char n[16];
        std::snprintf(n, sizeof n, "%d", level + 1);
        drawTextCentered(c.cr, r.x + r.w / 2, r.y + r.h - c.s(34),
                         i18n::tr("levels.tileLevel", {{"n", n}}), label);
        if (!locked) starRating(c.cr, r.x + r.w / 2, r.y + r.h - c.s(14), c.s(13), stars, 3, 1.0);
    }

    void pageBar(Ctx& c) {
        const double barY = c.h - c.s(56) + c.s(8);
        const Rect prev{c.w / 2 - c.s(130), barY, c.s(44), c.s(40)};
        const Rect next{c.w / 2 + c.s(86), barY, c.s(44), c.s(40)};
        if (letterButton(c, prev, "‹", page_ == 0)) turn(-1);
        if (letterButton(c, next, "›", page_ == kLevelPages - 1)) turn(+1);
        TextStyle range;
        range.size = c.s(16);
        char text[32];
        std::snprintf(text, sizeof text, "%d – %d", page_ * kTilesPerPage + 1,
                      page_ * kTilesPerPage + kTilesPerPage);
        drawTextCentered(c.cr, c.w / 2, barY + c.s(14), text, range);
    }

    int page_ = 0;
    NewGameQuestion question_;
};

}  // namespace

int levelSelectOpeningPage(int unlocked) {
    return unlocked > kTilesPerPage ? std::min((unlocked - 1) / kTilesPerPage, kLevelPages - 1) : 0;
}

Rect LevelGrid::tile(int i) const {
    return {margin + (i % columns) * (tileW + gap), top + (i / columns) * (tileH + gap), tileW,
            tileH};
}

LevelGrid levelGrid(double w, double h, double u, double headerBottom) {
    LevelGrid g;
    g.margin = 16 * u;
    g.gap = 12 * u;
    const double aw = w - 2 * g.margin;
    const double ah = h - headerBottom - 56 * u - 12;
    g.columns = std::clamp(static_cast<int>(std::floor(aw / (190 * u))), 2, 5);
    g.rows = g.columns == 2 ? 10 : g.columns == 5 ? 4 : (kTilesPerPage + g.columns - 1) / g.columns;
    g.tileW = std::max((aw - (g.columns - 1) * g.gap) / g.columns, 0.0);
    g.tileH = std::max(std::min((ah - (g.rows - 1) * g.gap) / g.rows, 1.15 * g.tileW), 0.0);
    g.top = headerBottom + 4 + std::max(0.0, (ah - (g.rows * g.tileH + (g.rows - 1) * g.gap)) / 2);
    return g;
}

std::unique_ptr<Screen> makeLevelSelectScreen() {
    return std::make_unique<LevelSelectScreen>();
}

}  // namespace ui

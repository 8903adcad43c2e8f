// The arcade high-score table: always ten rows, the medal ranks picked out, empty places
// shown as dashes. The screen only reads the store.
#include <SDL.h>

#include <algorithm>
#include <string>

#include "core/storage.h"
#include "i18n.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr int kRows = store::kMaxArcadeEntries;
constexpr std::uint32_t kGold = 0xffd700;
constexpr std::uint32_t kSilver = 0xc8d2de;
constexpr std::uint32_t kBronze = 0xd08a4a;

std::uint32_t rankColor(int rank) {
    switch (rank) {
        case 1:
            return kGold;
        case 2:
            return kSilver;
        case 3:
            return kBronze;
        default:
            return kDimLilac;
    }
}

// Left-aligned text in a column of width maxW, centred on the line y. Every column's text
// shares the row's middle whatever its size, and shrinks rather than leave the table.
void columnText(cairo_t* cr, double x, double y, double maxW, const std::string& text,
                TextStyle style) {
    style.maxWidth = maxW;
    double tw = 0;
    double th = 0;
    measureText(cr, text, style, &tw, &th);
    drawText(cr, x, y - th / 2, text, style);
}

class HighScoresScreen : public Screen {
  public:
    void update(Ctx& c) override;
};

void HighScoresScreen::update(Ctx& c) {
    drawScreenScene(c, 4, 11);
    bool back = false;
    const double headerH = screenHeader(c, i18n::tr("highscores.headline"), &back);
    if (back || c.in.hasKey(SDLK_ESCAPE)) {
        Game::instance().pop();
        return;
    }

    cairo_t* cr = c.cr;
    const std::vector<store::ArcadeHigh>& table = store::arcadeHighs();
    const double tw = std::min(c.w - c.s(48), c.s(560));
    const double x0 = (c.w - tw) / 2;
    const double rh = c.compact() ? c.s(38) : c.s(44);
    const double xRank = x0 + c.s(40);
    const double xScore = x0 + c.s(90);
    const double xMarbles = x0 + tw - c.s(190);
    // A date is wider than its 96 units at full size in most faces: the column moves left
    // as far as it must to keep the date inside the row rather than shrinking it.
    const double small = std::max(c.s(12), kMinTextSize);
    const TextStyle dateStyle = textStyle(small, false, kDimLilac);
    double dateW = 0;
    double dateH = 0;
    measureText(cr, "00.00.0000 00:00", dateStyle, &dateW, &dateH);
    const double xDate = std::min(x0 + tw - c.s(96), x0 + tw - c.s(10) - dateW);
    const double gap = c.s(8);
    const double wScore = xMarbles - xScore - gap;
    const double wMarbles = xDate - xMarbles - gap;
    const double wDate = x0 + tw - xDate - gap;

    const double headTop = headerH + c.s(16);
    const double headMid = headTop + 0.4 * rh;
    TextStyle head = textStyle(small, false, kDimLilac);
    head.maxWidth = c.s(76);
    drawTextCentered(cr, xRank, headMid, i18n::tr("highscores.rank"), head);
    columnText(cr, xScore, headMid, wScore, i18n::tr("tarnwick.score"), head);
    columnText(cr, xMarbles, headMid, wMarbles, i18n::tr("tarnwick.marbles"), head);
    columnText(cr, xDate, headMid, wDate, i18n::tr("highscores.date"), head);

    double rowBottom = headTop;
    for (int i = 0; i < kRows; ++i) {
        const int rank = i + 1;
        const bool filled = i < static_cast<int>(table.size());
        const Rect row{x0, headTop + 0.8 * rh + i * rh, tw, rh - c.s(4)};
        const double mid = row.y + row.h / 2;
        rowBottom = row.y + row.h;
        const std::uint32_t color = rankColor(rank);
        fillRoundedRect(cr, row, c.s(10), kPanelViolet, filled ? 0.6 : 0.3);
        if (filled && rank <= 3) strokeRoundedRect(cr, row, c.s(10), c.s(1.4), color, 0.8);
        drawTextCentered(cr, xRank, mid, std::to_string(rank) + ".",
                         textStyle(c.s(16), rank <= 3, color));
        if (!filled) {
            columnText(cr, xScore, mid, wScore, "— — —", textStyle(c.s(15), false, kDimLilac));
            continue;
        }
        const store::ArcadeHigh& e = table[static_cast<size_t>(i)];
        columnText(cr, xScore, mid, wScore, std::to_string(e.score),
                   textStyle(c.s(18), true, kWhite));
        columnText(cr, xMarbles, mid, wMarbles, std::to_string(e.marbles),
                   textStyle(c.s(14), false, kDimLilac));
        columnText(cr, xDate, mid, wDate, formatDateTime(e.achievedAt), dateStyle);
    }

    if (table.empty()) {
        TextStyle note = textStyle(c.s(14), false, kDimLilac);
        note.maxWidth = tw - c.s(20);
        drawTextCentered(cr, c.w / 2, rowBottom + c.s(28), i18n::tr("highscores.empty"), note);
    }
}

}  // namespace

std::unique_ptr<Screen> makeHighScoresScreen() {
    return std::make_unique<HighScoresScreen>();
}

}  // namespace ui

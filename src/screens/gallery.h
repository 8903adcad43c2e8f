// The gallery of the campaign: every level as a tile, page by page, solved ones with their
// miniature and best solve. The screen is built by makeGalleryScreen (ui/app.h); this header
// holds the parts of it that follow from numbers alone: the grid a window gets, the levels
// a page shows and the solves the tiles are drawn from.
#pragma once

#include <map>
#include <vector>

#include "core/storage.h"
#include "ui/app.h"

namespace ui {

inline constexpr int kGalleryLevels = 100;

// The tile grid of a window. Lengths are logical units.
struct GalleryGrid {
    double gap = 0;  // between tiles, and the least margin around them
    double tileW = 0;
    double tileH = 0;
    double space = 0;  // the height the rows are counted in
    int cols = 1;
    int rows = 1;
    int perPage = 1;  // cols x rows
    int pages = 1;    // enough pages for all 100 levels
};

// The grid for a w x h window at layout scale u: as many 240-unit columns and at least
// 150-unit rows as fit, never fewer than one of each.
GalleryGrid galleryGrid(double w, double h, double u);

// One page: its number and the levels it covers, first to last inclusive (0-based).
struct GalleryPage {
    int page = 0;
    int first = 0;
    int last = 0;
};

// The page that shows level anchor (0..100; 100, one past the last level, falls on the last
// page) in grid g.
GalleryPage galleryPageOf(const GalleryGrid& g, int anchor);

// Where tile k of a page with count tiles lies, for a header headerH tall: the tiles used
// are centred across the window and placed in the middle of the space above the pager.
Rect galleryTileRect(const GalleryGrid& g, double w, double h, double u, double headerH, int k,
                     int count);

// The solve shown for each level 0..99: a later list entry for a level replaces an earlier
// one, entries for other level numbers are ignored, and with madeUp above 0 the first
// min(madeUp, 100) levels get invented solves instead (for trying the screen out).
std::map<int, store::SolveEntry> gallerySolves(const std::vector<store::SolveEntry>& list,
                                               int madeUp);

// The number of invented solves a PLUMBRIX_SOLVES value asks for: a decimal integer,
// surrounding blanks allowed, at most 100; 0 for anything else (missing, negative, not a
// number).
int parseMadeUpSolves(const char* text);

}  // namespace ui

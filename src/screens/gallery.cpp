// The gallery: a page of level tiles between the header and the pager.
//
// The screen remembers a level (the anchor), not a page number: the page is worked out from
// the anchor every frame, so a resize that changes how many tiles fit keeps that level in
// view. The gallery only reads the store.
#include "screens/gallery.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "i18n.h"
#include "theme.h"
#include "ui/draw.h"
#include "ui/levelthumb.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr std::uint32_t kSolvedGreen = 0x4dd97a;
constexpr double kPagerH = 56;  // the strip at the bottom, in layout units

struct State {
    bool madeUpRead = false;
    int madeUp = 0;
};

State& st() {
    static State s;
    return s;
}

// PLUMBRIX_SOLVES, read on the first gallery frame of the run and kept.
int madeUpSolves() {
    State& s = st();
    if (!s.madeUpRead) {
        s.madeUpRead = true;
        s.madeUp = parseMadeUpSolves(std::getenv("PLUMBRIX_SOLVES"));
    }
    return s.madeUp;
}

TextStyle lightText(double size) {
    TextStyle t;
    t.family = kWidgetFont;
    t.size = size;
    t.color = kDimLilac;
    return t;
}

// A text of several lines, each line centred on cx and the block on cy. All lines share one
// size, shrunk so that the longest fits style.maxWidth.
void drawCenteredLines(cairo_t* cr, double cx, double cy, const std::string& text,
                       TextStyle style) {
    std::vector<std::string> lines;
    for (std::size_t from = 0;;) {
        const std::size_t nl = text.find('\n', from);
        lines.push_back(text.substr(from, nl == std::string::npos ? nl : nl - from));
        if (nl == std::string::npos) break;
        from = nl + 1;
    }
    double scale = 1;
    for (const std::string& line : lines) scale = std::min(scale, fitScale(cr, line, style));
    style.size *= scale;
    style.maxWidth = 0;
    const double pitch = style.size * 1.25;
    double y = cy - pitch * static_cast<double>(lines.size() - 1) / 2;
    for (const std::string& line : lines) {
        drawTextCentered(cr, cx, y, line, style);
        y += pitch;
    }
}

// The miniatures of one page, each painted once at its pixel size: painting one costs a few
// milliseconds, and a page may hold dozens of them.
class ThumbCache {
  public:
    ThumbCache() = default;
    ThumbCache(const ThumbCache&) = delete;
    ThumbCache& operator=(const ThumbCache&) = delete;
    ~ThumbCache() { clear(); }

    // Paints level's miniature into r, from the cache when one of the right size is there.
    void draw(cairo_t* cr, const Rect& r, int level);
    // Lets every miniature go.
    void clear();

  private:
    struct Entry {
        int wPx = 0;
        int hPx = 0;
        cairo_surface_t* surface = nullptr;
    };
    std::map<int, Entry> entries_;
};

void ThumbCache::clear() {
    for (auto& [level, e] : entries_) cairo_surface_destroy(e.surface);
    entries_.clear();
}

void ThumbCache::draw(cairo_t* cr, const Rect& r, int level) {
    // The canvas may be scaled to a high-density screen: paint in its device pixels.
    double kx = 1;
    double ky = 1;
    cairo_user_to_device_distance(cr, &kx, &ky);
    if (!(kx > 0) || !(ky > 0)) return;
    const int wPx = static_cast<int>(std::ceil(r.w * kx));
    const int hPx = static_cast<int>(std::ceil(r.h * ky));
    if (wPx < 1 || hPx < 1) return;
    Entry& e = entries_[level];
    if (e.surface == nullptr || e.wPx != wPx || e.hPx != hPx) {
        if (e.surface != nullptr) cairo_surface_destroy(e.surface);
        e = {wPx, hPx, cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wPx, hPx)};
        cairo_surface_set_device_scale(e.surface, kx, ky);
        cairo_t* paint = cairo_create(e.surface);
        drawLevelThumb(paint, {0, 0, r.w, r.h}, level);
        cairo_destroy(paint);
    }
    if (cairo_surface_status(e.surface) != CAIRO_STATUS_SUCCESS) return;
    // Placed on whole device pixels, so the copy is as sharp as the painting.
    double x = r.x;
    double y = r.y;
    cairo_user_to_device(cr, &x, &y);
    x = std::round(x);
    y = std::round(y);
    cairo_device_to_user(cr, &x, &y);
    cairo_save(cr);
    cairo_set_source_surface(cr, e.surface, x, y);
    cairo_paint(cr);
    cairo_restore(cr);
}

// One tile; e is the level's solve, null when it is not solved. Tiles do not react to
// the pointer.
void drawTile(Ctx& c, ThumbCache& thumbs, const Rect& r, int level, const store::SolveEntry* e) {
    cairo_t* cr = c.cr;
    const bool solved = e != nullptr;
    const double cx = r.x + r.w / 2;
    fillRoundedRect(cr, r, c.s(14), kPanelViolet, solved ? 0.72 : 0.42);
    strokeRoundedRect(cr, r, c.s(14), c.s(1.2), solved ? kSolvedGreen : kWhite, solved ? 0.6 : 0.2);

    // The lines under the picture grow where the interface scale would make their small
    // print unreadable; the picture gives up the room.
    const double tu = std::max(c.ui, kMinTextSize / 11);
    const Rect pic{r.x + c.s(9), r.y + c.s(9), r.w - c.s(18),
                   std::max(r.h - 76 * tu - c.s(18), c.s(30))};
    if (solved) {
        thumbs.draw(cr, pic, level);
    } else {
        TextStyle q = lightText(std::min(c.s(40), 0.55 * pic.h));
        q.bold = true;
        q.alpha = 0.5;
        drawTextCentered(cr, pic.x + pic.w / 2, pic.y + pic.h / 2, "?", q);
    }

    // Long translations shrink rather than spill over the tile's edge.
    const double textW = r.w - c.s(12);
    double y = pic.y + pic.h + 13 * tu;
    TextStyle title = lightText(15 * tu);
    title.bold = true;
    title.color = solved ? kWhite : kDimLilac;
    title.maxWidth = textW;
    drawTextCentered(cr, cx, y, i18n::tr("gallery.levelLine", {{"n", std::to_string(level + 1)}}),
                     title);
    y += 15 * tu;
    TextStyle world = lightText(11 * tu);
    world.maxWidth = textW;
    drawTextCentered(cr, cx, y, i18n::tr(theme::worldForLevel(level).nameKey), world);
    if (!solved) return;

    y += 16 * tu;
    starRating(cr, cx, y, 12 * tu, std::clamp(e->stars, 0, 3), 3, 1.0);
    y += 17 * tu;
    TextStyle line = lightText(11.5 * tu);
    line.maxWidth = textW;
    const std::string score =
        i18n::tr("gallery.resultLine",
                 {{"score", std::to_string(e->score)}, {"shots", std::to_string(e->marbles)}});
    drawTextCentered(cr, cx, y, score, line);
    y += 14 * tu;
    drawTextCentered(cr, cx, y, i18n::tr("gallery.timeLine", {{"time", formatTime(e->elapsedMs)}}),
                     line);
}

class GalleryScreen : public Screen {
  public:
    void update(Ctx& c) override;

  private:
    // Moves one page back (dir < 0) or forward, never past either end.
    void turnPage(int dir, const GalleryGrid& g);

    bool started_ = false;
    int page_ = 0;
    int anchor_ = 0;
    ThumbCache thumbs_;
    int thumbsFirst_ = -1;  // first level of the page the cached miniatures belong to
};

void GalleryScreen::turnPage(int dir, const GalleryGrid& g) {
    const int next = std::clamp(page_ + (dir < 0 ? -1 : 1), 0, g.pages - 1);
    if (next == page_) return;
    page_ = next;
    anchor_ = next * g.perPage;
}

void GalleryScreen::update(Ctx& c) {
    const GalleryGrid g = galleryGrid(c.w, c.h, c.ui);
    if (!started_) {
        // Open where the player is: on the page of the newest playable level.
        started_ = true;
        anchor_ = std::max(0, store::unlockedLevel() - 1);
    }
    const GalleryPage pg = galleryPageOf(g, anchor_);
    page_ = pg.page;
    // Later pages take the landscapes of the levels they show.
    const int firstShown = page_ * g.perPage;
    if (page_ > 0)
        drawScreenScene(c, firstShown >= 90 ? 9 : firstShown / 10,
                        static_cast<std::uint32_t>(page_ + 23));
    else
        drawScreenScene(c, 0, 23);

    bool back = false;
    const double headerH = screenHeader(c, i18n::tr("gallery.headline"), &back);
    if (back || c.in.hasKey(SDLK_ESCAPE)) {
        Game::instance().pop();
        return;
    }

    const std::map<int, store::SolveEntry> solved = gallerySolves(store::solves(), madeUpSolves());
    TextStyle note = lightText(c.s(15));
    if (solved.empty()) {
        note.maxWidth = std::min(c.w - c.s(64), c.s(420));
        drawCenteredLines(c.cr, c.w / 2, c.h / 2, i18n::tr("gallery.empty"), note);
        return;
    }

    if (pg.first != thumbsFirst_) {
        thumbs_.clear();
        thumbsFirst_ = pg.first;
    }
    const int count = pg.last - pg.first + 1;
    bool anySolved = false;
    for (int k = 0; k < count; ++k) {
        const int level = pg.first + k;
        const auto it = solved.find(level);
        anySolved = anySolved || it != solved.end();
        drawTile(c, thumbs_, galleryTileRect(g, c.w, c.h, c.ui, headerH, k, count), level,
                 it != solved.end() ? &it->second : nullptr);
    }
    if (!anySolved) {
        // The note lies over the tiles, so it gets a backing of its own to stay readable.
        note.maxWidth = std::min(c.w - c.s(64), c.s(420));
        const std::string text = i18n::tr("gallery.emptyPage");
        const double cy = headerH + (c.h - headerH - c.s(kPagerH)) / 2;
        double tw = 0;
        double th = 0;
        measureText(c.cr, text, note, &tw, &th);
        const Rect backing{c.w / 2 - tw / 2 - c.s(18), cy - th / 2 - c.s(9), tw + c.s(36),
                           th + c.s(18)};
        fillRoundedRect(c.cr, backing, backing.h / 2, kPanelViolet, 0.88);
        drawTextCentered(c.cr, c.w / 2, cy, text, note);
    }

    const double yb = c.h - c.s(kPagerH) + c.s(8);
    const bool first = page_ == 0;
    const bool last = page_ == g.pages - 1;
    const bool prev = letterButton(c, {c.w / 2 - c.s(130), yb, c.s(44), c.s(40)}, "‹", first);
    c.mainControl();
    const bool next = letterButton(c, {c.w / 2 + c.s(86), yb, c.s(44), c.s(40)}, "›", last);
    TextStyle range;
    range.family = kWidgetFont;
    range.size = c.s(16);
    range.bold = true;
    char label[32];
    std::snprintf(label, sizeof label, "%d – %d", pg.first + 1, pg.last + 1);
    drawTextCentered(c.cr, c.w / 2, yb + c.s(14), label, range);

    // Buttons, page keys, arrow keys focus leaves unused and the wheel all turn the page the
    // same way; the wheel turned away from the player goes back, like scrolling a list up.
    const Input& in = c.in;
    const bool goBack = prev || in.hasKey(SDLK_LEFT) || in.hasKey(SDLK_PAGEUP) || in.wheel > 0;
    const bool goOn = next || in.hasKey(SDLK_RIGHT) || in.hasKey(SDLK_PAGEDOWN) || in.wheel < 0;
    if (goBack != goOn) turnPage(goBack ? -1 : 1, g);
}

}  // namespace

GalleryGrid galleryGrid(double w, double h, double u) {
    GalleryGrid g;
    g.gap = 14 * u;
    g.tileW = std::min(w - 2 * g.gap, 240 * u);
    g.cols = std::max(1, static_cast<int>(std::floor((w - g.gap) / (g.tileW + g.gap))));
    g.space = h - 52 * u - kPagerH * u - g.gap;
    g.rows = std::max(1, static_cast<int>(std::floor(g.space / (g.gap + 150 * u))));
    g.tileH = std::max(150 * u, std::min(g.space / g.rows - g.gap, 200 * u));
    g.perPage = g.cols * g.rows;
    g.pages = (kGalleryLevels + g.perPage - 1) / g.perPage;
    return g;
}

GalleryPage galleryPageOf(const GalleryGrid& g, int anchor) {
    GalleryPage p;
    p.page = std::clamp(std::max(anchor, 0) / g.perPage, 0, g.pages - 1);
    p.first = p.page * g.perPage;
    p.last = std::min(p.first + g.perPage, kGalleryLevels) - 1;
    return p;
}

Rect galleryTileRect(const GalleryGrid& g, double w, double h, double u, double headerH, int k,
                     int count) {
    const int usedRows = (count + g.cols - 1) / g.cols;
    const double left = (w - (g.cols * g.tileW + (g.cols - 1) * g.gap)) / 2;
    const double avail = h - headerH - kPagerH * u;
    const double top =
        headerH + std::max((avail - usedRows * (g.tileH + g.gap) + g.gap) / 2, g.gap);
    return {left + (k % g.cols) * (g.tileW + g.gap), top + (k / g.cols) * (g.tileH + g.gap),
            g.tileW, g.tileH};
}

std::map<int, store::SolveEntry> gallerySolves(const std::vector<store::SolveEntry>& list,
                                               int madeUp) {
    std::map<int, store::SolveEntry> byLevel;
    // The save file is read without range checks, so a foreign level number must not turn
    // into a tile or hide the "nothing solved yet" text.
    for (const store::SolveEntry& e : list)
        if (e.level >= 0 && e.level < kGalleryLevels) byLevel[e.level] = e;
    for (int i = 0; i < std::min(madeUp, kGalleryLevels); ++i) {
        store::SolveEntry e;
        e.level = i;
        e.marbles = 12 + i % 9;
        e.score = 900 + 37 * i;
        e.elapsedMs = 45000 + 1700 * static_cast<std::int64_t>(i);
        e.solvedAt = 0;
        e.stars = 1 + i % 3;
        byLevel[i] = e;
    }
    return byLevel;
}

int parseMadeUpSolves(const char* text) {
    if (text == nullptr) return 0;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text) return 0;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return 0;
    // An overflow saturates: a huge count still means every level.
    if (errno == ERANGE) return v > 0 ? kGalleryLevels : 0;
    return static_cast<int>(std::clamp(v, 0L, static_cast<long>(kGalleryLevels)));
}

std::unique_ptr<Screen> makeGalleryScreen() {
    return std::make_unique<GalleryScreen>();
}

}  // namespace ui

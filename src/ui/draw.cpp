#include "ui/draw.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <unordered_map>

#include "i18n.h"
#include "platform/paths.h"
#include "ui/gpu.h"

namespace ui {
namespace {

// Laid-out texts kept between frames: a screen draws mostly the same texts every frame, and
// shaping them again is most of what a text costs. Each language and drawing transform has
// its own pango context (a context's language steers shaping and line breaking), and each
// entry is keyed by text, family, context, size and face. A layout follows its context: when a
// drawing context with another transform or font options updates it, pango lays the layout out
// again on its next use. Least recently used entries go past kMaxLayouts.
struct CachedLayout {
    PangoLayout* layout = nullptr;
    std::uint64_t used = 0;
};

constexpr std::size_t kMaxLayouts = 768;
constexpr std::size_t kMaxContexts = 24;

// A language's pango context and the drawing state it was last set up for: the linear part
// of the transform, the font options of context and target, and the target's device scale.
// Pango takes any update of a context as a change that lays out every layout again, so it
// is updated only when that state differs.
struct LangContext {
    PangoContext* ctx = nullptr;
    double xx = 0, yx = 0, xy = 0, yy = 0;
    unsigned long options = 0;
};

struct TextCache {
    std::map<std::string, LangContext> contexts;  // by language, transform and options
    cairo_font_options_t* scratch = nullptr;
    std::unordered_map<std::string, CachedLayout> layouts;
    std::uint64_t clock = 0;
    std::string key;  // scratch
    // What the latest layoutFor handed out, for noteDrawn.
    double size = -1;
    bool recording = false;
    std::vector<DrawnText> drawn;
};

// The last use that divides the least recently used quarter of a cache's entries from the
// rest (entries carry their last use in `used`); the caller sweeps below it in one pass.
template <class Map>
std::uint64_t quarterAge(const Map& entries) {
    std::vector<std::uint64_t> ages;
    ages.reserve(entries.size());
    for (const auto& [k, v] : entries) ages.push_back(v.used);
    if (ages.empty()) return 0;
    auto nth = ages.begin() + static_cast<std::ptrdiff_t>(ages.size() / 4);
    std::nth_element(ages.begin(), nth, ages.end());
    return *nth;
}

TextCache& textCache();

constexpr const char* kFontFiles[] = {
    "assets/fonts/DejaVuSans.ttf",
    "assets/fonts/DejaVuSans-Bold.ttf",
    "assets/fonts/QuendraCJK-JP.ttf",
    "assets/fonts/QuendraCJK-SC.ttf",
    "assets/fonts/QuendraCJK-KR.ttf",
};

constexpr const char* kGenericCjk = "Quendra CJK";

// The pango family list that family stands for in lang: the generic CJK family becomes the
// Japanese, Chinese and Korean faces. The three languages share most Han characters but draw
// many of them differently, so each language leads with its own face and the other two only
// fill in what it lacks.
std::string familyForLanguage(const std::string& family, const std::string& lang) {
    const std::size_t at = family.find(kGenericCjk);
    const std::size_t end = at == std::string::npos ? at : at + std::string(kGenericCjk).size();
    if (at == std::string::npos || (end < family.size() && family[end] != ',')) return family;
    const char* faces = lang == "ja"   ? "Quendra CJK JP, Quendra CJK SC, Quendra CJK KR"
                        : lang == "ko" ? "Quendra CJK KR, Quendra CJK SC, Quendra CJK JP"
                                       : "Quendra CJK SC, Quendra CJK JP, Quendra CJK KR";
    return family.substr(0, at) + faces + family.substr(end);
}

// The cached layout holding text in style at the given factor; valid until the next call.
PangoLayout* layoutFor(cairo_t* cr, const std::string& text, const TextStyle& style, double scale) {
    TextCache& c = textCache();
    const double px = scale * style.size;
    const char* family = style.family != nullptr ? style.family : "";
    const std::string langName = style.lang != nullptr ? style.lang : i18n::currentLanguage();
    const char* lang = langName.c_str();

    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (c.scratch == nullptr) c.scratch = cairo_font_options_create();
    cairo_surface_get_font_options(cairo_get_target(cr), c.scratch);
    unsigned long options = cairo_font_options_hash(c.scratch);
    cairo_get_font_options(cr, c.scratch);
    options = options * 31 + cairo_font_options_hash(c.scratch);
    // A surface's device scale (pixels per unit on a dense screen) is outside the matrix.
    double sx = 1;
    double sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    options = options * 31 + static_cast<unsigned long>(std::lround(sx * 64)) * 4099 +
              static_cast<unsigned long>(std::lround(sy * 64));
    // Upright texts at each even scale keep a context of their own, so that a turned or
    // squashed text between them does not lay them all out again; turned and squashed
    // texts, and scales past the first few, share one context that follows every change.
    char slot[96];
    const bool upright = m.xy == 0 && m.yx == 0 && m.xx == m.yy;
    if (upright)
        std::snprintf(slot, sizeof slot, "%s|%a|%a|%lx", lang, m.xx, m.yy, options);
    else
        std::snprintf(slot, sizeof slot, "%s|*", lang);
    auto found = c.contexts.find(slot);
    if (found == c.contexts.end() && upright && c.contexts.size() >= kMaxContexts) {
        std::snprintf(slot, sizeof slot, "%s|*", lang);
        found = c.contexts.find(slot);
    }
    if (found == c.contexts.end()) found = c.contexts.emplace(slot, LangContext{}).first;
    LangContext& lc = found->second;
    if (lc.ctx == nullptr) {
        lc.ctx = pango_cairo_create_context(cr);
        // Pango breaks lines and shapes by the language of the text.
        pango_context_set_language(lc.ctx, pango_language_from_string(lang));
    } else if (m.xx != lc.xx || m.yx != lc.yx || m.xy != lc.xy || m.yy != lc.yy ||
               options != lc.options) {
        pango_cairo_update_context(cr, lc.ctx);
    }
    lc.xx = m.xx;
    lc.yx = m.yx;
    lc.xy = m.xy;
    lc.yy = m.yy;
    lc.options = options;
    PangoContext* ctx = lc.ctx;
    c.size = px;

    char head[64];
    std::snprintf(head, sizeof head, "%a|%d%d|", px, style.bold ? 1 : 0, style.italic ? 1 : 0);
    c.key.assign(head);
    c.key.append(found->first).append("|").append(family).append("|").append(text);
    CachedLayout& e = c.layouts[c.key];
    e.used = ++c.clock;
    if (e.layout != nullptr) return e.layout;

    e.layout = pango_layout_new(ctx);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, familyForLanguage(family, lang).c_str());
    pango_font_description_set_absolute_size(desc, px * PANGO_SCALE);
    pango_font_description_set_weight(desc, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(desc, style.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    pango_layout_set_font_description(e.layout, desc);
    pango_font_description_free(desc);
    pango_layout_set_text(e.layout, text.c_str(), static_cast<int>(text.size()));
    PangoLayout* made = e.layout;
    if (c.layouts.size() > kMaxLayouts) {
        // Drop the least recently used quarter in one sweep, so a sweep is rare.
        const std::uint64_t cut = quarterAge(c.layouts);
        for (auto it = c.layouts.begin(); it != c.layouts.end();) {
            if (it->second.used < cut && it->second.layout != made) {
                g_object_unref(it->second.layout);
                it = c.layouts.erase(it);
            } else {
                ++it;
            }
        }
    }
    return made;
}

void pixelSize(PangoLayout* layout, double* w, double* h) {
    int pw = 0;
    int ph = 0;
    pango_layout_get_pixel_size(layout, &pw, &ph);
    *w = pw;
    *h = ph;
}

PangoLayout* fittedLayout(cairo_t* cr, const std::string& text, const TextStyle& style, double* w,
                          double* h) {
    const double factor = style.maxWidth > 0 ? fitScale(cr, text, style) : 1.0;
    PangoLayout* layout = layoutFor(cr, text, style, factor);
    pixelSize(layout, w, h);
    return layout;
}

// Notes a text about to be drawn with the size the cache holds for it now.
void noteDrawn(cairo_t* cr, const std::string& text) {
    TextCache& c = textCache();
    if (!c.recording) return;
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    const double scale = std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
    c.drawn.push_back(DrawnText{text, c.size * scale});
}

// Coverage masks of the plain shapes (rounded rectangles, circles, filled or outlined)
// that screens paint at the same place every frame. A shape asked for again in a later
// frame at the same size, pixel offset and line width is rasterised once into an alpha
// mask and from then on composited with its colour, which is much cheaper than filling
// or stroking its path anew. Masks unused for longest go past kMaxMaskBytes.
struct ShapeMask {
    cairo_surface_t* mask = nullptr;
    int dx = 0;  // the mask's corner from the shape's whole-pixel origin
    int dy = 0;
    std::int64_t bytes = 0;
    std::uint64_t used = 0;
};

constexpr std::int64_t kMaxMaskBytes = 6 << 20;
constexpr std::size_t kMaxMasks = 6000;
constexpr double kDotRadius = 6;  // pixels: circles up to this radius are dots
constexpr std::size_t kMaxSeen = 4096;

struct MaskCache {
    std::unordered_map<std::string, ShapeMask> masks;
    std::unordered_map<std::string, std::int64_t> seen;  // shape key -> frame first asked
    std::int64_t bytes = 0;
    std::uint64_t clock = 0;
    std::string key;
};

// The module's state: the kept text layouts and the shape masks.
struct DrawState {
    TextCache text;
    MaskCache masks;
};

DrawState& st() {
    static DrawState s;
    return s;
}

TextCache& textCache() { return st().text; }
MaskCache& maskCache() { return st().masks; }

// Past kMaxMaskBytes or kMaxMasks the least recently used quarter of the masks goes, in
// one sweep; keep stays.
void dropOldMasks(MaskCache& mc, const ShapeMask* keep) {
    if (mc.bytes <= kMaxMaskBytes && mc.masks.size() <= kMaxMasks) return;
    const std::uint64_t cut = quarterAge(mc.masks);
    for (auto it = mc.masks.begin(); it != mc.masks.end();) {
        if (&it->second != keep && it->second.used <= cut) {
            mc.bytes -= it->second.bytes;
            cairo_surface_destroy(it->second.mask);
            it = mc.masks.erase(it);
        } else {
            ++it;
        }
    }
}

// Files a mask just drawn under mc.key and trims the cache around it.
std::unordered_map<std::string, ShapeMask>::iterator keepMask(MaskCache& mc,
                                                              cairo_surface_t* mask, int dx,
                                                              int dy) {
    cairo_surface_flush(mask);
    const ShapeMask made{mask, dx, dy,
                         static_cast<std::int64_t>(cairo_image_surface_get_stride(mask)) *
                             cairo_image_surface_get_height(mask),
                         0};
    auto hit = mc.masks.emplace(mc.key, made).first;
    mc.bytes += made.bytes;
    dropOldMasks(mc, &hit->second);
    return hit;
}

// True when cr paints with the defaults the masks are made with: an upright, unmirrored
// transform, default antialiasing, fill rule and tolerance, the OVER operator, and no path
// begun but a bare starting point (which a text leaves behind; real segments would be
// filled or stroked along with the shape); painting the mask drops that point.
bool maskable(cairo_t* cr, cairo_matrix_t* m) {
    if (cr == nullptr) return false;
    cairo_get_matrix(cr, m);
    if (m->xy != 0 || m->yx != 0 || !(m->xx > 0) || !(m->yy > 0)) return false;
    if (cairo_get_antialias(cr) != CAIRO_ANTIALIAS_DEFAULT ||
        cairo_get_fill_rule(cr) != CAIRO_FILL_RULE_WINDING || cairo_get_tolerance(cr) != 0.1 ||
        cairo_get_operator(cr) != CAIRO_OPERATOR_OVER)
        return false;
    if (cairo_has_current_point(cr)) {
        cairo_path_t* before = cairo_copy_path(cr);
        bool bare = before->status == CAIRO_STATUS_SUCCESS;
        for (int i = 0; bare && i < before->num_data; i += before->data[i].header.length)
            bare = before->data[i].header.type == CAIRO_PATH_MOVE_TO;
        cairo_path_destroy(before);
        if (!bare) return false;
    }
    return true;
}

// Composites mask with its corner at the device pixel (x, y) in rgb at alpha.
void compositeMask(cairo_t* cr, ShapeMask& sm, double x, double y, std::uint32_t rgb,
                   double alpha) {
    MaskCache& mc = maskCache();
    sm.used = ++mc.clock;
    cairo_new_path(cr);  // as a fill or stroke leaves it
    setColor(cr, rgb, alpha);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_mask_surface(cr, sm.mask, x, y);
    cairo_restore(cr);
}

// A small filled circle, as sparks and particles are: its centre is put on the nearest
// eighth and its radius on the nearest sixteenth of a pixel, so that the few masks this
// leaves serve every dot, however it moves. False when it is not small or cr paints with
// other settings.
bool paintDot(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    cairo_matrix_t m;
    if (!maskable(cr, &m) || m.xx != m.yy) return false;
    const double X = std::round((m.xx * cx + m.x0) * 8) / 8;
    const double Y = std::round((m.yy * cy + m.y0) * 8) / 8;
    const double R = std::round(m.xx * r * 16) / 16;
    if (!(R > 0) || R > kDotRadius || std::fabs(X) > 1e6 || std::fabs(Y) > 1e6) return false;
    const double ox = std::floor(X);
    const double oy = std::floor(Y);
    const int pad = static_cast<int>(std::ceil(R)) + 1;
    MaskCache& mc = maskCache();
    char key[96];
    std::snprintf(key, sizeof key, "dot|%a|%a|%a", X - ox, Y - oy, R);
    mc.key.assign(key);
    auto hit = mc.masks.find(mc.key);
    if (hit == mc.masks.end()) {
        const int side = 2 * pad + 1;
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, side, side);
        cairo_t* mcr = cairo_create(mask);
        cairo_arc(mcr, X - ox + pad, Y - oy + pad, R, 0, 2 * M_PI);
        cairo_fill(mcr);
        cairo_destroy(mcr);
        cairo_surface_flush(mask);
        if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(mask);
            return false;
        }
        ShapeMask made{mask, -pad, -pad,
                       static_cast<std::int64_t>(cairo_image_surface_get_stride(mask)) * side, 0};
        hit = mc.masks.emplace(mc.key, made).first;
        mc.bytes += made.bytes;
        dropOldMasks(mc, &hit->second);
    }
    compositeMask(cr, hit->second, ox + hit->second.dx, oy + hit->second.dy, rgb, alpha);
    return true;
}

// Paints the shape that path builds (in user space, within the box x, y, w, h; outlined
// with lineWidth when it is > 0, else filled) in rgb at alpha through a cached mask.
// False when the shape is better painted directly: a turned or mirrored transform, a path
// already begun, settings other than the defaults the masks are made with, or the first
// time the shape is seen.
template <typename Path>
bool paintMasked(cairo_t* cr, const char* kind, double x, double y, double w, double h,
                 double extra, double lineWidth, std::uint32_t rgb, double alpha, Path path) {
    cairo_matrix_t m;
    if (!(w > 0) || !(h > 0) || !maskable(cr, &m)) return false;
    if (lineWidth > 0 && (cairo_get_line_join(cr) != CAIRO_LINE_JOIN_MITER ||
                          cairo_get_miter_limit(cr) != 10.0 || cairo_get_dash_count(cr) != 0))
        return false;
    // The shape's corner in device pixels, split into a whole part (where the mask goes)
    // and the rest (which shapes the mask).
    const double devX = m.xx * x + m.x0;
    const double devY = m.yy * y + m.y0;
    const double ox = std::floor(devX);
    const double oy = std::floor(devY);
    if (std::fabs(ox) > 1e6 || std::fabs(oy) > 1e6) return false;
    MaskCache& mc = maskCache();
    // Where the shape lies beyond its pixel does not change its mask: equal shapes at the
    // same fraction of a pixel share one.
    char head[256];
    std::snprintf(head, sizeof head, "%s|%a|%a|%a|%a|%a|%a|%a|%a", kind, m.xx, m.yy, devX - ox,
                  devY - oy, w, h, extra, lineWidth);
    mc.key.assign(head);
    auto hit = mc.masks.find(mc.key);
    if (hit == mc.masks.end()) {
        const std::int64_t frame = gpuFrame();
        auto seen = mc.seen.find(mc.key);
        if (seen == mc.seen.end()) {
            if (mc.seen.size() >= kMaxSeen) mc.seen.clear();
            mc.seen.emplace(mc.key, frame);
            return false;
        }
        if (seen->second == frame) return false;  // drawn more than once a frame only
        mc.seen.erase(seen);
        const double reach = (lineWidth > 0 ? lineWidth / 2 : 0) + 2;
        const int dx = static_cast<int>(std::floor(m.xx * (x - reach) + m.x0 - ox));
        const int dy = static_cast<int>(std::floor(m.yy * (y - reach) + m.y0 - oy));
        const int mw = static_cast<int>(std::ceil(m.xx * (x + w + reach) + m.x0 - ox)) - dx;
        const int mh = static_cast<int>(std::ceil(m.yy * (y + h + reach) + m.y0 - oy)) - dy;
        if (mw < 1 || mh < 1 || static_cast<std::int64_t>(mw) * mh > (1 << 20)) return false;
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, mw, mh);
        if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(mask);
            return false;
        }
        cairo_t* mcr = cairo_create(mask);
        const cairo_matrix_t shifted{m.xx, 0, 0, m.yy, m.x0 - ox - dx, m.y0 - oy - dy};
        cairo_set_matrix(mcr, &shifted);
        path(mcr);
        cairo_set_source_rgba(mcr, 1, 1, 1, 1);
        if (lineWidth > 0) {
            cairo_set_line_width(mcr, lineWidth);
            cairo_stroke(mcr);
        } else {
            cairo_fill(mcr);
        }
        cairo_destroy(mcr);
        hit = keepMask(mc, mask, dx, dy);
    }
    if (lineWidth > 0) cairo_set_line_width(cr, lineWidth);  // as a stroke leaves it
    compositeMask(cr, hit->second, ox + hit->second.dx, oy + hit->second.dy, rgb, alpha);
    return true;
}

// A text drawn turned, squashed or mirrored (a tumbling title letter, a wobbling
// headline) is laid out upright at its size on the screen, rounded to a sixteenth, and
// kept as a coverage mask that is then composited through the turning transform: every
// new angle would otherwise lay the text out and rasterise its glyphs afresh. (x, y) is
// the anchor as for an upright text: the middle of the text when centred, else the left,
// middle or right of its top edge by style.align. False when cr is upright (the plain
// path is exact there) or the text is too large for a mask.
bool drawTurnedText(cairo_t* cr, double x, double y, bool centred, const std::string& text,
                    const TextStyle& style) {
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    if (m.xy == 0 && m.yx == 0 && m.xx == m.yy && m.xx > 0) return false;
    const double det = std::fabs(m.xx * m.yy - m.xy * m.yx);
    const double scale = std::max(std::round(std::sqrt(det) * 16) / 16, 1.0 / 16);
    if (!(det > 0) || scale > 16) return false;

    cairo_save(cr);
    cairo_matrix_t upright;
    cairo_matrix_init_scale(&upright, scale, scale);
    cairo_set_matrix(cr, &upright);
    double w = 0;
    double h = 0;
    PangoLayout* layout = fittedLayout(cr, text, style, &w, &h);
    MaskCache& mc = maskCache();
    mc.key.assign("text|").append(textCache().key);
    auto hit = mc.masks.find(mc.key);
    if (hit == mc.masks.end()) {
        PangoRectangle ink;
        pango_layout_get_pixel_extents(layout, &ink, nullptr);
        const int dx = static_cast<int>(std::floor(ink.x * scale)) - 2;
        const int dy = static_cast<int>(std::floor(ink.y * scale)) - 2;
        const int mw = static_cast<int>(std::ceil((ink.x + ink.width) * scale)) + 2 - dx;
        const int mh = static_cast<int>(std::ceil((ink.y + ink.height) * scale)) + 2 - dy;
        cairo_surface_t* mask = nullptr;
        if (mw >= 1 && mh >= 1 && static_cast<std::int64_t>(mw) * mh <= (1 << 20))
            mask = cairo_image_surface_create(CAIRO_FORMAT_A8, mw, mh);
        if (mask == nullptr || cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
            if (mask != nullptr) cairo_surface_destroy(mask);
            cairo_restore(cr);
            return false;
        }
        cairo_t* mcr = cairo_create(mask);
        cairo_translate(mcr, -dx, -dy);
        cairo_scale(mcr, scale, scale);
        cairo_move_to(mcr, 0, 0);
        pango_cairo_show_layout(mcr, layout);
        cairo_destroy(mcr);
        hit = keepMask(mc, mask, dx, dy);
    }
    cairo_restore(cr);

    ShapeMask& sm = hit->second;
    sm.used = ++mc.clock;
    double left = x;
    double top = y;
    if (centred) {
        left -= w / 2;
        top -= h / 2;
    } else if (style.align == Align::Center) {
        left -= w / 2;
    } else if (style.align == Align::Right) {
        left -= w;
    }
    // A glyph drawn directly lands with its origin on a whole device pixel; the mask's
    // baseline origin goes to the same pixel, so a letter does not shift by a fraction.
    double ox = left;
    double oy = top + pango_layout_get_baseline(layout) / static_cast<double>(PANGO_SCALE);
    cairo_user_to_device(cr, &ox, &oy);
    double snapX = std::round(ox) - ox;
    double snapY = std::round(oy) - oy;
    cairo_device_to_user_distance(cr, &snapX, &snapY);
    left += snapX;
    top += snapY;
    noteDrawn(cr, text);
    setColor(cr, style.color, style.alpha);
    cairo_save(cr);
    cairo_translate(cr, left, top);
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(sm.mask);
    cairo_matrix_t at;
    cairo_matrix_init_translate(&at, -sm.dx, -sm.dy);
    cairo_pattern_set_matrix(pattern, &at);
    // The sharper filter keeps a turned stem as crisp as a glyph rasterised turned.
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_BEST);
    cairo_mask(cr, pattern);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
    cairo_move_to(cr, left, top);  // where a text drawn the plain way leaves the point
    return true;
}

}  // namespace

void setColor(cairo_t* cr, std::uint32_t rgb, double alpha) {
    cairo_set_source_rgba(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                          (rgb & 0xFF) / 255.0, alpha);
}

void fillRect(cairo_t* cr, const Rect& r, std::uint32_t rgb, double alpha) {
    cairo_new_path(cr);
    cairo_rectangle(cr, r.x, r.y, r.w, r.h);
    setColor(cr, rgb, alpha);
    cairo_fill(cr);
}

void veilWindow(Ctx& c, std::uint32_t rgb, double alpha) {
    if (gpuFlushCanvas()) {
        gpuFillRect(0, 0, c.w, c.h, rgb, alpha);
    } else if (c.cr != nullptr) {
        fillRect(c.cr, Rect{0, 0, c.w, c.h}, rgb, alpha);
    }
}

void roundedRectPath(cairo_t* cr, const Rect& r, double radius) {
    const double rad = std::min(radius, 0.5 * std::min(r.w, r.h));
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.x + r.w - rad, r.y + rad, rad, -M_PI / 2, 0);
    cairo_arc(cr, r.x + r.w - rad, r.y + r.h - rad, rad, 0, M_PI / 2);
    cairo_arc(cr, r.x + rad, r.y + r.h - rad, rad, M_PI / 2, M_PI);
    cairo_arc(cr, r.x + rad, r.y + rad, rad, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

void fillRoundedRect(cairo_t* cr, const Rect& r, double radius, std::uint32_t rgb, double alpha) {
    auto path = [&](cairo_t* to) { roundedRectPath(to, r, radius); };
    if (paintMasked(cr, "rf", r.x, r.y, r.w, r.h, radius, 0, rgb, alpha, path)) return;
    roundedRectPath(cr, r, radius);
    setColor(cr, rgb, alpha);
    cairo_fill(cr);
}

void strokeRoundedRect(cairo_t* cr, const Rect& r, double radius, double lineWidth,
                       std::uint32_t rgb, double alpha) {
    auto path = [&](cairo_t* to) { roundedRectPath(to, r, radius); };
    if (lineWidth > 0 &&
        paintMasked(cr, "rs", r.x, r.y, r.w, r.h, radius, lineWidth, rgb, alpha, path))
        return;
    roundedRectPath(cr, r, radius);
    setColor(cr, rgb, alpha);
    cairo_set_line_width(cr, lineWidth);
    cairo_stroke(cr);
}

void fillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    auto path = [&](cairo_t* to) {
        cairo_new_sub_path(to);
        cairo_arc(to, cx, cy, r, 0, 2 * M_PI);
    };
    if (paintDot(cr, cx, cy, r, rgb, alpha)) return;
    if (paintMasked(cr, "cf", cx - r, cy - r, 2 * r, 2 * r, r, 0, rgb, alpha, path)) return;
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    setColor(cr, rgb, alpha);
    cairo_fill(cr);
}

void strokeCircle(cairo_t* cr, double cx, double cy, double r, double lineWidth, std::uint32_t rgb,
                  double alpha) {
    auto path = [&](cairo_t* to) {
        cairo_new_sub_path(to);
        cairo_arc(to, cx, cy, r, 0, 2 * M_PI);
    };
    if (lineWidth > 0 &&
        paintMasked(cr, "cs", cx - r, cy - r, 2 * r, 2 * r, r, lineWidth, rgb, alpha, path))
        return;
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    setColor(cr, rgb, alpha);
    cairo_set_line_width(cr, lineWidth);
    cairo_stroke(cr);
}

void drawLine(cairo_t* cr, double x1, double y1, double x2, double y2, double lineWidth,
              std::uint32_t rgb, double alpha) {
    cairo_new_path(cr);
    cairo_move_to(cr, x1, y1);
    cairo_line_to(cr, x2, y2);
    setColor(cr, rgb, alpha);
    cairo_set_line_width(cr, lineWidth);
    cairo_stroke(cr);
}

void softShadowFromPath(cairo_t* cr, double dx, double dy, double radius, std::uint32_t rgb,
                        double alpha) {
    cairo_path_t* path = cairo_copy_path(cr);
    const int n = std::max(2, static_cast<int>(radius));
    cairo_save(cr);
    cairo_translate(cr, dx, dy);
    for (int i = n; i >= 1; --i) {
        cairo_new_path(cr);
        cairo_append_path(cr, path);
        setColor(cr, rgb, alpha / n);
        cairo_set_line_width(cr, i * 2 * radius / n);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_stroke_preserve(cr);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    cairo_new_path(cr);
    cairo_append_path(cr, path);
    cairo_path_destroy(path);
}

TextStyle textStyle(double size, bool bold, std::uint32_t color, double alpha,
                    double maxWidth) {
    TextStyle s;
    s.size = size;
    s.bold = bold;
    s.color = color;
    s.alpha = alpha;
    s.maxWidth = maxWidth;
    return s;
}

std::vector<std::string> wrapText(cairo_t* cr, const std::string& text, TextStyle st,
                                  double maxWidth) {
    st.maxWidth = 0;
    auto fits = [&](const std::string& s) {
        double w = 0;
        measureText(cr, s, st, &w, nullptr);
        return w <= maxWidth;
    };
    std::vector<std::string> lines;
    std::string line;
    auto add = [&](const std::string& piece, const std::string& sep) {
        const std::string joined = line.empty() ? piece : line + sep + piece;
        if (line.empty() || fits(joined)) {
            line = joined;
        } else {
            lines.push_back(line);
            line = piece;
        }
    };
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t space = std::min(text.find(' ', pos), text.size());
        const std::string word = text.substr(pos, space - pos);
        pos = space + 1;
        if (word.empty()) continue;
        if (fits(word)) {
            add(word, " ");
            continue;
        }
        bool firstPiece = true;
        for (const std::string& ch : splitUtf8(word)) {
            add(ch, firstPiece ? " " : "");
            firstPiece = false;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

bool registerBundledFonts() {
    FcConfig* config = FcConfigGetCurrent();
    if (config == nullptr) return false;
    bool all = true;
    for (const char* rel : kFontFiles) {
        const std::string file = paths::asset(rel);
        if (!FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(file.c_str()))) {
            std::fprintf(stderr, "[fonts] konnte %s nicht anmelden\n", file.c_str());
            all = false;
        }
    }
    return all;
}

double fitScale(cairo_t* cr, const std::string& text, const TextStyle& style) {
    double w = 0;
    double h = 0;
    pixelSize(layoutFor(cr, text, style, 1.0), &w, &h);
    if (style.maxWidth >= w || w < 1) return 1.0;
    const double readable = style.size > kMinTextSize ? kMinTextSize / style.size : 1.0;
    return std::max({style.maxWidth / w, style.minScale, readable});
}

void measureText(cairo_t* cr, const std::string& text, const TextStyle& style, double* w,
                 double* h) {
    double mw = 0;
    double mh = 0;
    fittedLayout(cr, text, style, &mw, &mh);
    if (w != nullptr) *w = mw;
    if (h != nullptr) *h = mh;
}

void drawText(cairo_t* cr, double x, double y, const std::string& text, const TextStyle& style) {
    if (text.empty() || drawTurnedText(cr, x, y, false, text, style)) return;
    double w = 0;
    double h = 0;
    PangoLayout* layout = fittedLayout(cr, text, style, &w, &h);
    if (style.align == Align::Center) x -= w / 2;
    if (style.align == Align::Right) x -= w;
    noteDrawn(cr, text);
    setColor(cr, style.color, style.alpha);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout);
}

void drawTextCentered(cairo_t* cr, double cx, double cy, const std::string& text,
                      const TextStyle& style) {
    if (text.empty() || drawTurnedText(cr, cx, cy, true, text, style)) return;
    double w = 0;
    double h = 0;
    PangoLayout* layout = fittedLayout(cr, text, style, &w, &h);
    noteDrawn(cr, text);
    setColor(cr, style.color, style.alpha);
    cairo_move_to(cr, cx - w / 2, cy - h / 2);
    pango_cairo_show_layout(cr, layout);
}

void recordDrawnTexts(bool on) {
    TextCache& c = textCache();
    c.recording = on;
    if (on) c.drawn.clear();
}

const std::vector<DrawnText>& drawnTexts() {
    return textCache().drawn;
}

std::vector<std::string> splitUtf8(const std::string& s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto lead = static_cast<unsigned char>(s[i]);
        std::size_t n = 1;
        if (lead >= 0xF0)
            n = 4;
        else if (lead >= 0xE0)
            n = 3;
        else if (lead >= 0xC0)
            n = 2;
        n = std::min(n, s.size() - i);
        out.push_back(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace ui

#include "ui/draw.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "i18n.h"
#include "platform/paths.h"
#include "ui/gpu.h"

namespace ui {
namespace {

// One layout and one font description, reused while the context and style stay the same,
// and the record of drawn texts while it is kept.
struct TextCache {
    PangoLayout* layout = nullptr;
    cairo_t* owner = nullptr;
    PangoFontDescription* desc = nullptr;
    std::string family;
    std::string lang;
    double size = -1;
    bool bold = false;
    bool italic = false;
    bool recording = false;
    std::vector<DrawnText> drawn;
};

TextCache& textCache() {
    static TextCache cache;
    return cache;
}

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

// The shared layout holding text in style at the given factor; valid until the next call.
PangoLayout* layoutFor(cairo_t* cr, const std::string& text, const TextStyle& style, double scale) {
    TextCache& c = textCache();
    if (c.layout != nullptr && c.owner != cr) {
        g_object_unref(c.layout);
        c.layout = nullptr;
    }
    if (c.layout == nullptr) {
        c.layout = pango_cairo_create_layout(cr);
        c.owner = cr;
        c.size = -1;
    } else {
        // The owner's address may have been reused by a new context with another transform.
        pango_cairo_update_layout(cr, c.layout);
    }
    const double px = scale * style.size;
    const char* family = style.family != nullptr ? style.family : "";
    const std::string lang = style.lang != nullptr ? style.lang : i18n::currentLanguage();
    if (c.size < 0 || c.lang != lang) {
        // Pango breaks lines and shapes by the language of the text.
        pango_context_set_language(pango_layout_get_context(c.layout),
                                   pango_language_from_string(lang.c_str()));
        pango_layout_context_changed(c.layout);
    }
    const bool same = c.desc != nullptr && c.family == family && c.lang == lang && c.size == px &&
                      c.bold == style.bold && c.italic == style.italic;
    if (!same) {
        if (c.desc != nullptr) pango_font_description_free(c.desc);
        c.desc = pango_font_description_new();
        pango_font_description_set_family(c.desc, familyForLanguage(family, lang).c_str());
        pango_font_description_set_absolute_size(c.desc, px * PANGO_SCALE);
        pango_font_description_set_weight(c.desc,
                                          style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(c.desc,
                                         style.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        c.family = family;
        c.lang = lang;
        c.size = px;
        c.bold = style.bold;
        c.italic = style.italic;
        pango_layout_set_font_description(c.layout, c.desc);
    }
    pango_layout_set_text(c.layout, text.c_str(), static_cast<int>(text.size()));
    return c.layout;
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
    roundedRectPath(cr, r, radius);
    setColor(cr, rgb, alpha);
    cairo_fill(cr);
}

void strokeRoundedRect(cairo_t* cr, const Rect& r, double radius, double lineWidth,
                       std::uint32_t rgb, double alpha) {
    roundedRectPath(cr, r, radius);
    setColor(cr, rgb, alpha);
    cairo_set_line_width(cr, lineWidth);
    cairo_stroke(cr);
}

void fillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    setColor(cr, rgb, alpha);
    cairo_fill(cr);
}

void strokeCircle(cairo_t* cr, double cx, double cy, double r, double lineWidth, std::uint32_t rgb,
                  double alpha) {
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
    if (text.empty()) return;
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
    if (text.empty()) return;
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

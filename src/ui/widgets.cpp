#include "ui/widgets.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "i18n.h"
#include "platform/audio.h"
#include "theme.h"
#include "ui/draw.h"
#include "version.h"

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kKeyReturn = 0x0d;
constexpr int kKeyReturn2 = 0x4000009e;
constexpr int kKeyEscape = 0x1b;

// Every control that fires goes through here, by pointer or by key alike, so the click
// sound can never be forgotten.
bool fire(Ctx& c, const Rect& r) {
    if (!c.takeControl(r)) return false;
    audio::play(audio::Sfx::Click);
    return true;
}

Rect grown(const Rect& r, double dx, double dy) {
    return Rect{r.x - dx, r.y - dy, r.w + 2 * dx, r.h + 2 * dy};
}

void setRgb(cairo_pattern_t* p, double offset, double r, double g, double b, double a = 1.0) {
    cairo_pattern_add_color_stop_rgba(p, offset, r, g, b, a);
}

void addStop(cairo_pattern_t* p, double offset, std::uint32_t rgb, double a) {
    cairo_pattern_add_color_stop_rgba(p, offset, ((rgb >> 16) & 0xFF) / 255.0,
                                      ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a);
}

// A vertical gradient from top colour to bottom colour filling the rounded rectangle.
void fillRoundedGradient(cairo_t* cr, const Rect& r, double radius, std::uint32_t top,
                         double topA, std::uint32_t bottom, double bottomA) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, r.y, 0, r.y + r.h);
    addStop(p, 0, top, topA);
    addStop(p, 1, bottom, bottomA);
    roundedRectPath(cr, r, radius);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// Five-pointed star path of ten vertices, first point straight up.
void starPath(cairo_t* cr, double cx, double cy, double outer, double inner) {
    cairo_new_sub_path(cr);
    for (int i = 0; i < 10; ++i) {
        const double a = i * kPi / 5 - kPi / 2;
        const double rad = (i % 2 == 0) ? outer : inner;
        const double x = cx + std::cos(a) * rad;
        const double y = cy + std::sin(a) * rad;
        if (i == 0)
            cairo_move_to(cr, x, y);
        else
            cairo_line_to(cr, x, y);
    }
    cairo_close_path(cr);
}

// Coasting after a flick: exponential decay, stopped by slowness or either end.
void coast(Ctx& c, double* offset, double maxOff) {
    ScrollDrag& sd = c.scrollDrag;
    if (std::fabs(sd.velocity) <= 1) return;
    *offset += sd.velocity * c.dt;
    sd.velocity *= std::exp(-6 * c.dt);
    if (std::fabs(sd.velocity) < 20) sd.velocity = 0;
    if (*offset <= 0 || *offset >= maxOff) sd.velocity = 0;
}

}  // namespace

bool menuButton(Ctx& c, const Rect& r, const std::string& text, bool primary) {
    cairo_t* cr = c.cr;
    const bool hovered = c.hover(r);
    const bool down = hovered && c.in.mouseDown;
    const double k = down ? 0.7 : 1.0;
    const double radius = c.s(14);
    if (primary) {
        fillRoundedRect(cr, r, radius, kAccentPink, 1.0 * k);
        strokeRoundedRect(cr, r, radius, c.s(1.4), kAccentPink, 1.0 * k);
    } else {
        fillRoundedRect(cr, r, radius, kPanelViolet, 0.62 * k);
        strokeRoundedRect(cr, r, radius, c.s(1.4), kWhite, 0.45 * k);
    }
    if (hovered && !down) strokeRoundedRect(cr, r, radius, c.s(2), kAccentPink, 0.55);
    drawTextCentered(cr, r.x + r.w / 2, r.y + r.h / 2, text,
                     textStyle(std::min(c.s(18), 0.42 * r.h), true, primary ? kDarkText : kWhite,
                           1.0, r.w - c.s(24)));
    if (primary && c.focus.main < 0) c.mainControl();
    return fire(c, r);
}

bool arcadeStartButton(Ctx& c, const Rect& r, const std::string& label,
                       const std::string& sublabel) {
    cairo_t* cr = c.cr;
    // The pulse takes one of kPulseSteps shapes, so that its rings and outline come from
    // the shape masks painted on the first beats instead of being stroked anew each frame.
    constexpr double kPulseSteps = 16;
    const double p = std::round(kPulseSteps * std::sin(3.2 * c.t)) / kPulseSteps;
    const bool pressed = c.hover(r) && c.in.mouseDown;
    const double k = (1 + 0.02 * p) * (pressed ? 0.98 : 1.0);
    const double cx = r.x + r.w / 2;
    const double cy = r.y + r.h / 2;
    const Rect R{cx - r.w * k / 2, cy - r.h * k / 2, r.w * k, r.h * k};
    const double g = (p + 1) / 2;
    const bool hovered = c.hover(R);

    for (int i = 3; i >= 1; --i) {
        const double d = c.s(4) * i * (0.7 + 0.6 * g);
        strokeRoundedRect(cr, grown(R, d, d), c.s(18) + d, c.s(3), kAccentPink,
                          (0.16 - 0.035 * i) * (0.5 + 0.9 * g));
    }

    cairo_pattern_t* body = cairo_pattern_create_linear(0, R.y, 0, R.y + R.h);
    setRgb(body, 0, 1.0, 0.62, 0.8);
    setRgb(body, 0.5, 1.0, 0.37, 0.64);
    setRgb(body, 1, 0.91, 0.25, 0.53);
    roundedRectPath(cr, R, c.s(18));
    cairo_set_source(cr, body);
    cairo_fill(cr);
    cairo_pattern_destroy(body);

    strokeRoundedRect(cr, R, c.s(18), c.s(2), kWhite, hovered ? 0.9 : 0.6);

    const Rect gloss{R.x + c.s(7.2), R.y + 0.09 * R.h, R.w - c.s(14.4), 0.38 * R.h};
    fillRoundedGradient(cr, gloss, gloss.h / 2, kWhite, 0.42, kWhite, 0.0);

    const double maxW = r.w - c.s(28);
    if (sublabel.empty()) {
        drawTextCentered(cr, cx, cy, label,
                         textStyle(std::round(std::min(c.s(24), r.h * 0.52)), true, 0x2a0a1c, 1.0,
                               maxW));
    } else {
        drawTextCentered(cr, cx, cy - 0.13 * R.h, label,
                         textStyle(std::round(std::min(c.s(24), r.h * 0.4)), true, 0x2a0a1c, 1.0,
                               maxW));
        const double subSize = std::max(std::round(std::min(c.s(14), 0.24 * r.h)), kMinTextSize);
        drawTextCentered(cr, cx, cy + 0.22 * R.h, sublabel,
                         textStyle(subSize, false, 0x5b1236, 1.0, maxW));
    }
    return fire(c, R);
}

bool plainButton(Ctx& c, const Rect& r, const std::string& text, bool selected, const char* lang) {
    cairo_t* cr = c.cr;
    const double radius = c.s(12);
    if (selected) {
        fillRoundedRect(cr, r, radius, kAccentPink, 1.0);
        strokeRoundedRect(cr, r, radius, c.s(2), kAccentPink, 1.0);
    } else {
        fillRoundedRect(cr, r, radius, kPanelViolet, c.hover(r) ? 0.72 : 0.58);
        strokeRoundedRect(cr, r, radius, c.s(1.2), kWhite, 0.45);
    }
    TextStyle st = textStyle(c.s(15), selected, selected ? kDarkText : kWhite, 1.0, r.w - c.s(16));
    st.lang = lang;
    drawTextCentered(cr, r.x + r.w / 2, r.y + r.h / 2, text, st);
    return fire(c, r);
}

bool letterButton(Ctx& c, const Rect& r, const std::string& glyph, bool disabled) {
    cairo_t* cr = c.cr;
    const double radius = std::min(c.s(16), 0.45 * r.h);
    fillRoundedRect(cr, r, radius, kPanelViolet, (!disabled && c.hover(r)) ? 0.8 : 0.6);
    strokeRoundedRect(cr, r, radius, c.s(1.2), kWhite, 0.4);
    drawTextCentered(cr, r.x + r.w / 2, r.y + r.h / 2, glyph,
                     textStyle(std::min(c.s(20), 0.5 * r.h), true, disabled ? kDimLilac : kWhite));
    if (disabled) return false;
    return fire(c, r);
}

Rect backButtonRect(const Ctx& c) {
    const double m = c.compact() ? 12 : 16;
    return Rect{c.s(m), c.s(m), c.s(130), c.s(34)};
}

bool backButton(Ctx& c) {
    const Rect r = backButtonRect(c);
    // The chevron is drawn apart from the word so that the word stays one whole text in every
    // language and script direction; it sits in the middle of the word's line, whose height
    // depends on the script.
    const TextStyle st = textStyle(c.s(16), false, kWhite, c.hover(r) ? 1.0 : 0.9);
    const std::string word = i18n::tr("tarnwick.back");
    double chevronW = 0, chevronH = 0, wordW = 0, wordH = 0;
    measureText(c.cr, "\u2039 ", st, &chevronW, &chevronH);
    measureText(c.cr, word, st, &wordW, &wordH);
    const double y = r.y + c.s(6);
    drawText(c.cr, r.x, y + (wordH - chevronH) / 2, "\u2039", st);
    drawText(c.cr, r.x + chevronW, y, word, st);
    return fire(c, r);
}

double screenHeader(Ctx& c, const std::string& title, bool* backPressed) {
    const bool wide = !c.compact();
    const double height = c.s(wide ? 60 : 52);
    const bool back = backButton(c);
    if (backPressed) *backPressed = back;
    drawTextCentered(c.cr, c.w / 2, height / 2, title, textStyle(c.s(wide ? 24 : 20), true, kWhite));
    return height;
}

double hudPillCaptionSize(double h) {
    return std::max(std::min(0.28 * h, 11.0), kMinTextSize);
}

double hudPillValueSize(double h) {
    return std::min(0.42 * h, 17.0);
}

void hudPill(Ctx& c, const Rect& r, const std::string& caption, const std::string& value,
             std::uint32_t fill, std::uint32_t border, std::uint32_t textColor,
             std::uint32_t captionColor, double iconW) {
    cairo_t* cr = c.cr;
    const double rho = 0.42 * r.h;
    fillRoundedGradient(cr, r, rho, theme::lighten(fill, 0.22), 0.92, theme::darken(fill, 0.18),
                        0.92);
    const Rect gloss{r.x + 0.35 * rho, r.y + 0.1 * r.h, r.w - 0.7 * rho, 0.4 * r.h};
    fillRoundedGradient(cr, gloss, gloss.h / 2, kWhite, 0.3, kWhite, 0.0);
    strokeRoundedRect(cr, r, rho, std::max(0.045 * r.h, 1.0), border, 0.85);

    const double colX = r.x + iconW;
    const double colW = r.w - iconW;
    const double mid = colX + colW / 2;
    if (caption.empty()) {
        drawTextCentered(cr, mid, r.y + r.h / 2, value,
                         textStyle(std::min(0.52 * r.h, 18.0), true, textColor, 1.0, colW - 12));
    } else {
        drawTextCentered(cr, mid, r.y + 0.3 * r.h, caption,
                         textStyle(hudPillCaptionSize(r.h), false, captionColor, 1.0, colW - 12));
        drawTextCentered(cr, mid, r.y + 0.68 * r.h, value,
                         textStyle(hudPillValueSize(r.h), true, textColor, 1.0, colW - 12));
    }
}

void starRating(cairo_t* cr, double cx, double cy, double size, int filled, int total,
                double reveal) {
    if (total <= 0 || !(size > 0)) return;
    const double first = cx - ((total - 1) * 0.35 * size + total * size) / 2 + size / 2;
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, std::max(0.06 * size, 1.0));
    for (int i = 0; i < total; ++i) {
        double v = total * reveal - i;
        if (!(v > 0)) continue;
        v = std::min(v, 1.0);
        const double R = (v >= 1.0) ? size / 2 : (0.7 + 0.3 * v) * size / 2;
        const double x = first + i * 1.35 * size;
        starPath(cr, x, cy, R, 0.42 * R);
        if (i < filled) {
            setColor(cr, 0xffd700, v);
            cairo_fill_preserve(cr);
            setColor(cr, 0xfff2b0, 0.9 * v);
            cairo_stroke(cr);
        } else {
            setColor(cr, 0x7a6090, 0.35 * v);
            cairo_stroke(cr);
        }
    }
    cairo_restore(cr);
}

double slider(Ctx& c, const Rect& r, double value) {
    double result = value;
    const Rect grab{r.x - c.s(12), r.y - c.s(10), r.w + c.s(24), r.h + c.s(20)};
    if (c.in.mouseDown && r.w > 0 && grab.contains(c.in.mouseX, c.in.mouseY)) {
        c.clickUsed = true;
        result = std::clamp((c.in.mouseX - r.x) / r.w, 0.0, 1.0);
    }
    if (c.focusable(grab, true)) {
        // Twenty steps from end to end, snapped so that the ends are always reachable.
        for (int k : c.in.keys) {
            const double step = k == SDLK_RIGHT ? 1 : k == SDLK_LEFT ? -1 : 0;
            if (step != 0) result = std::clamp(std::round(result * 20 + step) / 20, 0.0, 1.0);
        }
    }

    // Painted with the value being returned, so the knob never lags the pointer a frame.
    cairo_t* cr = c.cr;
    const double cy = r.y + r.h / 2;
    const Rect track{r.x, cy - c.s(4), r.w, c.s(8)};
    fillRoundedRect(cr, track, c.s(4), kPanelViolet, 0.75);
    const double v = std::isfinite(result) ? std::clamp(result, 0.0, 1.0) : 0.0;
    const double fw = r.w * v;
    if (fw > 0) fillRoundedRect(cr, Rect{r.x, track.y, fw, track.h}, c.s(4), kAccentPink, 1.0);
    fillCircle(cr, r.x + fw, cy, c.s(10), kAccentPink, 1.0);
    fillCircle(cr, r.x + fw, cy, c.s(6), kWhite, 1.0);
    return result;
}

bool toggleRow(Ctx& c, const Rect& r, const std::string& text, bool value) {
    cairo_t* cr = c.cr;
    const double cy = r.y + r.h / 2;
    drawText(cr, r.x, cy - c.s(10), text, textStyle(c.s(15), false, kWhite, 1.0, r.w - c.s(110)));
    const Rect sw{r.x + r.w - c.s(58), cy - c.s(14), c.s(52), c.s(28)};
    fillRoundedRect(cr, sw, c.s(14), value ? kAccentPink : kPanelViolet, value ? 1.0 : 0.7);
    strokeRoundedRect(cr, sw, c.s(14), c.s(1.2), kWhite, 0.4);
    const double knobX = value ? sw.x + sw.w - c.s(14) : sw.x + c.s(14);
    fillCircle(cr, knobX, cy, c.s(11), kWhite, 1.0);
    return fire(c, r) ? !value : value;
}

int confirmDialog(Ctx& c, const std::string& title, const std::string& message,
                  const std::string& okLabel, const std::string& cancelLabel) {
    cairo_t* cr = c.cr;
    veilWindow(c, 0x000000, 0.7);

    const double pw = std::min(c.w - c.s(64), c.s(360));
    const double ph = c.s(220);
    const Rect panel{(c.w - pw) / 2, (c.h - ph) / 2, pw, ph};
    fillRoundedRect(cr, panel, c.s(18), kPanelViolet, 0.97);
    strokeRoundedRect(cr, panel, c.s(18), c.s(1.4), kWhite, 0.35);

    const double pcx = panel.x + pw / 2;
    drawTextCentered(cr, pcx, panel.y + c.s(40), title,
                     textStyle(c.s(20), true, kAccentPink, 1.0, pw - c.s(48)));
    // The message wraps onto up to three lines (smaller type when it needs more, but never
    // below the readable size: then more lines) centred between the title and the buttons.
    double size = c.s(15);
    std::vector<std::string> lines;
    for (int i = 0;; ++i) {
        lines = wrapText(cr, message, textStyle(size, false, kWhite), pw - c.s(48));
        if (lines.size() <= 3 || i == 3 || size <= kMinTextSize) break;
        size = std::max(0.85 * size, kMinTextSize);
    }
    const double lineH = 1.3 * size;
    double ly = panel.y + c.s(100) - lineH * (static_cast<double>(lines.size()) - 1) / 2;
    for (const std::string& line : lines) {
        drawTextCentered(cr, pcx, ly, line, textStyle(size, false, kWhite, 1.0, pw - c.s(48)));
        ly += lineH;
    }

    const double bw = (pw - c.s(60)) / 2;
    const double bh = c.s(46);
    const double by = panel.y + ph - c.s(66);
    const Rect cancel{panel.x + c.s(20), by, bw, bh};
    const Rect ok{cancel.x + bw + c.s(20), by, bw, bh};
    const double radius = c.s(12);
    fillRoundedRect(cr, cancel, radius, 0x000000, c.hover(cancel) ? 0.45 : 0.3);
    strokeRoundedRect(cr, cancel, radius, c.s(1.2), kWhite, 0.4);
    drawTextCentered(cr, cancel.x + bw / 2, by + bh / 2, cancelLabel,
                     textStyle(c.s(15), true, kWhite, 1.0, bw - c.s(16)));
    fillRoundedRect(cr, ok, radius, kAccentPink, c.hover(ok) ? 1.0 : 0.92);
    drawTextCentered(cr, ok.x + bw / 2, by + bh / 2, okLabel,
                     textStyle(c.s(15), true, kDarkText, 1.0, bw - c.s(16)));

    c.modal();
    const bool cancelFocused = c.focusable(cancel);
    c.mainControl();
    const bool okFocused = c.focusable(ok);
    int result = 0;
    if (c.focus.activate && (cancelFocused || okFocused)) {
        c.focus.activate = false;
        result = okFocused ? 1 : -1;
        audio::play(audio::Sfx::Click);
    } else if (c.in.released && !c.clickUsed) {
        const double mx = c.in.mouseX;
        const double my = c.in.mouseY;
        if (ok.contains(mx, my))
            result = 1;
        else if (cancel.contains(mx, my) || !panel.contains(mx, my))
            result = -1;
        if (result != 0) audio::play(audio::Sfx::Click);
    }
    if (c.in.hasKey(kKeyEscape))
        result = -1;
    else if (result == 0 && (c.in.hasKey(kKeyReturn) || c.in.hasKey(kKeyReturn2)))
        result = 1;
    c.clickUsed = true;
    return result;
}

void applyScroll(Ctx& c, const Rect& viewport, double contentH, double* offset) {
    if (!offset) return;
    ScrollDrag& sd = c.scrollDrag;
    const Input& in = c.in;
    const double maxOff = std::max(contentH - viewport.h, 0.0);

    // A drag that belongs to another list (or to a screen that is gone) is not ours to
    // move; once its button is up it is over for everybody.
    if (sd.active && sd.target && sd.target != offset) {
        if (!in.mouseDown) sd.active = false;
    }

    // Keys work wherever the pointer is: arrows that focus left unused step like the wheel,
    // the page keys move by most of a page.
    for (int k : in.keys) {
        if (k == SDLK_UP || k == SDLK_DOWN) *offset += (k == SDLK_UP ? -1 : 1) * c.s(60);
        if (k == SDLK_PAGEUP || k == SDLK_PAGEDOWN)
            *offset += (k == SDLK_PAGEUP ? -0.9 : 0.9) * viewport.h;
    }
    if (c.hover(viewport)) {
        if (in.wheel != 0) *offset -= c.s(60) * in.wheel;
        if (maxOff > 0 && in.pressed) {
            sd.active = true;
            sd.moved = 0;
            sd.target = offset;
        }
    }

    const bool ours = sd.target == offset;
    if (sd.active && ours) {
        if (in.mouseDown) {
            *offset -= in.dragDy;
            sd.moved += std::fabs(in.dragDy);
            if (c.dt > 0) sd.velocity = 0.7 * sd.velocity + 0.3 * (-in.dragDy / c.dt);
            if (sd.moved > 5) c.clickUsed = true;
        } else {
            if (sd.moved > 5) c.clickUsed = true;
            sd.active = false;
            coast(c, offset, maxOff);
        }
    } else if (!sd.active && ours) {
        if (in.mouseDown)
            sd.velocity = 0;
        else
            coast(c, offset, maxOff);
    }

    *offset = std::clamp(*offset, 0.0, maxOff);
}

void scrollbar(Ctx& c, const Rect& viewport, double contentH, double offset) {
    if (!(contentH > viewport.h)) return;
    const double L = viewport.h - c.s(8);
    const double H = std::max(viewport.h * L / contentH, c.s(30));
    const double f = std::clamp(offset / (contentH - viewport.h), 0.0, 1.0);
    const Rect thumb{viewport.x + viewport.w - c.s(8), viewport.y + c.s(4) + (L - H) * f, c.s(4),
                     H};
    fillRoundedRect(c.cr, thumb, c.s(2), kWhite, 0.45);
}

double wavyTitle(Ctx& c, double cx, double cy, const std::string& text, double fontSize,
                 const std::vector<std::uint32_t>* palette) {
    cairo_t* cr = c.cr;
    const std::vector<std::string> chars = splitUtf8(text);
    TextStyle st = textStyle(fontSize, true, kAccentPink);
    std::vector<double> widths(chars.size(), 0.0);
    double total = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        double w = 0;
        double h = 0;
        // A plain space measures as nothing at the end of a layout; a no-break space keeps
        // the gap between words.
        measureText(cr, chars[i] == " " ? "\u00a0" : chars[i], st, &w, &h);
        widths[i] = w;
        total += w + 2;
    }
    const bool usePalette = palette && !palette->empty();
    const double phi = 2 * kPi * c.t;
    double x = cx - total / 2;
    std::size_t k = 0;
    for (std::size_t i = 0; i < chars.size(); ++i) {
        if (chars[i] != " ") {
            st.color = usePalette ? (*palette)[k % palette->size()] : kAccentPink;
            ++k;
            const double off = 0.2 * fontSize * std::sin(phi / 2.8 + 0.45 * i);
            const double rot = (6.0 * kPi / 180.0) * std::sin(0.25 * phi + 0.45 * i);
            cairo_save(cr);
            cairo_translate(cr, x + widths[i] / 2, cy + off);
            cairo_rotate(cr, rot);
            drawTextCentered(cr, 0, 0, chars[i], st);
            cairo_restore(cr);
        }
        x += widths[i] + 2;
    }
    return total;
}

void footer(Ctx& c, double bottomY) {
    const std::string line = std::string(version::kDisplayName) + " " + version::kVersion;
    drawTextCentered(c.cr, c.w / 2, bottomY - c.s(14), line,
                     textStyle(std::max(c.s(11), kMinTextSize), false, kDimLilac, 0.6,
                               c.w - c.s(32)));
}

std::string formatTime(long long ms) {
    // Negative durations never come from a clock that only moves forward; show them as 0.
    if (ms < 0) ms = 0;
    const long long s = ms / 1000;
    char buf[48];
    if (ms < 3600000LL)
        std::snprintf(buf, sizeof buf, "%02lld:%02lld", (s % 3600) / 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", ms / 3600000LL, (s % 3600) / 60,
                      s % 60);
    return buf;
}

std::string formatDateTime(long long ms) {
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    if (!localtime_r(&secs, &tm)) return "";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return buf;
}

void drawShuffleIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                     double alpha) {
    const double h = size / 2;
    cairo_save(cr);
    cairo_set_line_width(cr, std::max(0.11 * size, 1.6));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setColor(cr, color, alpha);
    cairo_new_path(cr);
    cairo_move_to(cr, cx - h, cy - 0.55 * h);
    cairo_curve_to(cr, cx - 0.2 * h, cy - 0.55 * h, cx + 0.2 * h, cy + 0.55 * h, cx + 0.75 * h,
                   cy + 0.55 * h);
    cairo_move_to(cr, cx - h, cy + 0.55 * h);
    cairo_curve_to(cr, cx - 0.2 * h, cy + 0.55 * h, cx + 0.2 * h, cy - 0.55 * h, cx + 0.75 * h,
                   cy - 0.55 * h);
    cairo_stroke(cr);
    for (const double y : {cy - 0.55 * h, cy + 0.55 * h}) {
        cairo_move_to(cr, cx + 0.35 * h, y - 0.3 * h);
        cairo_line_to(cr, cx + 0.8 * h, y);
        cairo_line_to(cr, cx + 0.35 * h, y + 0.3 * h);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

void drawTriangleIcon(cairo_t* cr, double cx, double cy, double size, int dir,
                      std::uint32_t color, double alpha) {
    const double h = size / 2;
    const double k = 0.7 * h;
    double p[6];
    switch (dir) {
        case 0: {
            const double q[6] = {cx, cy - h, cx - h, cy + k, cx + h, cy + k};
            std::copy(q, q + 6, p);
            break;
        }
        case 1: {
            const double q[6] = {cx + h, cy, cx - k, cy - h, cx - k, cy + h};
            std::copy(q, q + 6, p);
            break;
        }
        case 2: {
            const double q[6] = {cx, cy + h, cx - h, cy - k, cx + h, cy - k};
            std::copy(q, q + 6, p);
            break;
        }
        default: {
            const double q[6] = {cx - h, cy, cx + k, cy - h, cx + k, cy + h};
            std::copy(q, q + 6, p);
            break;
        }
    }
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_move_to(cr, p[0], p[1]);
    cairo_line_to(cr, p[2], p[3]);
    cairo_line_to(cr, p[4], p[5]);
    cairo_close_path(cr);
    setColor(cr, color, alpha);
    cairo_fill(cr);
    cairo_restore(cr);
}

void drawPauseIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                   double alpha) {
    const double bw = 0.22 * size;
    const double bh = 0.74 * size;
    const double gap = 0.16 * size;
    const double left = cx - (2 * bw + gap) / 2;
    fillRoundedRect(cr, Rect{left, cy - bh / 2, bw, bh}, 0.35 * bw, color, alpha);
    fillRoundedRect(cr, Rect{left + bw + gap, cy - bh / 2, bw, bh}, 0.35 * bw, color, alpha);
}

void drawChevronIcon(cairo_t* cr, double cx, double cy, double size, int dir,
                     std::uint32_t color, double alpha) {
    const double a = 0.32 * size;
    const double s = dir == 1 ? -1.0 : 1.0;
    cairo_save(cr);
    cairo_set_line_width(cr, std::max(0.14 * size, 1.8));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColor(cr, color, alpha);
    cairo_new_path(cr);
    cairo_move_to(cr, cx + s * a / 2, cy - a);
    cairo_line_to(cr, cx - s * a / 2, cy);
    cairo_line_to(cr, cx + s * a / 2, cy + a);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawStarIcon(cairo_t* cr, double cx, double cy, double size, bool filled,
                  std::uint32_t color, double alpha) {
    const double h = size / 2;
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, std::max(0.12 * size, 1.0));
    cairo_new_path(cr);
    starPath(cr, cx, cy, h, 0.42 * h);
    if (filled) {
        setColor(cr, color, alpha);
        cairo_fill_preserve(cr);
        setColor(cr, theme::lighten(color, 0.5), 0.9 * alpha);
    } else {
        setColor(cr, color, 0.45 * alpha);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

void drawLockIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                  double alpha) {
    const double bw = 0.62 * size;
    const double bh = 0.5 * size;
    const double top = cy - 0.25 * size + 0.14 * size;
    const Rect body{cx - bw / 2, top, bw, bh};
    const double sr = 0.32 * bw;
    const double scy = top - 0.02 * size;
    cairo_save(cr);
    cairo_set_line_width(cr, std::max(0.1 * size, 1.6));
    setColor(cr, color, alpha);
    cairo_new_path(cr);
    // The shackle's legs reach down into the body so that no gap shows between them.
    cairo_move_to(cr, cx - sr, top + 0.02 * size);
    cairo_arc(cr, cx, scy, sr, kPi, 2 * kPi);
    cairo_line_to(cr, cx + sr, top + 0.02 * size);
    cairo_stroke(cr);
    cairo_restore(cr);
    fillRoundedRect(cr, body, 0.1 * size, color, alpha);
    fillCircle(cr, cx, top + bh / 2, 0.075 * size, kPanelViolet, alpha);
}

void drawClockIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                   double alpha) {
    const double R = 0.42 * size;
    const double lw = std::max(0.09 * size, 1.4);
    cairo_save(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, lw);
    setColor(cr, color, alpha);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, R, 0, 2 * kPi);
    cairo_stroke(cr);
    cairo_move_to(cr, cx, cy - 0.55 * R);
    cairo_line_to(cr, cx, cy);
    cairo_line_to(cr, cx + 0.42 * R, cy + 0.18 * R);
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace ui

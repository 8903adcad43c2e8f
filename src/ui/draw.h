// Cairo helpers every painter uses: colours from 0xRRGGBB, rectangles, rounded
// rectangles, circles, lines, a soft shadow for any path, the game's own font files and
// text through pango. Everything draws in the current user space of the given context.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/app.h"

namespace ui {

enum class Align : int { Left = 0, Center = 1, Right = 2 };

// The smallest font size, in logical units, at which the game draws a text: screens keep
// their small print at least this large, and fitting never shrinks a text below it.
inline constexpr double kMinTextSize = 10;

struct TextStyle {
    const char* family = "DejaVu Sans, Quendra CJK";  // pango family list
    double size = 16;                                 // absolute size in user-space units
    bool bold = false;
    bool italic = false;
    std::uint32_t color = 0xFFFFFF;
    double alpha = 1.0;
    Align align = Align::Left;  // anchoring of drawText at its x
    double maxWidth = 0;        // > 0: shrink the text to fit this width
    double minScale = 0.6;      // but never below this factor
    // The catalogue code of the language the text is written in; null for the current
    // language. It picks the glyph forms of Han characters, which differ between Japanese,
    // Chinese and Korean.
    const char* lang = nullptr;
};

// Source colour (r/255, g/255, b/255, alpha).
void setColor(cairo_t* cr, std::uint32_t rgb, double alpha);
void fillRect(cairo_t* cr, const Rect& r, std::uint32_t rgb, double alpha);
// A flat veil over the whole window and everything drawn so far: filled by the renderer
// above the canvas's paint (flushed first), so a veil does not make the whole canvas
// paint; onto c.cr when the frame loop offers no flush (gpuFlushCanvas).
void veilWindow(Ctx& c, std::uint32_t rgb, double alpha);
// A closed rounded-rectangle sub-path; the radius is limited to half the shorter side.
void roundedRectPath(cairo_t* cr, const Rect& r, double radius);
void fillRoundedRect(cairo_t* cr, const Rect& r, double radius, std::uint32_t rgb, double alpha);
void strokeRoundedRect(cairo_t* cr, const Rect& r, double radius, double lineWidth,
                       std::uint32_t rgb, double alpha);
void fillCircle(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha);
void strokeCircle(cairo_t* cr, double cx, double cy, double r, double lineWidth, std::uint32_t rgb,
                  double alpha);
void drawLine(cairo_t* cr, double x1, double y1, double x2, double y2, double lineWidth,
              std::uint32_t rgb, double alpha);
// A soft shadow of the current path, offset by (dx, dy), fading out over about radius;
// the path is left in place for the caller to fill or stroke.
void softShadowFromPath(cairo_t* cr, double dx, double dy, double radius, std::uint32_t rgb,
                        double alpha);

// Adds the bundled font files to fontconfig; true when all of them were registered. Each
// failure is reported on standard error and text still draws with what fontconfig has.
bool registerBundledFonts();

// The factor by which style shrinks text to fit its maxWidth (1 when it fits or no width
// is set; never below minScale, nor below kMinTextSize: unreadable text is worse than
// text that runs a little wide).
double fitScale(cairo_t* cr, const std::string& text, const TextStyle& style);
// Size of the laid-out text after fitting, in whole user-space units.
void measureText(cairo_t* cr, const std::string& text, const TextStyle& style, double* w,
                 double* h);
// Text with the layout's top at y, anchored at x by style.align. Empty text draws nothing.
void drawText(cairo_t* cr, double x, double y, const std::string& text, const TextStyle& style);
// Text centred on (cx, cy); style.align is ignored. Empty text draws nothing.
void drawTextCentered(cairo_t* cr, double cx, double cy, const std::string& text,
                      const TextStyle& style);

// A text as it was drawn: px is its font size in pixels of the surface it went to, after
// fitting and the context's transform.
struct DrawnText {
    std::string text;
    double px = 0;
};
// Starts (emptying the record) or stops the record of every text that drawText and
// drawTextCentered draw; off at start. Screens' readability checks read it.
void recordDrawnTexts(bool on);
const std::vector<DrawnText>& drawnTexts();

// The characters of a UTF-8 string, one string each, split by their lead bytes; a cut-off
// character at the end stays a short piece. Never reads past the end.
std::vector<std::string> splitUtf8(const std::string& s);
// A style in the game's fonts with this size, weight, colour and alpha; maxWidth > 0
// shrinks a text to fit (never below 0.6).
TextStyle textStyle(double size, bool bold, std::uint32_t color, double alpha = 1.0,
                    double maxWidth = 0);
// The text broken into lines no wider than maxWidth in style: at spaces, and between
// characters inside a word too long for a line (scripts without spaces break anywhere).
std::vector<std::string> wrapText(cairo_t* cr, const std::string& text, TextStyle style,
                                  double maxWidth);

}  // namespace ui

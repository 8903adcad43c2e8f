// The immediate-mode controls every screen is built from: buttons, the back link and
// screen header, head-up pills, star ratings, a slider, a toggle row, the modal yes/no
// dialog, inertial list scrolling with its scroll bar, a wavy coloured title, the footer,
// time formatters and a set of small vector icons.
//
// No control keeps state between frames: a screen calls it every frame with the current
// value and uses the result. Sizes are logical units times Ctx::ui. Clickable controls
// fire on the release of the left button with the pointer inside, and only the first
// control asked in a frame can take that click (Ctx::takeClick), so where controls
// overlap the screen asks the front one first. A control that fires plays the click sound.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/app.h"

namespace ui {

inline constexpr std::uint32_t kAccentPink = 0xff5fa3;
inline constexpr std::uint32_t kPanelViolet = 0x1b1030;
inline constexpr std::uint32_t kDarkText = 0x1a1a1a;
inline constexpr std::uint32_t kDimLilac = 0xd6cbe8;
inline constexpr std::uint32_t kWhite = 0xffffff;
// The family list of every widget text: the Latin face first, the CJK faces (led by the
// language's own) as fallback.
inline constexpr const char* kWidgetFont = "DejaVu Sans, Quendra CJK";

// A rounded button; primary ones are filled pink. True on the frame it is clicked.
bool menuButton(Ctx& c, const Rect& r, const std::string& text, bool primary);
// The large pulsing call to action with an optional second line; its click area follows
// its pulse. True on the frame it is clicked.
bool arcadeStartButton(Ctx& c, const Rect& r, const std::string& label,
                       const std::string& sublabel);
// A flat choice button; the selected one is pink. True on the frame it is clicked. lang
// names the language of a text that is not in the current one (see TextStyle::lang).
bool plainButton(Ctx& c, const Rect& r, const std::string& text, bool selected,
                 const char* lang = nullptr);
// A square button with one glyph; a disabled one is dimmed and never fires.
bool letterButton(Ctx& c, const Rect& r, const std::string& glyph, bool disabled);
// Where the back link sits: the top-left corner, inset by the window's margin.
Rect backButtonRect(const Ctx& c);
// The "‹ Back" link. True on the frame it is clicked.
bool backButton(Ctx& c);
// The back link plus a centred title; stores the link's result through backPressed when
// that is not null and returns the header's height.
double screenHeader(Ctx& c, const std::string& title, bool* backPressed);
// A glossy pill showing a value, with a small caption above it when caption is not empty.
// The left iconW units are left free for an icon the caller draws. Text sizes here are
// absolute, not scaled by Ctx::ui.
// The font size of a hud pill's caption and of its value under the caption, for a pill h
// units high; the caption never goes below kMinTextSize.
double hudPillCaptionSize(double h);
double hudPillValueSize(double h);
void hudPill(Ctx& c, const Rect& r, const std::string& caption, const std::string& value,
             std::uint32_t fill, std::uint32_t border, std::uint32_t textColor,
             std::uint32_t captionColor, double iconW);
// A centred row of total stars, the first filled of them golden. reveal in 0..1 pops the
// stars in one by one (a star grows from 70 % while it appears); 1 shows all of them.
void starRating(cairo_t* cr, double cx, double cy, double size, int filled, int total,
                double reveal);
// A horizontal slider; returns the new value in 0..1. While the button is held near the
// track the value follows the pointer and no other control can take a click this frame.
double slider(Ctx& c, const Rect& r, double value);
// A label with an on/off switch at the right; the whole row toggles. Returns the new value.
bool toggleRow(Ctx& c, const Rect& r, const std::string& text, bool value);
// A modal dialog over a dimmed frame: 1 confirmed (OK or Return), -1 cancelled (Cancel, a
// click outside the panel or Escape, which beats Return), 0 undecided. Draw it last: it
// consumes every click of the frames it is shown in.
int confirmDialog(Ctx& c, const std::string& title, const std::string& message,
                  const std::string& okLabel, const std::string& cancelLabel);
// Wheel, drag, coasting and the Up, Down, PageUp and PageDown keys (a step of the wheel,
// nine tenths of the viewport) for a list whose content is contentH tall inside viewport;
// keeps *offset within 0..max(contentH - viewport.h, 0). A drag farther than 5 units
// consumes the frame's click so that letting go does not click an item. The drag and
// coast state lives in Ctx::scrollDrag, owned by the list whose offset it targets.
void applyScroll(Ctx& c, const Rect& viewport, double contentH, double* offset);
// A thin scroll thumb at the viewport's right edge, only when the content overflows.
void scrollbar(Ctx& c, const Rect& viewport, double contentH, double offset);
// A title whose letters bob and rock independently, centred at (cx, cy); letters take the
// palette's colours in turn (spaces skipped), or pink without a palette. Returns its width.
double wavyTitle(Ctx& c, double cx, double cy, const std::string& text, double fontSize,
                 const std::vector<std::uint32_t>* palette);
// The small name-and-version line at the bottom of the menu screens, above bottomY.
void footer(Ctx& c, double bottomY);
// A duration as "mm:ss", or "h:mm:ss" from one hour on.
std::string formatTime(long long ms);
// A moment (Unix milliseconds) in local time as "dd.mm.yyyy hh:mm".
std::string formatDateTime(long long ms);

// Icons centred on (cx, cy), size units across, in one colour with an overall alpha.
void drawShuffleIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                     double alpha);
// dir 0 up, 1 right, 2 down, anything else left.
void drawTriangleIcon(cairo_t* cr, double cx, double cy, double size, int dir,
                      std::uint32_t color, double alpha);
void drawPauseIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                   double alpha);
// dir 1 points right, anything else left.
void drawChevronIcon(cairo_t* cr, double cx, double cy, double size, int dir,
                     std::uint32_t color, double alpha);
void drawStarIcon(cairo_t* cr, double cx, double cy, double size, bool filled,
                  std::uint32_t color, double alpha);
void drawLockIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                  double alpha);
void drawClockIcon(cairo_t* cr, double cx, double cy, double size, std::uint32_t color,
                   double alpha);

}  // namespace ui

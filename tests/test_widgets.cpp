// Controls: clicks, the slider's grab, the dialog, keyboard focus, scrolling and reference
// pictures of every control's looks.
#include <SDL.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/canvas.h"
#include "support/headless.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

using testsupport::Canvas;
using ui::Rect;

namespace {

// A new frame at time t with the pointer at (x, y).
void at(Canvas& cv, double t, double x, double y, bool down = false, bool pressed = false,
        bool released = false) {
    cv.frame(t);
    cv.pointer(x, y, down, pressed, released);
}
void clickAt(Canvas& cv, double t, double x, double y) {
    at(cv, t, x, y, false, false, true);
}

// A dark backdrop like the game's scenes, so white controls show.
void backdrop(Canvas& cv) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, cv.ctx().h);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.55, 0.18, 0.42);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.16, 0.07, 0.3);
    cairo_set_source(cv.cr(), p);
    cairo_paint(cv.cr());
    cairo_pattern_destroy(p);
}

}  // namespace

TEST(WidgetClicks, FirstAskedWinsOnlyOnReleaseAndNeverWhenDisabled) {
    Canvas cv(400, 300);
    ui::Ctx& c = cv.ctx();
    const Rect front{50, 50, 200, 60}, behind{100, 60, 200, 60};
    at(cv, 0, 150, 80, true, true);  // pressing and holding fires nothing
    EXPECT_FALSE(ui::menuButton(c, front, "Front", true));
    EXPECT_FALSE(c.clickUsed);
    clickAt(cv, 0.1, 150, 80);  // the release over both: only the first asked fires
    EXPECT_TRUE(ui::menuButton(c, front, "Front", true));
    EXPECT_FALSE(ui::menuButton(c, behind, "Behind", false));
    clickAt(cv, 0.2, 150, 80);
    EXPECT_TRUE(ui::plainButton(c, behind, "Behind", false));
    EXPECT_FALSE(ui::plainButton(c, front, "Front", true));
    clickAt(cv, 0.3, 10, 10);  // a release outside does not fire
    EXPECT_FALSE(ui::menuButton(c, front, "Front", true));
    // A disabled letter never fires and leaves the click to whatever is asked next.
    clickAt(cv, 0.4, 150, 80);
    EXPECT_FALSE(ui::letterButton(c, front, "A", true));
    EXPECT_FALSE(c.clickUsed);
    EXPECT_TRUE(ui::letterButton(c, behind, "B", false));
    clickAt(cv, 0.5, 150, 80);  // a toggle row flips on a click and keeps its value otherwise
    EXPECT_TRUE(ui::toggleRow(c, front, "Sound", false));
    at(cv, 0.6, 150, 80);
    EXPECT_TRUE(ui::toggleRow(c, front, "Sound", true));
}

TEST(WidgetSlider, DragFollowsWithinTheGrabMarginAndBlocksClicks) {
    for (const double u : {1.0, 2.0}) {
        Canvas cv(static_cast<int>(600 * u), static_cast<int>(200 * u), u);
        ui::Ctx& c = cv.ctx();
        const Rect track{100 * u, 50 * u, 300 * u, 30 * u}, all{0, 0, 600 * u, 200 * u};
        at(cv, 0, track.x - 8 * u, track.y + 15 * u, true, true);  // just left of the track
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.0);
        EXPECT_TRUE(c.clickUsed);
        // Following while held; a release in the same frame clicks nothing behind it.
        at(cv, 0.1, track.x + 0.25 * track.w, track.y - 9 * u, true, false, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.0), 0.25);
        EXPECT_FALSE(ui::menuButton(c, all, "behind", false));
        at(cv, 0.2, track.x + track.w + 11 * u, track.y, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.5), 1.0);
        // Outside the margin, or with the button up, nothing changes and nothing is blocked.
        at(cv, 0.3, track.x - 13 * u, track.y + 15 * u, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.7);
        clickAt(cv, 0.5, track.x + 10 * u, track.y + 10 * u);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.7);
        EXPECT_TRUE(ui::menuButton(c, all, "behind", false));
    }
}

TEST(WidgetDialog, KeysClicksAndModality) {
    Canvas cv(800, 600);
    ui::Ctx& c = cv.ctx();
    // Cancel and OK sit side by side at the foot of the centred panel (y 344 to 390).
    auto show = [&](double x, double y, bool released, std::vector<int> keys) {
        at(cv, 0, x, y, false, false, released);
        c.in.keys = std::move(keys);
        return ui::confirmDialog(c, "Reset?", "All progress will be lost.", "OK", "Cancel");
    };
    EXPECT_EQ(show(10, 10, false, {SDLK_RETURN, SDLK_ESCAPE}), -1);  // Escape beats Return
    EXPECT_EQ(show(10, 10, false, {SDLK_RETURN}), 1);
    EXPECT_EQ(show(10, 10, false, {SDLK_RETURN2}), 1);
    EXPECT_EQ(show(10, 10, false, {}), 0);
    EXPECT_TRUE(c.clickUsed);  // modal: nothing asked later may fire
    EXPECT_FALSE(ui::menuButton(c, Rect{0, 0, 800, 600}, "under", false));
    EXPECT_EQ(show(480, 365, true, {}), 1);   // OK
    EXPECT_EQ(show(300, 365, true, {}), -1);  // Cancel
    EXPECT_EQ(show(100, 100, true, {}), -1);  // outside the panel
    EXPECT_EQ(show(400, 250, true, {}), 0);   // on the panel, between things
    EXPECT_EQ(show(480, 365, false, {}), 0);  // hovering OK
    clickAt(cv, 0, 480, 365);  // a click already taken this frame is not the dialog's
    c.clickUsed = true;
    EXPECT_EQ(ui::confirmDialog(c, "Reset?", "Sure?", "OK", "Cancel"), 0);
}

TEST(WidgetFocus, KeysMoveActivateAndStepLikeTheirClicks) {
    Canvas cv(800, 600);
    ui::Ctx& c = cv.ctx();
    // Four buttons in a 2 x 2 grid, the third the main control, a slider under them.
    const Rect cells[4] = {
        {100, 100, 200, 60}, {400, 100, 200, 60}, {100, 250, 200, 60}, {400, 250, 200, 60}};
    double volume = 0.5;
    std::vector<int> left;  // the keys focus did not use
    auto frame = [&](std::vector<int> keys, bool shift = false, double px = 5, double py = 5,
                     bool release = false) {
        at(cv, 0, px, py, false, false, release);
        c.in.keys = std::move(keys);
        c.in.shift = shift;
        ui::focusBeginFrame(c);
        left = c.in.keys;
        std::vector<int> fired;
        for (int i = 0; i < 4; ++i) {
            if (i == 2) c.mainControl();
            if (ui::menuButton(c, cells[i], "b", false)) fired.push_back(i);
        }
        volume = ui::slider(c, Rect{100, 420, 200, 20}, volume);
        ui::focusEndFrame(c);
        return fired;
    };
    using V = std::vector<int>;
    ui::focusReset(c);
    frame({}, false, 0, 0);
    EXPECT_EQ(c.focus.index, 2) << "a screen starts on its main control";
    EXPECT_FALSE(c.focus.visible);
    EXPECT_EQ(frame({SDLK_RETURN}, false, 0, 0), V{2});
    EXPECT_EQ(frame({SDLK_RIGHT, SDLK_UP}, false, 0, 0), V{});
    EXPECT_EQ(frame({SDLK_SPACE}, false, 0, 0), V{1});
    EXPECT_TRUE(c.focus.visible);
    EXPECT_GT(cv.inked(396, 92, 208, 6), 100) << "the ring around the focused control";
    EXPECT_EQ(cv.inked(96, 92, 208, 6), 0);
    frame({});
    EXPECT_FALSE(c.focus.visible) << "the pointer moved";
    EXPECT_EQ(frame({SDLK_TAB, SDLK_TAB, SDLK_TAB, SDLK_TAB}), V{});  // wraps around
    EXPECT_EQ(c.focus.index, 0);
    frame({SDLK_TAB}, true);
    EXPECT_EQ(c.focus.index, 4);
    // The focused slider steps in twentieths; Up leaves it for the nearest control in line.
    frame({SDLK_RIGHT, SDLK_RIGHT, SDLK_LEFT, SDLK_RIGHT});
    EXPECT_DOUBLE_EQ(volume, 0.6);
    EXPECT_EQ(left, (V{SDLK_RIGHT, SDLK_RIGHT, SDLK_LEFT, SDLK_RIGHT}));
    frame({SDLK_UP});
    EXPECT_EQ(c.focus.index, 2);
    frame({SDLK_LEFT, SDLK_ESCAPE});  // nowhere to go: the keys are the screen's
    EXPECT_EQ(left, (V{SDLK_LEFT, SDLK_ESCAPE}));
    EXPECT_EQ(frame({}, false, 500, 280, true), V{3});  // a click takes the focus along
    EXPECT_EQ(frame({SDLK_RETURN}, false, 500, 280), V{3});
}

TEST(WidgetScroll, DragWheelKeysAndShortLists) {
    Canvas cv(400, 400);
    ui::Ctx& c = cv.ctx();
    const Rect vp{0, 0, 400, 300};
    double offset = 100;
    auto scroll = [&](double* off, double content = 1000) { ui::applyScroll(c, vp, content, off); };
    // Press, drag by dy, release: whether an item under the pointer still takes the click.
    auto drag = [&](double t, int dy) {
        c.scrollDrag = ui::ScrollDrag{};
        const double start = offset;
        at(cv, t, 200, 120, true, true);
        scroll(&offset);
        at(cv, t + 1.0 / 60, 200, 120 + dy, true);
        c.in.dragDy = dy;
        scroll(&offset);
        EXPECT_DOUBLE_EQ(offset, start - dy);
        clickAt(cv, t + 2.0 / 60, 200, 120 + dy);
        scroll(&offset);
        EXPECT_FALSE(c.scrollDrag.active);
        return c.takeClick(Rect{0, 100, 400, 40});
    };
    EXPECT_TRUE(drag(0, -4));
    EXPECT_FALSE(drag(1, -6));
    // The wheel and Up and Down step 60u, the page keys 0.9 of the view, within the ends,
    // keys with the pointer outside the list too.
    Canvas big(800, 800, 2.0);
    double off2 = 300;
    for (const auto& [wheel, keys, want] :
         {std::tuple{1, std::vector<int>{}, 180.0}, {10, {}, 0.0}, {-100, {}, 1700.0},
          {0, {SDLK_UP, SDLK_UP, SDLK_PAGEUP}, 1190.0},
          {0, {SDLK_DOWN, SDLK_PAGEDOWN, SDLK_PAGEDOWN}, 1700.0}}) {
        at(big, 0, 100, keys.empty() ? 100 : 700);
        big.ctx().in.wheel = wheel;
        big.ctx().in.keys = keys;
        ui::applyScroll(big.ctx(), vp, 2000, &off2);
        EXPECT_DOUBLE_EQ(off2, want) << wheel;
    }

    // A list shorter than its view stays at 0, never drags and shows no scroll bar.
    double shortOff = 40;
    c.scrollDrag = ui::ScrollDrag{};
    at(cv, 7, 200, 100, true, true);
    c.in.dragDy = -30;
    scroll(&shortOff, 200);
    EXPECT_DOUBLE_EQ(shortOff, 0);
    EXPECT_FALSE(c.scrollDrag.active);
    ui::scrollbar(c, vp, 300, 0);
    EXPECT_EQ(cv.inked(0, 0, 400, 400), 0);
}

namespace {

// Every control idle, hovered and pressed, pills, stars revealing, a slider, toggles,
// icons, a scroll bar, the wavy title and the footer.
void paintGallery(Canvas& cv) {
    ui::Ctx& c = cv.ctx();
    const double u = c.ui;
    cv.frame(0.3);
    backdrop(cv);
    auto box = [&](double x, double y, double w, double h, int state) {  // idle, hover, press
        const Rect r{(24 + x) * u, y * u, w * u, h * u};
        cv.pointer(state ? r.x + r.w - 4 * u : -100, r.y + r.h / 2, state == 2);
        return r;
    };
    ui::screenHeader(c, "Widget gallery", nullptr);
    for (int s = 0; s < 3; ++s) {
        ui::menuButton(c, box(s * 250, 80, 220, 52, s), "Primary", true);
        ui::menuButton(c, box(s * 250, 142, 220, 52, s), "Secondary", false);
        ui::plainButton(c, box(s * 250, 204, 105, 40, s), "Plain", s == 1);
        ui::letterButton(c, box(s * 250 + 115, 204, 44, 44, s), "A", false);
        ui::letterButton(c, box(s * 250 + 169, 204, 44, 44, s), "B", true);
        ui::toggleRow(c, box(s * 250, 394, 220, 40, s), "Sound", s != 1);
    }
    ui::arcadeStartButton(c, box(750, 80, 280, 72, 0), "PLAY", "Arcade \u00b7 Endless");
    ui::arcadeStartButton(c, box(750, 172, 280, 60, 1), "Continue \u00b7 Level 12", "");
    cv.pointer(-100, -100);
    ui::hudPill(c, box(0, 330, 150, 44, 0), "SCORE", "12 480", 0x6a3c9c, 0xffffff, 0xffffff,
                0xd6cbe8, 0);
    for (int i = 0; i <= 4; ++i)
        ui::starRating(c.cr, (384 + i * 120) * u, 352 * u, 24 * u, 2, 3, i / 4.0);
    ui::slider(c, box(750, 400, 280, 30, 0), 0.35);
    double x = 44 * u;
    for (auto* icon : {ui::drawShuffleIcon, ui::drawPauseIcon, ui::drawLockIcon, ui::drawClockIcon})
        icon(c.cr, x += 48 * u, 490 * u, 36 * u, 0xffffff, 1.0);
    for (int d = 0; d < 4; ++d)
        ui::drawTriangleIcon(c.cr, x += 48 * u, 490 * u, 36 * u, d, 0xffffff, 1.0);
    for (int d = 0; d < 2; ++d)
        ui::drawChevronIcon(c.cr, x += 48 * u, 490 * u, 36 * u, d, 0xffffff, 1.0);
    for (const bool f : {true, false})
        ui::drawStarIcon(c.cr, x += 48 * u, 490 * u, 36 * u, f, 0xffd700, 1.0);
    ui::scrollbar(c, Rect{664 * u, 480 * u, 300 * u, 150 * u}, 600 * u, 200 * u);
    const std::vector<std::uint32_t> palette = {0xff4d6d, 0xffe04d, 0x4dd97a, 0x4dc6ff};
    ui::wavyTitle(c, 324 * u, 580 * u, "Tarnwick rocks", 48 * u, &palette);
    ui::footer(c, c.h);
}

}  // namespace

TEST(WidgetLooks, MatchTheReferencePictures) {
    testsupport::usePrivateFonts();
    for (const double u : {0.72, 1.25}) {
        Canvas cv(static_cast<int>(1280 * u), static_cast<int>(720 * u), u);
        paintGallery(cv);
        const std::string name = "widgets_u" + std::to_string(static_cast<int>(u * 100));
        EXPECT_TRUE(testsupport::matchesGolden(cv.image(), name, 24, 60)) << name;
    }
}

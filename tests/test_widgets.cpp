// Controls: who takes a click, the slider's grab, the dialog's keys, drag and coast
// scrolling, the formatters, star reveal and title colours; plus the widget gallery
// screenshots at the smallest and largest interface scale.
#include <SDL.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/canvas.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

using testsupport::Canvas;
using ui::Rect;

namespace {

int alphaAt(const Canvas& cv, int x, int y) { return static_cast<int>(cv.pixel(x, y) >> 24); }
bool near(std::uint32_t a, std::uint32_t b, int tol = 6) { return testsupport::nearRgb(a, b, tol); }

// A new frame at time 0, for a picture of its own.
ui::Ctx& fresh(Canvas& cv) {
    cv.frame(0);
    return cv.ctx();
}

// A new frame at time t with the pointer at (x, y).
void at(Canvas& cv, double t, double x, double y, bool down = false, bool pressed = false,
        bool released = false) {
    cv.frame(t);
    cv.pointer(x, y, down, pressed, released);
}
void clickAt(Canvas& cv, double t, double x, double y) { at(cv, t, x, y, false, false, true); }

// A dark backdrop like the game's scenes, so white controls show in the screenshots.
void backdrop(Canvas& cv) {
    cairo_t* cr = cv.cr();
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, cv.ctx().h);
    cairo_pattern_add_color_stop_rgb(p, 0, 0.55, 0.18, 0.42);
    cairo_pattern_add_color_stop_rgb(p, 1, 0.16, 0.07, 0.3);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
}

}  // namespace

TEST(WidgetClicks, FirstAskedWinsAndOnlyOnRelease) {
    Canvas cv(400, 300);
    ui::Ctx& c = cv.ctx();
    const Rect front{50, 50, 200, 60}, behind{100, 60, 200, 60};
    at(cv, 0, 150, 80, true, true);  // pressing and holding fires nothing
    EXPECT_FALSE(ui::menuButton(c, front, "Front", true));
    EXPECT_FALSE(ui::menuButton(c, behind, "Behind", false));
    EXPECT_FALSE(c.clickUsed);
    // The release over both: only the first asked fires, and the click is gone after it.
    clickAt(cv, 0.1, 150, 80);
    EXPECT_TRUE(ui::menuButton(c, front, "Front", true));
    EXPECT_FALSE(ui::menuButton(c, behind, "Behind", false));
    EXPECT_TRUE(c.clickUsed);
    clickAt(cv, 0.2, 150, 80);  // asked in the other order, the other one wins
    EXPECT_TRUE(ui::plainButton(c, behind, "Behind", false));
    EXPECT_FALSE(ui::plainButton(c, front, "Front", true));
    clickAt(cv, 0.3, 10, 10);  // a release outside does not fire
    EXPECT_FALSE(ui::menuButton(c, front, "Front", true));
    EXPECT_FALSE(c.clickUsed);
    // A disabled letter never fires and leaves the click to whatever is asked next.
    clickAt(cv, 0.4, 150, 80);
    EXPECT_FALSE(ui::letterButton(c, front, "A", true));
    EXPECT_FALSE(c.clickUsed);
    EXPECT_TRUE(ui::letterButton(c, behind, "B", false));
    // A toggle row flips its value on a click and keeps it otherwise.
    clickAt(cv, 0.5, 150, 80);
    EXPECT_TRUE(ui::toggleRow(c, front, "Sound", false));
    clickAt(cv, 0.6, 150, 80);
    EXPECT_FALSE(ui::toggleRow(c, front, "Sound", true));
    at(cv, 0.7, 150, 80);
    EXPECT_TRUE(ui::toggleRow(c, front, "Sound", true));
    EXPECT_FALSE(ui::toggleRow(c, front, "Sound", false));
}

TEST(WidgetClicks, ArcadeButtonClicksWithItsPulse) {
    Canvas cv(400, 300);
    const Rect r{100, 100, 200, 80};
    const double kPi = 3.14159265358979323846;
    // At the crest of the pulse the button is 2 % larger: 1.5 units beyond r still click;
    // at the trough it is 2 % smaller: 1.5 units inside r miss.
    clickAt(cv, kPi / 6.4, r.x + r.w + 1.5, 140);
    EXPECT_TRUE(ui::arcadeStartButton(cv.ctx(), r, "PLAY", "Arcade"));
    clickAt(cv, 3 * kPi / 6.4, r.x + r.w - 1.5, 140);
    EXPECT_FALSE(ui::arcadeStartButton(cv.ctx(), r, "PLAY", ""));
    EXPECT_FALSE(cv.ctx().clickUsed);
}

TEST(WidgetClicks, BackLinkAndHeader) {
    Canvas cv(1280, 720);
    ui::Ctx& c = cv.ctx();
    const Rect wide = ui::backButtonRect(c);
    EXPECT_DOUBLE_EQ(wide.x, 16);
    EXPECT_DOUBLE_EQ(wide.w, 130);
    EXPECT_DOUBLE_EQ(wide.h, 34);
    bool back = true;
    clickAt(cv, 0, 300, 300);
    EXPECT_DOUBLE_EQ(ui::screenHeader(c, "Levels", &back), 60);
    EXPECT_FALSE(back);
    clickAt(cv, 0.1, wide.x + 10, wide.y + 10);
    EXPECT_DOUBLE_EQ(ui::screenHeader(c, "Levels", &back), 60);
    EXPECT_TRUE(back);
    clickAt(cv, 0.2, wide.x + 10, wide.y + 10);
    EXPECT_DOUBLE_EQ(ui::screenHeader(c, "Levels", nullptr), 60);  // no place to report
    EXPECT_TRUE(c.clickUsed);

    // A small window for its scale takes the tighter margins and header.
    Canvas small(900, 600), big(2560, 1440, 2.0);
    EXPECT_DOUBLE_EQ(ui::backButtonRect(small.ctx()).x, 12);
    EXPECT_DOUBLE_EQ(ui::backButtonRect(small.ctx()).y, 12);
    EXPECT_DOUBLE_EQ(ui::backButtonRect(big.ctx()).x, 32);
    small.frame(0);
    big.frame(0);
    EXPECT_DOUBLE_EQ(ui::screenHeader(small.ctx(), "Levels", nullptr), 52);
    EXPECT_DOUBLE_EQ(ui::screenHeader(big.ctx(), "Levels", nullptr), 120);

    // The footer sits in a thin centred line just above the given bottom edge.
    ui::footer(fresh(cv), 700);
    EXPECT_GT(cv.inked(0, 0, 1280, 720, 0), 20);
    EXPECT_EQ(cv.inked(0, 0, 1280, 676, 0) + cv.inked(0, 700, 1280, 20, 0) +
                  cv.inked(0, 0, 560, 720, 0) + cv.inked(720, 0, 560, 720, 0), 0);
}

TEST(WidgetSlider, GrabMarginFollowsAndBlocksClicks) {
    for (const double u : {1.0, 2.0}) {
        Canvas cv(static_cast<int>(600 * u), static_cast<int>(200 * u), u);
        ui::Ctx& c = cv.ctx();
        const Rect track{100 * u, 50 * u, 300 * u, 30 * u};
        const Rect button{0, 0, 600 * u, 200 * u};
        // Pressed 8u left of the track: value 0, and later controls get no click.
        at(cv, 0, track.x - 8 * u, track.y + 15 * u, true, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.0);
        EXPECT_TRUE(c.clickUsed);
        // Following the pointer while held; a release in the same frame cannot click.
        at(cv, 0.1, track.x + 0.25 * track.w, track.y - 9 * u, true, false, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.0), 0.25);
        EXPECT_FALSE(ui::menuButton(c, button, "behind", false));
        at(cv, 0.2, track.x + track.w + 11 * u, track.y, true);  // beyond the end: 1
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.5), 1.0);
        // Outside the margin, or with the button up, nothing changes and nothing is blocked.
        at(cv, 0.3, track.x - 13 * u, track.y + 15 * u, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.7);
        EXPECT_FALSE(c.clickUsed);
        at(cv, 0.4, track.x + 10 * u, track.y + track.h + 11 * u, true);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.7);
        clickAt(cv, 0.5, track.x + 10 * u, track.y + 10 * u);
        EXPECT_DOUBLE_EQ(ui::slider(c, track, 0.7), 0.7);
        EXPECT_TRUE(ui::menuButton(c, button, "behind", false));
        at(cv, 0.6, track.x, track.y, true, true);  // a track without width never grabs
        EXPECT_DOUBLE_EQ(ui::slider(c, Rect{track.x, track.y, 0, 30}, 0.4), 0.4);
        EXPECT_FALSE(c.clickUsed);
    }
}

TEST(WidgetDialog, KeysClicksAndModality) {
    Canvas cv(800, 600);
    ui::Ctx& c = cv.ctx();
    // Panel 360 x 220 centred: (220, 190); buttons 150 x 46 at y 344; Cancel at x 240,
    // OK at x 410.
    auto show = [&](double x, double y, bool released, std::vector<int> keys) {
        at(cv, 0, x, y, false, false, released);
        c.in.keys = std::move(keys);
        return ui::confirmDialog(c, "Reset?", "All progress will be lost.", "OK", "Cancel");
    };
    EXPECT_EQ(show(10, 10, false, {0x0d, 0x1b}), -1);  // Escape beats Return
    EXPECT_EQ(show(10, 10, false, {0x1b, 0x0d}), -1);
    EXPECT_EQ(show(10, 10, false, {0x0d}), 1);
    EXPECT_EQ(show(10, 10, false, {0x4000009e}), 1);
    EXPECT_EQ(show(10, 10, false, {}), 0);
    EXPECT_TRUE(c.clickUsed);  // modal: nothing asked later may fire
    EXPECT_FALSE(ui::menuButton(c, Rect{0, 0, 800, 600}, "under", false));
    EXPECT_EQ(show(480, 365, true, {}), 1);    // OK
    EXPECT_EQ(show(300, 365, true, {}), -1);   // Cancel
    EXPECT_EQ(show(100, 100, true, {}), -1);   // outside the panel
    EXPECT_EQ(show(400, 250, true, {}), 0);    // on the panel, between things
    EXPECT_EQ(show(480, 365, false, {}), 0);   // hovering OK without a release
    // A click already taken this frame is not the dialog's to use.
    clickAt(cv, 0, 480, 365);
    c.clickUsed = true;
    EXPECT_EQ(ui::confirmDialog(c, "Reset?", "Sure?", "OK", "Cancel"), 0);

    // A long message wraps inside the panel instead of running over its edges, and a
    // script without spaces wraps too.
    for (const char* message :
         {"All cleared levels, the high score table and the current game will be deleted.",
          "\u3059\u3079\u3066\u306e\u30af\u30ea\u30a2\u6e08\u307f\u30ec\u30d9\u30eb"
          "\u3001\u30cf\u30a4\u30b9\u30b3\u30a2\u8868\u3001\u73fe\u5728\u306e\u30b2"
          "\u30fc\u30e0\u304c\u524a\u9664\u3055\u308c\u307e\u3059\u3002"}) {
        at(cv, 0, 10, 10);
        ui::confirmDialog(c, "Reset?", message, "OK", "Cancel");
        // White text in the message band, counted outside and inside the panel margins.
        auto bright = [&](int x0, int x1) {
            int n = 0;
            for (int y = 240; y < 330; ++y)
                for (int x = x0; x < x1; ++x) n += (cv.rgb(x, y) & 0xFF) > 170;
            return n;
        };
        EXPECT_EQ(bright(0, 244) + bright(556, 800), 0) << message;  // 24 units of margin
        EXPECT_GT(bright(244, 556), 50) << message;
    }
}

TEST(WidgetFocus, KeysMoveActivateAndShowTheRingLikeTheirClicks) {
    Canvas cv(800, 600);
    ui::Ctx& c = cv.ctx();
    // Four buttons in a 2 x 2 grid, the third marked as the main control, a slider under
    // the left column.
    const Rect cells[4] = {
        {100, 100, 200, 60}, {400, 100, 200, 60}, {100, 250, 200, 60}, {400, 250, 200, 60}};
    const Rect track{100, 420, 200, 20};
    double volume = 0.5;
    // One frame with keys (and optionally a pointer); returns the buttons that fired and
    // leaves the keys focus did not use in `left`.
    std::vector<int> left;
    auto frame = [&](std::vector<int> keys, bool shift = false, double px = 0, double py = 0,
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
        volume = ui::slider(c, track, volume);
        ui::focusEndFrame(c);
        return fired;
    };
    using V = std::vector<int>;
    ui::focusReset(c);
    frame({});
    EXPECT_EQ(c.focus.index, 2) << "a screen starts on its main control";
    EXPECT_FALSE(c.focus.visible);
    EXPECT_EQ(frame({SDLK_RETURN}), V{2}) << "Return activates the main control at once";
    EXPECT_EQ(frame({SDLK_RIGHT, SDLK_UP}), V{});
    EXPECT_EQ(c.focus.index, 1);
    EXPECT_EQ(frame({SDLK_SPACE}), V{1});
    // The ring shows around the focused control only, until the pointer moves.
    EXPECT_GT(cv.inked(396, 92, 208, 6), 100);
    EXPECT_EQ(cv.inked(96, 92, 208, 6), 0);
    frame({}, false, 5, 5);
    EXPECT_FALSE(c.focus.visible);
    EXPECT_EQ(cv.inked(396, 92, 208, 6), 0);
    // Tab in reading order with wrap-around, Shift+Tab back.
    EXPECT_EQ(frame({SDLK_TAB, SDLK_TAB, SDLK_TAB, SDLK_TAB}, false, 5, 5), V{});
    EXPECT_EQ(c.focus.index, 0);
    frame({SDLK_TAB}, true, 5, 5);
    EXPECT_EQ(c.focus.index, 4);
    // The focused slider takes Left and Right in steps of a twentieth; Up leaves it.
    frame({SDLK_RIGHT, SDLK_RIGHT, SDLK_LEFT, SDLK_RIGHT}, false, 5, 5);
    EXPECT_DOUBLE_EQ(volume, 0.6);
    EXPECT_EQ(left, (V{SDLK_RIGHT, SDLK_RIGHT, SDLK_LEFT, SDLK_RIGHT}));
    frame({SDLK_UP}, false, 5, 5);
    EXPECT_EQ(c.focus.index, 2) << "Up goes to the nearest control in line";
    // An arrow with nowhere to go is left for the screen (a page turn), other keys too;
    // it still shows the ring.
    frame({}, false, 6, 6);
    frame({SDLK_LEFT, SDLK_ESCAPE}, false, 6, 6);
    EXPECT_EQ(left, (V{SDLK_LEFT, SDLK_ESCAPE}));
    EXPECT_EQ(c.focus.index, 2);
    EXPECT_TRUE(c.focus.visible);
    // A click fires its button like the key does, and takes the focus along.
    EXPECT_EQ(frame({}, false, 500, 280, true), V{3});
    EXPECT_EQ(c.focus.index, 3);
    EXPECT_EQ(frame({SDLK_RETURN}, false, 500, 280), V{3});

    // A dialog over the controls keeps focus to itself: it starts on OK, Tab reaches
    // Cancel and never the controls under it.
    auto dialog = [&](std::vector<int> keys) {
        at(cv, 0, 5, 5);
        c.in.keys = std::move(keys);
        ui::focusBeginFrame(c);
        for (const Rect& r : cells) EXPECT_FALSE(ui::menuButton(c, r, "under", false));
        const int answer = ui::confirmDialog(c, "Reset?", "Sure?", "OK", "Cancel");
        ui::focusEndFrame(c);
        return answer;
    };
    EXPECT_EQ(dialog({}), 0);
    EXPECT_EQ(dialog({SDLK_SPACE}), 1);
    EXPECT_EQ(dialog({SDLK_TAB, SDLK_TAB, SDLK_TAB}), 0);
    EXPECT_EQ(dialog({SDLK_RETURN}), -1);
}

TEST(WidgetScroll, DragVersusClickCoastAndShortLists) {
    Canvas cv(400, 400);
    ui::Ctx& c = cv.ctx();
    const Rect vp{0, 0, 400, 300};
    const Rect item{0, 100, 400, 40};
    double offset = 100;
    auto scroll = [&](double* off, double content = 1000) { ui::applyScroll(c, vp, content, off); };
    // Press, drag by dy, release: returns whether the item still takes the click.
    auto drag = [&](double t, int dy) {
        c.scrollDrag = ui::ScrollDrag{};
        const double start = offset;
        at(cv, t, 200, 120, true, true);
        scroll(&offset);
        EXPECT_TRUE(c.scrollDrag.active);
        at(cv, t + 1.0 / 60, 200, 120 + dy, true);
        c.in.dragDy = dy;
        scroll(&offset);
        EXPECT_DOUBLE_EQ(offset, start - dy);
        EXPECT_EQ(c.clickUsed, dy < -5);  // a long drag eats the click already while held
        clickAt(cv, t + 2.0 / 60, 200, 120 + dy);
        scroll(&offset);
        EXPECT_FALSE(c.scrollDrag.active);
        return c.takeClick(item);
    };
    EXPECT_TRUE(drag(0, -4));
    EXPECT_FALSE(drag(1, -6));

    // A coast at 25 units/s decays below 20 within three 60 Hz frames and stops.
    c.scrollDrag = ui::ScrollDrag{};
    c.scrollDrag.velocity = 25;
    c.scrollDrag.target = &offset;
    offset = 200;
    int frames = 0;
    for (; c.scrollDrag.velocity != 0 && frames < 100; ++frames) {
        cv.frame(2 + frames / 60.0);
        scroll(&offset);
    }
    EXPECT_EQ(frames, 3);
    EXPECT_GT(offset, 200);
    EXPECT_LT(offset - 200, 25.0 * 3 / 60 + 1e-9);
    const double before = offset;
    cv.frame(3);
    scroll(&offset);
    EXPECT_DOUBLE_EQ(offset, before);

    // A coast stops at the end of the list, and a touch stops it too.
    c.scrollDrag.velocity = -3000;
    offset = 10;
    cv.frame(4, 0.05);
    scroll(&offset);
    EXPECT_DOUBLE_EQ(offset, 0);
    EXPECT_DOUBLE_EQ(c.scrollDrag.velocity, 0);
    c.scrollDrag.velocity = 900;
    at(cv, 5, 200, 350, true);  // held outside the viewport: not a new drag
    scroll(&offset);
    EXPECT_DOUBLE_EQ(c.scrollDrag.velocity, 0);
    // A coast belongs to its own list: another list is not moved by it.
    double other = 50;
    c.scrollDrag.velocity = 900;
    cv.frame(6);
    scroll(&other);
    EXPECT_DOUBLE_EQ(other, 50);

    // The wheel and the Up and Down keys move 60u per step, the page keys 0.9 of the view,
    // within the ends; keys also with the pointer outside the list.
    Canvas big(800, 800, 2.0);
    double off2 = 300;
    for (const auto& [wheel, keys, want] :
         {std::tuple{1, std::vector<int>{}, 180.0},
          {10, {}, 0.0},
          {-100, {}, 1700.0},
          {0, {SDLK_UP, SDLK_UP, SDLK_PAGEUP}, 1190.0},
          {0, {SDLK_DOWN, SDLK_PAGEDOWN, SDLK_PAGEDOWN}, 1700.0}}) {
        at(big, 0, 100, keys.empty() ? 100 : 700);
        big.ctx().in.wheel = wheel;
        big.ctx().in.keys = keys;
        ui::applyScroll(big.ctx(), vp, 2000, &off2);
        EXPECT_DOUBLE_EQ(off2, want) << wheel;
    }

    // A list shorter than its viewport stays at 0 and never starts a drag.
    double shortOff = 40;
    c.scrollDrag = ui::ScrollDrag{};
    at(cv, 7, 200, 100, true, true);
    c.in.dragDy = -30;
    scroll(&shortOff, 200);
    EXPECT_DOUBLE_EQ(shortOff, 0);
    EXPECT_FALSE(c.scrollDrag.active);
    EXPECT_FALSE(c.clickUsed);
}

TEST(WidgetScroll, ScrollbarOnlyWhenContentOverflows) {
    Canvas cv(300, 300);
    ui::Ctx& c = cv.ctx();
    const Rect vp{0, 0, 300, 200};
    ui::scrollbar(fresh(cv), vp, 200, 0);
    EXPECT_EQ(cv.inked(0, 0, 300, 300), 0);
    // Content 400: thumb 4 wide at x 292, L = 192, H = 96; at the end it sits at y 100.
    ui::scrollbar(c, vp, 400, 200);
    EXPECT_GT(alphaAt(cv, 294, 150), 100);
    EXPECT_EQ(alphaAt(cv, 294, 95) + alphaAt(cv, 289, 150), 0);
    ui::scrollbar(fresh(cv), vp, 400, 0);
    EXPECT_GT(alphaAt(cv, 294, 50), 100);
    EXPECT_EQ(alphaAt(cv, 294, 150), 0);
    cv.frame(0);  // a very long list keeps the thumb at least 30 units tall
    ui::scrollbar(c, vp, 100000, 0);
    EXPECT_GT(alphaAt(cv, 294, 32), 100);
    EXPECT_EQ(alphaAt(cv, 294, 36), 0);
}

TEST(WidgetText, FormatTimeAndDate) {
    for (const auto& [ms, want] :
         {std::pair<long long, const char*>{0, "00:00"}, {999, "00:00"}, {61000, "01:01"},
          {3599999, "59:59"}, {3600000, "1:00:00"}, {3600000LL * 27 + 62000, "27:01:02"},
          {-5000, "00:00"}})
        EXPECT_EQ(ui::formatTime(ms), want) << ms;

    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    auto zone = [](const char* tz) { setenv("TZ", tz, 1), tzset(); };
    zone("UTC");
    EXPECT_EQ(ui::formatDateTime(0), "01.01.1970 00:00");
    EXPECT_EQ(ui::formatDateTime(1700000000000LL), "14.11.2023 22:13");
    EXPECT_EQ(ui::formatDateTime(951825599000LL), "29.02.2000 11:59");
    zone("Europe/Berlin");
    EXPECT_EQ(ui::formatDateTime(1700000000000LL), "14.11.2023 23:13");
    if (old)
        zone(saved.c_str());
    else
        unsetenv("TZ"), tzset();
}

TEST(WidgetText, StarRatingRevealsOneByOne) {
    Canvas cv(200, 100);
    // size 40 around cx 100: centres 46, 100, 154.
    ui::starRating(fresh(cv).cr, 100, 50, 40, 2, 3, 0.5);
    EXPECT_EQ(alphaAt(cv, 46, 50), 255);
    EXPECT_TRUE(near(cv.rgb(46, 50), 0xffd700));
    EXPECT_NEAR(alphaAt(cv, 100, 50), 128, 3);  // half revealed: alpha 0.5
    EXPECT_TRUE(near(cv.rgb(100, 50), 0xffd700));
    EXPECT_EQ(cv.inked(130, 0, 70, 100, 0), 0);  // third not yet
    // The half-revealed star is 0.85 of the size: its top point stops short.
    EXPECT_GT(alphaAt(cv, 46, 30), 0);
    EXPECT_EQ(alphaAt(cv, 100, 30), 0);
    EXPECT_GT(alphaAt(cv, 100, 35), 0);
    // Fully revealed, the unfilled star is an outline only.
    ui::starRating(fresh(cv).cr, 100, 50, 40, 2, 3, 1.0);
    EXPECT_EQ(alphaAt(cv, 154, 50), 0);
    EXPECT_GT(cv.inked(134, 28, 40, 44, 40), 20);
    EXPECT_TRUE(near(cv.rgb(100, 50), 0xffd700));
    ui::starRating(fresh(cv).cr, 100, 50, 40, 3, 3, 0.0);
    EXPECT_EQ(cv.inked(0, 0, 200, 100, 0), 0);
}

TEST(WidgetText, WavyTitleColoursSkipSpaces) {
    Canvas cv(600, 200);
    ui::Ctx& c = cv.ctx();
    const std::string block = "\u2588";  // a full block: one solid patch per letter
    const std::string text = block + block + " " + block + block;
    const double fs = 40;
    ui::TextStyle st;
    st.family = ui::kWidgetFont;
    st.size = fs;
    st.bold = true;
    double bw = 0, bh = 0, sw = 0, sh = 0;
    ui::measureText(cv.cr(), block, st, &bw, &bh);
    ui::measureText(cv.cr(), "\u00a0", st, &sw, &sh);
    ASSERT_GT(bw, 5);
    ASSERT_GT(sw, 2);

    const std::vector<std::uint32_t> palette = {0xff0000, 0x00ff00, 0x0000ff}, none;
    cv.frame(0);
    const double W = ui::wavyTitle(c, 300, 100, text, fs, &palette);
    EXPECT_DOUBLE_EQ(W, 4 * (bw + 2) + sw + 2);  // the space keeps its width
    // Letter i's colour at its centre on the wave (t = 0); the space (i = 2) takes none.
    auto letter = [&](int i) {
        const double x = 300 - W / 2 + i * (bw + 2) - (i > 2 ? bw - sw : 0) +
                         (i == 2 ? sw : bw) / 2;
        return cv.rgb(static_cast<int>(x), static_cast<int>(100 + 0.2 * fs * std::sin(0.45 * i)));
    };
    const std::uint32_t want[5] = {0xff0000, 0x00ff00, 0, 0x0000ff, 0xff0000};
    for (const int i : {0, 1, 3, 4}) EXPECT_TRUE(near(letter(i), want[i])) << "letter " << i;
    EXPECT_EQ(alphaAt(cv, static_cast<int>(300 - W / 2 + 2 * (bw + 2) + sw / 2), 100), 0);
    for (const std::vector<std::uint32_t>* p : {&none, static_cast<decltype(&none)>(nullptr)}) {
        ui::wavyTitle(fresh(cv), 300, 100, text, fs, p);
        for (const int i : {0, 1, 3, 4}) EXPECT_TRUE(near(letter(i), ui::kAccentPink)) << i;
    }
    cv.frame(0);
    EXPECT_DOUBLE_EQ(ui::wavyTitle(c, 300, 100, "", fs, &palette), 0);
}

TEST(WidgetLooks, ButtonStatesAndPills) {
    Canvas cv(400, 200);
    ui::Ctx& c = cv.ctx();
    const Rect r{20, 20, 200, 60};
    // Primary idle: opaque pink body near the left edge (away from the text).
    ui::menuButton(fresh(cv), r, "Go", true);
    EXPECT_EQ(alphaAt(cv, 35, 50), 255);
    EXPECT_TRUE(near(cv.rgb(35, 50), ui::kAccentPink));
    at(cv, 0, 200, 50, true, true);  // pressed: the same look at 70 %
    ui::menuButton(c, r, "Go", true);
    EXPECT_NEAR(alphaAt(cv, 35, 50), 179, 2);
    // Secondary idle: violet at 62 %; hovered adds a pink ring outside the white outline.
    ui::menuButton(fresh(cv), r, "Go", false);
    EXPECT_NEAR(alphaAt(cv, 35, 50), 158, 2);
    EXPECT_TRUE(near(cv.rgb(35, 50), ui::kPanelViolet));
    const int plain = alphaAt(cv, 20, 50);
    at(cv, 0, 200, 50);
    ui::menuButton(c, r, "Go", false);
    EXPECT_GT(alphaAt(cv, 20, 50), plain);

    // Toggle: knob left when off, right when on.
    const Rect row{20, 100, 300, 40};  // switch at x 262..314, knob centres 276 / 300
    ui::toggleRow(fresh(cv), row, "Music", false);
    EXPECT_TRUE(near(cv.rgb(276, 120), 0xffffff));
    EXPECT_FALSE(near(cv.rgb(300, 120), 0xffffff));
    ui::toggleRow(fresh(cv), row, "Music", true);
    EXPECT_TRUE(near(cv.rgb(300, 120), 0xffffff));
    EXPECT_TRUE(near(cv.rgb(270, 120), ui::kAccentPink));

    // Pill: the body spans the rectangle, a caption line and a value line inside it.
    ui::hudPill(fresh(cv), Rect{20, 150, 160, 44}, "SCORE", "1234", 0x6a3c9c, 0xffffff, 0xffffff,
                0xd6cbe8, 0);
    EXPECT_GT(alphaAt(cv, 100, 190), 200);
    EXPECT_EQ(alphaAt(cv, 100, 196), 0);
    EXPECT_GT(cv.inked(60, 150, 80, 16, 0), 0);
}

TEST(WidgetLooks, IconsStayInTheirBox) {
    Canvas cv(100, 100);
    using IconFn = void (*)(cairo_t*, double, double, double, std::uint32_t, double);
    for (IconFn f : {ui::drawShuffleIcon, ui::drawPauseIcon, ui::drawLockIcon, ui::drawClockIcon}) {
        f(fresh(cv).cr, 50, 50, 40, 0xffffff, 1.0);
        const int inside = cv.inked(26, 26, 48, 48);
        EXPECT_GT(inside, 100);
        EXPECT_EQ(cv.inked(0, 0, 100, 100), inside);  // nothing beyond 24 units of the centre
    }
    // Triangles point the way they are told: the tip side has the least ink.
    for (int dir = 0; dir < 4; ++dir) {
        ui::drawTriangleIcon(fresh(cv).cr, 50, 50, 40, dir, 0xffffff, 1.0);
        const int up = cv.inked(30, 30, 40, 10), down = cv.inked(30, 60, 40, 10);
        const int left = cv.inked(30, 30, 10, 40), right = cv.inked(60, 30, 10, 40);
        const int tip[4] = {up, right, down, left}, base[4] = {down, left, up, right};
        EXPECT_LT(tip[dir], base[dir]) << "direction " << dir;
    }
    // Chevrons: the point lies on the side they face.
    for (const int dir : {0, 1}) {
        ui::drawChevronIcon(fresh(cv).cr, 50, 50, 40, dir, 0xffffff, 1.0);
        EXPECT_GT(alphaAt(cv, dir ? 56 : 44, 50), 200) << dir;
        EXPECT_EQ(alphaAt(cv, dir ? 44 : 56, 50), 0) << dir;
    }
    // Stars: filled has a solid middle, empty only a faint outline.
    ui::drawStarIcon(fresh(cv).cr, 50, 50, 40, true, 0xffd700, 1.0);
    EXPECT_EQ(alphaAt(cv, 50, 50), 255);
    ui::drawStarIcon(fresh(cv).cr, 50, 50, 40, false, 0xffd700, 1.0);
    EXPECT_EQ(alphaAt(cv, 50, 50), 0);
    EXPECT_LE(alphaAt(cv, 50, 31), 120);
    // The lock's keyhole is violet in the middle of its body.
    ui::drawLockIcon(fresh(cv).cr, 50, 50, 40, 0xffffff, 1.0);
    EXPECT_TRUE(near(cv.rgb(50, 55), ui::kPanelViolet));
    EXPECT_TRUE(near(cv.rgb(40, 55), 0xffffff));
}

namespace {

// Every control idle, hovered and pressed, the icons, scroll bar, title and footer.
void paintGallery(Canvas& cv, double t) {
    ui::Ctx& c = cv.ctx();
    const double u = c.ui, x0 = 24 * u;
    cv.frame(t);
    backdrop(cv);
    auto box = [&](double x, double y, double w, double h, int state) {  // idle, hover, press
        const Rect r{x0 + x * u, y * u, w * u, h * u};
        cv.pointer(state ? r.x + r.w - 4 * u : -100, state ? r.y + r.h / 2 : -100, state == 2);
        return r;
    };
    bool back = false;
    cv.pointer(-100, -100);
    ui::screenHeader(c, "Widget gallery", &back);
    for (int s = 0; s < 3; ++s) {
        const double x = s * 250;
        ui::menuButton(c, box(x, 80, 220, 52, s), "Primary", true);
        ui::menuButton(c, box(x, 142, 220, 52, s), "Secondary", false);
        ui::plainButton(c, box(x, 204, 105, 40, s), "Plain", false);
        ui::plainButton(c, box(x + 115, 204, 105, 40, s), "Selected", true);
        ui::letterButton(c, box(x, 254, 44, 44, s), "A", false);
        ui::letterButton(c, box(x + 54, 254, 44, 44, s), "B", true);
    }
    ui::arcadeStartButton(c, box(750, 80, 280, 72, 0), "PLAY", "Arcade \u00b7 Endless");
    ui::arcadeStartButton(c, box(750, 172, 280, 60, 1), "Continue \u00b7 Level 12", "");
    ui::arcadeStartButton(c, box(750, 250, 280, 60, 2), "Pressed", "");

    double y = 330 * u;
    cv.pointer(-100, -100);
    ui::hudPill(c, Rect{x0, y, 150 * u, 44 * u}, "SCORE", "12 480", 0x6a3c9c, 0xffffff, 0xffffff,
                0xd6cbe8, 0);
    ui::hudPill(c, Rect{x0 + 160 * u, y, 120 * u, 44 * u}, "", "Level 7", 0xff5fa3, 0xffffff,
                0x2a0a1c, 0x2a0a1c, 28 * u);
    ui::drawClockIcon(c.cr, x0 + 176 * u, y + 22 * u, 18 * u, 0x2a0a1c, 1.0);
    for (int i = 0; i <= 4; ++i)
        ui::starRating(c.cr, x0 + 360 * u + i * 120 * u, y + 22 * u, 24 * u, 2, 3, i / 4.0);
    ui::slider(c, box(0, 400, 280, 30, 0), 0.35);
    ui::slider(c, box(320, 400, 280, 30, 2), 0.8);
    ui::toggleRow(c, box(640, 394, 300, 40, 0), "Sound effects", true);
    ui::toggleRow(c, box(640, 440, 300, 40, 1), "Aim guide", false);

    y = 490 * u;
    const double icons = 36 * u;
    int k = 0;
    auto next = [&] { return x0 + 20 * u + (k++) * 48 * u; };
    ui::drawShuffleIcon(c.cr, next(), y, icons, 0xffffff, 1.0);
    for (int d = 0; d < 4; ++d) ui::drawTriangleIcon(c.cr, next(), y, icons, d, 0xffffff, 1.0);
    ui::drawPauseIcon(c.cr, next(), y, icons, 0xffffff, 1.0);
    for (int d = 0; d < 2; ++d) ui::drawChevronIcon(c.cr, next(), y, icons, d, 0xffffff, 1.0);
    ui::drawStarIcon(c.cr, next(), y, icons, true, 0xffd700, 1.0);
    ui::drawStarIcon(c.cr, next(), y, icons, false, 0xffffff, 1.0);
    ui::drawLockIcon(c.cr, next(), y, icons, 0xffffff, 1.0);
    ui::drawClockIcon(c.cr, next(), y, icons, 0xffffff, 1.0);

    const Rect list{x0 + 640 * u, 480 * u, 300 * u, 150 * u};
    ui::fillRoundedRect(c.cr, list, 12 * u, 0x1b1030, 0.5);
    ui::scrollbar(c, list, 600 * u, 200 * u);
    const std::vector<std::uint32_t> palette = {0xff4d6d, 0xffe04d, 0x4dd97a, 0x4dc6ff, 0x9b6dff};
    ui::wavyTitle(c, x0 + 300 * u, 580 * u, "Tarnwick rocks", 48 * u, &palette);
    ui::footer(c, c.h);
}

}  // namespace

TEST(WidgetScreenshots, GalleryAtSmallAndLargeScale) {
    for (const double u : {0.72, 1.0, 2.0}) {
        Canvas cv(static_cast<int>(1280 * u), static_cast<int>(720 * u), u);
        paintGallery(cv, 0.3);
        ASSERT_FALSE(cv.savePng("widgets_gallery_u" + std::to_string(static_cast<int>(u * 100)))
                         .empty());
        // The idle primary button is opaque pink at every scale.
        EXPECT_TRUE(near(cv.rgb(static_cast<int>(40 * u), static_cast<int>(106 * u)),
                         ui::kAccentPink, 10));
    }
    Canvas dlg(900, 600);
    dlg.frame(0);
    backdrop(dlg);
    ui::menuButton(dlg.ctx(), Rect{40, 500, 200, 52}, "Behind", true);
    dlg.pointer(560, 380);
    ui::confirmDialog(dlg.ctx(), "Reset progress?", "All stars and best times will be lost.",
                      "Reset", "Cancel");
    ASSERT_FALSE(dlg.savePng("widgets_dialog").empty());
    EXPECT_LT((dlg.rgb(50, 526) >> 16) & 0xFF, 0x60u);  // the dim darkens the button behind
}

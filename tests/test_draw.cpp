// Text with the bundled fonts: fitting, the record of drawn sizes, a reference rendering and
// Han forms per language.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "i18n.h"
#include "support/canvas.h"
#include "support/headless.h"
#include "ui/draw.h"
#include "ui/gpu.h"

using testsupport::Canvas;

// Shapes painted again in later frames come from a cached mask: they must look as painted
// afresh (the fifth, with settings no mask is made for), also a few pixels further on.
TEST(Shapes, RepeatedShapesLookAsPaintedAfresh) {
    std::vector<std::vector<std::uint32_t>> px;
    for (int f = 0; f < 5; ++f) {
        if (f < 4) ui::gpuBeginFrame();
        Canvas c(110, 50);
        cairo_t* cr = c.cr();
        if (f == 4) cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        if (f == 4) cairo_set_miter_limit(cr, 11);
        const double d = f >= 3 ? 3 : 0;
        ui::fillRoundedRect(cr, {5.3 + d, 4.6 + d, 50, 24}, 9, 0x8040C0, 0.6);
        ui::strokeRoundedRect(cr, {5.3 + d, 4.6 + d, 50, 24}, 9, 1.4, 0xFFFFFF, 0.45);
        ui::fillCircle(cr, 80.25 + d, 20.5 + d, 11, 0xFF5FA3, 1);
        ui::strokeCircle(cr, 80.25 + d, 20.5 + d, 14, 2, 0x20E0A0, 0.8);
        px.push_back(c.image().px);
    }
    for (auto [a, b] : {std::pair{0, 1}, {0, 2}, {3, 4}})
        for (size_t i = 0; i < px[0].size(); ++i)
            for (int sh = 0; sh < 32; sh += 8)
                ASSERT_NEAR(int((px[a][i] >> sh) & 255), int((px[b][i] >> sh) & 255), 1) << b;
}

TEST(Text, FittingShrinksWithinLimitsAndTheRecordHoldsDrawnSizes) {
    testsupport::usePrivateFonts();
    Canvas c(800, 200);
    const ui::TextStyle style{.size = 30};
    const std::string text = "Marbles from the ceiling";
    double w = 0, bold = 0;
    ui::measureText(c.cr(), text, style, &w, nullptr);
    ASSERT_GT(w, 100);
    ui::TextStyle fit = style;  // shrinks to at most 0.6
    for (const auto& [limit, want] : {std::pair{0.4, 0.6}, {0.8, 0.8}, {1.0, 1.0}}) {
        fit.maxWidth = limit * w;
        EXPECT_NEAR(ui::fitScale(c.cr(), text, fit), want, 1e-9) << limit;
    }
    ui::measureText(c.cr(), text, {.size = 30, .bold = true}, &bold, nullptr);
    EXPECT_GT(bold, w) << "the bold face is really used";
    // Fitting never goes below the smallest readable size.
    const ui::TextStyle small{.size = 14, .maxWidth = 20, .minScale = 0.3};
    EXPECT_NEAR(ui::fitScale(c.cr(), text, small) * 14, ui::kMinTextSize, 1e-9);
    // The record holds sizes on the surface, after fitting and the transform; measuring is
    // not drawing, and nothing is noted once stopped.
    fit.maxWidth = 20;
    fit.minScale = 0.5;
    ui::recordDrawnTexts(true);
    ui::drawTextCentered(c.cr(), 400, 150, text, fit);
    ui::measureText(c.cr(), text, style, nullptr, nullptr);
    cairo_scale(c.cr(), 2, 2);
    ui::drawText(c.cr(), 10, 60, "x", style);
    ui::recordDrawnTexts(false);
    ui::drawText(c.cr(), 10, 60, "y", style);
    const auto& drawn = ui::drawnTexts();
    ASSERT_EQ(drawn.size(), 2u);
    EXPECT_EQ(std::tuple(drawn[0].text, drawn[1].text), std::tuple(text, std::string("x")));
    EXPECT_NEAR(drawn[0].px, 15, 1e-9);
    EXPECT_NEAR(drawn[1].px, 60, 1e-9);
}

TEST(Text, GoldenRendering) {
    testsupport::usePrivateFonts();
    testsupport::Headless h(360, 120);
    ASSERT_TRUE(h.ok());
    h.setUpdate([](ui::Ctx& ctx) {
        ui::fillRoundedRect(ctx.cr, {10, 10, 340, 100}, 18, 0x3B2A7A, 1);
        const ui::TextStyle title{.size = 34, .bold = true},
            small{.size = 15, .italic = true, .color = 0xFFD070};
        ui::drawTextCentered(ctx.cr, 180, 46, "Tarnwick", title);
        ui::drawTextCentered(ctx.cr, 180, 84, "Größe · Kugeln · ÄÖÜ", small);
    });
    EXPECT_TRUE(testsupport::matchesGolden(h.frame(0), "text", 24, 40));
}

// Layouts are kept between calls: a text drawn again after it was drawn scaled and turned
// must come out as it did at first.
TEST(Text, KeptLayoutsFollowTheTransform) {
    testsupport::usePrivateFonts();
    Canvas first(300, 60), big(600, 120), turned(300, 200), again(300, 60);
    for (Canvas* c : {&first, &big, &turned, &again}) {
        if (c == &big) cairo_scale(c->cr(), 2, 2);
        if (c == &turned) cairo_rotate(c->cr(), 0.4);
        ui::drawText(c->cr(), 10, 10, "Kept layouts", {.size = 20});
    }
    EXPECT_EQ(first.image().px, again.image().px);
}

// A text drawn turned a half or a quarter turn, or mirrored, is the upright picture turned
// or mirrored about its anchor: neither shifted nor flipped the wrong way.
TEST(Text, TurnedTextIsTheUprightPictureTurned) {
    testsupport::usePrivateFonts();
    const auto draw = [](double xx, double yx, double xy, double yy) {
        Canvas c(120, 120);
        cairo_matrix_t m;
        cairo_matrix_init(&m, xx, yx, xy, yy, 60, 60);
        cairo_set_matrix(c.cr(), &m);
        ui::drawTextCentered(c.cr(), 0, 0, "Fg7", {.size = 40, .bold = true});
        return c.image().px;
    };
    const std::vector<std::uint32_t> upright = draw(1, 0, 0, 1);
    const auto alpha = [](std::uint32_t p) { return static_cast<int>(p >> 24); };
    ASSERT_GT(std::count_if(upright.begin(), upright.end(), [&](auto p) { return alpha(p) > 128; }),
              300);
    // Where the upright pixel (x, y) lands under each transform.
    const std::vector<std::tuple<const char*, std::vector<std::uint32_t>, int (*)(int, int)>>
        cases = {
            {"half turn", draw(-1, 0, 0, -1),
             [](int x, int y) { return (119 - y) * 120 + 119 - x; }},
            {"quarter turn", draw(0, 1, -1, 0), [](int x, int y) { return (x)*120 + 119 - y; }},
            {"mirrored", draw(-1, 0, 0, 1), [](int x, int y) { return y * 120 + 119 - x; }}};
    for (const auto& [name, px, at] : cases) {
        int off = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 120; ++x)
                off += std::abs(alpha(upright[y * 120 + x]) - alpha(px[at(x, y)])) > 64;
        EXPECT_LT(off, 20) << name;
    }
}

// Japanese and Chinese write 真 with different strokes: it must take the forms of the current
// language, or of the one a text names.
TEST(Text, HanCharactersTakeTheFormsOfTheirLanguage) {
    testsupport::usePrivateFonts();
    Canvas c(90, 90);
    auto picture = [&c](const char* current, const char* named) {
        i18n::setLanguage(current);
        c.frame(0);
        ui::drawTextCentered(c.cr(), 45, 45, "\u771F", {.size = 64, .lang = named});
        return c.image().px;
    };
    const std::vector<std::uint32_t> ja = picture("ja", nullptr);
    const std::vector<std::uint32_t> zh = picture("zh", nullptr);
    const std::vector<std::uint32_t> named = picture("zh", "ja");
    i18n::setLanguage("en");
    auto inked = [](std::uint32_t p) { return p >> 24 > 128; };
    EXPECT_GT(std::count_if(ja.begin(), ja.end(), inked), 400) << "a real glyph, not an empty box";
    int differing = 0;
    for (size_t i = 0; i < ja.size(); ++i)
        differing += std::abs(static_cast<int>(ja[i] >> 24) - static_cast<int>(zh[i] >> 24)) > 128;
    EXPECT_GT(differing, 40) << "Japanese and Chinese drew the same forms";
    EXPECT_EQ(named, ja) << "a text in Japanese keeps its forms under another language";
}

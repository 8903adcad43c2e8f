// Cairo shapes, the soft shadow, font registration and text fitting, measured on image
// surfaces with the bundled fonts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "i18n.h"
#include "support/headless.h"
#include "ui/draw.h"
#include "ui/gpu.h"

namespace {

// An image surface with a context on it; both freed with the object.
struct Canvas {
    cairo_surface_t* surf;
    cairo_t* cr;
    Canvas(int w, int h)
        : surf(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h)), cr(cairo_create(surf)) {}
    ~Canvas() { cairo_destroy(cr), cairo_surface_destroy(surf); }
    std::vector<std::uint32_t> pixels() {  // the stride is 4 w at the sizes used here
        cairo_surface_flush(surf);
        const auto* d = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surf));
        return {d, d + cairo_image_surface_get_width(surf) * cairo_image_surface_get_height(surf)};
    }
    int alphaAt(int x, int y) {
        cairo_surface_flush(surf);
        const unsigned char* d = cairo_image_surface_get_data(surf);
        const int stride = cairo_image_surface_get_stride(surf);
        return d[y * stride + x * 4 + 3];
    }
};

std::vector<double> pathData(cairo_t* cr) {
    cairo_path_t* p = cairo_copy_path(cr);
    std::vector<double> out;
    for (int i = 0; i < p->num_data; i += p->data[i].header.length) {
        out.push_back(p->data[i].header.type);
        for (int j = 1; j < p->data[i].header.length; ++j)
            out.insert(out.end(), {p->data[i + j].point.x, p->data[i + j].point.y});
    }
    cairo_path_destroy(p);
    return out;
}

}  // namespace

TEST(Shapes, RoundedRectangleRadiusIsLimitedToAPill) {
    Canvas c(100, 100);
    ui::roundedRectPath(c.cr, {10, 10, 40, 20}, 50);
    const std::vector<double> pill = pathData(c.cr);
    cairo_new_path(c.cr);
    ui::roundedRectPath(c.cr, {10, 10, 40, 20}, 10);
    EXPECT_EQ(pill, pathData(c.cr));
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_path_extents(c.cr, &x1, &y1, &x2, &y2);
    EXPECT_NEAR(x1, 10, 1e-9);
    EXPECT_NEAR(y2, 30, 1e-9);
    EXPECT_TRUE(cairo_in_fill(c.cr, 11, 20)) << "left end is a half circle";
    EXPECT_FALSE(cairo_in_fill(c.cr, 11, 11)) << "its corner is cut away";

    ui::fillRoundedRect(c.cr, {0, 50, 40, 40}, 4, 0xFFFFFF, 1);
    EXPECT_EQ(c.alphaAt(20, 70), 255);
    EXPECT_EQ(c.alphaAt(0, 50), 0);
    ui::fillCircle(c.cr, 70, 70, 10, 0xFFFFFF, 0.5);
    EXPECT_NEAR(c.alphaAt(70, 70), 128, 1);
    EXPECT_EQ(c.alphaAt(70, 58), 0);
    ui::drawLine(c.cr, 60, 5, 90, 5, 2, 0xFFFFFF, 1);
    EXPECT_EQ(c.alphaAt(75, 4), 255);
    EXPECT_EQ(c.alphaAt(59, 4), 0) << "butt caps end at the end point";
}

// Shapes painted again in later frames come from a cached mask: they must look as painted
// afresh (the fifth, with settings no mask is made for), also a few pixels further on.
TEST(Shapes, RepeatedShapesLookAsPaintedAfresh) {
    std::vector<std::vector<std::uint32_t>> px;
    for (int f = 0; f < 5; ++f) {
        if (f < 4) ui::gpuBeginFrame();
        Canvas c(110, 50);
        if (f == 4) cairo_set_fill_rule(c.cr, CAIRO_FILL_RULE_EVEN_ODD);
        if (f == 4) cairo_set_miter_limit(c.cr, 11);
        const double d = f >= 3 ? 3 : 0;
        ui::fillRoundedRect(c.cr, {5.3 + d, 4.6 + d, 50, 24}, 9, 0x8040C0, 0.6);
        ui::strokeRoundedRect(c.cr, {5.3 + d, 4.6 + d, 50, 24}, 9, 1.4, 0xFFFFFF, 0.45);
        ui::fillCircle(c.cr, 80.25 + d, 20.5 + d, 11, 0xFF5FA3, 1);
        ui::strokeCircle(c.cr, 80.25 + d, 20.5 + d, 14, 2, 0x20E0A0, 0.8);
        px.push_back(c.pixels());
    }
    for (auto [a, b] : {std::pair{0, 1}, {0, 2}, {3, 4}})
        for (size_t i = 0; i < px[0].size(); ++i)
            for (int sh = 0; sh < 32; sh += 8)
                ASSERT_NEAR(int((px[a][i] >> sh) & 255), int((px[b][i] >> sh) & 255), 1) << b;
}

TEST(Shapes, SoftShadowLayersOffsetAndKeepsThePath) {
    // radius 0.7 gives n = 2 layers of alpha / 2: the inside is covered twice.
    Canvas c(60, 60);
    cairo_rectangle(c.cr, 10, 10, 20, 20);
    const std::vector<double> before = pathData(c.cr);
    ui::softShadowFromPath(c.cr, 20, 20, 0.7, 0x000000, 1.0);
    EXPECT_EQ(pathData(c.cr), before) << "the caller's path is left in place, untranslated";
    EXPECT_NEAR(c.alphaAt(40, 40), 255 * (1 - 0.25), 1.5);
    EXPECT_EQ(c.alphaAt(20, 20), 0) << "the shadow is offset";
    EXPECT_EQ(c.alphaAt(52, 40), 0) << "a 0.7 radius does not reach 2 units out";

    // radius 6: six layers, widths 12 down to 2, so the edge fades out over about 6 units.
    Canvas d(80, 80);
    cairo_rectangle(d.cr, 20, 20, 40, 40);
    ui::softShadowFromPath(d.cr, 0, 0, 6, 0x000000, 1.0);
    const int inside = d.alphaAt(40, 40), near = d.alphaAt(61, 40), far = d.alphaAt(65, 40);
    EXPECT_NEAR(inside, 255 * (1 - std::pow(1 - 1.0 / 6, 6)), 2);
    EXPECT_GT(inside, near);
    EXPECT_GT(near, far);
    EXPECT_GT(far, 0);
    EXPECT_EQ(d.alphaAt(67, 40), 0);
}

TEST(Text, FittingMeasuringAndAnchoring) {
    testsupport::usePrivateFonts();
    Canvas c(800, 200);
    ui::TextStyle style;
    style.size = 30;
    const std::string text = "Marbles from the ceiling";
    double w = 0, h = 0;
    ui::measureText(c.cr, text, style, &w, &h);
    ASSERT_GT(w, 100);
    EXPECT_EQ(w, std::floor(w)) << "whole units";
    EXPECT_GT(h, 30);

    auto width = [&](const ui::TextStyle& s) {
        double out = 0;
        ui::measureText(c.cr, text, s, &out, nullptr);
        return out;
    };
    // Shrinking stops at minScale even when the text is still too wide.
    ui::TextStyle fit = style;
    fit.maxWidth = w * 0.4;
    fit.minScale = 0.6;
    EXPECT_DOUBLE_EQ(ui::fitScale(c.cr, text, fit), 0.6);
    EXPECT_NEAR(width(fit), 0.6 * w, 0.04 * w);
    fit.maxWidth = w * 0.8;
    EXPECT_NEAR(ui::fitScale(c.cr, text, fit), 0.8, 1e-9);
    fit.maxWidth = w;
    EXPECT_DOUBLE_EQ(ui::fitScale(c.cr, text, fit), 1.0);
    fit.maxWidth = 0;  // no limit
    EXPECT_EQ(width(fit), w);
    // Bold text is wider than regular text: the bold face is really used.
    ui::TextStyle bold = style;
    bold.bold = true;
    EXPECT_GT(width(bold), w);

    // Empty text draws nothing and leaves the source alone.
    cairo_set_source_rgb(c.cr, 1, 0, 0);
    ui::drawText(c.cr, 10, 10, "", style);
    ui::drawTextCentered(c.cr, 10, 10, "", style);
    double r = 0, g = 0, b = 0, a = 0;
    cairo_pattern_get_rgba(cairo_get_source(c.cr), &r, &g, &b, &a);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c.alphaAt(12, 20), 0);

    // Right-aligned text ends at its x; centred text straddles it.
    // Draws "Tarnwick" aligned at (x, y); returns the first and last inked columns.
    auto inkColumns = [&c, style](ui::Align align, double x, int y) {
        ui::TextStyle s = style;
        s.align = align;
        ui::drawText(c.cr, x, y, "Tarnwick", s);
        int first = 10000, last = -1;
        for (int yy = y; yy < y + 50; ++yy)
            for (int xx = 0; xx < 800; ++xx)
                if (c.alphaAt(xx, yy) > 0) first = std::min(first, xx), last = std::max(last, xx);
        return std::pair{first, last};
    };
    const int rightEnd = inkColumns(ui::Align::Right, 700, 0).second;
    EXPECT_LE(rightEnd, 700);
    EXPECT_GE(rightEnd, 690);
    const auto [first, last] = inkColumns(ui::Align::Center, 400, 100);
    EXPECT_NEAR((first + last) / 2.0, 400, 4);

    // Fitting gives way to readability: a text never shrinks below the smallest size.
    ui::TextStyle tight = style;
    tight.size = 14;
    tight.maxWidth = 20;
    tight.minScale = 0.3;
    EXPECT_NEAR(ui::fitScale(c.cr, text, tight) * 14, ui::kMinTextSize, 1e-9);
    // The record of drawn texts holds the size on the surface: after fitting and through
    // the context's transform. Measuring is not drawing; nothing is noted once stopped.
    tight.size = 30;
    tight.minScale = 0.5;
    ui::recordDrawnTexts(true);
    ui::drawTextCentered(c.cr, 400, 150, text, tight);
    ui::measureText(c.cr, text, style, nullptr, nullptr);
    cairo_save(c.cr);
    cairo_scale(c.cr, 2, 2);
    ui::drawText(c.cr, 10, 60, "x", style);
    cairo_restore(c.cr);
    ui::recordDrawnTexts(false);
    ui::drawText(c.cr, 10, 60, "y", style);
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
        ui::TextStyle title, small;
        title.size = 34;
        title.bold = true;
        ui::drawTextCentered(ctx.cr, 180, 46, "Tarnwick", title);
        small.size = 15;
        small.color = 0xFFD070;
        small.italic = true;
        ui::drawTextCentered(ctx.cr, 180, 84, "Größe · Kugeln · ÄÖÜ", small);
    });
    EXPECT_TRUE(testsupport::matchesGolden(h.frame(0), "text", 24, 40));
}

// Layouts are kept between calls: a text drawn again after it was drawn scaled and turned
// must come out as it did at first.
TEST(Text, KeptLayoutsFollowTheTransform) {
    testsupport::usePrivateFonts();
    ui::TextStyle style;
    style.size = 20;
    Canvas first(300, 60), big(600, 120), turned(300, 200), again(300, 60);
    for (Canvas* c : {&first, &big, &turned, &again}) {
        if (c == &big) cairo_scale(c->cr, 2, 2);
        if (c == &turned) cairo_rotate(c->cr, 0.4);
        ui::drawText(c->cr, 10, 10, "Kept layouts", style);
    }
    EXPECT_EQ(first.pixels(), again.pixels());
}

// Japanese and Chinese write 真 with different strokes. Drawn in each language (the current
// one, or the one a text names) on one context, it must come out in that language's forms.
TEST(Text, HanCharactersTakeTheFormsOfTheirLanguage) {
    testsupport::usePrivateFonts();
    Canvas c(90, 90);
    auto picture = [&c](const char* current, const char* named) {
        i18n::setLanguage(current);
        cairo_save(c.cr);
        cairo_set_operator(c.cr, CAIRO_OPERATOR_CLEAR);
        cairo_paint(c.cr);
        cairo_restore(c.cr);
        ui::TextStyle s;
        s.size = 64;
        s.lang = named;
        ui::drawTextCentered(c.cr, 45, 45, "\u771F", s);
        std::vector<int> alpha;
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 90; ++x) alpha.push_back(c.alphaAt(x, y));
        return alpha;
    };
    const std::vector<int> ja = picture("ja", nullptr);
    const std::vector<int> zh = picture("zh", nullptr);
    const std::vector<int> named = picture("zh", "ja");
    i18n::setLanguage("en");
    EXPECT_GT(std::count_if(ja.begin(), ja.end(), [](int a) { return a > 128; }), 400)
        << "a real glyph, not an empty box";
    int differing = 0;
    for (size_t i = 0; i < ja.size(); ++i) differing += std::abs(ja[i] - zh[i]) > 128;
    EXPECT_GT(differing, 40) << "Japanese and Chinese drew the same forms";
    EXPECT_EQ(named, ja) << "a text in Japanese keeps its forms under another language";
}

TEST(Fonts, RegistrationReportsEachMissingFileAndGoesOn) {
    // Paths are worked out once per process, so this runs in a child.
    const std::string dir = testsupport::scratchDir("fonts");
    for (const char* sub : {"/assets/fonts", "/assets/audio"})
        std::filesystem::create_directories(dir + sub);
    for (const char* f : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
        std::filesystem::copy_file("/usr/share/fonts/truetype/dejavu/" + std::string(f),
                                   dir + "/assets/fonts/" + f);
    const std::string log = dir + "/stderr.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::freopen(log.c_str(), "w", stderr);
        setenv("PLUMBRIX_ASSET_DIR", dir.c_str(), 1);
        unsetenv("SNAP");
        unsetenv("APPDIR");
        const bool all = ui::registerBundledFonts();
        std::fflush(stderr);
        _exit(all ? 1 : 0);  // a missing file must make the result false
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::stringstream ss;
    ss << std::ifstream(log).rdbuf();
    std::string expected;
    for (const char* face : {"JP", "SC", "KR"})
        expected +=
            "[fonts] konnte " + dir + "/assets/fonts/QuendraCJK-" + face + ".ttf nicht anmelden\n";
    EXPECT_EQ(ss.str(), expected);
}

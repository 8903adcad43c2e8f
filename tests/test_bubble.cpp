// Marble, orb, obstacle and launcher sprites: cache keys and sizes, layers, and pixels.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "support/soft_gpu.h"
#include "theme.h"
#include "ui/bubble.h"
#include "ui/gpu.h"

using testsupport::SoftGpu;
using theme::MarbleSkin;

namespace {

int g_paints = 0;
void countingPaint(cairo_t*, void*) { ++g_paints; }

// True when the cache already holds key at px x px: asking again does not paint.
bool cached(const char* key, int px) {
    g_paints = 0;
    SDL_Texture* tex = ui::gpuTexture(key, px, px, countingPaint, nullptr);
    const bool hit = tex != nullptr && g_paints == 0;
    if (!hit) ui::gpuDrop(key);
    return hit;
}

int lum(std::uint32_t p) {
    return testsupport::redOf(p) + testsupport::greenOf(p) + testsupport::blueOf(p);
}

}  // namespace

TEST(BubbleSprites, KeysAndPixelSizes) {
    SoftGpu gpu;
    ui::drawBubble(MarbleSkin::Bubble, 0xff0000, 100, 100, 20, 1.0);
    EXPECT_TRUE(cached("bub_1_ff0000_45_0", 45));  // lround(20 x 2 x 1.12) = 45
    EXPECT_EQ(ui::gpuDrawCalls(), 1);
    // The texture follows the scale: at 2x the same marble is a new, larger sprite.
    ui::gpuSetScale(2.0);
    ui::drawBubble(MarbleSkin::Crystal, 0x00ff00, 100, 100, 20, 1.0);
    EXPECT_TRUE(cached("bub_2_00ff00_90_0", 90));
    ui::gpuSetScale(1.0);

    ui::drawStarOrb(50, 50, 10, 0.0);
    EXPECT_TRUE(cached("orb_20", 20));
    ui::drawObstacle(1, 50, 50, 12.3, 0.0);
    EXPECT_TRUE(cached("obs_1_25", 25));

    // Too small to be a pixel: nothing is painted or blitted.
    gpu.clear();
    ui::drawStarOrb(50, 50, 0.2, 0.0);
    ui::drawBubble(MarbleSkin::Classic, 0x123456, 50, 50, 0.1, 1.0);
    ui::drawObstacle(0, 50, 50, std::nan(""), 0.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 0);
    EXPECT_FALSE(cached("orb_0", 0));
    EXPECT_EQ(ui::bubbleTexture(MarbleSkin::Classic, 0x123456, 0.3), nullptr);
    EXPECT_NE(ui::bubbleTexture(MarbleSkin::Classic, 0x123456, 40), nullptr);
}

TEST(BubbleSprites, SpunMarblesUseThreeLayersOnlyWhenTurned) {
    SoftGpu gpu;
    ui::drawBubbleSpun(MarbleSkin::Bubble, 0x4dc6ff, 60, 60, 20, 720.02, 1.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 1);  // fmod leaves 0.02 degrees: drawn whole
    EXPECT_FALSE(cached("bub_1_4dc6ff_45_2", 45));
    gpu.clear();
    ui::drawBubbleSpun(MarbleSkin::Bubble, 0x4dc6ff, 60, 60, 20, -90, 1.0);
    EXPECT_EQ(ui::gpuDrawCalls(), 3);
    for (const char* key : {"bub_1_4dc6ff_45_1", "bub_1_4dc6ff_45_2", "bub_1_4dc6ff_45_3"})
        EXPECT_TRUE(cached(key, 45)) << key;

    // Turning only moves the pattern: base and gloss pixels stay where they were.
    auto spun = [&](double degrees) {
        gpu.clear();
        ui::drawBubbleSpun(MarbleSkin::Classic, 0x4dc6ff, 60, 60, 20, degrees, 1.0);
        return gpu.pixel(53, 52);
    };
    const std::uint32_t still = spun(0), turned = spun(137);
    EXPECT_NEAR(testsupport::redOf(still), testsupport::redOf(turned), 3);
    EXPECT_NEAR(testsupport::blueOf(still), testsupport::blueOf(turned), 3);
}

TEST(BubbleSprites, PaintedMarbleLooksLikeAMarble) {
    SoftGpu gpu;
    ui::drawBubble(MarbleSkin::Classic, 0xff0000, 100, 100, 30, 1.0);
    // Lower right of the body: saturated red, opaque.
    const std::uint32_t body = gpu.pixel(110, 112);
    EXPECT_EQ(testsupport::alphaOf(body), 255);
    EXPECT_GT(testsupport::redOf(body), 120);
    EXPECT_LT(testsupport::greenOf(body), 60);
    EXPECT_GT(testsupport::greenOf(gpu.pixel(88, 86)), 150);  // upper left: the highlight
    // The contact shadow reaches below the marble; far outside nothing is painted.
    const std::uint32_t shadow = gpu.pixel(100, 132);
    EXPECT_GT(testsupport::alphaOf(shadow), 0);
    EXPECT_LT(testsupport::redOf(shadow), 60);
    EXPECT_EQ(gpu.pixel(100, 40), 0u);
    // Half alpha fades colour and coverage together (premultiplied).
    gpu.clear();
    ui::drawBubble(MarbleSkin::Classic, 0xff0000, 100, 100, 30, 0.5);
    EXPECT_NEAR(testsupport::alphaOf(gpu.pixel(110, 112)), 128, 3);
}

TEST(BubbleSprites, BodyShadingAndSkinPatterns) {
    SoftGpu gpu;
    // The texture itself: opaque centre, clear corners.
    SDL_Texture* tex = ui::bubbleTexture(MarbleSkin::Classic, 0x3366cc, 100);
    ASSERT_NE(tex, nullptr);
    int w = 0, h = 0;
    SDL_QueryTexture(tex, nullptr, nullptr, &w, &h);
    EXPECT_EQ(w, 112);
    ui::gpuBlit(tex, 0, 0, 112, 112, 1.0);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(56, 56)), 255);
    EXPECT_EQ(gpu.pixel(1, 1) | gpu.pixel(110, 1), 0u);
    // Lit from the upper left: the lower right of the body is darker.
    EXPECT_GT(lum(gpu.pixel(36, 40)), lum(gpu.pixel(80, 80)) + 100);

    // Each skin changes the pixels its pattern covers and leaves the rest alone.
    auto paint = [&](MarbleSkin skin, int x, int y) {
        gpu.clear();
        ui::drawBubble(skin, 0x3366cc, 60, 60, 50, 1.0);
        return gpu.pixel(x, y);
    };
    const MarbleSkin plain = MarbleSkin::Classic;
    // Crystal: the long point of the star, straight up from the centre.
    EXPECT_GT(lum(paint(MarbleSkin::Crystal, 60, 40)), lum(paint(plain, 60, 40)) + 20);
    // Bubble: the first ring, right of and below the centre.
    EXPECT_GT(lum(paint(MarbleSkin::Bubble, 85, 68)), lum(paint(plain, 85, 68)) + 20);
    EXPECT_EQ(paint(MarbleSkin::Bubble, 90, 30), paint(plain, 90, 30));  // away from patterns
}

TEST(BubbleSprites, SpunPatternTurns) {
    SoftGpu gpu;
    // The crystal star points up, right, down and left; an eighth of a turn moves its
    // upper point onto the upper-right diagonal.
    ui::drawBubbleSpun(MarbleSkin::Crystal, 0x3366cc, 60, 60, 50, 0, 1.0);
    const int topStill = lum(gpu.pixel(60, 38)), diagStill = lum(gpu.pixel(76, 44));
    gpu.clear();
    ui::drawBubbleSpun(MarbleSkin::Crystal, 0x3366cc, 60, 60, 50, 45, 1.0);
    EXPECT_LT(lum(gpu.pixel(60, 38)), topStill - 20);
    EXPECT_GT(lum(gpu.pixel(76, 44)), diagStill + 20);
}

TEST(BubbleSprites, SpriteSheetArtefact) {
    // Every world's fifteen marbles, the orb, the obstacles and two launchers, kept as a
    // picture of the run in the build folder.
    SoftGpu gpu(900, 470);
    SDL_SetRenderDrawColor(gpu.renderer(), 36, 28, 64, 255);
    SDL_RenderClear(gpu.renderer());
    const auto& worlds = theme::allWorlds();
    for (std::size_t w = 0; w < worlds.size(); ++w)
        for (int i = 0; i < 15; ++i)
            ui::drawBubble(worlds[w].marbleSkin, worlds[w].marbleColors[i], 30 + i * 56,
                           30 + static_cast<double>(w) * 58, 24, 1.0);
    ui::drawStarOrb(60, 360, 26, 0.7);
    for (int k = 0; k < 3; ++k) ui::drawObstacle(k, 140 + k * 75, 360, 26, 0);
    ui::drawBubbleSpun(MarbleSkin::Crystal, 0xffd700, 370, 360, 24, 30, 1.0);
    ASSERT_TRUE(gpu.savePng(TARNWICK_BINARY_DIR "/artifacts/sprites.png", [&](cairo_t* cr) {
        ui::drawShooter(cr, 520, 380, 24, -1.2, 0xffe04d, worlds[0]);
        ui::drawShooter(cr, 640, 380, 24, -2.0, 0x5dffe0, worlds[2]);
        ui::drawShooter(cr, 760, 380, 24, -M_PI / 2, 0x4dd97a, worlds[3]);
    }));
    // Something of every row was painted.
    for (int w = 0; w < 5; ++w) EXPECT_EQ(testsupport::alphaOf(gpu.pixel(30, 30 + w * 58)), 255);
}

TEST(BubbleSprites, DirectPaintingAndLauncher) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 120);
    cairo_t* cr = cairo_create(s);
    const theme::World& w = theme::worldForLevel(2);
    ui::drawShooter(cr, 60, 70, 16, -M_PI / 2, 0x00ff00, w);
    // Tiny and degenerate sizes paint without trouble.
    ui::paintBubbleCairo(cr, MarbleSkin::Crystal, 0xffffff, 5, 5, 0.3);
    ui::drawShooter(cr, 10, 10, 0, 0, 0x00ff00, w);
    cairo_surface_flush(s);
    const auto* px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s));
    const int stride = cairo_image_surface_get_stride(s) / 4;
    // The loaded marble sits on the launcher: green below its centre.
    const std::uint32_t m = px[(70 + 8) * stride + 64];
    EXPECT_EQ(testsupport::alphaOf(m), 255);
    EXPECT_GT(testsupport::greenOf(m), testsupport::redOf(m) + 60);
    // The barrel points straight up above the marble.
    EXPECT_GT(testsupport::alphaOf(px[(70 - 22) * stride + 60]), 150);
    EXPECT_EQ(testsupport::alphaOf(px[(70 - 22) * stride + 20]), 0);
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}

TEST(MarbleSymbols, EachStandsApartInGreyAtTheSmallestRadius) {
    // Every symbol on every world's first six marble colours at R = 11, turned to grey: two
    // symbols must differ clearly in enough pixels, and each must show against the plain
    // marble, whatever colour carries it.
    constexpr int kSide = 26;
    constexpr double kR = 11;
    const auto grey = [](std::uint32_t colour, theme::MarbleSkin skin, int symbol) {
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kSide, kSide);
        cairo_t* cr = cairo_create(s);
        ui::paintBubbleCairo(cr, skin, colour, kSide / 2.0, kSide / 2.0, kR, symbol);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        std::vector<double> g(kSide * kSide);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const auto* p = data + y * stride + 4 * x;
                g[static_cast<size_t>(y * kSide + x)] = 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
            }
        }
        cairo_surface_destroy(s);
        return g;
    };
    const auto apart = [](const std::vector<double>& a, const std::vector<double>& b) {
        int n = 0;
        for (size_t i = 0; i < a.size(); ++i) n += std::fabs(a[i] - b[i]) > 60;
        return n;
    };
    int closest = 1 << 30;
    int faintest = 1 << 30;
    for (const theme::World& w : theme::allWorlds()) {
        for (int c = 0; c < 6; ++c) {
            const std::uint32_t colour = w.marbleColors[static_cast<size_t>(c)];
            const std::vector<double> plain = grey(colour, w.marbleSkin, -1);
            std::vector<std::vector<double>> with;
            for (int k = 0; k < ui::kMarbleSymbols; ++k) {
                with.push_back(grey(colour, w.marbleSkin, k));
                faintest = std::min(faintest, apart(with.back(), plain));
            }
            for (int a = 0; a < ui::kMarbleSymbols; ++a) {
                for (int b = a + 1; b < ui::kMarbleSymbols; ++b) {
                    const int d = apart(with[static_cast<size_t>(a)], with[static_cast<size_t>(b)]);
                    closest = std::min(closest, d);
                    EXPECT_GE(d, 24) << w.id << " colour " << c << ": symbols " << a << ", " << b
                                     << " differ in " << d;
                }
            }
        }
    }
    std::printf("[ symbols ] fewest pixels between two symbols %d, symbol against plain %d\n",
                closest, faintest);
    EXPECT_GE(faintest, 20);
}

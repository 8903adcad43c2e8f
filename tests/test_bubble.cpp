// Marble, orb, obstacle and launcher sprites: cache keys and sizes, layers, and pixels.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>

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
    EXPECT_TRUE(cached("bub_1_4dc6ff_45_1", 45));
    EXPECT_TRUE(cached("bub_1_4dc6ff_45_2", 45));
    EXPECT_TRUE(cached("bub_1_4dc6ff_45_3", 45));

    // Turning only moves the pattern: base and gloss pixels stay where they were.
    gpu.clear();
    ui::drawBubbleSpun(MarbleSkin::Classic, 0x4dc6ff, 60, 60, 20, 0, 1.0);
    const std::uint32_t still = gpu.pixel(53, 52);
    gpu.clear();
    ui::drawBubbleSpun(MarbleSkin::Classic, 0x4dc6ff, 60, 60, 20, 137, 1.0);
    const std::uint32_t turned = gpu.pixel(53, 52);
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
    // Upper left: the highlight is much brighter than the body.
    const std::uint32_t shine = gpu.pixel(88, 86);
    EXPECT_GT(testsupport::greenOf(shine), 150);
    // The contact shadow reaches below the marble; far outside nothing is painted.
    const std::uint32_t shadow = gpu.pixel(100, 132);
    EXPECT_GT(testsupport::alphaOf(shadow), 0);
    EXPECT_LT(testsupport::redOf(shadow), 60);
    EXPECT_EQ(gpu.pixel(100, 40), 0u);
    // Half alpha fades colour and coverage together (premultiplied).
    gpu.clear();
    ui::drawBubble(MarbleSkin::Classic, 0xff0000, 100, 100, 30, 0.5);
    const std::uint32_t faded = gpu.pixel(110, 112);
    EXPECT_NEAR(testsupport::alphaOf(faded), 128, 3);
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

// The texture cache and where blits land, on a real headless renderer.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

#include "support/headless.h"
#include "ui/draw.h"
#include "ui/gpu.h"

namespace {

struct PaintLog {
    int calls = 0;
    double deviceScale = 0;
};

void countingPaint(cairo_t* cr, void* user) {
    auto* log = static_cast<PaintLog*>(user);
    ++log->calls;
    double sx = 0, sy = 0;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    log->deviceScale = sx;
    ui::fillCircle(cr, 8, 8, 6, 0xFF8000, 1.0);
}

}  // namespace

TEST(GpuCache, HitsMissesSizesDropAndNoRenderer) {
    ui::gpuShutdown();  // without a renderer nothing is cached and nothing painted
    PaintLog none;
    EXPECT_EQ(ui::gpuTexture("x", 4, 4, countingPaint, &none), nullptr);
    EXPECT_EQ(none.calls, 0);

    testsupport::Headless h(64, 64);
    ASSERT_TRUE(h.ok());
    ui::gpuSetScale(2.0);
    PaintLog log;
    SDL_Texture* a = ui::gpuTexture("disc", 16, 16, countingPaint, &log);
    ASSERT_NE(a, nullptr);
    EXPECT_DOUBLE_EQ(log.deviceScale, 2.0) << "painters work in logical units";
    ui::gpuBeginFrame();
    EXPECT_EQ(ui::gpuTexture("disc", 16, 16, countingPaint, &log), a);
    EXPECT_EQ(log.calls, 1) << "a hit does not paint";
    ASSERT_NE(ui::gpuTexture("disc", 32, 16, countingPaint, &log), nullptr);
    EXPECT_EQ(log.calls, 2) << "another size paints anew";
    EXPECT_EQ(ui::gpuCacheSize(), 1);
    EXPECT_EQ(ui::gpuTexture("tiny", 0, 5, countingPaint, &log), nullptr);
    EXPECT_EQ(ui::gpuTexture("huge", 1 << 20, 1 << 20, countingPaint, &log), nullptr);
    EXPECT_EQ(log.calls, 2);
    ui::gpuDrop("disc");
    EXPECT_EQ(ui::gpuCacheSize(), 0);
    ui::gpuSetScale(0.0);
    EXPECT_DOUBLE_EQ(ui::gpuScale(), 1.0);
}

TEST(GpuCache, EvictsAThirdOldestFirstPastNineHundredEntries) {
    testsupport::Headless h(32, 32);
    ASSERT_TRUE(h.ok());
    auto key = [](char prefix, int i) { return prefix + std::to_string(1000 + i); };
    // 901 entries: the first 300 never hit again, the rest hit in later frames.
    for (int i = 0; i < 901; ++i)
        ASSERT_NE(ui::gpuTexture(key('k', i), 1, 1, nullptr, nullptr), nullptr);
    for (int i = 300; i < 901; ++i) {
        ui::gpuBeginFrame();
        ui::gpuTexture(key('k', i), 1, 1, nullptr, nullptr);
    }
    ASSERT_EQ(ui::gpuCacheSize(), 901);
    ui::gpuTexture("new", 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui::gpuCacheSize(), 901 - 300 + 1);
    EXPECT_FALSE(ui::gpuCached(key('k', 299)));
    EXPECT_TRUE(ui::gpuCached(key('k', 300)));
    // Past 64 MB of pixels the longest unused go until a quarter of the budget is free.
    ui::gpuInit(h.shell().renderer);
    for (int i = 0; i < 18; ++i) {
        ui::gpuBeginFrame();
        ASSERT_NE(ui::gpuTexture(key('m', i), 1024, 1024, nullptr, nullptr), nullptr);
    }
    EXPECT_EQ(ui::gpuCacheBytes(), std::int64_t{13} << 22) << "48 MB kept, then one more";
    EXPECT_FALSE(ui::gpuCached(key('m', 4)));
    EXPECT_TRUE(ui::gpuCached(key('m', 5)));
}

TEST(GpuBlit, PixelsLandWhereScaledAndRoundedAndClipped) {
    testsupport::Headless h(100, 100);
    ASSERT_TRUE(h.ok());
    h.setUpdate([](ui::Ctx&) {
        ui::gpuSetScale(2.0);  // the frame would set 1.0: logical 50 x 50 on 100 x 100 pixels
        ui::gpuFillRect(10.2, 10.3, 5, 5, 0xFF0000, 1.0);  // pixels 20..29, 21..30
        ui::gpuSetClip(30, 0, 10, 50);                     // pixels 60..79 across
        ui::gpuFillRect(25, 30, 30, 5, 0x00FF00, 1.0);     // pixels 50..109 -> clipped
        ui::gpuClearClip();
    });
    const testsupport::Frame& f = h.frame(0);
    ASSERT_FALSE(f.empty());
    for (const auto& [x, y, on] :
         {std::tuple{20, 21, true}, {29, 30, true}, {30, 30, false}, {25, 20, false}})
        EXPECT_EQ(testsupport::red(f.at(x, y)) == 255, on) << x << "," << y;
    for (const auto& [x, on] : {std::pair{65, true}, {55, false}, {85, false}})  // the clip
        EXPECT_EQ(testsupport::green(f.at(x, 62)) == 255, on) << x;
}

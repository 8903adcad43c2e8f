// The texture cache on a real headless renderer.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

TEST(GpuCache, HitsMissesSizesAndDrop) {
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

// On SDL's software renderer a small tinted sprite comes from a kept copy: a texture
// painted again under the same key must show its new picture, and copies nobody draws
// any more are let go.
TEST(GpuCache, KeptTintedCopiesFollowTheirTextureAndGo) {
    testsupport::Headless h(64, 64, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    std::uint32_t colour = 0xFF0000;
    auto paint = [](cairo_t* cr, void* user) {
        ui::fillRect(cr, {0, 0, 16, 16}, *static_cast<std::uint32_t*>(user), 1.0);
    };
    auto centre = [&] {
        h.setUpdate([&](ui::Ctx&) {
            SDL_Texture* tex = ui::gpuTexture("spot", 16, 16, paint, &colour);
            ui::gpuBlitTinted(tex, 8, 8, 24, 24, 0xFFFFFF, 1.0);
        });
        return h.frame(0).at(20, 20) & 0xFFFFFF;
    };
    const std::int64_t bare = ui::gpuCacheBytes();
    EXPECT_EQ(centre(), 0xFF0000u);
    EXPECT_GT(ui::gpuCacheBytes(), bare + 16 * 16 * 4) << "the copy is kept";
    ui::gpuDrop("spot");
    EXPECT_EQ(ui::gpuCacheBytes(), bare) << "the copies go with their texture";
    colour = 0x0000FF;
    EXPECT_EQ(centre(), 0x0000FFu) << "a copy of the texture that was dropped";
    h.setUpdate([](ui::Ctx&) {});
    for (int i = 0; i < 250; ++i) h.frame(i / 60.0);
    EXPECT_EQ(ui::gpuCacheBytes(), bare + 16 * 16 * 4) << "only the texture itself is left";
}

// A soft coverage mask blended or added straight into the software renderer's window shows
// what SDL's own tinted or added copy of the same picture shows, within the clip and window.
TEST(GpuCoverage, BlendsAndAddsAsTheRendererDoesWithinClipAndWindow) {
    testsupport::Headless h(64, 48, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    constexpr int kW = 23, kH = 17;  // a width that leaves a tail after groups of four
    auto paintSoft = [](cairo_t* cr, void*) {
        cairo_pattern_t* p = cairo_pattern_create_radial(9, 8, 0, 9, 8, 12);
        cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 1);
        cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 0);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    };
    cairo_surface_t* a8 = cairo_image_surface_create(CAIRO_FORMAT_A8, kW, kH);
    cairo_t* cr = cairo_create(a8);
    paintSoft(cr, nullptr);
    cairo_destroy(cr);
    cairo_surface_flush(a8);
    const std::uint8_t* mask = cairo_image_surface_get_data(a8);
    const int stride = cairo_image_surface_get_stride(a8);

    // Each place is drawn once through the mask and once as the renderer's own copy.
    struct Place {
        double x, y;
        bool clipped;
        int probeX, probeY;  // a pixel the mask covers well
    };
    for (const bool add : {false, true}) {
        for (const Place& at : {Place{5, 7, false, 14, 15}, Place{-6, 38, false, 3, 46},
                                Place{50, -4, true, 54, 4}}) {
            auto draw = [&](bool direct) {
                h.setUpdate([&](ui::Ctx&) {
                    ui::gpuFillRect(0, 0, 64, 48, 0x204060, 1);
                    if (at.clipped) ui::gpuSetClip(0, 0, 56, 48);
                    SDL_Texture* tex = ui::gpuTexture("soft", kW, kH, paintSoft, nullptr);
                    if (direct) {
                        EXPECT_TRUE(ui::gpuBlendCoverage(
                            mask, kW, kH, stride, at.x, at.y, 250, 200, 10, 0.8,
                            add ? ui::Coverage::Add : ui::Coverage::Blend));
                    } else if (add) {
                        ui::gpuBlitAdditive(tex, at.x, at.y, kW, kH, 0xFAC80A, 0.8);
                    } else {
                        ui::gpuBlitTinted(tex, at.x, at.y, kW, kH, 0xFAC80A, 0.8);
                    }
                    ui::gpuClearClip();
                });
                return h.frame(0);
            };
            const testsupport::Frame direct = draw(true);
            const testsupport::Frame copied = draw(false);
            EXPECT_LE(testsupport::maxChannelDiff(direct, copied), 3)
                << (add ? "added at " : "blended at ") << at.x << "," << at.y;
            EXPECT_NE(direct.at(at.probeX, at.probeY), direct.at(32, 24))
                << "the mask shows at " << at.x << "," << at.y;
            if (at.clipped) {
                EXPECT_EQ(direct.at(58, 2) & 0xFFFFFF, 0x204060u) << "past the clip";
            }
        }
    }
    cairo_surface_destroy(a8);
}

// Fills on the software renderer's window are blended in place: they show what the
// renderer's own blended fills show inside a render target, within the clip and window.
TEST(GpuFill, OnTheSoftwareWindowShowAsTheRendererBlendsThem) {
    testsupport::Headless h(64, 48, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    constexpr std::uint32_t kBack = 0x204060;
    auto fills = [](void*) {
        ui::gpuFillRect(0, 0, 64, 48, kBack, 1);
        ui::gpuFillRect(3, 5, 23, 17, 0xFAC80A, 0.55);   // leaves a tail after groups of four
        ui::gpuFillRect(50, 40, 30, 30, 0xFFFFFF, 0.3);  // reaches past the corner
        ui::gpuSetClip(0, 0, 40, 48);
        ui::gpuFillRect(30, 20, 30, 10, 0x10F030, 0.8);  // cut by the clip
        ui::gpuClearClip();
        ui::gpuFillRect(8, 30, 5, 5, 0xFF0000, 1);
    };
    h.setUpdate([&](ui::Ctx&) { fills(nullptr); });
    const testsupport::Frame onWindow = h.frame(0);
    h.setUpdate([&](ui::Ctx&) {
        SDL_Texture* t = ui::gpuOpaqueTarget("fills", 64, 48, fills, nullptr, true);
        ASSERT_NE(t, nullptr);
        ui::gpuCopyOpaque(t, 0, 0, 64, 48);
    });
    const testsupport::Frame inTarget = h.frame(0.1);
    EXPECT_LE(testsupport::maxChannelDiff(onWindow, inTarget), 2);
    EXPECT_NE(onWindow.at(25, 21) & 0xFFFFFF, kBack) << "the fill's last column";
    EXPECT_EQ(onWindow.at(26, 21) & 0xFFFFFF, kBack) << "nothing past it";
    EXPECT_NE(onWindow.at(63, 47) & 0xFFFFFF, kBack) << "the corner";
    EXPECT_NE(onWindow.at(39, 25), onWindow.at(40, 25)) << "up to the clip";
    EXPECT_EQ(onWindow.at(45, 25) & 0xFFFFFF, kBack) << "past the clip";
    EXPECT_EQ(onWindow.at(10, 32) & 0xFFFFFF, 0xFF0000u) << "opaque";
}

// The frame's clear is skipped only when an opaque copy replaces every pixel of the window.
TEST(GpuFrame, ClearIsSkippedOnlyUnderAWholeWindowCopy) {
    testsupport::Headless h(40, 30, testsupport::RenderPath::Software);
    ASSERT_TRUE(h.ok());
    auto red = [](cairo_t* cr, void*) { ui::fillRect(cr, {0, 0, 40, 30}, 0xFF0000, 1.0); };
    auto frameWith = [&](double w, bool clipped) {
        h.setUpdate([&](ui::Ctx&) {
            if (clipped) ui::gpuSetClip(0, 0, 20, 30);
            SDL_Texture* tex = ui::gpuTexture("red", 40, 30, red, nullptr);
            if (w > 0) ui::gpuCopyOpaque(tex, 0, 0, w, 30);
            ui::gpuClearClip();
        });
        return h.frame(0);
    };
    constexpr std::uint32_t kClear = 0x0D0620;
    frameWith(40, false);  // the window now holds red: a missing clear would show it
    EXPECT_EQ(frameWith(0, false).at(30, 10) & 0xFFFFFF, kClear) << "nothing drawn";
    frameWith(40, false);
    EXPECT_EQ(frameWith(20, false).at(30, 10) & 0xFFFFFF, kClear) << "half the window";
    frameWith(40, false);
    EXPECT_EQ(frameWith(40, true).at(30, 10) & 0xFFFFFF, kClear) << "within a clip";
    EXPECT_EQ(frameWith(40, false).at(30, 10) & 0xFFFFFF, 0xFF0000u);
}

// On OpenGL a picture drawn into a texture of the window's size reaches the whole window
// by a framebuffer blit: it shows the right way up, exactly as the drawn copy under a clip
// shows it, and what is drawn after it (clipped, or through another texture drawn into in
// the same frame) lands as usual.
TEST(GpuFrame, WholeWindowPictureShowsAsItsCopyDoes) {
    testsupport::Headless h(64, 48, testsupport::RenderPath::OpenGL);
    ASSERT_TRUE(h.ok());
    auto bands = [](void*) {
        for (int i = 0; i < 4; ++i)
            ui::gpuFillRect(0, 12 * i, 64, 12, 0x204060u + 0x300000u * i, 1);
        ui::gpuFillRect(0, 0, 8, 48, 0xF0F0F0, 1);
    };
    auto blue = [](void*) { ui::gpuFillRect(0, 0, 10, 10, 0x0000FF, 1); };
    auto frameWith = [&](bool clipped, bool redraw) {
        h.setUpdate([&](ui::Ctx&) {
            SDL_Texture* tex = ui::gpuOpaqueTarget("bands", 64, 48, bands, nullptr, redraw);
            // A clipped drawing first leaves OpenGL's scissor on as the picture arrives.
            ui::gpuSetClip(0, 0, 10, 10);
            ui::gpuFillRect(0, 0, 64, 48, 0xFF00FF, 1);
            ui::gpuClearClip();
            if (clipped) ui::gpuSetClip(0, 0, 64, 48);
            ui::gpuCopyOpaque(tex, 0, 0, 64, 48);
            ui::gpuSetClip(0, 0, 32, 48);
            ui::gpuFillRect(0, 20, 64, 6, 0x00FF00, 1);
            ui::gpuClearClip();
            SDL_Texture* small = ui::gpuRenderTarget("blue", 10, 10, blue, nullptr, redraw);
            ui::gpuBlit(small, 50, 2, 10, 10, 1);
        });
        return h.frame(0);
    };
    frameWith(false, true);
    const testsupport::Frame blitted = frameWith(false, false);
    const testsupport::Frame copied = frameWith(true, false);
    EXPECT_EQ(testsupport::maxChannelDiff(blitted, copied), 0);
    EXPECT_EQ(blitted.at(20, 4) & 0xFFFFFF, 0x204060u) << "top band on top";
    EXPECT_EQ(blitted.at(20, 44) & 0xFFFFFF, 0xB04060u) << "bottom band below";
    EXPECT_EQ(blitted.at(3, 30) & 0xFFFFFF, 0xF0F0F0u) << "left column on the left";
    EXPECT_EQ(blitted.at(20, 22) & 0xFFFFFF, 0x00FF00u) << "drawn after, within the clip";
    EXPECT_EQ(blitted.at(40, 22) & 0xFFFFFF, 0x504060u) << "the clip still holds";
    EXPECT_EQ(blitted.at(55, 7) & 0xFFFFFF, 0x0000FFu) << "a texture drawn into afterwards";
}

// On OpenGL the textures made for the game are kept in the byte order of the pixels that go
// up to them (declared without a size, which lets Mesa keep cairo's order), and what goes up
// to one, or is drawn into one, comes back unchanged.
TEST(GpuFrame, TexturesKeepThePixelsOrderAndContent) {
    testsupport::Headless h(32, 16, testsupport::RenderPath::OpenGL);
    ASSERT_TRUE(h.ok());
    using LevelParameter = void (*)(unsigned, int, unsigned, int*);
    auto level =
        reinterpret_cast<LevelParameter>(SDL_GL_GetProcAddress("glGetTexLevelParameteriv"));
    ASSERT_NE(level, nullptr);
    auto internalFormat = [&](SDL_Texture* tex) {
        int format = 0;
        SDL_RenderFlush(ui::gpuRenderer());
        if (SDL_GL_BindTexture(tex, nullptr, nullptr) != 0) return -1;
        level(0x0DE1, 0, 0x1003, &format);  // GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT
        SDL_GL_UnbindTexture(tex);
        return format;
    };
    constexpr int kRgba = 0x1908;
    SDL_Texture* streaming =
        ui::gpuCreateTexture(SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, 16, 16);
    ASSERT_NE(streaming, nullptr);
    EXPECT_EQ(internalFormat(streaming), kRgba);
    std::uint32_t px[16 * 16];
    for (int i = 0; i < 16 * 16; ++i)
        px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x010305 + 0x123456);
    ASSERT_EQ(SDL_UpdateTexture(streaming, nullptr, px, 16 * 4), 0);
    auto fill = [](void*) { ui::gpuFillRect(0, 0, 16, 16, 0x3C7A11, 1); };
    h.setUpdate([&](ui::Ctx&) {
        ui::gpuCopyOpaque(streaming, 0, 0, 16, 16);
        ui::gpuCopyOpaque(ui::gpuOpaqueTarget("filled", 16, 16, fill, nullptr, false), 16, 0, 16,
                          16);
    });
    const testsupport::Frame f = h.frame(0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(f.at(x, y) & 0xFFFFFF, px[y * 16 + x] & 0xFFFFFF) << x << "," << y;
            ASSERT_EQ(f.at(16 + x, y) & 0xFFFFFF, 0x3C7A11u) << x << "," << y;
        }
    EXPECT_EQ(internalFormat(ui::gpuOpaqueTarget("filled", 16, 16, fill, nullptr, false)), kRgba);
    SDL_DestroyTexture(streaming);
}

// Pictures kept on a sheet show in their own slots, whole and without their neighbours, and
// are painted again only when their slot's key changes or the sheet is made afresh.
TEST(GpuSheet, SlotsShowTheirOwnPicturesAndRepaintOnlyForANewKey) {
    testsupport::Headless h(80, 40, testsupport::RenderPath::OpenGL);
    ASSERT_TRUE(h.ok());
    struct Fill {
        std::uint32_t rgb;
        int* painted;
    };
    auto fill = [](cairo_t* cr, void* user) {
        const Fill& f = *static_cast<Fill*>(user);
        ++*f.painted;
        cairo_set_source_rgb(cr, ((f.rgb >> 16) & 0xFF) / 255.0, ((f.rgb >> 8) & 0xFF) / 255.0,
                             (f.rgb & 0xFF) / 255.0);
        cairo_paint(cr);
    };
    int painted = 0;
    const std::int64_t before = ui::gpuCacheBytes();
    // Slots 0, 1 and 3 of four, two to a row, drawn side by side at (2 + 20 i, 4).
    auto frameWith = [&](const std::uint32_t (&rgb)[3], int w) {
        h.setUpdate([&](ui::Ctx&) {
            const int slots[3] = {0, 1, 3};
            for (int i = 0; i < 3; ++i) {
                Fill f{rgb[i], &painted};
                SDL_Rect part{};
                SDL_Texture* sheet =
                    ui::gpuSheetPicture("test", 4, 2, slots[i], std::to_string(rgb[i]), w, 12, fill,
                                        &f, &part);
                ASSERT_NE(sheet, nullptr);
                ui::gpuBlitTintedPart(sheet, part, 2 + 20 * i, 4, w, 12, 0xFFFFFF, 1);
            }
        });
        return h.frame(0);
    };
    const std::uint32_t first[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    const testsupport::Frame a = frameWith(first, 16);
    EXPECT_EQ(painted, 3);
    EXPECT_GT(ui::gpuCacheBytes(), before);
    for (int i = 0; i < 3; ++i) {
        for (const auto& [x, y] : {std::pair{2, 4}, std::pair{17, 4}, std::pair{2, 15}, std::pair{17, 15}})
            EXPECT_EQ(a.at(20 * i + x, y) & 0xFFFFFF, first[i]) << "slot " << i << " at " << x << "," << y;
        EXPECT_NE(a.at(20 * i + 18, 10) & 0xFFFFFF, first[i]) << "slot " << i << " ends";
    }
    frameWith(first, 16);
    EXPECT_EQ(painted, 3) << "kept";
    const std::uint32_t second[3] = {0xFF0000, 0xFFFF00, 0x0000FF};
    const testsupport::Frame b = frameWith(second, 16);
    EXPECT_EQ(painted, 4) << "only the changed slot";
    EXPECT_EQ(b.at(30, 10) & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(b.at(50, 10) & 0xFFFFFF, 0x0000FFu);
    frameWith(second, 14);
    EXPECT_EQ(painted, 7) << "a new slot size makes the sheet afresh";
}

// A fade shaded without a texture shows what cairo paints for the same stops, copied; the
// software renderer declines it and draws nothing.
TEST(GpuFade, ShowsWhatTheSameGradientPaintedShows) {
    static constexpr ui::AlphaStop kStops[] = {{0.0, 0.9}, {0.3, 0.5}, {1.0, 0.05}};
    auto painted = [](cairo_t* cr, void*) {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, 40);
        for (const ui::AlphaStop& s : kStops)
            cairo_pattern_add_color_stop_rgba(p, s.at, 0.2, 0.6, 1.0, s.alpha);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    };
    testsupport::Headless h(64, 48, testsupport::RenderPath::OpenGL);
    ASSERT_TRUE(h.ok());
    auto frameWith = [&](bool shaded) {
        h.setUpdate([&](ui::Ctx&) {
            ui::gpuFillRect(0, 0, 64, 48, 0xE08020, 1);
            if (shaded) {
                EXPECT_TRUE(ui::gpuFillFade(10, 4, 30, 40, 0x3399FF, kStops, 3));
            } else {
                ui::gpuBlit(ui::gpuTexture("fade", 30, 40, painted, nullptr), 10, 4, 30, 40, 1);
            }
        });
        return h.frame(0);
    };
    const testsupport::Frame shaded = frameWith(true);
    const testsupport::Frame copied = frameWith(false);
    EXPECT_LE(testsupport::maxChannelDiff(shaded, copied), 2);
    EXPECT_NE(shaded.at(20, 5), shaded.at(20, 42)) << "it fades";
    EXPECT_EQ(shaded.at(5, 20), shaded.at(50, 20)) << "nothing beside it";

    testsupport::Headless soft(16, 16, testsupport::RenderPath::Software);
    ASSERT_TRUE(soft.ok());
    bool drawn = true;
    soft.setUpdate([&](ui::Ctx&) { drawn = ui::gpuFillFade(0, 0, 16, 16, 0xFFFFFF, kStops, 3); });
    soft.frame(0);
    EXPECT_FALSE(drawn);
}

// A runs picture shows what a texture of the same painting shows, on the window and inside
// a render target, within a clip; on the software renderer it takes a fraction of the
// texture's memory.
namespace {
constexpr int kRunsW = 120, kRunsH = 150;  // taller than one band of unpacked rows
}  // namespace

TEST(GpuRuns, ShowAsTheTextureOfTheSamePicture) {
    constexpr int kW = kRunsW, kH = kRunsH;
    auto hills = [](cairo_t* cr, void*) {
        cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, kRunsH);
        cairo_pattern_add_color_stop_rgba(p, 0, 0.9, 0.8, 1.0, 0.0);
        cairo_pattern_add_color_stop_rgba(p, 1, 0.2, 0.5, 0.3, 0.9);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
        ui::fillCircle(cr, 60, 150, 70, 0x335522, 1.0);
    };
    for (const auto path : {testsupport::RenderPath::Software, testsupport::RenderPath::OpenGL}) {
        testsupport::Headless h(kW, kH, path);
        ASSERT_TRUE(h.ok());
        auto draw = [&](bool runs, bool viaTarget) {
            h.setUpdate([&](ui::Ctx&) {
                ui::gpuFillRect(0, 0, kW, kH, 0x204060, 1);
                auto picture = [](void* user) {
                    if (*static_cast<bool*>(user)) {
                        ui::gpuBlitRuns("hills", 0, 0, 0.9);
                    } else {
                        SDL_Texture* tex =
                            ui::gpuTexture("hills_tex", kRunsW, kRunsH, nullptr, nullptr);
                        ui::gpuBlit(tex, 0, 0, kRunsW, kRunsH, 0.9);
                    }
                };
                ASSERT_TRUE(ui::gpuRunsPicture("hills", kW, kH, hills, nullptr));
                ASSERT_NE(ui::gpuTexture("hills_tex", kW, kH, hills, nullptr), nullptr);
                if (viaTarget) {
                    SDL_Texture* t = ui::gpuRenderTarget(runs ? "t_runs" : "t_tex", kW, kH, picture,
                                                         &runs, true);
                    ui::gpuBlit(t, 0, 0, kW, kH, 1);
                } else {
                    ui::gpuSetClip(10, 20, 90, 110);
                    picture(&runs);
                    ui::gpuClearClip();
                }
            });
            return h.frame(0);
        };
        for (const bool viaTarget : {false, true}) {
            const testsupport::Frame fromRuns = draw(true, viaTarget);
            const testsupport::Frame fromTexture = draw(false, viaTarget);
            EXPECT_LE(testsupport::maxChannelDiff(fromRuns, fromTexture), 3)
                << (viaTarget ? "through a render target" : "on the window");
            EXPECT_NE(fromRuns.at(60, 120), fromRuns.at(5, 5)) << "the picture shows";
        }
        const std::int64_t with = ui::gpuCacheBytes();
        ui::gpuDrop("hills");
        if (path == testsupport::RenderPath::Software) {
            EXPECT_LT(with - ui::gpuCacheBytes(), kW * kH) << "a quarter of the texture at most";
        }
        EXPECT_FALSE(ui::gpuCached("hills"));
    }
}

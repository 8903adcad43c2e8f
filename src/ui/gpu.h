// The renderer side of drawing: a cache of textures painted once with cairo and keyed by
// text, the blits that put them on the frame, rectangles, clipping, a per-frame draw-call
// count and a small wall-clock profiler for the statistics line.
//
// Positions and sizes handed in are logical units; they are multiplied by gpuScale() and
// rounded to the nearest pixel (half away from zero), position and size separately.
// Texture sizes are pixels. Alpha arguments are clamped to 0..1. Without a renderer every
// operation does nothing and every texture request yields null.
#pragma once

#include <SDL.h>
#include <cairo.h>

#include <cstdint>
#include <string>

namespace ui {

using PaintFn = void (*)(cairo_t* cr, void* user);
using DrawFn = void (*)(void* user);

// Drops every cached texture, adopts ren and sets up the premultiplied blend mode; prints
// one line and falls back to straight alpha when the renderer refuses that mode.
void gpuInit(SDL_Renderer* ren);
// Destroys every cached texture and forgets the renderer.
void gpuShutdown();
// The adopted renderer, or null.
SDL_Renderer* gpuRenderer();
// True on SDL's software renderer, where every scaled pixel costs the processor.
bool gpuSoftware();
// True when textures blend as premultiplied alpha; false on the straight-alpha fallback,
// where every uploaded image is converted to straight alpha first.
bool gpuPremultiplied();
// Starts a frame: resets the draw-call count and advances the frame counter.
void gpuBeginFrame();
// Clears the window to rgb once something is drawn on it, or at gpuSettleFrame; a copy
// that replaces every pixel of the window first (gpuCopyOpaque) makes the clear needless.
void gpuClearFrame(std::uint32_t rgb);
// Carries out a clear still held back; call before drawing on the renderer directly.
void gpuSettleFrame();
// Fills and blits issued since the last gpuBeginFrame.
int gpuDrawCalls();
// Frames begun so far.
std::int64_t gpuFrame();
// Sets the logical-to-pixel factor; values <= 0 give 1.0.
void gpuSetScale(double scale);
double gpuScale();

// SDL_CreateTexture on the renderer, with the texture kept in the byte order of the pixels
// that go up to it where the renderer allows (OpenGL): an upload is then a copy of memory.
SDL_Texture* gpuCreateTexture(Uint32 format, int access, int w, int h);
// The texture cached under key with this pixel size, painted by paint on a miss (with the
// cairo device scale set to gpuScale(), so paint works in logical units). Null for sizes
// below 1 or when the texture cannot be made. A later call may evict it: fetch it again
// each frame.
SDL_Texture* gpuTexture(const std::string& key, int wPx, int hPx, PaintFn paint, void* user);
// A cached render-target texture; draw renders into it (cleared to transparent) when it
// is new or when redraw is set.
SDL_Texture* gpuRenderTarget(const std::string& key, int wPx, int hPx, DrawFn draw, void* user,
                             bool redraw);
// As gpuRenderTarget, for a picture that covers every pixel: on the software renderer it is
// kept in the window's own pixel format, which makes an unblended copy to the window a plain
// copy of memory. A key is fetched with one of the two functions only.
SDL_Texture* gpuOpaqueTarget(const std::string& key, int wPx, int hPx, DrawFn draw, void* user,
                             bool redraw);
// A picture of wPx x hPx kept in slot `slot` of the sheet `sheet`: `slots` equal slots,
// `across` to a row, in one texture, so that a page of such pictures is drawn in one run
// of copies (see gpuBlitTintedPart), each at its own size in pixels (the sheet is sampled
// nearest). A slot is painted again only when it last held another key; *part takes its
// rectangle. A sheet of another slot size or layout is made afresh, and a sheet unused
// for two seconds goes. Null where it cannot be made.
SDL_Texture* gpuSheetPicture(const std::string& sheet, int slots, int across, int slot,
                             const std::string& key, int wPx, int hPx, PaintFn paint,
                             void* user, SDL_Rect* part);
// Renders draw into the render target tex, limited to the pixel rectangle (x, y, w, h) and
// without clearing it first; the frame's own target and clip are restored afterwards.
void gpuDrawInto(SDL_Texture* tex, int xPx, int yPx, int wPx, int hPx, DrawFn draw, void* user);
// On SDL's software renderer, as gpuDrawInto for an opaque picture in the window's pixel
// format, but drawn on the window itself and then copied into tex: there fills, runs and
// masks are blended straight into the pixels, several times cheaper than inside a render
// target. The window keeps what was drawn and its held-back clear is not done: the caller
// covers the whole window with an opaque copy before anything else is drawn on it.
// False, with nothing drawn, on other renderers or where the window cannot hold the part.
bool gpuDrawViaWindow(SDL_Texture* tex, int xPx, int yPx, int wPx, int hPx, DrawFn draw,
                      void* user);
// A picture painted by paint (as gpuTexture paints) and kept under key, on SDL's software
// renderer as runs of equal pixels rather than as a texture: a few hundred kilobytes where
// a window-sized texture takes megabytes, for a picture drawn now and then. Other
// renderers keep a texture. Painted again only for another size or after gpuDrop; false
// when it cannot be painted.
bool gpuRunsPicture(const std::string& key, int wPx, int hPx, PaintFn paint, void* user);
// The runs picture under key at its own size with its corner at (x, y), faded by alpha;
// only the rows and columns that show are unpacked.
void gpuBlitRuns(const std::string& key, double x, double y, double alpha);
// Destroys and forgets the entry under key, if any.
void gpuDrop(const std::string& key);
// Number of cached entries.
int gpuCacheSize();
// Bytes of pixels the cached textures hold. Past 64 MiB the entries unused for longest are
// dropped (never one drawn in the current frame); past 900 entries the oldest third.
std::int64_t gpuCacheBytes();
// True when key is cached.
bool gpuCached(const std::string& key);

void gpuSetClip(double x, double y, double w, double h);
void gpuClearClip();
// Solid rectangle, plain alpha blending; nothing for w or h <= 0.
void gpuFillRect(double x, double y, double w, double h, std::uint32_t rgb, double alpha);
// The rectangle in one colour whose alpha runs from top to bottom through stops (at: 0 at
// the top to 1 at the bottom, rising), shaded without a texture: renderers that draw later
// than asked do it for less than a copy of the same picture. False, with nothing drawn, on
// the software renderer, which copies a picture faster.
struct AlphaStop {
    double at;
    double alpha;
};
bool gpuFillFade(double x, double y, double w, double h, std::uint32_t rgb, const AlphaStop* stops,
                 int count);
// One-pixel outline, plain alpha blending; nothing for w or h <= 0.
void gpuStrokeRect(double x, double y, double w, double h, std::uint32_t rgb, double alpha);

// Whole texture into the rectangle, replacing what is there (no blending): the cheap copy
// of an opaque picture.
void gpuCopyOpaque(SDL_Texture* tex, double x, double y, double w, double h);
// Whole texture into the rectangle, faded by alpha.
void gpuBlit(SDL_Texture* tex, double x, double y, double w, double h, double alpha);
// Whole texture multiplied by the colour rgb, faded by alpha.
void gpuBlitTinted(SDL_Texture* tex, double x, double y, double w, double h, std::uint32_t rgb,
                   double alpha);
// As gpuBlitTinted with the colour's channels given as numbers 0..255 that need not be
// whole, so that a colour worked out in steps is rounded once.
void gpuBlitTintedRgb(SDL_Texture* tex, double x, double y, double w, double h, double r,
                      double g, double b, double alpha);
// Part src (in the texture's pixels) of tex, as gpuBlitTinted. Renderers that draw later
// than asked draw a run of copies from one texture in one go: small sprites of many kinds
// share a sheet and are drawn from their parts of it.
void gpuBlitTintedPart(SDL_Texture* tex, const SDL_Rect& src, double x, double y, double w,
                       double h, std::uint32_t rgb, double alpha);
// As gpuBlitTintedPart with the colour's channels as in gpuBlitTintedRgb.
void gpuBlitTintedRgbPart(SDL_Texture* tex, const SDL_Rect& src, double x, double y, double w,
                          double h, double r, double g, double b, double alpha);
// Whole texture multiplied by rgb * alpha and added onto the frame.
void gpuBlitAdditive(SDL_Texture* tex, double x, double y, double w, double h, std::uint32_t rgb,
                     double alpha);
// Centred on (cx, cy), turned clockwise by angleDeg about its centre.
void gpuBlitRotated(SDL_Texture* tex, double cx, double cy, double w, double h, double angleDeg,
                    double alpha);
// Part src of tex, as gpuBlitRotated.
void gpuBlitRotatedPart(SDL_Texture* tex, const SDL_Rect& src, double cx, double cy, double w,
                        double h, double angleDeg, double alpha);
// As gpuBlitRotated, flipped horizontally when flipH.
void gpuBlitMirrored(SDL_Texture* tex, double cx, double cy, double w, double h, double angleDeg,
                     bool flipH, double alpha);
// Top-left at (x, y), turned about (pivotX, pivotY) measured from that corner.
void gpuBlitPivot(SDL_Texture* tex, double x, double y, double w, double h, double pivotX,
                  double pivotY, double angleDeg, bool flipH, double alpha);

// On SDL's software renderer: a coverage mask (one byte a pixel) of wPx x hPx kept under
// key, painted by paint on a miss onto an A8 surface of that size in pixels; *stride takes
// its row length. Masks unused for two seconds are dropped. Null on other renderers or
// when it cannot be made.
const std::uint8_t* gpuMask(const std::string& key, int wPx, int hPx, PaintFn paint, void* user,
                            int* stride);
enum class Coverage { Blend, Add };
// On SDL's software renderer drawing to its window: blends (or adds) the coverage mask (one
// byte a pixel, wPx x hPx, stride bytes a row) in the colour (r, g, b, channels 0..255)
// faded by alpha into the window's pixels, its corner at the logical point (x, y), within
// the clip. SDL blends a large soft sprite one pixel at a time, and stretches an added one
// through its slowest path; this takes four pixels at a time. False anywhere else (another
// renderer, a render target): the caller draws the general way.
bool gpuBlendCoverage(const std::uint8_t* mask, int wPx, int hPx, int stride, double x, double y,
                      double r, double g, double b, double alpha, Coverage mode = Coverage::Blend);

// The frame loop's way to put what its canvas holds so far onto the frame and clear it,
// so that renderer drawing issued next lies above that paint; null outside a frame.
void gpuSetCanvasFlush(DrawFn flush, void* user);
// Runs that flush; false when there is none.
bool gpuFlushCanvas();

// Converts premultiplied ARGB32 pixels in place to straight alpha.
void unpremultiplyPixels(unsigned char* data, int w, int h, int stride);

// Profiling is on when PLUMBRIX_STATS is set at the first call; decided once.
bool profOn();
void profBegin(const char* label);
void profEnd(const char* label);
// " label mean-ms" for every label timed since the last report, in label order; resets
// those labels. Empty when profiling is off or nothing was timed.
std::string profReport();

}  // namespace ui

#include "ui/gpu.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ui {
namespace {

struct Entry {
    SDL_Texture* tex = nullptr;
    int w = 0;
    int h = 0;
    std::int64_t lastUsed = 0;
};

// A small copy of a texture with a tint and fade applied, kept on SDL's software renderer.
struct Tinted {
    SDL_Texture* tex = nullptr;
    std::int64_t bytes = 0;
    std::int64_t lastUsed = 0;
};
// A coverage mask kept for drawing straight into the software renderer's window.
struct Mask {
    int w = 0, h = 0, stride = 0;
    std::vector<std::uint8_t> a;
    std::int64_t lastUsed = 0;
};

// A picture kept as runs of equal pixels, row by row: a landscape of flat fills and
// gradients that change only from row to row takes a few hundred kilobytes instead of a
// window's worth of pixels. Pixels are as a texture would hold them (straight alpha on
// the straight-alpha fallback).
struct Runs {
    int w = 0, h = 0;
    std::vector<std::uint32_t> rowStart;  // first run of each row; h + 1 entries
    std::vector<std::uint32_t> length;
    std::vector<std::uint32_t> pixel;
    std::int64_t bytes() const {
        return static_cast<std::int64_t>(4 * (rowStart.size() + length.size() + pixel.size()));
    }
};

// OpenGL's framebuffer blit, for copying a whole-window picture drawn into a texture onto
// the window: on a rasteriser that runs on the processor it costs a quarter less than
// drawing the texture as a rectangle. Looked up once per renderer; fbo reads the texture.
struct GlBlit {
    bool probed = false;
    using GenFramebuffers = void (*)(int, unsigned*);
    using BindFramebuffer = void (*)(unsigned, unsigned);
    using FramebufferTexture2D = void (*)(unsigned, unsigned, unsigned, unsigned, int);
    using CheckFramebufferStatus = unsigned (*)(unsigned);
    using BlitFramebuffer = void (*)(int, int, int, int, int, int, int, int, unsigned, unsigned);
    using GetIntegerv = void (*)(unsigned, int*);
    using IsEnabled = unsigned char (*)(unsigned);
    using Capability = void (*)(unsigned);
    using TexImage2D = void (*)(unsigned, int, int, int, int, int, unsigned, unsigned,
                                const void*);
    using GetError = unsigned (*)();
    using GetTexLevelParameteriv = void (*)(unsigned, int, unsigned, int*);
    GenFramebuffers gen = nullptr;
    BindFramebuffer bind = nullptr;
    FramebufferTexture2D attach = nullptr;
    CheckFramebufferStatus status = nullptr;
    BlitFramebuffer blit = nullptr;
    GetIntegerv getInteger = nullptr;
    IsEnabled isEnabled = nullptr;
    Capability enable = nullptr;
    Capability disable = nullptr;
    TexImage2D texImage = nullptr;
    GetError getError = nullptr;
    GetTexLevelParameteriv levelParameter = nullptr;
    unsigned fbo = 0;
};

// A sheet of equal slots, each holding the picture of its key (see gpuSheetPicture).
struct Sheet {
    SDL_Texture* tex = nullptr;
    int w = 0, h = 0, across = 0, slots = 0;  // a slot's size in pixels, the layout
    std::vector<std::string> keys;           // what each slot holds; empty for nothing
    std::int64_t bytes = 0;
    std::int64_t lastUsed = 0;
};

// Source texture, size in pixels, tint (0xRRGGBB) and fade in kFadeSteps.
using TintedKey = std::tuple<SDL_Texture*, int, int, std::uint32_t, int>;

struct State {
    SDL_Renderer* ren = nullptr;
    double scale = 1.0;
    int drawCalls = 0;
    std::int64_t frame = 0;
    std::map<std::string, Entry> cache;
    std::int64_t bytes = 0;  // pixels held by the cached textures, 4 bytes each
    SDL_BlendMode premultiplied = SDL_BLENDMODE_BLEND;
    // Set when the renderer refused the premultiplied mode: images are then uploaded as
    // straight alpha and faded by alpha alone.
    bool straight = false;
    // SDL's software renderer: it scales a copy that reaches past the target's edge into a
    // temporary image of the whole copy, however little of it shows, so copies are cut
    // to what shows first.
    bool software = false;
    // Streaming textures read back as written (SDL's software renderer): the cache makes
    // its textures streaming, and their plain blended copies are drawn by directCopy.
    bool readable = false;
    DrawFn canvasFlush = nullptr;
    void* canvasFlushUser = nullptr;
    std::map<TintedKey, Tinted> tinted;
    std::int64_t tintedBytes = 0;
    std::int64_t tintedSweep = 0;  // frame of the last look for copies gone unused
    std::map<std::string, Mask> masks;
    std::int64_t maskBytes = 0;
    std::map<std::string, Runs> runs;
    std::int64_t runsBytes = 0;
    // Rows of a runs picture are unpacked here on their way to a render target.
    SDL_Texture* runsBand = nullptr;
    int runsBandW = 0;
    std::vector<std::uint32_t> runsRow;  // one row unpacked for the window's own pixels
    std::vector<std::uint8_t> fullCover;  // a row of whole coverage, for fills on the window
    // The frame's clear, held back until something is drawn on the window: a picture
    // copied over the whole window first makes it needless.
    bool clearPending = false;
    std::uint32_t clearRgb = 0;
    GlBlit glBlit;
    std::map<std::string, Sheet> sheets;
    std::int64_t sheetBytes = 0;
};

State& st() {
    static State s;
    return s;
}

struct ProfEntry {
    double total = 0;
    double started = 0;
    int calls = 0;
};

std::map<std::string, ProfEntry>& profEntries() {
    static std::map<std::string, ProfEntry> entries;
    return entries;
}

constexpr size_t kMaxEntries = 900;
// Tinted copies: at most this many pixels on a side, the fade in this many steps, let go
// after this many frames unused.
constexpr int kTintedMaxPx = 64;
constexpr int kFadeSteps = 32;
constexpr std::int64_t kTintedKeepFrames = 120;
constexpr std::int64_t kMaxBytes = std::int64_t{64} << 20;

// 0xRRGGBB from channels 0..255 that need not be whole, each rounded once.
std::uint32_t packRgb(double r, double g, double b) {
    auto channel = [](double c) {
        return static_cast<std::uint32_t>(std::clamp(std::floor(c + 0.5), 0.0, 255.0));
    };
    return channel(r) << 16 | channel(g) << 8 | channel(b);
}

double clamp01(double a) {
    return a < 0 ? 0 : (a > 1 ? 1 : a);
}

Uint8 alphaByte(double alpha) {
    if (alpha < 0) return 0;
    if (alpha > 1) return 255;
    return static_cast<Uint8>(std::floor(255 * alpha + 0.5));
}

Uint8 scaledChannel(std::uint32_t rgb, int shift, double a) {
    const double c = static_cast<double>((rgb >> shift) & 0xFF);
    return static_cast<Uint8>(std::floor(c * a + 0.5));
}

int px(double v) {
    return static_cast<int>(std::lround(v * st().scale));
}

SDL_Rect pxRect(double x, double y, double w, double h) {
    return {px(x), px(y), px(w), px(h)};
}

// Drops the kept tinted copies for which gone(key, copy) holds.
template <class Gone>
void dropTintedWhere(Gone gone) {
    State& s = st();
    for (auto it = s.tinted.begin(); it != s.tinted.end();) {
        if (gone(it->first, it->second)) {
            SDL_DestroyTexture(it->second.tex);
            s.tintedBytes -= it->second.bytes;
            it = s.tinted.erase(it);
        } else {
            ++it;
        }
    }
}

// Drops the copies made from one texture, or all of them for null.
void dropTinted(SDL_Texture* from) {
    dropTintedWhere([from](const TintedKey& key, const Tinted&) {
        return from == nullptr || std::get<0>(key) == from;
    });
}

void destroy(Entry& e) {
    if (e.tex != nullptr) dropTinted(e.tex);
    if (e.tex != nullptr) SDL_DestroyTexture(e.tex);
    e.tex = nullptr;
    st().bytes -= static_cast<std::int64_t>(e.w) * e.h * 4;
    e.w = 0;
    e.h = 0;
}

void remember(const std::string& key, SDL_Texture* tex, int w, int h) {
    State& s = st();
    s.cache[key] = Entry{tex, w, h, s.frame};
    s.bytes += static_cast<std::int64_t>(w) * h * 4;
}

// Fading: premultiplied pixels need colour scaled with alpha; straight ones only alpha.
void applyFade(SDL_Texture* tex, double alpha) {
    const Uint8 b = alphaByte(alpha);
    SDL_SetTextureAlphaMod(tex, b);
    if (st().straight)
        SDL_SetTextureColorMod(tex, 255, 255, 255);
    else
        SDL_SetTextureColorMod(tex, b, b, b);
}

// Past kMaxEntries entries the third that went longest unused is dropped; past kMaxBytes
// the entries unused for longest go until a quarter of the budget is free again, sparing
// those drawn in this frame.
void evictOldest() {
    State& s = st();
    if (s.bytes > kMaxBytes) {
        std::vector<std::pair<std::int64_t, std::string>> order;
        for (const auto& [key, e] : s.cache)
            if (e.lastUsed < s.frame) order.emplace_back(e.lastUsed, key);
        std::sort(order.begin(), order.end());
        for (const auto& [used, key] : order) {
            if (s.bytes <= kMaxBytes / 4 * 3) break;
            auto it = s.cache.find(key);
            destroy(it->second);
            s.cache.erase(it);
        }
    }
    if (s.cache.size() <= kMaxEntries) return;
    std::vector<std::pair<std::int64_t, std::string>> order;
    order.reserve(s.cache.size());
    for (const auto& [key, e] : s.cache) order.emplace_back(e.lastUsed, key);
    std::sort(order.begin(), order.end());
    const size_t n = order.size() / 3;
    for (size_t i = 0; i < n; ++i) {
        auto it = s.cache.find(order[i].second);
        destroy(it->second);
        s.cache.erase(it);
    }
}

void dropIfOtherSize(const std::string& key, int w, int h) {
    auto it = st().cache.find(key);
    if (it == st().cache.end() || (it->second.w == w && it->second.h == h)) return;
    destroy(it->second);
    st().cache.erase(it);
}

// Looks up the framebuffer functions of the renderer's OpenGL context; false where there
// are none (another renderer, or OpenGL without framebuffer blits).
bool probeGlBlit(GlBlit& b) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(st().ren, &info) != 0 || info.name == nullptr ||
        std::strcmp(info.name, "opengl") != 0 || SDL_GL_GetCurrentContext() == nullptr ||
        !(SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object") ||
          SDL_GL_ExtensionSupported("GL_EXT_framebuffer_blit")))
        return false;
    auto fn = [](auto& into, const char* name) {
        into = reinterpret_cast<std::remove_reference_t<decltype(into)>>(
            SDL_GL_GetProcAddress(name));
        return into != nullptr;
    };
    if (!(fn(b.gen, "glGenFramebuffers") &&
          fn(b.bind, "glBindFramebuffer") && fn(b.attach, "glFramebufferTexture2D") &&
          fn(b.status, "glCheckFramebufferStatus") && fn(b.blit, "glBlitFramebuffer") &&
          fn(b.getInteger, "glGetIntegerv") && fn(b.isEnabled, "glIsEnabled") &&
          fn(b.enable, "glEnable") && fn(b.disable, "glDisable") &&
          fn(b.texImage, "glTexImage2D") && fn(b.getError, "glGetError") &&
          fn(b.levelParameter, "glGetTexLevelParameteriv")))
        return false;
    b.gen(1, &b.fbo);
    return b.fbo != 0;
}

// The OpenGL functions, looked up on first use; fbo is 0 where there are none.
GlBlit& glFunctions() {
    GlBlit& b = st().glBlit;
    if (!b.probed) {
        b.probed = true;
        if (!probeGlBlit(b)) b = GlBlit{true};
    }
    return b;
}

// SDL declares its textures with a sized format, and Mesa then keeps them in its own byte
// order rather than in cairo's and the window's: every upload is converted pixel by pixel,
// and a blit to the window is drawn as a shaded quad. Declared again without a size, in the
// byte order of the pixels that come (what SDL uploads), the same texture is kept as they
// come: an upload is a copy of memory, and so is a blit of a whole picture to the window.
// For a texture SDL has just made, before anything is put in it; false where it is left as
// it was (another renderer, or a driver that would keep fewer than 8 bits a channel).
bool storeInPixelOrder(SDL_Texture* tex) {
    State& s = st();
    Uint32 format = 0;
    int w = 0, h = 0;
    if (tex == nullptr || s.ren == nullptr || s.software ||
        SDL_QueryTexture(tex, &format, nullptr, &w, &h) != 0 ||
        format != SDL_PIXELFORMAT_ARGB8888)
        return false;
    GlBlit& b = glFunctions();
    if (b.fbo == 0) return false;
    constexpr unsigned kTexture2D = 0x0DE1, kTextureBinding2D = 0x8069, kRgba = 0x1908,
                       kRgba8 = 0x8058, kBgra = 0x80E1, kUint8888Rev = 0x8367,
                       kRedSize = 0x805C, kAlphaSize = 0x805F;
    float tw = 0, th = 0;
    if (SDL_GL_BindTexture(tex, &tw, &th) != 0) return false;
    int id = 0;
    b.getInteger(kTextureBinding2D, &id);
    bool ok = false;
    // A rectangle texture (where sizes must be powers of two otherwise) is left alone.
    if (id != 0 && tw == 1.0f && th == 1.0f) {
        for (int i = 0; i < 16 && b.getError() != 0; ++i) {
        }
        b.texImage(kTexture2D, 0, static_cast<int>(kRgba), w, h, 0, kBgra, kUint8888Rev,
                   nullptr);
        ok = b.getError() == 0;
        for (unsigned channel = kRedSize; ok && channel <= kAlphaSize; ++channel) {
            int bits = 0;
            b.levelParameter(kTexture2D, 0, channel, &bits);
            ok = bits == 8;
        }
        if (!ok)  // back to what SDL made
            b.texImage(kTexture2D, 0, static_cast<int>(kRgba8), w, h, 0, kBgra, kUint8888Rev,
                       nullptr);
    }
    SDL_GL_UnbindTexture(tex);
    return ok;
}

// Copies tex, a texture of the window's size in pixels, over the whole window by a
// framebuffer blit on OpenGL; false where that cannot be done (the caller draws it).
// SDL's queued drawing goes first, and every piece of OpenGL state touched is put back
// as SDL left it.
bool blitToWindow(SDL_Texture* tex, int w, int h) {
    State& s = st();
    GlBlit& b = glFunctions();
    if (b.fbo == 0) return false;
    int tw = 0, th = 0, access = 0;
    if (SDL_QueryTexture(tex, nullptr, &access, &tw, &th) != 0 ||
        access != SDL_TEXTUREACCESS_TARGET || tw != w || th != h)
        return false;
    constexpr unsigned kFramebuffer = 0x8D40, kRead = 0x8CA8, kDraw = 0x8CA9,
                       kDrawBinding = 0x8CA6, kReadBinding = 0x8CAA, kColour0 = 0x8CE0,
                       kTexture2D = 0x0DE1, kTextureBinding2D = 0x8069, kComplete = 0x8CD5,
                       kColourBit = 0x4000, kNearest = 0x2600, kScissor = 0x0C11,
                       kSampleBuffers = 0x80A8;
    SDL_RenderFlush(s.ren);
    if (SDL_GL_BindTexture(tex, nullptr, nullptr) != 0) return false;
    int id = 0;
    b.getInteger(kTextureBinding2D, &id);
    SDL_GL_UnbindTexture(tex);
    if (id == 0) return false;
    int window = 0, read = 0, samples = 0;
    b.getInteger(kDrawBinding, &window);
    b.getInteger(kReadBinding, &read);
    b.getInteger(kSampleBuffers, &samples);
    if (samples != 0) return false;  // no blit reaches a multisampled window
    b.bind(kRead, b.fbo);
    b.attach(kRead, kColour0, kTexture2D, static_cast<unsigned>(id), 0);
    const bool ok = b.status(kRead) == kComplete;
    if (ok) {
        const bool scissor = b.isEnabled(kScissor) != 0;
        if (scissor) b.disable(kScissor);
        b.bind(kDraw, static_cast<unsigned>(window));
        // The texture holds the picture top row first; the window, bottom row first.
        b.blit(0, 0, w, h, 0, h, w, 0, kColourBit, kNearest);
        if (scissor) b.enable(kScissor);
    }
    b.attach(kRead, kColour0, kTexture2D, 0, 0);
    b.bind(kFramebuffer, static_cast<unsigned>(window));
    if (read != window) b.bind(kRead, static_cast<unsigned>(read));
    return ok;
}

// Renders into tex and returns to the target drawn before, with its clip: a small copy
// may be made while a bake is drawn strip by strip.
void renderInto(SDL_Texture* tex, DrawFn draw, void* user) {
    SDL_Renderer* ren = st().ren;
    SDL_Texture* previous = SDL_GetRenderTarget(ren);
    SDL_Rect clip{};
    const bool clipped = SDL_RenderIsClipEnabled(ren) == SDL_TRUE;
    if (clipped) SDL_RenderGetClipRect(ren, &clip);
    SDL_SetRenderTarget(ren, tex);
    SDL_SetRenderDrawBlendMode(ren, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(ren, 0, 0, 0, 0);
    SDL_RenderClear(ren);
    if (draw != nullptr) draw(user);
    SDL_SetRenderTarget(ren, previous);
    SDL_RenderSetClipRect(ren, clipped ? &clip : nullptr);
}

// The part of dst that shows within the target and the clip; false when none does.
bool visiblePart(const SDL_Rect& dst, SDL_Rect* vis) {
    SDL_Renderer* ren = st().ren;
    SDL_Rect bounds{};
    SDL_RenderGetViewport(ren, &bounds);
    bounds.x = 0;
    bounds.y = 0;
    if (SDL_RenderIsClipEnabled(ren)) {
        SDL_Rect clip{};
        SDL_RenderGetClipRect(ren, &clip);
        if (!SDL_IntersectRect(&bounds, &clip, &bounds)) return false;
    }
    return SDL_IntersectRect(&dst, &bounds, vis) == SDL_TRUE;
}

bool directCopy(SDL_Texture* tex, const SDL_Rect& dst);
bool streamingTexturesReadable(SDL_Renderer* ren);
SDL_Surface* directFrame(SDL_Rect* area);
std::uint32_t* frameRow(SDL_Surface* frame, int row, int x);
void overRow(const std::uint32_t* src, std::uint32_t* d, int n, int fade);
bool fillOnWindow(const SDL_Rect& r, std::uint32_t rgb, int fade);

// Clears the window now if its clear is still held back; nothing while a render target is
// drawn into.
void settleClear() {
    State& s = st();
    if (!s.clearPending || s.ren == nullptr || SDL_GetRenderTarget(s.ren) != nullptr) return;
    s.clearPending = false;
    SDL_SetRenderDrawColor(s.ren, (s.clearRgb >> 16) & 0xFF, (s.clearRgb >> 8) & 0xFF,
                           s.clearRgb & 0xFF, 255);
    SDL_RenderClear(s.ren);
}

void copy(SDL_Texture* tex, const SDL_Rect& dst) {
    State& s = st();
    settleClear();
    ++s.drawCalls;
    SDL_Rect vis{};
    int tw = 0;
    int th = 0;
    if (!s.software || dst.w <= 0 || dst.h <= 0 ||
        SDL_QueryTexture(tex, nullptr, nullptr, &tw, &th) != 0 || (tw == dst.w && th == dst.h)) {
        if (s.software && tw == dst.w && th == dst.h && directCopy(tex, dst)) return;
        SDL_RenderCopy(s.ren, tex, nullptr, &dst);
        return;
    }
    if (!visiblePart(dst, &vis)) return;
    if (vis.x == dst.x && vis.y == dst.y && vis.w == dst.w && vis.h == dst.h) {
        SDL_RenderCopy(s.ren, tex, nullptr, &dst);
        return;
    }
    // The texels under the visible part, and where exactly they land.
    const double kx = static_cast<double>(tw) / dst.w;
    const double ky = static_cast<double>(th) / dst.h;
    const int x0 = std::max(0, static_cast<int>(std::floor((vis.x - dst.x) * kx)));
    const int y0 = std::max(0, static_cast<int>(std::floor((vis.y - dst.y) * ky)));
    const int x1 = std::min(tw, static_cast<int>(std::ceil((vis.x + vis.w - dst.x) * kx)));
    const int y1 = std::min(th, static_cast<int>(std::ceil((vis.y + vis.h - dst.y) * ky)));
    if (x1 <= x0 || y1 <= y0) return;
    const SDL_Rect src{x0, y0, x1 - x0, y1 - y0};
    const SDL_FRect part{static_cast<float>(dst.x + x0 / kx), static_cast<float>(dst.y + y0 / ky),
                         static_cast<float>(src.w / kx), static_cast<float>(src.h / ky)};
    SDL_RenderCopyF(s.ren, tex, &src, &part);
}

void copyEx(SDL_Texture* tex, const SDL_Rect& dst, double angle, const SDL_Point* pivot,
            bool flipH, const SDL_Rect* src = nullptr) {
    settleClear();
    SDL_RenderCopyEx(st().ren, tex, src, &dst, angle, pivot,
                     flipH ? SDL_FLIP_HORIZONTAL : SDL_FLIP_NONE);
    ++st().drawCalls;
}

// Part src of tex into dst, as the renderer copies it.
void copyPart(SDL_Texture* tex, const SDL_Rect& src, const SDL_Rect& dst) {
    settleClear();
    ++st().drawCalls;
    SDL_RenderCopy(st().ren, tex, &src, &dst);
}

// Colour and alpha modulation for a copy multiplied by (r, g, b) and faded by alpha.
void applyTint(SDL_Texture* tex, double r, double g, double b, double alpha) {
    const double a = clamp01(alpha);
    SDL_SetTextureAlphaMod(tex, alphaByte(a));
    const double k = st().straight ? 1.0 : a;
    auto channel = [k](double c) {
        return static_cast<Uint8>(std::clamp(std::floor(c * k + 0.5), 0.0, 255.0));
    };
    SDL_SetTextureColorMod(tex, channel(r), channel(g), channel(b));
}

double steadySeconds() {
    using namespace std::chrono;
    return static_cast<double>(
               duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) /
           1e9;
}

// SDL's software renderer stretches, tints and fades a blended copy pixel by pixel through
// its slowest path, at several times the cost of a plain blended copy. A small copy (a
// dot, a spark, a particle) is therefore drawn from a copy kept at its size in pixels
// with its tint and fade (in kFadeSteps) applied; copies unused for kTintedKeepFrames go.
// False when the copy is not small or cannot be made: the caller draws the general way.
bool tintedCopy(SDL_Texture* tex, const SDL_Rect& dst, double r, double g, double b, double alpha) {
    State& s = st();
    if (dst.w < 1 || dst.h < 1 || dst.w > kTintedMaxPx || dst.h > kTintedMaxPx) return false;
    const int fade = static_cast<int>(std::lround(kFadeSteps * clamp01(alpha)));
    if (fade == 0) return true;  // nothing shows
    const std::uint32_t rgb = packRgb(r, g, b);
    const TintedKey key{tex, dst.w, dst.h, rgb, fade};
    auto hit = s.tinted.find(key);
    if (hit == s.tinted.end()) {
        SDL_Texture* copyTex =
            gpuCreateTexture(SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, dst.w, dst.h);
        if (copyTex == nullptr) return false;
        SDL_BlendMode before = SDL_BLENDMODE_BLEND;
        SDL_GetTextureBlendMode(tex, &before);
        struct Paint {
            SDL_Texture* from;
            SDL_Rect to;
        } paint{tex, {0, 0, dst.w, dst.h}};
        SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_NONE);  // the copy takes colour and alpha
        SDL_SetTextureAlphaMod(tex, static_cast<Uint8>(std::lround(255.0 * fade / kFadeSteps)));
        SDL_SetTextureColorMod(tex, rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
        renderInto(
            copyTex,
            [](void* user) {
                const Paint& p = *static_cast<const Paint*>(user);
                SDL_RenderCopy(st().ren, p.from, nullptr, &p.to);
            },
            &paint);
        SDL_SetTextureBlendMode(tex, before);
        SDL_SetTextureBlendMode(copyTex, SDL_BLENDMODE_BLEND);
        const std::int64_t bytes = std::int64_t{4} * dst.w * dst.h;
        hit = s.tinted.emplace(key, Tinted{copyTex, bytes, 0}).first;
        s.tintedBytes += bytes;
    }
    hit->second.lastUsed = s.frame;
    ++s.drawCalls;
    settleClear();
    SDL_RenderCopy(s.ren, hit->second.tex, nullptr, &dst);
    return true;
}

// Drops the sheets for which gone(sheet) holds.
template <class Gone>
void dropSheetsWhere(Gone gone) {
    State& s = st();
    std::erase_if(s.sheets, [&](auto& kv) {
        if (!gone(kv.second)) return false;
        if (kv.second.tex != nullptr) SDL_DestroyTexture(kv.second.tex);
        s.sheetBytes -= kv.second.bytes;
        return true;
    });
}

// Kept tinted copies, masks and sheets unused for kTintedKeepFrames go.
void dropUnusedTinted() {
    State& s = st();
    if (s.frame - s.tintedSweep < kTintedKeepFrames) return;
    s.tintedSweep = s.frame;
    dropTintedWhere([&s](const TintedKey&, const Tinted& copy) {
        return s.frame - copy.lastUsed > kTintedKeepFrames;
    });
    std::erase_if(s.masks, [&s](const auto& kv) {
        if (s.frame - kv.second.lastUsed <= kTintedKeepFrames) return false;
        s.maskBytes -= static_cast<std::int64_t>(kv.second.a.size());
        return true;
    });
    dropSheetsWhere([&s](const Sheet& sheet) { return s.frame - sheet.lastUsed > kTintedKeepFrames; });
}

}  // namespace

void gpuInit(SDL_Renderer* ren) {
    gpuShutdown();
    State& s = st();
    s.ren = ren;
    s.straight = false;
    s.premultiplied = SDL_ComposeCustomBlendMode(
        SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD,
        SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
    if (ren == nullptr) return;
    SDL_RendererInfo info{};
    s.software = SDL_GetRendererInfo(ren, &info) == 0 && (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    s.readable = s.software && streamingTexturesReadable(ren);
    SDL_Texture* probe =
        SDL_CreateTexture(ren, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 1, 1);
    if (probe == nullptr) return;
    if (SDL_SetTextureBlendMode(probe, s.premultiplied) != 0) {
        std::fprintf(stderr, "[gpu] kein vormultipliziertes Mischen — nehme das normale\n");
        s.premultiplied = SDL_BLENDMODE_BLEND;
        s.straight = true;
    }
    SDL_DestroyTexture(probe);
}

void gpuShutdown() {
    State& s = st();
    dropSheetsWhere([](const Sheet&) { return true; });
    // The blit's framebuffer goes with its renderer's context: the context current now may
    // be another one already, where the same name is something else.
    s.glBlit = GlBlit{};
    dropTinted(nullptr);
    s.masks.clear();
    s.maskBytes = 0;
    s.runs.clear();
    s.runsBytes = 0;
    if (s.runsBand != nullptr) SDL_DestroyTexture(s.runsBand);
    s.runsBand = nullptr;
    s.runsBandW = 0;
    for (auto& [key, e] : s.cache) destroy(e);
    s.cache.clear();
    s.ren = nullptr;
}

SDL_Renderer* gpuRenderer() {
    return st().ren;
}

bool gpuSoftware() {
    return st().ren != nullptr && st().software;
}

bool gpuPremultiplied() {
    return !st().straight;
}

void gpuClearFrame(std::uint32_t rgb) {
    State& s = st();
    s.clearPending = s.ren != nullptr;
    s.clearRgb = rgb;
}

void gpuSettleFrame() {
    settleClear();
}

void gpuBeginFrame() {
    st().drawCalls = 0;
    ++st().frame;
    dropUnusedTinted();
}

int gpuDrawCalls() {
    return st().drawCalls;
}

std::int64_t gpuFrame() {
    return st().frame;
}

void gpuSetScale(double scale) {
    st().scale = scale > 0 ? scale : 1.0;
}

double gpuScale() {
    return st().scale;
}

namespace {

// An image of wPx x hPx painted by paint with the device scale set; null when it cannot
// be made (too large for memory).
cairo_surface_t* paintImage(int wPx, int hPx, PaintFn paint, void* user) {
    cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wPx, hPx);
    if (cairo_surface_status(surf) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surf);
        return nullptr;
    }
    cairo_surface_set_device_scale(surf, st().scale, st().scale);
    cairo_t* cr = cairo_create(surf);
    if (paint != nullptr) paint(cr, user);
    cairo_destroy(cr);
    cairo_surface_flush(surf);
    return surf;
}

}  // namespace

SDL_Texture* gpuCreateTexture(Uint32 format, int access, int w, int h) {
    if (st().ren == nullptr) return nullptr;
    SDL_Texture* tex = SDL_CreateTexture(st().ren, format, access, w, h);
    storeInPixelOrder(tex);
    return tex;
}

SDL_Texture* gpuTexture(const std::string& key, int wPx, int hPx, PaintFn paint, void* user) {
    State& s = st();
    if (s.ren == nullptr || wPx < 1 || hPx < 1) return nullptr;
    auto hit = s.cache.find(key);
    if (hit != s.cache.end() && hit->second.w == wPx && hit->second.h == hPx) {
        hit->second.lastUsed = s.frame;
        return hit->second.tex;
    }
    dropIfOtherSize(key, wPx, hPx);
    evictOldest();

    cairo_surface_t* surf = paintImage(wPx, hPx, paint, user);
    if (surf == nullptr) return nullptr;

    SDL_Texture* tex = gpuCreateTexture(
        SDL_PIXELFORMAT_ARGB8888,
        s.readable ? SDL_TEXTUREACCESS_STREAMING : SDL_TEXTUREACCESS_STATIC, wPx, hPx);
    if (tex == nullptr) {
        cairo_surface_destroy(surf);
        return nullptr;
    }
    unsigned char* data = cairo_image_surface_get_data(surf);
    const int stride = cairo_image_surface_get_stride(surf);
    if (data != nullptr) {
        if (s.straight) unpremultiplyPixels(data, wPx, hPx, stride);
        SDL_UpdateTexture(tex, nullptr, data, stride);
    }
    SDL_SetTextureBlendMode(tex, s.premultiplied);
    cairo_surface_destroy(surf);
    remember(key, tex, wPx, hPx);
    return tex;
}

namespace {

// The pixel format for a render target: on the software renderer a picture without
// transparency takes the window's own format, so that copying it there is a plain copy of
// memory rather than a conversion pixel by pixel.
Uint32 targetFormat(bool opaque) {
    State& s = st();
    if (!opaque || !s.software) return SDL_PIXELFORMAT_ARGB8888;
    SDL_Window* window = SDL_RenderGetWindow(s.ren);
    if (window != nullptr && SDL_GetWindowPixelFormat(window) == SDL_PIXELFORMAT_RGB888)
        return SDL_PIXELFORMAT_RGB888;
    return SDL_PIXELFORMAT_ARGB8888;
}

SDL_Texture* renderTarget(const std::string& key, int wPx, int hPx, DrawFn draw, void* user,
                          bool redraw, bool opaque) {
    State& s = st();
    if (s.ren == nullptr || wPx < 1 || hPx < 1) return nullptr;
    auto hit = s.cache.find(key);
    if (hit != s.cache.end() && hit->second.w == wPx && hit->second.h == hPx) {
        hit->second.lastUsed = s.frame;
        if (redraw) renderInto(hit->second.tex, draw, user);
        return hit->second.tex;
    }
    dropIfOtherSize(key, wPx, hPx);
    evictOldest();
    SDL_Texture* tex =
        gpuCreateTexture(targetFormat(opaque), SDL_TEXTUREACCESS_TARGET, wPx, hPx);
    if (tex == nullptr) return nullptr;
    SDL_SetTextureBlendMode(tex, s.premultiplied);
    renderInto(tex, draw, user);
    remember(key, tex, wPx, hPx);
    return tex;
}

}  // namespace

SDL_Texture* gpuRenderTarget(const std::string& key, int wPx, int hPx, DrawFn draw, void* user,
                             bool redraw) {
    return renderTarget(key, wPx, hPx, draw, user, redraw, false);
}

SDL_Texture* gpuOpaqueTarget(const std::string& key, int wPx, int hPx, DrawFn draw, void* user,
                             bool redraw) {
    return renderTarget(key, wPx, hPx, draw, user, redraw, true);
}

void gpuDrawInto(SDL_Texture* tex, int xPx, int yPx, int wPx, int hPx, DrawFn draw, void* user) {
    SDL_Renderer* ren = st().ren;
    if (ren == nullptr || tex == nullptr || draw == nullptr || wPx < 1 || hPx < 1) return;
    SDL_Texture* previous = SDL_GetRenderTarget(ren);
    if (SDL_SetRenderTarget(ren, tex) != 0) return;
    const SDL_Rect clip{xPx, yPx, wPx, hPx};
    SDL_RenderSetClipRect(ren, &clip);
    draw(user);
    SDL_RenderSetClipRect(ren, nullptr);
    SDL_SetRenderTarget(ren, previous);
}

bool gpuDrawViaWindow(SDL_Texture* tex, int xPx, int yPx, int wPx, int hPx, DrawFn draw,
                      void* user) {
    State& s = st();
    if (!s.software || s.ren == nullptr || tex == nullptr || draw == nullptr || wPx < 1 ||
        hPx < 1 || SDL_RenderIsClipEnabled(s.ren) == SDL_TRUE)
        return false;
    Uint32 format = 0;
    int tw = 0, th = 0;
    SDL_Rect area{};
    // The window is covered whole right after: its held-back clear would be wasted.
    const bool clearPending = s.clearPending;
    s.clearPending = false;
    SDL_Surface* frame = directFrame(&area);
    const SDL_Rect part{xPx, yPx, wPx, hPx};
    SDL_Rect inside{};
    if (frame == nullptr || SDL_QueryTexture(tex, &format, nullptr, &tw, &th) != 0 ||
        format != frame->format->format || SDL_IntersectRect(&part, &area, &inside) != SDL_TRUE ||
        !SDL_RectEquals(&inside, &part) || xPx + wPx > tw || yPx + hPx > th) {
        s.clearPending = clearPending;
        return false;
    }
    SDL_RenderSetClipRect(s.ren, &part);
    draw(user);
    SDL_RenderSetClipRect(s.ren, nullptr);
    frame = directFrame(&area);  // what the renderer queued is drawn first
    return frame != nullptr &&
           SDL_UpdateTexture(tex, &part, frameRow(frame, yPx, xPx), frame->pitch) == 0;
}

bool gpuRunsPicture(const std::string& key, int wPx, int hPx, PaintFn paint, void* user) {
    State& s = st();
    if (s.ren == nullptr || wPx < 1 || hPx < 1) return false;
    // A renderer with its own memory keeps a texture: unpacking rows into a texture that
    // the frame has just drawn from would wait for that drawing to finish.
    if (!s.software) return gpuTexture(key, wPx, hPx, paint, user) != nullptr;
    auto hit = s.runs.find(key);
    if (hit != s.runs.end() && hit->second.w == wPx && hit->second.h == hPx) return true;
    gpuDrop(key);
    cairo_surface_t* surf = paintImage(wPx, hPx, paint, user);
    if (surf == nullptr) return false;
    unsigned char* data = cairo_image_surface_get_data(surf);
    const int stride = cairo_image_surface_get_stride(surf);
    if (s.straight) unpremultiplyPixels(data, wPx, hPx, stride);
    Runs r;
    r.w = wPx;
    r.h = hPx;
    r.rowStart.reserve(static_cast<std::size_t>(hPx) + 1);
    for (int y = 0; y < hPx; ++y) {
        r.rowStart.push_back(static_cast<std::uint32_t>(r.length.size()));
        const auto* row =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < wPx; ++x) {
            if (x > 0 && row[x] == r.pixel.back()) {
                ++r.length.back();
            } else {
                r.length.push_back(1);
                r.pixel.push_back(row[x]);
            }
        }
    }
    r.rowStart.push_back(static_cast<std::uint32_t>(r.length.size()));
    cairo_surface_destroy(surf);
    r.length.shrink_to_fit();
    r.pixel.shrink_to_fit();
    s.runsBytes += r.bytes();
    s.runs.emplace(key, std::move(r));
    return true;
}

namespace {

// Unpacks columns x0 .. x0 + n - 1 of row y into out.
void unpackRow(const Runs& r, int y, int x0, int n, std::uint32_t* out) {
    std::uint32_t i = r.rowStart[static_cast<std::size_t>(y)];
    const std::uint32_t end = r.rowStart[static_cast<std::size_t>(y) + 1];
    int x = 0;
    while (i < end && x + static_cast<int>(r.length[i]) <= x0) x += static_cast<int>(r.length[i++]);
    int done = 0;
    while (i < end && done < n) {
        const int from = std::max(x, x0);
        const int upTo = std::min(x + static_cast<int>(r.length[i]), x0 + n);
        std::fill(out + (from - x0), out + (upTo - x0), r.pixel[i]);
        done = upTo - x0;
        x += static_cast<int>(r.length[i++]);
    }
}

// Rows unpacked at a time on their way to a render target or another renderer.
constexpr int kRunsBandRows = 64;

}  // namespace

void gpuBlitRuns(const std::string& key, double x, double y, double alpha) {
    State& s = st();
    if (s.ren == nullptr) return;
    if (auto kept = s.cache.find(key); kept != s.cache.end()) {
        kept->second.lastUsed = s.frame;
        gpuBlit(kept->second.tex, x, y, kept->second.w / s.scale, kept->second.h / s.scale, alpha);
        return;
    }
    auto hit = s.runs.find(key);
    if (hit == s.runs.end()) return;
    const Runs& r = hit->second;
    settleClear();
    const SDL_Rect dst{px(x), px(y), r.w, r.h};
    SDL_Rect vis{};
    if (!visiblePart(dst, &vis)) return;
    const int fade = alphaByte(alpha);
    if (fade == 0) return;
    ++s.drawCalls;
    // On the software renderer's window the rows go straight into its pixels.
    SDL_Rect area{};
    if (SDL_Surface* frame = directFrame(&area)) {
        SDL_Rect part{};
        if (SDL_IntersectRect(&area, &vis, &part) != SDL_TRUE) return;
        s.runsRow.resize(static_cast<std::size_t>(part.w));
        for (int row = part.y; row < part.y + part.h; ++row) {
            unpackRow(r, row - dst.y, part.x - dst.x, part.w, s.runsRow.data());
            overRow(s.runsRow.data(), frameRow(frame, row, part.x), part.w, fade);
        }
        return;
    }
    if (s.runsBand == nullptr || s.runsBandW < vis.w) {
        if (s.runsBand != nullptr) SDL_DestroyTexture(s.runsBand);
        s.runsBand = gpuCreateTexture(SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                      vis.w, kRunsBandRows);
        s.runsBandW = s.runsBand != nullptr ? vis.w : 0;
        if (s.runsBand == nullptr) return;
    }
    SDL_SetTextureBlendMode(s.runsBand, s.premultiplied);
    applyFade(s.runsBand, alpha);
    for (int top = vis.y; top < vis.y + vis.h; top += kRunsBandRows) {
        const int rows = std::min(kRunsBandRows, vis.y + vis.h - top);
        const SDL_Rect band{0, 0, vis.w, rows};
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(s.runsBand, &band, &pixels, &pitch) != 0) return;
        for (int row = 0; row < rows; ++row)
            unpackRow(r, top + row - dst.y, vis.x - dst.x, vis.w,
                      reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(pixels) +
                                                       static_cast<size_t>(row) * pitch));
        SDL_UnlockTexture(s.runsBand);
        const SDL_Rect to{vis.x, top, vis.w, rows};
        SDL_RenderCopy(s.ren, s.runsBand, &band, &to);
    }
}

void gpuDrop(const std::string& key) {
    State& s = st();
    if (auto runs = s.runs.find(key); runs != s.runs.end()) {
        s.runsBytes -= runs->second.bytes();
        s.runs.erase(runs);
    }
    auto it = s.cache.find(key);
    if (it == s.cache.end()) return;
    destroy(it->second);
    s.cache.erase(it);
}

int gpuCacheSize() {
    return static_cast<int>(st().cache.size());
}

std::int64_t gpuCacheBytes() {
    return st().bytes + st().tintedBytes + st().maskBytes + st().runsBytes + st().sheetBytes;
}

SDL_Texture* gpuSheetPicture(const std::string& sheet, int slots, int across, int slot,
                             const std::string& key, int wPx, int hPx, PaintFn paint,
                             void* user, SDL_Rect* part) {
    State& s = st();
    if (s.ren == nullptr || wPx < 1 || hPx < 1 || across < 1 || slot < 0 || slot >= slots)
        return nullptr;
    constexpr int kGap = 1;  // clear pixels between slots
    auto it = s.sheets.find(sheet);
    if (it != s.sheets.end() && (it->second.w != wPx || it->second.h != hPx ||
                                 it->second.across != across || it->second.slots != slots)) {
        dropSheetsWhere([&](const Sheet& one) { return &one == &it->second; });
        it = s.sheets.end();
    }
    if (it == s.sheets.end()) {
        const int sheetW = std::min(across, slots) * (wPx + kGap);
        const int sheetH = (slots + across - 1) / across * (hPx + kGap);
        Sheet made{nullptr, wPx, hPx, across, slots, std::vector<std::string>(slots), 0, 0};
        made.tex = gpuCreateTexture(SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                    sheetW, sheetH);
        if (made.tex == nullptr) return nullptr;
        // Cleared once, so that the gaps and slots not yet painted hold nothing.
        const std::vector<std::uint32_t> clear(static_cast<size_t>(sheetW) * sheetH, 0);
        SDL_UpdateTexture(made.tex, nullptr, clear.data(), sheetW * 4);
        SDL_SetTextureBlendMode(made.tex, s.premultiplied);
        // Its pictures are drawn at their own size, pixel for pixel: sampled nearest they
        // look the same and cost a rasteriser on the processor less than filtered.
        SDL_SetTextureScaleMode(made.tex, SDL_ScaleModeNearest);
        made.bytes = std::int64_t{4} * sheetW * sheetH;
        s.sheetBytes += made.bytes;
        it = s.sheets.emplace(sheet, std::move(made)).first;
    }
    Sheet& sh = it->second;
    sh.lastUsed = s.frame;
    *part = SDL_Rect{(slot % across) * (wPx + kGap), (slot / across) * (hPx + kGap), wPx, hPx};
    if (sh.keys[static_cast<size_t>(slot)] != key) {
        cairo_surface_t* surf = paintImage(wPx, hPx, paint, user);
        if (surf == nullptr) return nullptr;
        unsigned char* data = cairo_image_surface_get_data(surf);
        const int stride = cairo_image_surface_get_stride(surf);
        if (s.straight) unpremultiplyPixels(data, wPx, hPx, stride);
        SDL_UpdateTexture(sh.tex, part, data, stride);
        cairo_surface_destroy(surf);
        sh.keys[static_cast<size_t>(slot)] = key;
    }
    return sh.tex;
}

bool gpuCached(const std::string& key) {
    return st().cache.count(key) != 0 || st().runs.count(key) != 0;
}

void gpuSetClip(double x, double y, double w, double h) {
    if (st().ren == nullptr) return;
    const SDL_Rect r = pxRect(x, y, w, h);
    SDL_RenderSetClipRect(st().ren, &r);
}

void gpuClearClip() {
    if (st().ren != nullptr) SDL_RenderSetClipRect(st().ren, nullptr);
}

void gpuFillRect(double x, double y, double w, double h, std::uint32_t rgb, double alpha) {
    SDL_Renderer* ren = st().ren;
    if (ren == nullptr || w <= 0 || h <= 0) return;
    settleClear();
    const SDL_Rect r = pxRect(x, y, w, h);
    ++st().drawCalls;
    if (st().software && fillOnWindow(r, rgb & 0xFFFFFF, alphaByte(alpha))) return;
    SDL_SetRenderDrawBlendMode(ren, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(ren, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                           alphaByte(alpha));
    SDL_RenderFillRect(ren, &r);
}

bool gpuFillFade(double x, double y, double w, double h, std::uint32_t rgb, const AlphaStop* stops,
                 int count) {
    State& s = st();
    constexpr int kMaxStops = 8;
    if (s.ren == nullptr || s.software || count < 2 || count > kMaxStops) return false;
    if (w <= 0 || h <= 0) return true;
    const SDL_Rect r = pxRect(x, y, w, h);
    std::array<SDL_Vertex, 2 * kMaxStops> v{};
    std::array<int, 6 * (kMaxStops - 1)> index{};
    const Uint8 red = (rgb >> 16) & 0xFF, green = (rgb >> 8) & 0xFF, blue = rgb & 0xFF;
    for (int i = 0; i < count; ++i) {
        const float rowY = static_cast<float>(r.y + std::clamp(stops[i].at, 0.0, 1.0) * r.h);
        const SDL_Color c{red, green, blue, alphaByte(stops[i].alpha)};
        v[2 * i] = SDL_Vertex{{static_cast<float>(r.x), rowY}, c, {0, 0}};
        v[2 * i + 1] = SDL_Vertex{{static_cast<float>(r.x + r.w), rowY}, c, {0, 0}};
        if (i == 0) continue;
        const int a = 2 * (i - 1), k = 6 * (i - 1);
        index[k] = a;
        index[k + 1] = a + 1;
        index[k + 2] = a + 2;
        index[k + 3] = a + 1;
        index[k + 4] = a + 3;
        index[k + 5] = a + 2;
    }
    settleClear();
    SDL_SetRenderDrawBlendMode(s.ren, SDL_BLENDMODE_BLEND);
    ++s.drawCalls;
    return SDL_RenderGeometry(s.ren, nullptr, v.data(), 2 * count, index.data(),
                              6 * (count - 1)) == 0;
}

void gpuStrokeRect(double x, double y, double w, double h, std::uint32_t rgb, double alpha) {
    SDL_Renderer* ren = st().ren;
    if (ren == nullptr || w <= 0 || h <= 0) return;
    settleClear();
    SDL_SetRenderDrawBlendMode(ren, SDL_BLENDMODE_BLEND);
    SDL_SetRenderDrawColor(ren, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                           alphaByte(alpha));
    const SDL_Rect r = pxRect(x, y, w, h);
    SDL_RenderDrawRect(ren, &r);
    ++st().drawCalls;
}

void gpuCopyOpaque(SDL_Texture* tex, double x, double y, double w, double h) {
    State& s = st();
    if (tex == nullptr || s.ren == nullptr) return;
    const SDL_Rect dst = pxRect(x, y, w, h);
    int ww = 0, wh = 0;
    const bool wholeWindow = SDL_GetRenderTarget(s.ren) == nullptr &&
                             SDL_RenderIsClipEnabled(s.ren) == SDL_FALSE &&
                             SDL_GetRendererOutputSize(s.ren, &ww, &wh) == 0 && dst.x <= 0 &&
                             dst.y <= 0 && dst.x + dst.w >= ww && dst.y + dst.h >= wh;
    if (wholeWindow) s.clearPending = false;  // every pixel is replaced
    if (wholeWindow && dst.x == 0 && dst.y == 0 && dst.w == ww && dst.h == wh &&
        blitToWindow(tex, ww, wh)) {
        ++s.drawCalls;
        return;
    }
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_NONE);
    SDL_SetTextureAlphaMod(tex, 255);
    SDL_SetTextureColorMod(tex, 255, 255, 255);
    copy(tex, dst);
    SDL_SetTextureBlendMode(tex, s.premultiplied);
}

void gpuBlit(SDL_Texture* tex, double x, double y, double w, double h, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyFade(tex, alpha);
    copy(tex, pxRect(x, y, w, h));
}

void gpuBlitTinted(SDL_Texture* tex, double x, double y, double w, double h, std::uint32_t rgb,
                   double alpha) {
    gpuBlitTintedRgb(tex, x, y, w, h, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, alpha);
}

void gpuBlitTintedRgb(SDL_Texture* tex, double x, double y, double w, double h, double r,
                      double g, double b, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    // The kept copies hold straight alpha, as the software renderer blends.
    if (st().software && st().straight && tintedCopy(tex, pxRect(x, y, w, h), r, g, b, alpha))
        return;
    applyTint(tex, r, g, b, alpha);
    copy(tex, pxRect(x, y, w, h));
}

void gpuBlitTintedPart(SDL_Texture* tex, const SDL_Rect& src, double x, double y, double w,
                       double h, std::uint32_t rgb, double alpha) {
    gpuBlitTintedRgbPart(tex, src, x, y, w, h, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF,
                         alpha);
}

void gpuBlitTintedRgbPart(SDL_Texture* tex, const SDL_Rect& src, double x, double y, double w,
                          double h, double r, double g, double b, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyTint(tex, r, g, b, alpha);
    copyPart(tex, src, pxRect(x, y, w, h));
}

void gpuBlitAdditive(SDL_Texture* tex, double x, double y, double w, double h, std::uint32_t rgb,
                     double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    const double a = clamp01(alpha);
    SDL_SetTextureBlendMode(tex, SDL_BLENDMODE_ADD);
    SDL_SetTextureAlphaMod(tex, 255);
    SDL_SetTextureColorMod(tex, scaledChannel(rgb, 16, a), scaledChannel(rgb, 8, a),
                           scaledChannel(rgb, 0, a));
    copy(tex, pxRect(x, y, w, h));
    SDL_SetTextureBlendMode(tex, st().premultiplied);
}

void gpuBlitRotated(SDL_Texture* tex, double cx, double cy, double w, double h, double angleDeg,
                    double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyFade(tex, alpha);
    copyEx(tex, pxRect(cx - w / 2, cy - h / 2, w, h), angleDeg, nullptr, false);
}

void gpuBlitRotatedPart(SDL_Texture* tex, const SDL_Rect& src, double cx, double cy, double w,
                        double h, double angleDeg, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyFade(tex, alpha);
    copyEx(tex, pxRect(cx - w / 2, cy - h / 2, w, h), angleDeg, nullptr, false, &src);
}

void gpuBlitMirrored(SDL_Texture* tex, double cx, double cy, double w, double h, double angleDeg,
                     bool flipH, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyFade(tex, alpha);
    copyEx(tex, pxRect(cx - w / 2, cy - h / 2, w, h), angleDeg, nullptr, flipH);
}

void gpuBlitPivot(SDL_Texture* tex, double x, double y, double w, double h, double pivotX,
                  double pivotY, double angleDeg, bool flipH, double alpha) {
    if (tex == nullptr || st().ren == nullptr) return;
    applyFade(tex, alpha);
    const SDL_Point pivot{px(pivotX), px(pivotY)};
    copyEx(tex, pxRect(x, y, w, h), angleDeg, &pivot, flipH);
}

void gpuSetCanvasFlush(DrawFn flush, void* user) {
    st().canvasFlush = flush;
    st().canvasFlushUser = user;
}

bool gpuFlushCanvas() {
    if (st().canvasFlush == nullptr || st().ren == nullptr) return false;
    st().canvasFlush(st().canvasFlushUser);
    return true;
}

namespace {

std::uint32_t div255(std::uint32_t t) {
    return (t + 128 + ((t + 128) >> 8)) >> 8;
}

#if defined(__SSE2__)
// x / 255, rounded, in each of eight lanes; every x here is at most 255 * 255, so sixteen
// bits hold the sums.
__m128i div255x8(__m128i x) {
    x = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
}

// (d * (255 - k) + with * k) / 255 in each lane.
__m128i mix8(__m128i d, __m128i with, __m128i k) {
    return div255x8(_mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(_mm_set1_epi16(255), k)),
                                  _mm_mullo_epi16(with, k)));
}

// The colour lanes of two pixels spread over sixteen-bit lanes; the alpha lanes stay 0.
__m128i colourLanes(__m128i k) {
    return _mm_and_si128(k, _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1));
}
#endif

// One row of coverage m in the colour rgb faded by fade (0..255): with k the coverage
// times fade / 255, a blended frame pixel d becomes (d * (255 - k) + colour * k) / 255 and
// an added one d + colour * k / 255 (held at 255), all rounded; the frame's alpha byte is
// kept.
void coverageRow(const std::uint8_t* m, std::uint32_t* d, int n, int fade, std::uint32_t rgb,
                 bool add) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i colour = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(rgb)), zero);
    const __m128i fadeBy = _mm_set1_epi16(static_cast<short>(fade));
    for (; i + 4 <= n; i += 4) {
        std::uint32_t four = 0;
        std::memcpy(&four, m + i, sizeof four);
        if (four == 0) continue;
        __m128i k = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero);
        k = div255x8(_mm_mullo_epi16(k, fadeBy));
        k = _mm_unpacklo_epi16(k, k);
        const __m128i kLow = colourLanes(_mm_unpacklo_epi32(k, k));
        const __m128i kHigh = colourLanes(_mm_unpackhi_epi32(k, k));
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i out;
        if (add) {
            const __m128i more = _mm_packus_epi16(div255x8(_mm_mullo_epi16(colour, kLow)),
                                                  div255x8(_mm_mullo_epi16(colour, kHigh)));
            out = _mm_adds_epu8(px, more);
        } else {
            out = _mm_packus_epi16(mix8(_mm_unpacklo_epi8(px, zero), colour, kLow),
                                   mix8(_mm_unpackhi_epi8(px, zero), colour, kHigh));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
    }
#endif
    for (; i < n; ++i) {
        if (m[i] == 0) continue;
        const std::uint32_t k = div255(m[i] * static_cast<std::uint32_t>(fade));
        const std::uint32_t p = d[i];
        std::uint32_t out = p & 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8) {
            const std::uint32_t c = (p >> shift) & 0xFF;
            const std::uint32_t with = (rgb >> shift) & 0xFF;
            const std::uint32_t v =
                add ? std::min(255u, c + div255(with * k)) : div255(c * (255 - k) + with * k);
            out |= v << shift;
        }
        d[i] = out;
    }
}

// One row of straight-alpha pixels src over the frame pixels d, faded by fade (0..255):
// with k the pixel's alpha times fade / 255, d becomes (d * (255 - k) + src * k) / 255,
// rounded; the frame's alpha byte is kept.
void overRow(const std::uint32_t* src, std::uint32_t* d, int n, int fade) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i fadeBy = _mm_set1_epi16(static_cast<short>(fade));
    const __m128i alphas = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i a = _mm_and_si128(from, alphas);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, zero)) == 0xFFFF) continue;  // all clear
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        __m128i out;
        if (fade == 255 && _mm_movemask_epi8(_mm_cmpeq_epi32(a, alphas)) == 0xFFFF) {
            out = _mm_or_si128(_mm_andnot_si128(alphas, from), _mm_and_si128(px, alphas));
        } else {
            auto half = [&](__m128i s, __m128i dd) {
                __m128i k = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
                if (fade != 255) k = div255x8(_mm_mullo_epi16(k, fadeBy));
                return mix8(dd, s, colourLanes(k));
            };
            out =
                _mm_packus_epi16(half(_mm_unpacklo_epi8(from, zero), _mm_unpacklo_epi8(px, zero)),
                                 half(_mm_unpackhi_epi8(from, zero), _mm_unpackhi_epi8(px, zero)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), out);
    }
#endif
    for (; i < n; ++i) {
        const std::uint32_t s = src[i];
        const std::uint32_t k = div255((s >> 24) * static_cast<std::uint32_t>(fade));
        if (k == 0) continue;
        const std::uint32_t p = d[i];
        std::uint32_t out = p & 0xFF000000u;
        for (int shift = 0; shift <= 16; shift += 8)
            out |= div255(((p >> shift) & 0xFF) * (255 - k) + ((s >> shift) & 0xFF) * k) << shift;
        d[i] = out;
    }
}

// The window's pixels when the frame may be drawn into them directly: SDL's software
// renderer with no render target, viewport or scale in the way. Whatever the renderer has
// queued is drawn first; *area is the part of the window within the clip (possibly
// empty). Null otherwise.
SDL_Surface* directFrame(SDL_Rect* area) {
    State& s = st();
    if (s.ren == nullptr || !s.software || SDL_GetRenderTarget(s.ren) != nullptr) return nullptr;
    SDL_Window* window = SDL_RenderGetWindow(s.ren);
    SDL_Rect view{};
    SDL_RenderGetViewport(s.ren, &view);
    float sx = 0, sy = 0;
    SDL_RenderGetScale(s.ren, &sx, &sy);
    if (window == nullptr || view.x != 0 || view.y != 0 || sx != 1.0f || sy != 1.0f) return nullptr;
    settleClear();
    if (SDL_RenderFlush(s.ren) != 0) return nullptr;
    SDL_Surface* frame = SDL_GetWindowSurface(window);
    if (frame == nullptr || frame->format->BytesPerPixel != 4 ||
        frame->format->Rmask != 0xFF0000u || frame->format->Gmask != 0xFF00u ||
        frame->format->Bmask != 0xFFu || SDL_MUSTLOCK(frame))
        return nullptr;
    *area = SDL_Rect{0, 0, frame->w, frame->h};
    if (SDL_RenderIsClipEnabled(s.ren) == SDL_TRUE) {
        SDL_Rect clip{};
        SDL_RenderGetClipRect(s.ren, &clip);
        if (SDL_IntersectRect(area, &clip, area) != SDL_TRUE) *area = SDL_Rect{0, 0, 0, 0};
    }
    return frame;
}

std::uint32_t* frameRow(SDL_Surface* frame, int row, int x) {
    return reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(frame->pixels) +
                                            static_cast<size_t>(row) * frame->pitch) +
           x;
}

// SDL's software renderer blends a filled rectangle one pixel at a time, at about four
// times the cost of a row blended here: on its window (the veil under a dialog or the
// pause, the disc's patch of sky) the rows are blended in place, as by a mask of whole
// coverage. False where the window's pixels cannot be reached.
bool fillOnWindow(const SDL_Rect& r, std::uint32_t rgb, int fade) {
    State& s = st();
    SDL_Rect area{};
    SDL_Surface* frame = directFrame(&area);
    if (frame == nullptr) return false;
    SDL_Rect hit{};
    if (fade == 0 || SDL_IntersectRect(&area, &r, &hit) != SDL_TRUE) return true;
    if (static_cast<int>(s.fullCover.size()) < hit.w) s.fullCover.assign(hit.w, 255);
    for (int row = hit.y; row < hit.y + hit.h; ++row)
        coverageRow(s.fullCover.data(), frameRow(frame, row, hit.x), hit.w, fade, rgb, false);
    return true;
}

// A blended copy of a kept texture at its own size, drawn into the window's pixels: SDL's
// software renderer blends one pixel at a time, this four. False when the texture's pixels
// cannot be read or its copy is tinted, or the window cannot be drawn into directly.
bool directCopy(SDL_Texture* tex, const SDL_Rect& dst) {
    State& s = st();
    if (!s.readable) return false;
    Uint32 format = 0;
    int access = 0;
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    Uint8 r = 0, g = 0, b = 0, fade = 0;
    if (SDL_QueryTexture(tex, &format, &access, nullptr, nullptr) != 0 ||
        format != SDL_PIXELFORMAT_ARGB8888 || access != SDL_TEXTUREACCESS_STREAMING ||
        SDL_GetTextureBlendMode(tex, &mode) != 0 || mode != SDL_BLENDMODE_BLEND ||
        SDL_GetTextureColorMod(tex, &r, &g, &b) != 0 || (r & g & b) != 255 ||
        SDL_GetTextureAlphaMod(tex, &fade) != 0)
        return false;
    SDL_Rect area{};
    SDL_Surface* frame = directFrame(&area);
    if (frame == nullptr) return false;
    SDL_Rect hit{};
    if (fade == 0 || SDL_IntersectRect(&area, &dst, &hit) != SDL_TRUE) return true;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(tex, nullptr, &pixels, &pitch) != 0) return false;
    for (int row = hit.y; row < hit.y + hit.h; ++row) {
        const auto* from =
            reinterpret_cast<const std::uint32_t*>(static_cast<const unsigned char*>(pixels) +
                                                   static_cast<size_t>(row - dst.y) * pitch) +
            (hit.x - dst.x);
        overRow(from, frameRow(frame, row, hit.x), hit.w, fade);
    }
    SDL_UnlockTexture(tex);
    return true;
}

// True when a streaming texture's pixels read back as they were written, as on SDL's
// software renderer, which hands out the texture's own memory when it is locked.
bool streamingTexturesReadable(SDL_Renderer* ren) {
    SDL_Texture* probe =
        SDL_CreateTexture(ren, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, 2, 1);
    if (probe == nullptr) return false;
    const std::uint32_t written[2] = {0x80402010u, 0xFF00FF7Fu};
    bool same = false;
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_UpdateTexture(probe, nullptr, written, sizeof written) == 0 &&
        SDL_LockTexture(probe, nullptr, &pixels, &pitch) == 0) {
        same = std::memcmp(pixels, written, sizeof written) == 0;
        SDL_UnlockTexture(probe);
    }
    SDL_DestroyTexture(probe);
    return same;
}

}  // namespace

const std::uint8_t* gpuMask(const std::string& key, int wPx, int hPx, PaintFn paint, void* user,
                            int* stride) {
    State& s = st();
    if (s.ren == nullptr || !s.software || wPx < 1 || hPx < 1 || stride == nullptr) return nullptr;
    auto hit = s.masks.find(key);
    if (hit == s.masks.end() || hit->second.w != wPx || hit->second.h != hPx) {
        if (hit != s.masks.end()) {
            s.maskBytes -= static_cast<std::int64_t>(hit->second.a.size());
            s.masks.erase(hit);
        }
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, wPx, hPx);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        cairo_t* cr = cairo_create(surface);
        if (paint != nullptr) paint(cr, user);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        Mask m;
        m.w = wPx;
        m.h = hPx;
        m.stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        m.a.assign(data, data + static_cast<std::size_t>(m.stride) * hPx);
        cairo_surface_destroy(surface);
        s.maskBytes += static_cast<std::int64_t>(m.a.size());
        hit = s.masks.emplace(key, std::move(m)).first;
    }
    hit->second.lastUsed = s.frame;
    *stride = hit->second.stride;
    return hit->second.a.data();
}

bool gpuBlendCoverage(const std::uint8_t* mask, int wPx, int hPx, int stride, double x, double y,
                      double r, double g, double b, double alpha, Coverage mode) {
    State& s = st();
    if (mask == nullptr || wPx < 1 || hPx < 1 || stride < wPx) return false;
    SDL_Rect area{};
    SDL_Surface* frame = directFrame(&area);
    if (frame == nullptr) return false;
    const SDL_Rect at{px(x), px(y), wPx, hPx};
    SDL_Rect hit{};
    const int fade = alphaByte(alpha);
    if (fade == 0 || SDL_IntersectRect(&area, &at, &hit) != SDL_TRUE) return true;
    const std::uint32_t rgb = packRgb(r, g, b);
    for (int row = hit.y; row < hit.y + hit.h; ++row) {
        const std::uint8_t* m = mask + static_cast<size_t>(row - at.y) * stride + (hit.x - at.x);
        coverageRow(m, frameRow(frame, row, hit.x), hit.w, fade, rgb, mode == Coverage::Add);
    }
    ++s.drawCalls;
    return true;
}

void unpremultiplyPixels(unsigned char* data, int w, int h, int stride) {
    if (data == nullptr) return;
    // 255 / a in 16.16 fixed point, so that each channel costs a multiply, not a divide.
    static const std::array<std::uint32_t, 256> kInverse = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t a = 1; a < 256; ++a) t[a] = ((255u << 16) + a / 2) / a;
        return t;
    }();
    auto one = [](std::uint32_t p) {
        const std::uint32_t a = p >> 24;
        if (((a + 1) & 0xFE) == 0) return p;  // fully clear or fully opaque: unchanged
        const std::uint32_t inv = kInverse[a];
        auto un = [inv](std::uint32_t c) {
            const std::uint32_t v = (c * inv + 0x8000) >> 16;
            return v > 255 ? 255u : v;
        };
        return (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
    };
#if defined(__SSE2__)
    // Four pixels at a time; a group of clear or opaque pixels only costs the test.
    const __m128i kOne = _mm_set1_epi32(1);
    const __m128i kEven = _mm_set1_epi32(0xFE);
    const __m128i kByte = _mm_set1_epi32(0xFF);
    const __m128 k255 = _mm_set1_ps(255.0f);
    const __m128 kHalf = _mm_set1_ps(0.5f);
    const __m128 kOnef = _mm_set1_ps(1.0f);
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
        int x = 0;
        for (; x + 4 <= w; x += 4) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            const __m128i a = _mm_srli_epi32(p, 24);
            const __m128i keep =
                _mm_cmpeq_epi32(_mm_and_si128(_mm_add_epi32(a, kOne), kEven), _mm_setzero_si128());
            if (_mm_movemask_epi8(keep) == 0xFFFF) continue;
            const __m128 inv = _mm_div_ps(k255, _mm_max_ps(_mm_cvtepi32_ps(a), kOnef));
            auto un = [&](__m128i c) {
                const __m128 v = _mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(c), inv), kHalf);
                return _mm_cvttps_epi32(_mm_min_ps(v, k255));
            };
            const __m128i r = un(_mm_and_si128(_mm_srli_epi32(p, 16), kByte));
            const __m128i g = un(_mm_and_si128(_mm_srli_epi32(p, 8), kByte));
            const __m128i b = un(_mm_and_si128(p, kByte));
            const __m128i q =
                _mm_or_si128(_mm_or_si128(_mm_slli_epi32(a, 24), _mm_slli_epi32(r, 16)),
                             _mm_or_si128(_mm_slli_epi32(g, 8), b));
            const __m128i out = _mm_or_si128(_mm_and_si128(keep, p), _mm_andnot_si128(keep, q));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), out);
        }
        for (; x < w; ++x) row[x] = one(row[x]);
    }
#else
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) row[x] = one(row[x]);
    }
#endif
}

bool profOn() {
    static const bool on = std::getenv("PLUMBRIX_STATS") != nullptr;
    return on;
}

void profBegin(const char* label) {
    if (!profOn()) return;
    profEntries()[label].started = steadySeconds();
}

void profEnd(const char* label) {
    if (!profOn()) return;
    ProfEntry& e = profEntries()[label];
    e.calls += 1;
    e.total += steadySeconds() - e.started;
}

std::string profReport() {
    if (!profOn()) return {};
    std::string out;
    for (auto& [label, e] : profEntries()) {
        if (e.calls == 0) continue;
        char buf[128];
        std::snprintf(buf, sizeof buf, " %s %.1f", label.c_str(), 1000 * e.total / e.calls);
        out += buf;
        e.total = 0;
        e.calls = 0;
    }
    return out;
}

}  // namespace ui

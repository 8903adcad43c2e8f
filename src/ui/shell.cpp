#include "ui/shell.h"

#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/audio.h"
#include "ui/gpu.h"
#include "version.h"

namespace ui {
namespace {

constexpr double kDoubleClickSeconds = 0.3;
constexpr double kGeometrySaveDelay = 2.0;
constexpr double kMaxDt = 0.1;
constexpr double kDefaultRefreshHz = 60.0;
constexpr double kVsyncMargin = 0.002;
// The left stick: the part of its travel that counts as rest, the deflection that moves
// focus, and its key repeat.
constexpr double kStickDeadZone = 0.25;
constexpr double kStickNavigate = 0.6;
constexpr double kStickFirstRepeat = 0.45;
constexpr double kStickRepeat = 0.15;
// Aim turn rates: the stick fully over, and the fine turn of a held d-pad or shoulder.
constexpr double kStickAimRate = 2.0;
constexpr double kFineAimRate = 0.35;

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != '\0';
}

void sleepSeconds(double s) {
    if (s > 0) std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

double refreshInterval(SDL_Window* window) {
    SDL_DisplayMode mode{};
    if (window != nullptr && SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0)
        return 1.0 / mode.refresh_rate;
    return 1.0 / kDefaultRefreshHz;
}

DisplayArea queryDisplayArea() {
    SDL_Rect r{};
    if (SDL_GetDisplayUsableBounds(0, &r) != 0 || r.w < 1) {
        r = SDL_Rect{};
        if (SDL_GetDisplayBounds(0, &r) != 0) r = SDL_Rect{};
    }
    return {r.x, r.y, r.w, r.h};
}

// True when the current OpenGL context's driver rasterises on the processor (Mesa's
// llvmpipe and softpipe, and the like).
bool currentGlOnCpu() {
    using GetString = const unsigned char* (*)(unsigned int);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (getString == nullptr) return false;
    constexpr unsigned int kGlRenderer = 0x1F01;
    const unsigned char* name = getString(kGlRenderer);
    if (name == nullptr) return false;
    const std::string n = reinterpret_cast<const char*>(name);
    for (const char* cpu : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR"})
        if (n.find(cpu) != std::string::npos) return true;
    return false;
}

// True for an OpenGL renderer drawn by the processor.
bool rasterisedByCpu(SDL_Renderer* ren) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(ren, &info) != 0 || info.name == nullptr ||
        std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    return currentGlOnCpu();
}

// Asks a hidden probe window whether OpenGL here would be drawn by the processor.
bool openglOnCpu() {
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (probe == nullptr) return false;
    bool cpu = false;
    SDL_GLContext gl = SDL_GL_CreateContext(probe);
    if (gl != nullptr) {
        cpu = currentGlOnCpu();
        SDL_GL_DeleteContext(gl);
    }
    SDL_DestroyWindow(probe);
    return cpu;
}

// How long the probe may take before it counts as no answer.
constexpr int kProbeWaitMs = 5000;

void destroyCanvas(Shell& sh) {
    if (sh.canvas != nullptr) cairo_surface_destroy(sh.canvas);  // may borrow the texture's pixels
    if (sh.canvasTex != nullptr) SDL_DestroyTexture(sh.canvasTex);
    sh.canvasShared = false;
    sh.canvasTex = nullptr;
    sh.canvas = nullptr;
    sh.canvasW = 0;
    sh.canvasH = 0;
    sh.canvasTiles.clear();
    sh.canvasSent = {};
    sh.tilesX = 0;
    sh.tilesY = 0;
}

// Calls fn(x, y, w, h) in pixels for each rectangle of painted tiles: runs of neighbouring
// tiles in a tile row, joined with the run straight above when it spans the same columns.
template <typename Fn>
void forPaintedRects(const Shell& sh, Fn fn) {
    struct Run {
        int x0, x1, y0, y1;  // tiles
    };
    std::vector<Run> open;
    std::vector<Run> next;
    auto emit = [&](const Run& r) {
        const int x = r.x0 * kCanvasTile;
        const int y = r.y0 * kCanvasTile;
        fn(x, y, std::min(r.x1 * kCanvasTile, sh.canvasW) - x,
           std::min(r.y1 * kCanvasTile, sh.canvasH) - y);
    };
    for (int ty = 0; ty < sh.tilesY; ++ty) {
        next.clear();
        const std::uint8_t* row = &sh.canvasTiles[static_cast<size_t>(ty) * sh.tilesX];
        for (int tx = 0; tx < sh.tilesX; ++tx) {
            if (row[tx] == 0) continue;
            int end = tx + 1;
            while (end < sh.tilesX && row[end] != 0) ++end;
            Run r{tx, end, ty, ty + 1};
            for (Run& o : open) {
                if (o.x0 == tx && o.x1 == end) {
                    r.y0 = o.y0;
                    o.x1 = -1;  // carried on in this row
                    break;
                }
            }
            next.push_back(r);
            tx = end;
        }
        for (const Run& o : open)
            if (o.x1 >= 0) emit(o);
        open.swap(next);
    }
    for (const Run& o : open) emit(o);
}

// Clears the tiles the previous frame painted; the rest of the canvas is clear already.
void clearPaintedTiles(Shell& sh) {
    unsigned char* data = cairo_image_surface_get_data(sh.canvas);
    const int stride = cairo_image_surface_get_stride(sh.canvas);
    forPaintedRects(sh, [&](int x, int y, int w, int h) {
        for (int row = y; row < y + h; ++row)
            std::memset(data + static_cast<size_t>(row) * stride + static_cast<size_t>(x) * 4, 0,
                        static_cast<size_t>(w) * 4);
    });
    cairo_surface_mark_dirty(sh.canvas);
}

// True when any of the n pixels at p holds paint.
bool anyPaint(const unsigned char* p, int n) {
    int i = 0;
#if defined(__SSE2__)
    // A whole tile's row is eight loads of four pixels: the canvas is read at memory speed.
    if (n == kCanvasTile) {
        __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        for (i = 4; i < kCanvasTile; i += 4)
            any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * i)));
        return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
    }
#endif
    std::uint64_t any = 0;
    for (; i + 2 <= n; i += 2) {
        std::uint64_t v;
        std::memcpy(&v, p + static_cast<size_t>(i) * 4, sizeof v);
        any |= v;
    }
    if (i < n) {
        std::uint32_t v;
        std::memcpy(&v, p + static_cast<size_t>(i) * 4, sizeof v);
        any |= v;
    }
    return any != 0;
}

// Marks the tiles holding any paint; returns their number.
int markPaintedTiles(Shell& sh) {
    std::fill(sh.canvasTiles.begin(), sh.canvasTiles.end(), 0);
    const unsigned char* data = cairo_image_surface_get_data(sh.canvas);
    const int stride = cairo_image_surface_get_stride(sh.canvas);
    int painted = 0;
    for (int ty = 0; ty < sh.tilesY; ++ty) {
        std::uint8_t* tiles = &sh.canvasTiles[static_cast<size_t>(ty) * sh.tilesX];
        const int y1 = std::min((ty + 1) * kCanvasTile, sh.canvasH);
        int left = sh.tilesX;  // tiles of this row not yet known to hold paint
        for (int y = ty * kCanvasTile; y < y1 && left > 0; ++y) {
            const unsigned char* row = data + static_cast<size_t>(y) * stride;
            for (int tx = 0; tx < sh.tilesX; ++tx) {
                if (tiles[tx] != 0) continue;
                const int x0 = tx * kCanvasTile;
                if (anyPaint(row + static_cast<size_t>(x0) * 4,
                             std::min(kCanvasTile, sh.canvasW - x0))) {
                    tiles[tx] = 1;
                    --left;
                    ++painted;
                }
            }
        }
    }
    return painted;
}

// Uploads the rows of the canvas rectangle (x, y, w, h) that differ from what the texture
// holds there. Most of an interface stands still from one frame to the next, and an
// upload costs a rasteriser on the processor far more than the comparison.
void sendCanvasRows(Shell& sh, int x, int y, int w, int h) {
    const unsigned char* data = cairo_image_surface_get_data(sh.canvas);
    const int stride = cairo_image_surface_get_stride(sh.canvas);
    const size_t skip = static_cast<size_t>(x) * 4;
    const size_t bytes = static_cast<size_t>(w) * 4;
    auto same = [&](int row) {
        const size_t at = static_cast<size_t>(row) * stride + skip;
        return std::memcmp(data + at, sh.canvasSent.data() + at, bytes) == 0;
    };
    int first = y;
    int last = y + h - 1;
    while (first <= last && same(first)) ++first;
    while (last > first && same(last)) --last;
    if (first > last) return;
    const SDL_Rect r{x, first, w, last - first + 1};
    if (SDL_UpdateTexture(sh.canvasTex, &r, data + static_cast<size_t>(first) * stride + skip,
                          stride) != 0)
        return;  // tried again next frame: the copy still holds what the texture holds
    for (int row = first; row <= last; ++row) {
        const size_t at = static_cast<size_t>(row) * stride + skip;
        std::memcpy(sh.canvasSent.data() + at, data + at, bytes);
    }
}

// Uploads and draws the painted part of the canvas. A canvas painted over most of its
// area goes up and is drawn whole, in one call each.
void presentCanvas(Shell& sh, int painted) {
    gpuSettleFrame();
    if (painted == 0) return;
    unsigned char* data = cairo_image_surface_get_data(sh.canvas);
    const int stride = cairo_image_surface_get_stride(sh.canvas);
    SDL_RenderSetClipRect(sh.renderer, nullptr);
    if (2 * painted > sh.tilesX * sh.tilesY) {
        if (sh.canvasStraight) unpremultiplyPixels(data, sh.canvasW, sh.canvasH, stride);
        if (!sh.canvasShared) sendCanvasRows(sh, 0, 0, sh.canvasW, sh.canvasH);
        SDL_RenderCopy(sh.renderer, sh.canvasTex, nullptr, nullptr);
        return;
    }
    // Every rectangle goes up before any is drawn: a renderer that draws later than asked
    // waits for its queued copies of the texture before each new upload to it.
    forPaintedRects(sh, [&](int x, int y, int w, int h) {
        unsigned char* at = data + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4;
        if (sh.canvasStraight) unpremultiplyPixels(at, w, h, stride);
        if (!sh.canvasShared) sendCanvasRows(sh, x, y, w, h);
    });
    forPaintedRects(sh, [&](int x, int y, int w, int h) {
        const SDL_Rect r{x, y, w, h};
        SDL_RenderCopy(sh.renderer, sh.canvasTex, &r, &r);
    });
}

// (Re)creates the canvas and its texture for a new pixel size; false when that fails.
bool ensureCanvas(Shell& sh, int pw, int ph) {
    if (sh.canvas != nullptr && sh.canvasTex != nullptr && sh.canvasW == pw && sh.canvasH == ph)
        return true;
    destroyCanvas(sh);
    // Made through the texture cache when it serves this renderer, so that on OpenGL the
    // canvas goes up as a plain copy of memory.
    sh.canvasTex = gpuRenderer() == sh.renderer
                       ? gpuCreateTexture(SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                          pw, ph)
                       : SDL_CreateTexture(sh.renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STREAMING, pw, ph);
    // SDL's software renderer keeps a streaming texture's pixels in memory it hands out
    // when the texture is locked: cairo paints straight into them, which saves a window's
    // worth of memory and the upload.
    SDL_RendererInfo info{};
    void* pixels = nullptr;
    int pitch = 0;
    if (sh.canvasTex != nullptr && SDL_GetRendererInfo(sh.renderer, &info) == 0 &&
        (info.flags & SDL_RENDERER_SOFTWARE) != 0 &&
        SDL_LockTexture(sh.canvasTex, nullptr, &pixels, &pitch) == 0) {
        SDL_UnlockTexture(sh.canvasTex);
        if (pitch == cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, pw)) {
            std::memset(pixels, 0, static_cast<size_t>(pitch) * ph);
            sh.canvas = cairo_image_surface_create_for_data(static_cast<unsigned char*>(pixels),
                                                            CAIRO_FORMAT_ARGB32, pw, ph, pitch);
            sh.canvasShared = true;
        }
    }
    if (sh.canvas == nullptr) sh.canvas = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    if (cairo_surface_status(sh.canvas) != CAIRO_STATUS_SUCCESS || sh.canvasTex == nullptr) {
        destroyCanvas(sh);
        return false;
    }
    if (!sh.canvasShared) {
        // The texture starts out as clear as the canvas and its copy of what was sent.
        const int stride = cairo_image_surface_get_stride(sh.canvas);
        sh.canvasSent.assign(static_cast<size_t>(stride) * ph, 0);
        if (SDL_UpdateTexture(sh.canvasTex, nullptr, sh.canvasSent.data(), stride) != 0) {
            destroyCanvas(sh);
            return false;
        }
    }
    sh.canvasW = pw;
    sh.canvasH = ph;
    sh.tilesX = (pw + kCanvasTile - 1) / kCanvasTile;
    sh.tilesY = (ph + kCanvasTile - 1) / kCanvasTile;
    sh.canvasTiles.assign(static_cast<size_t>(sh.tilesX) * sh.tilesY, 0);  // created clear
    const SDL_BlendMode premultiplied = SDL_ComposeCustomBlendMode(
        SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD,
        SDL_BLENDFACTOR_ONE, SDL_BLENDFACTOR_ONE_MINUS_SRC_ALPHA, SDL_BLENDOPERATION_ADD);
    // The canvas is only ever copied pixel for pixel: nearest sampling gives the same
    // picture, and costs a rasteriser on the processor a third less than filtering.
    SDL_SetTextureScaleMode(sh.canvasTex, SDL_ScaleModeNearest);
    sh.canvasStraight = SDL_SetTextureBlendMode(sh.canvasTex, premultiplied) != 0;
    if (sh.canvasStraight) SDL_SetTextureBlendMode(sh.canvasTex, SDL_BLENDMODE_BLEND);
    return true;
}

// Draws what the canvas holds so far and clears it, in the middle of a frame.
void flushCanvas(void* user) {
    Shell& sh = *static_cast<Shell*>(user);
    if (sh.canvas == nullptr || sh.ctx.cr == nullptr) return;
    cairo_surface_flush(sh.canvas);
    presentCanvas(sh, markPaintedTiles(sh));
    // A shared canvas is read by the queued copies: they run before it is cleared.
    if (sh.canvasShared) SDL_RenderFlush(sh.renderer);
    clearPaintedTiles(sh);
    std::fill(sh.canvasTiles.begin(), sh.canvasTiles.end(), 0);
}

void handleWindowEvent(Shell& sh, WindowPrefs& prefs, const SDL_WindowEvent& e) {
    const Uint32 busy = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP |
                        SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED;
    const bool plain =
        !prefs.fullscreen && sh.window != nullptr && (SDL_GetWindowFlags(sh.window) & busy) == 0;
    switch (e.event) {
        case SDL_WINDOWEVENT_SHOWN:
            sh.hidden = false;
            break;
        // A window the player left (hidden, minimised or behind another one) is away: the
        // game pauses itself and the sound falls silent until focus comes back.
        case SDL_WINDOWEVENT_HIDDEN:
            sh.hidden = true;
            sh.ctx.away = true;
            audio::setSuspended(true);
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            sh.minimized = true;
            sh.ctx.away = true;
            audio::setSuspended(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            sh.focused = true;
            sh.returning = sh.ctx.away;
            audio::setSuspended(false);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            sh.focused = false;
            sh.ctx.away = true;
            audio::setSuspended(true);
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (!plain) break;
            prefs.windowW = e.data1;
            prefs.windowH = e.data2;
            sh.geometryDirty = true;
            break;
        case SDL_WINDOWEVENT_MOVED:
            if (!plain) break;
            prefs.windowX = e.data1;
            prefs.windowY = e.data2;
            sh.geometryDirty = true;
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            sh.minimized = false;
            prefs.maximized = true;
            sh.geometryDirty = true;
            break;
        case SDL_WINDOWEVENT_RESTORED:
            sh.minimized = false;
            prefs.maximized = false;
            sh.geometryDirty = true;
            break;
        default:
            break;
    }
}

// The key a controller button stands for; 0 for none.
int padKey(Uint8 button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
            return SDLK_SPACE;
        case SDL_CONTROLLER_BUTTON_B:
        case SDL_CONTROLLER_BUTTON_BACK:
            return SDLK_ESCAPE;
        case SDL_CONTROLLER_BUTTON_START:
            return SDLK_p;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return SDLK_UP;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return SDLK_DOWN;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return SDLK_LEFT;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return SDLK_RIGHT;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER:
            return SDLK_PAGEUP;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER:
            return SDLK_PAGEDOWN;
        default:
            return 0;
    }
}

void padAdded(Shell& sh, int deviceIndex) {
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* p : sh.pads) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(p)) == id) return;
    }
    SDL_GameController* pad = SDL_GameControllerOpen(deviceIndex);
    if (pad != nullptr) sh.pads.push_back(pad);
}

bool padRemoved(Shell& sh, SDL_JoystickID id) {
    for (auto it = sh.pads.begin(); it != sh.pads.end(); ++it) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(*it)) == id) {
            SDL_GameControllerClose(*it);
            sh.pads.erase(it);
            return true;
        }
    }
    return false;
}

// A stick axis as -1..1 with the dead zone cut out and the rest stretched to full range.
double stickAxis(Sint16 raw) {
    const double v = std::clamp(raw / 32767.0, -1.0, 1.0);
    const double a = std::fabs(v);
    if (a <= kStickDeadZone) return 0;
    return std::copysign((a - kStickDeadZone) / (1 - kStickDeadZone), v);
}

// The held state of every pad: aim turn rate, and the stick's menu moves with repeat.
void readPads(Shell& sh, Input& in) {
    double sx = 0;
    double sy = 0;
    int fine = 0;
    for (SDL_GameController* p : sh.pads) {
        const double x = stickAxis(SDL_GameControllerGetAxis(p, SDL_CONTROLLER_AXIS_LEFTX));
        const double y = stickAxis(SDL_GameControllerGetAxis(p, SDL_CONTROLLER_AXIS_LEFTY));
        if (std::hypot(x, y) > std::hypot(sx, sy)) {
            sx = x;
            sy = y;
        }
        fine += SDL_GameControllerGetButton(p, SDL_CONTROLLER_BUTTON_DPAD_RIGHT) +
                SDL_GameControllerGetButton(p, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) -
                SDL_GameControllerGetButton(p, SDL_CONTROLLER_BUTTON_DPAD_LEFT) -
                SDL_GameControllerGetButton(p, SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
    }
    in.aimRate = sx * kStickAimRate + std::clamp(fine, -1, 1) * kFineAimRate;

    int key = 0;
    if (std::max(std::fabs(sx), std::fabs(sy)) >= kStickNavigate) {
        if (std::fabs(sx) > std::fabs(sy))
            key = sx > 0 ? SDLK_RIGHT : SDLK_LEFT;
        else
            key = sy > 0 ? SDLK_DOWN : SDLK_UP;
    }
    const double now = sh.clock();
    if (key != sh.stickKey) {
        sh.stickKey = key;
        if (key != 0) in.keys.push_back(key);
        sh.stickRepeat = now + kStickFirstRepeat;
    } else if (key != 0 && now >= sh.stickRepeat) {
        in.keys.push_back(key);
        sh.stickRepeat = now + kStickRepeat;
    }
}

void handleEvent(Shell& sh, WindowPrefs& prefs, FrameOutcome& out, const SDL_Event& e) {
    Input& in = sh.ctx.in;
    switch (e.type) {
        case SDL_QUIT:
            sh.running = false;
            break;
        case SDL_KEYDOWN: {
            const SDL_Keycode key = e.key.keysym.sym;
            if (key == SDLK_F11) {
                prefs.fullscreen = !prefs.fullscreen;
                out.saveSettings = true;
            } else if (key == SDLK_q && (e.key.keysym.mod & KMOD_CTRL) != 0) {
                sh.running = false;
            } else {
                in.keys.push_back(key);
            }
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (e.button.button == SDL_BUTTON_LEFT) in.pressed = true;
            if (e.button.button == SDL_BUTTON_RIGHT) in.rightPressed = true;
            break;
        case SDL_MOUSEBUTTONUP:
            if (e.button.button == SDL_BUTTON_LEFT) {
                const double now = sh.clock();
                in.released = true;
                if (now - sh.lastRelease < kDoubleClickSeconds) in.doubleClick = true;
                sh.lastRelease = now;
            }
            break;
        case SDL_MOUSEWHEEL:
            in.wheel += e.wheel.y;
            break;
        case SDL_WINDOWEVENT:
            handleWindowEvent(sh, prefs, e.window);
            break;
        case SDL_CONTROLLERDEVICEADDED:
            padAdded(sh, e.cdevice.which);
            break;
        case SDL_CONTROLLERDEVICEREMOVED:
            if (padRemoved(sh, e.cdevice.which)) in.padRemoved = true;
            break;
        case SDL_CONTROLLERBUTTONDOWN:
            if (const int key = padKey(e.cbutton.button)) in.keys.push_back(key);
            break;
        default:
            break;
    }
}

void printStats(Shell& sh, double end) {
    if (end - sh.statStart < 1.0) return;
    const double n = sh.statFrames > 0 ? sh.statFrames : 1;
    const std::string prof = profReport();
    const double tiles = sh.tilesX * sh.tilesY > 0 ? sh.tilesX * sh.tilesY : 1;
    std::fprintf(stderr,
                 "[stats] %3d fps   CPU %5.1f ms   GPU %5.1f ms   %d Kopien  %dx%d  Leinwand %.0f%%"
                 "  Cache %.1f MiB%s\n",
                 sh.statFrames, 1000 * sh.statCpu / n, 1000 * sh.statGpu / n, gpuDrawCalls(),
                 sh.canvasW, sh.canvasH, 100.0 * static_cast<double>(sh.statTiles) / (n * tiles),
                 static_cast<double>(gpuCacheBytes()) / (1 << 20), prof.c_str());
    sh.statFrames = 0;
    sh.statCpu = 0;
    sh.statGpu = 0;
    sh.statTiles = 0;
    sh.statStart = end;
}

}  // namespace

double nowSeconds() {
    using clock = std::chrono::steady_clock;
    static const clock::time_point first = clock::now();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(clock::now() - first);
    return static_cast<double>(ns.count()) / 1e9;
}

std::string versionText() {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s %s (Build %d)\n", version::kDisplayName, version::kVersion,
                  version::kBuild);
    return buf;
}

std::string helpText() {
    char buf[512];
    std::snprintf(buf, sizeof buf,
                  "%s %s\n  --version    Version ausgeben\n  --fullscreen im Vollbild starten\n"
                  "  --windowed   im Fenster starten\n  --size BxH   mit dieser Fenstergroesse "
                  "starten\n",
                  version::kDisplayName, version::kVersion);
    return buf;
}

std::string earlyAnswer(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) return versionText();
        if (std::strcmp(argv[i], "--help") == 0) return helpText();
    }
    return {};
}

WindowOptions applyWindowOptions(int argc, char** argv, WindowPrefs& prefs) {
    WindowOptions opts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--fullscreen") == 0) {
            prefs.fullscreen = true;
        } else if (std::strcmp(argv[i], "--windowed") == 0) {
            prefs.fullscreen = false;
        } else if (std::strcmp(argv[i], "--size") == 0) {
            if (i + 1 >= argc) break;
            int w = 0;
            int h = 0;
            if (std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 && w >= 640 && h >= 480) {
                prefs.windowW = w;
                prefs.windowH = h;
                opts = {true, w, h};
            }
        }
    }
    return opts;
}

bool startScreenFor(const char* value, GameState* out) {
    if (value == nullptr) return false;
    GameState s;
    const std::string v = value;
    static const struct {
        const char* name;
        ScreenKind kind;
    } kPlain[] = {
        {"menu", ScreenKind::Menu},
        {"levels", ScreenKind::LevelSelect},
        {"highscores", ScreenKind::HighScores},
        {"gallery", ScreenKind::Gallery},
        {"settings", ScreenKind::Settings},
        {"about", ScreenKind::About},
        {"licenses", ScreenKind::Licenses},
    };
    for (const auto& p : kPlain) {
        if (v == p.name) {
            s.kind = p.kind;
            *out = s;
            return true;
        }
    }
    if (v == "ending") {
        s.kind = ScreenKind::Ending;
        s.forcePerfect = true;
    } else if (v == "arcade") {
        s.kind = ScreenKind::Playing;
        s.arcade = true;
        s.seed = 12345;
    } else if (v.compare(0, 7, "playing") == 0) {
        s.kind = ScreenKind::Playing;
        s.seed = 12345;
        s.level = 0;
        const size_t colon = v.find(':');
        if (colon != std::string::npos) {
            // A long run of digits must not overflow: clamp while reading.
            const long n = std::strtol(v.c_str() + colon + 1, nullptr, 10);
            s.level = static_cast<int>(std::clamp(n - 1, 0L, 99L));
        }
    } else {
        return false;
    }
    *out = s;
    return true;
}

const char* startScreenUsage() {
    return "PLUMBRIX_SCREEN: menu levels playing[:N] arcade highscores gallery settings about "
           "licenses ending\n";
}

WindowPlacement placeWindow(const WindowPrefs& prefs, const WindowOptions& opts,
                            const DisplayArea& d) {
    if (opts.sizeSet) {
        // A window larger than the display could not be created at all: it fits instead.
        WindowPlacement p{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, opts.w, opts.h};
        if (d.known() && (p.w > d.w || p.h > d.h)) {
            p.w = std::min(p.w, d.w);
            p.h = std::min(p.h, d.h);
            p.shrunk = true;
        }
        return p;
    }
    WindowPlacement p;
    if (prefs.windowW > 0 && prefs.windowH > 0) {
        p.w = prefs.windowW;
        p.h = prefs.windowH;
    } else if (d.known()) {
        constexpr double kAspect = 16.0 / 9.0;
        double w = std::min(0.62 * d.w, (d.h - 80) * kAspect);
        double h = w / kAspect;
        if (h < 620) {
            h = d.h >= 700 ? 620 : d.h - 80;
            w = std::min(h * kAspect, static_cast<double>(d.w - 40));
        }
        h = std::max(h, 560.0);
        w = std::max(w, 820.0);
        p.w = static_cast<int>(w);
        p.h = static_cast<int>(h);
    } else {
        p.w = 1280;
        p.h = 720;
    }
    if (d.known()) {
        p.shrunk = p.w > d.w || p.h > d.h;
        p.w = std::min(p.w, d.w - 20);
        p.h = std::min(p.h, d.h - 80);
    }
    const bool stored = !(prefs.windowX < -9999 || prefs.windowY < -9999 || prefs.windowX == -1);
    if (stored && d.known()) {
        // std::clamp would be undefined when the window is larger than the area.
        p.x = std::max(d.x, std::min(prefs.windowX, d.x + d.w - p.w));
        p.y = std::max(d.y + 30, std::min(prefs.windowY, d.y + d.h - p.h));
    } else if (stored) {
        p.x = prefs.windowX;
        p.y = prefs.windowY;
    } else if (d.known()) {
        p.x = d.x + (d.w - p.w) / 2;
        p.y = d.h - p.h > 61 ? d.y + (d.h - p.h) / 2 : d.y + 30;
    } else {
        p.x = SDL_WINDOWPOS_CENTERED;
        p.y = SDL_WINDOWPOS_CENTERED;
    }
    return p;
}

bool windowSystemAvailable() {
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY") || envSet("SDL_VIDEODRIVER");
}

void setAppIdentity() {
    // Debian 12's SDL reads these from the environment when its video backend starts;
    // the hints serve SDL builds that ask the hint system instead.
    for (const char* name : {"SDL_VIDEO_X11_WMCLASS", "SDL_VIDEO_WAYLAND_WMCLASS"}) {
        setenv(name, kAppId, 0);
        SDL_SetHintWithPriority(name, std::getenv(name), SDL_HINT_DEFAULT);
    }
    SDL_SetHintWithPriority(SDL_HINT_APP_NAME, version::kDisplayName, SDL_HINT_DEFAULT);
}

double pacingWait(double start, double now, double interval) {
    const double left = start + interval - now;
    return left > 0 ? std::min(left, interval) : 0;
}

bool probeOpenglOnCpu() {
    if (std::getenv("SDL_RENDER_DRIVER") != nullptr) return false;  // the user chose
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return openglOnCpu();     // too late for a child
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The child only answers by its exit status, and leaves without running anything
        // of the parent's (no exit handlers, no buffers flushed twice).
        int answer = 2;
        if (SDL_Init(SDL_INIT_VIDEO) == 0) answer = openglOnCpu() ? 1 : 0;
        std::_Exit(answer);
    }
    int status = 0;
    for (int waited = 0; waited < kProbeWaitMs; waited += 10) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 1;
        if (done < 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "[video] die OpenGL-Probe antwortet nicht — abgebrochen\n");
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return false;
}

bool shellOpen(Shell& sh, const WindowPrefs& prefs, const WindowOptions& opts) {
    const WindowPlacement p = placeWindow(prefs, opts, queryDisplayArea());
    if (p.shrunk) {
        std::fprintf(stderr, "[video] Fenster größer als der Bildschirm — verkleinert auf %dx%d\n",
                     p.w, p.h);
    }
    sh.window =
        SDL_CreateWindow(version::kDisplayName, p.x, p.y, p.w, p.h,
                         SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (sh.window == nullptr) {
        std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
        return false;
    }
    SDL_SetWindowMinimumSize(sh.window, 820, 560);
    if (prefs.maximized && !prefs.fullscreen) SDL_MaximizeWindow(sh.window);
    if (prefs.fullscreen) SDL_SetWindowFullscreen(sh.window, SDL_WINDOW_FULLSCREEN_DESKTOP);

    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // SDL's software renderer presents its picture straight to the window, not through an
    // OpenGL texture made for the purpose (which costs a rasteriser pass on machines
    // without a GPU, the only ones where that renderer runs).
    SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_DEFAULT);
    SDL_Renderer* ren = nullptr;
    if (!opts.openglOnCpu) {
        ren = SDL_CreateRenderer(sh.window, -1,
                                 SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
        if (ren == nullptr) ren = SDL_CreateRenderer(sh.window, -1, SDL_RENDERER_ACCELERATED);
    }
    if (ren != nullptr && rasterisedByCpu(ren)) {
        // OpenGL drawn by the processor costs it more than SDL's own software renderer.
        SDL_DestroyRenderer(ren);
        ren = nullptr;
    }
    if (ren == nullptr) ren = SDL_CreateRenderer(sh.window, -1, SDL_RENDERER_SOFTWARE);
    if (ren == nullptr) {
        std::fprintf(stderr, "SDL_CreateRenderer: %s\n", SDL_GetError());
        SDL_DestroyWindow(sh.window);
        sh.window = nullptr;
        return false;
    }
    shellAdopt(sh, sh.window, ren, prefs.fullscreen);
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(ren, &info) == 0) {
        std::printf("[video] Treiber %s, Renderer %s%s%s\n", SDL_GetCurrentVideoDriver(),
                    info.name != nullptr ? info.name : "?",
                    (info.flags & SDL_RENDERER_ACCELERATED) ? " (beschleunigt)" : " (Software!)",
                    sh.vsync ? ", VSync an" : ", VSync AUS");
        std::fflush(stdout);
    }
    return true;
}

void shellAdopt(Shell& sh, SDL_Window* window, SDL_Renderer* renderer, bool fullscreen) {
    sh.window = window;
    sh.renderer = renderer;
    SDL_RendererInfo info{};
    // SDL's software renderer reports vsync but presents at once.
    sh.vsync = renderer != nullptr && SDL_GetRendererInfo(renderer, &info) == 0 &&
               (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0 &&
               (info.flags & SDL_RENDERER_SOFTWARE) == 0;
    sh.ctx = Ctx{};
    sh.ctx.ui = 1.0;
    sh.running = true;
    sh.lastFrame = sh.clock();
    sh.appliedFullscreen = fullscreen;
    sh.stats = std::getenv("PLUMBRIX_STATS") != nullptr;
    sh.statStart = sh.clock();
    sh.lastRelease = -10.0;
    sh.minimized = false;
    sh.hidden = false;
    sh.focused = true;
}

void shellClose(Shell& sh) {
    for (SDL_GameController* p : sh.pads) SDL_GameControllerClose(p);
    sh.pads.clear();
    destroyCanvas(sh);
    if (sh.renderer != nullptr) SDL_DestroyRenderer(sh.renderer);
    if (sh.window != nullptr) SDL_DestroyWindow(sh.window);
    sh.renderer = nullptr;
    sh.window = nullptr;
}

void shellGatherInput(Shell& sh, WindowPrefs& prefs, FrameOutcome& out) {
    Input& in = sh.ctx.in;
    in = Input{};
    sh.ctx.clickUsed = false;
    sh.running = true;
    SDL_Event e;
    while (SDL_PollEvent(&e)) handleEvent(sh, prefs, out, e);
    if (prefs.fullscreen != sh.appliedFullscreen && sh.window != nullptr) {
        SDL_SetWindowFullscreen(sh.window, prefs.fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
        sh.appliedFullscreen = prefs.fullscreen;
    }
    int mx = 0;
    int my = 0;
    const Uint32 buttons = SDL_GetMouseState(&mx, &my);
    in.mouseX = mx;
    in.mouseY = my;
    in.mouseDown = (buttons & SDL_BUTTON(SDL_BUTTON_LEFT)) != 0;
    in.middleDown = (buttons & SDL_BUTTON(SDL_BUTTON_MIDDLE)) != 0;
    in.dragDx = in.mouseX - sh.prevX;
    in.dragDy = in.mouseY - sh.prevY;
    const SDL_Keymod mod = SDL_GetModState();
    in.ctrl = (mod & KMOD_CTRL) != 0;
    in.shift = (mod & KMOD_SHIFT) != 0;
    readPads(sh, in);
}

void shellPaint(Shell& sh, FrameOutcome& out) {
    Ctx& ctx = sh.ctx;
    const double pointerX = ctx.in.mouseX;
    const double pointerY = ctx.in.mouseY;
    int pw = 0;
    int ph = 0;
    if (sh.minimized || sh.hidden || sh.renderer == nullptr || SDL_GetRendererOutputSize(sh.renderer, &pw, &ph) != 0 ||
        pw <= 0 || ph <= 0 || !ensureCanvas(sh, pw, ph)) {
        sh.prevX = pointerX;
        sh.prevY = pointerY;
        return;
    }
    int ww = 0;
    int wh = 0;
    if (sh.window != nullptr) SDL_GetWindowSize(sh.window, &ww, &wh);
    const double ratio = ww > 0 ? static_cast<double>(pw) / ww : 1.0;

    clearPaintedTiles(sh);
    cairo_t* cr = cairo_create(sh.canvas);
    cairo_scale(cr, ratio, ratio);

    ctx.cr = cr;
    ctx.w = pw / ratio;
    ctx.h = ph / ratio;
    ctx.ui = std::clamp(std::min(ctx.w / 1280, ctx.h / 720), 0.72, 2.0);
    ctx.t = sh.clock();
    ctx.dt = std::min(ctx.t - sh.lastFrame, kMaxDt);

    const double cpuStart = sh.clock();
    gpuSetScale(ratio);
    gpuBeginFrame();
    gpuClearFrame(0x0D0620);
    focusBeginFrame(ctx);
    gpuSetCanvasFlush(flushCanvas, &sh);
    if (sh.update)
        sh.update(ctx);
    else
        Game::instance().update(ctx);
    focusEndFrame(ctx);
    gpuSetCanvasFlush(nullptr, nullptr);
    if (sh.returning) {
        ctx.away = false;
        sh.returning = false;
    }
    if (sh.afterScreen) sh.afterScreen();

    cairo_destroy(cr);
    ctx.cr = nullptr;
    cairo_surface_flush(sh.canvas);
    const double gpuStart = sh.clock();
    const int painted = markPaintedTiles(sh);
    presentCanvas(sh, painted);
    if (sh.beforePresent) sh.beforePresent(sh.renderer);
    SDL_RenderPresent(sh.renderer);
    const double end = sh.clock();
    out.painted = true;

    if (sh.stats) {
        ++sh.statFrames;
        sh.statTiles += painted;
        sh.statCpu += gpuStart - cpuStart;
        sh.statGpu += end - gpuStart;
        printStats(sh, end);
    }
    if (sh.geometryDirty && ctx.t - sh.lastGeometrySave > kGeometrySaveDelay) {
        out.saveSettings = true;
        sh.lastGeometrySave = ctx.t;
        sh.geometryDirty = false;
    }
    if (ctx.quitRequested || (sh.terminate != nullptr && *sh.terminate != 0)) sh.running = false;
    sh.lastFrame = ctx.t;
    sh.prevX = pointerX;
    sh.prevY = pointerY;
}

void shellPace(Shell& sh, double start, bool painted) {
    if (!sh.pace) return;
    // Vsync normally paces the loop: its present blocks until the display refreshes, so
    // the iteration already lasts an interval and nothing is waited here. Without vsync,
    // while nothing is painted (minimised), or when a present that claims vsync returns
    // early (some drivers and virtual displays ignore it), the rest of the interval is
    // slept so that the loop does not burn a whole core. With vsync claimed the wait ends
    // a little early so that it never makes the loop miss a refresh.
    if (!painted && (sh.minimized || sh.hidden) && !sh.sleep) {
        // Nothing to show: sleep until the window system has news, without polling.
        SDL_WaitEventTimeout(nullptr, 250);
        return;
    }
    double interval = refreshInterval(sh.window);
    if (!sh.focused) interval = std::max(interval, kUnfocusedInterval);
    const bool trusted = sh.vsync && painted && sh.focused;
    const double target = trusted ? interval - kVsyncMargin : interval;
    const double wait = pacingWait(start, sh.clock(), target);
    if (wait <= 0) return;
    if (sh.sleep)
        sh.sleep(wait);
    else
        sleepSeconds(wait);
}

FrameOutcome shellIteration(Shell& sh, WindowPrefs& prefs) {
    FrameOutcome out;
    const double start = sh.clock();
    shellGatherInput(sh, prefs, out);
    shellPaint(sh, out);
    shellPace(sh, start, out.painted);
    return out;
}

}  // namespace ui

// The application shell around the screens: the command line, the window and renderer,
// and one iteration of the frame loop (input snapshot, context, overlay canvas, the live
// screen, upload, present, pacing). main strings these together with the store; tests
// drive the same pipeline with scripted input and their own clock.
#pragma once

#include <SDL.h>
#include <cairo.h>

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/app.h"

namespace ui {

// The window's size, place and mode as kept between runs (a mirror of the stored
// settings' window fields). windowW/H of 0 and windowX/Y of -1 mean "none stored".
struct WindowPrefs {
    int windowW = 0;
    int windowH = 0;
    int windowX = -1;
    int windowY = -1;
    bool maximized = false;
    bool fullscreen = false;
};

// The usable display area; known when both sides are positive.
struct DisplayArea {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool known() const { return w > 0 && h > 0; }
};

// Where and how large the window opens; x and y may be SDL_WINDOWPOS_CENTERED.
struct WindowPlacement {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool shrunk = false;  // the size asked for was larger than the display and was cut to it
};

// What the window options of the command line asked for.
struct WindowOptions {
    bool sizeSet = false;  // a valid --size was given
    int w = 0;
    int h = 0;
    bool openglOnCpu = false;  // what probeOpenglOnCpu() found before SDL started
};

// Seconds since the first call, from the steady clock.
double nowSeconds();

// "Tarnwick 1.0.0 (Build 1034)\n".
std::string versionText();
// The --help text.
std::string helpText();
// The text to print for the first --version or --help among the arguments, or empty
// when neither is present (argv[0] is the program and is skipped).
std::string earlyAnswer(int argc, char** argv);
// Applies --fullscreen, --windowed and --size left to right to prefs; later options win.
// --size needs a following "BxH" of at least 640x480 and consumes that argument whether
// or not it is valid.
WindowOptions applyWindowOptions(int argc, char** argv, WindowPrefs& prefs);
// The development start screen named by value (the PLUMBRIX_SCREEN values); false for an
// unknown name, leaving out unchanged.
bool startScreenFor(const char* value, GameState* out);
// The usage line printed for an unknown start screen.
const char* startScreenUsage();
// Size and position of the new window from the options, the stored prefs and the display.
WindowPlacement placeWindow(const WindowPrefs& prefs, const WindowOptions& opts,
                            const DisplayArea& display);
// False when the environment names no way to show a window (no DISPLAY, WAYLAND_DISPLAY
// or SDL_VIDEODRIVER); SDL would otherwise run invisibly on its offscreen driver.
bool windowSystemAvailable();
// The application id the desktop entry, the icon and the metainfo are named after.
inline constexpr const char* kAppId = "org.tarnwick.Tarnwick";
// Names the window after kAppId (X11 WM_CLASS, Wayland app id) so that desktops match it
// to its desktop entry and icon; must run before SDL video is initialised. A value already
// in the environment is kept.
void setAppIdentity();
// Edge of one canvas tile in pixels.
inline constexpr int kCanvasTile = 32;
// The longest pause between frames of a window without keyboard focus, in seconds: it
// keeps moving, at a rate that costs little.
inline constexpr double kUnfocusedInterval = 1.0 / 15.0;
// Seconds left to wait so that an iteration that started at start lasts one refresh
// interval; 0 when it already did.
double pacingWait(double start, double now, double interval);

// The loop's state: window, renderer, overlay canvas and what the frame loop carries from
// one iteration to the next.
struct Shell {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool vsync = false;  // the renderer presents with vsync

    cairo_surface_t* canvas = nullptr;
    SDL_Texture* canvasTex = nullptr;
    int canvasW = 0;
    int canvasH = 0;
    // The renderer refused premultiplied blending: the canvas is uploaded as straight alpha.
    bool canvasStraight = false;
    // The canvas paints straight into the texture's pixels (SDL's software renderer), so
    // nothing is uploaded.
    bool canvasShared = false;
    // The canvas in square tiles of kCanvasTile pixels, row by row: 1 where the latest
    // frame left paint. Only those tiles are cleared before the next frame and only this
    // frame's are uploaded and drawn, so a frame pays for what it paints, not for the
    // window's area.
    std::vector<std::uint8_t> canvasTiles;
    int tilesX = 0;
    int tilesY = 0;
    // What the canvas texture holds, row for row as the canvas (graphics card only): rows
    // that did not change are not uploaded again.
    std::vector<unsigned char> canvasSent;

    Ctx ctx;
    bool running = true;
    double lastFrame = 0;
    double lastRelease = -10.0;
    double prevX = 0;
    double prevY = 0;
    bool appliedFullscreen = false;
    // What the window system last said about the window: while it is minimised or hidden
    // frames are neither painted nor presented; without keyboard focus they come slower.
    bool minimized = false;
    bool hidden = false;
    bool focused = true;
    // Focus came back: the screens still see the window as away in the first frame painted
    // after it, so a game that had no frame while it was gone still pauses.
    bool returning = false;
    bool geometryDirty = false;
    double lastGeometrySave = 0;

    // Open game controllers, and the left stick's menu direction (0 none, else the arrow key
    // it stands for) with the time its next repeat is due.
    std::vector<SDL_GameController*> pads;
    int stickKey = 0;
    double stickRepeat = 0;

    bool stats = false;
    int statFrames = 0;
    double statCpu = 0;
    double statGpu = 0;
    double statStart = 0;
    long statTiles = 0;  // painted canvas tiles summed over the frames of the second

    // Set by the first termination signal; read once per painted frame.
    const volatile std::sig_atomic_t* terminate = nullptr;
    // Clock and sleep, replaceable by tests.
    std::function<double()> clock = nowSeconds;
    std::function<void(double)> sleep;
    // Wait out the refresh interval when vsync does not pace the loop.
    bool pace = true;
    // Runs the live screen for a frame; the navigation stack's screen unless replaced.
    std::function<void(Ctx&)> update;
    // Called right after the live screen's update (due sound effects fire here).
    std::function<void()> afterScreen;
    // Called after the screen painted and the canvas was drawn, right before present.
    std::function<void(SDL_Renderer*)> beforePresent;
};

// What an iteration asks of its caller.
struct FrameOutcome {
    bool painted = false;       // the frame was painted and presented
    bool saveSettings = false;  // the window prefs changed in a way to be stored now
};

// Whether OpenGL here would be drawn by the processor (llvmpipe and the like), asked of a
// hidden window in a short-lived child process: the driver and its libraries (tens of MiB)
// leave with the child, and the game then picks SDL's software renderer without ever
// loading them. Call before SDL starts its video; with video already started, or with
// SDL_RENDER_DRIVER set (the user chose), it asks in this process or not at all. False
// when the probe cannot tell.
bool probeOpenglOnCpu();

// Opens the window and renderer for prefs and opts (display area, sizing, placement,
// maximise and fullscreen, the renderer fallback chain, the "[video]" line) and prepares
// the loop state. Prints the SDL error and returns false when the window or renderer
// cannot be made; SDL video must already be initialised.
bool shellOpen(Shell& sh, const WindowPrefs& prefs, const WindowOptions& opts);
// Adopts an existing window and renderer (tests) and prepares the loop state.
void shellAdopt(Shell& sh, SDL_Window* window, SDL_Renderer* renderer, bool fullscreen);
// Destroys canvas, canvas texture, renderer and window, and closes the game controllers.
void shellClose(Shell& sh);

// Resets the frame's input and turns the pending SDL events, the pointer and the
// modifiers into sh.ctx.in; applies a changed fullscreen setting. Game controllers are
// opened and closed as they come and go, and read as keys: the d-pad and the left stick as
// arrows, A as Space, B as Escape, Start as "p", the shoulders as PageUp and PageDown; the
// stick and the held d-pad or shoulders also turn the aim (Input::aimRate).
void shellGatherInput(Shell& sh, WindowPrefs& prefs, FrameOutcome& out);
// Paints and presents one frame from sh.ctx.in through the live screen, prints the
// statistics, runs the geometry debounce and checks the quit conditions.
void shellPaint(Shell& sh, FrameOutcome& out);
// Sleeps out the rest of the display's refresh interval for an iteration that began at
// start, when vsync does not pace the loop (no vsync, nothing painted, or a present that
// returned far too early); without keyboard focus the interval is kUnfocusedInterval, and
// an obscured window sleeps until an event arrives (at most a quarter second).
void shellPace(Shell& sh, double start, bool painted);
// One whole iteration: input, paint, and pacing when vsync does not pace.
FrameOutcome shellIteration(Shell& sh, WindowPrefs& prefs);

}  // namespace ui

// A real window and renderer without an X server (SDL's offscreen driver: OpenGL on
// Mesa's software rasteriser, or SDL's software renderer), running the real frame
// pipeline with scripted input and a clock the test controls. Frames are read back
// before they are presented and can be saved as PNG files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/app.h"
#include "ui/shell.h"

namespace testsupport {

enum class RenderPath { OpenGL, Software };

// Pixels of one frame, ARGB8888, row by row.
struct Frame {
    int w = 0;
    int h = 0;
    std::vector<std::uint32_t> px;
    std::uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
    bool empty() const { return px.empty(); }
};

// Channel helpers on ARGB values.
inline int red(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}
inline int green(std::uint32_t p) {
    return static_cast<int>((p >> 8) & 0xFF);
}
inline int blue(std::uint32_t p) {
    return static_cast<int>(p & 0xFF);
}
inline int alphaOf(std::uint32_t p) {
    return static_cast<int>(p >> 24);
}

// Points fontconfig at a private configuration holding only the bundled fonts (the
// committed assets, or the same files from the system's DejaVu package until those
// land), so rendered text does not depend on the machine. Call before any text is laid
// out; later calls do nothing.
void usePrivateFonts();

// A headless window with the shell's frame loop around it. SDL video is initialised on
// first use with the offscreen driver; one window may be open at a time.
class Headless {
  public:
    Headless(int w, int h, RenderPath path = RenderPath::OpenGL);
    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    // True when the window and renderer exist.
    bool ok() const { return sh_.renderer != nullptr; }
    // True when the renderer blends premultiplied alpha (false on the straight fallback).
    bool premultiplied() const;

    // Makes state the only record of the navigation stack and runs the stack's screens
    // from the next frame on (dropping a painter set with setUpdate).
    void start(const ui::GameState& state);
    // Runs one frame at time t with this input through the live screen (or the update
    // set with setUpdate) and reads it back before present.
    const Frame& frame(const ui::Input& in, double t);
    // Same with no input.
    const Frame& frame(double t);
    // Runs one frame at time t whose input the shell gathers from SDL's events and device
    // state, as the game does (window events and game controllers included).
    const Frame& pump(double t);
    // Runs frames with the pointer at (x, y): a press frame, then a release frame.
    void click(double x, double y, double t);
    // Runs one frame with key pressed.
    void key(int key, double t);

    // Replaces the navigation stack's screen by a custom painter (nullptr restores it).
    void setUpdate(std::function<void(ui::Ctx&)> update);

    ui::Shell& shell() { return sh_; }
    ui::Ctx& ctx() { return sh_.ctx; }
    const Frame& last() const { return last_; }
    // The outcome of the latest frame.
    const ui::FrameOutcome& outcome() const { return outcome_; }

  private:
    ui::Shell sh_;
    Frame last_;
    ui::FrameOutcome outcome_;
    double now_ = 0;
};

// Writes a frame as PNG; false on failure.
bool savePng(const Frame& f, const std::string& path);
// Reads a PNG into a frame; empty on failure.
Frame loadPng(const std::string& path);
// The largest per-channel difference between two frames of one size (alpha ignored);
// 256 when the sizes differ.
int maxChannelDiff(const Frame& a, const Frame& b);
// The number of pixels whose largest channel difference exceeds tolerance.
int pixelsOver(const Frame& a, const Frame& b, int tolerance);
// Compares f with the reference image tests/golden/<name>.png: at most allowedPixels
// pixels may differ by more than tolerance in a channel. With TARNWICK_UPDATE_GOLDEN set
// it writes the reference instead; a missing reference fails. The actual image is kept under the
// test artefacts either way.
bool matchesGolden(const Frame& f, const std::string& name, int tolerance, int allowedPixels);

// Directory for test artefacts (screenshots, scratch files); created on demand.
std::string artefactDir();
// A fresh empty scratch directory under the artefacts for one test.
std::string scratchDir(const std::string& name);

}  // namespace testsupport

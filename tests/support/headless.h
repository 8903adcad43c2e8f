// A real window and renderer without an X server (SDL's offscreen driver) running the real
// frame pipeline with scripted input and a clock the test controls.
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

inline constexpr auto red = [](std::uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); };
inline constexpr auto green = [](std::uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); };
inline constexpr auto blue = [](std::uint32_t p) { return static_cast<int>(p & 0xFF); };
inline constexpr auto alphaOf = [](std::uint32_t p) { return static_cast<int>(p >> 24); };

// Points fontconfig at the bundled fonts only, so text does not depend on the machine. Call
// before any text is laid out.
void usePrivateFonts();

// A headless window with the shell's frame loop around it; one may be open at a time.
class Headless {
  public:
    Headless(int w, int h, RenderPath path = RenderPath::OpenGL);
    ~Headless();
    Headless(const Headless&) = delete;
    Headless& operator=(const Headless&) = delete;

    bool ok() const { return sh_.renderer != nullptr; }
    bool premultiplied() const;  // false on the straight-alpha fallback
    // Makes state the navigation stack's only record and runs its screens from the next frame.
    void start(const ui::GameState& state);
    // Runs one frame at time t with this input (or none, or SDL's events) and reads it back.
    const Frame& frame(const ui::Input& in, double t);
    const Frame& frame(double t);
    const Frame& pump(double t);
    void click(double x, double y, double t);  // a press frame and a release frame
    void key(int key, double t);
    // Replaces the navigation stack's screen by a custom painter (nullptr restores it).
    void setUpdate(std::function<void(ui::Ctx&)> update);

    ui::Shell& shell() { return sh_; }
    ui::Ctx& ctx() { return sh_.ctx; }
    const Frame& last() const { return last_; }
    const ui::FrameOutcome& outcome() const { return outcome_; }

  private:
    ui::Shell sh_;
    Frame last_;
    ui::FrameOutcome outcome_;
    double now_ = 0;
};

// PNG files; false or an empty frame on failure.
bool savePng(const Frame& f, const std::string& path);
Frame loadPng(const std::string& path);
// The largest channel difference of two frames (alpha ignored); 256 when the sizes differ.
int maxChannelDiff(const Frame& a, const Frame& b);
// The number of pixels whose largest channel difference exceeds tolerance.
int pixelsOver(const Frame& a, const Frame& b, int tolerance);
// Compares f with tests/golden/<name>.png: at most allowedPixels pixels may differ by more
// than tolerance in a channel. TARNWICK_UPDATE_GOLDEN=1 writes the reference instead.
bool matchesGolden(const Frame& f, const std::string& name, int tolerance, int allowedPixels);

// The directory for test artefacts, and a fresh empty scratch directory under it.
std::string artefactDir();
std::string scratchDir(const std::string& name);

}  // namespace testsupport

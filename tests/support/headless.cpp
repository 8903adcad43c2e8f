#include "support/headless.h"

#include <SDL.h>
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/leakcheck.h"
#include "ui/gpu.h"

namespace testsupport {
namespace fs = std::filesystem;

void usePrivateFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    const std::string dir = artefactDir() + "/fontconfig-" + std::to_string(::getpid());
    fs::create_directories(dir + "/fonts");
    fs::create_directories(dir + "/cache");
    for (const char* name : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "QuendraCJK-JP.ttf",
                             "QuendraCJK-SC.ttf", "QuendraCJK-KR.ttf"}) {
        std::string from = std::string(TARNWICK_SOURCE_DIR) + "/assets/fonts/" + name;
        if (!fs::exists(from)) from = std::string("/usr/share/fonts/truetype/dejavu/") + name;
        std::error_code ignored;
        if (fs::exists(from)) fs::create_symlink(from, dir + "/fonts/" + name, ignored);
    }
    std::ofstream(dir + "/fonts.conf")
        << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig>\n"
        << "  <dir>" << dir << "/fonts</dir>\n  <cachedir>" << dir << "/cache</cachedir>\n"
        << "  <config><rescan><int>0</int></rescan></config>\n</fontconfig>\n";
    setenv("FONTCONFIG_FILE", (dir + "/fonts.conf").c_str(), 1);
}

Headless::Headless(int w, int h, RenderPath path) {
    [[maybe_unused]] static const bool video = [] {
        platform::holdSystemLibraries();
        usePrivateFonts();
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0)
            std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return true;
    }();
    const bool soft = path == RenderPath::Software;
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, soft ? "software" : "opengl");
    SDL_Window* win = SDL_CreateWindow("Tarnwick", 0, 0, w, h, SDL_WINDOW_HIDDEN);
    SDL_Renderer* ren =
        win ? SDL_CreateRenderer(win, -1, soft ? SDL_RENDERER_SOFTWARE : SDL_RENDERER_ACCELERATED)
            : nullptr;
    if (ren == nullptr) std::fprintf(stderr, "headless renderer: %s\n", SDL_GetError());
    sh_.clock = [this] { return now_; };
    sh_.pace = false;
    ui::shellAdopt(sh_, win, ren, false);
    ui::gpuInit(ren);
    sh_.beforePresent = [this](SDL_Renderer* r) {
        SDL_GetRendererOutputSize(r, &last_.w, &last_.h);
        last_.px.assign(static_cast<size_t>(last_.w) * last_.h, 0);
        SDL_RenderReadPixels(r, nullptr, SDL_PIXELFORMAT_ARGB8888, last_.px.data(), last_.w * 4);
    };
}

Headless::~Headless() {
    ui::gpuShutdown();
    ui::shellClose(sh_);
}

bool Headless::premultiplied() const {
    return ui::gpuPremultiplied() && !sh_.canvasStraight;
}

void Headless::start(const ui::GameState& state) {
    sh_.update = nullptr;
    ui::Game::instance().resetTo(state);
}

const Frame& Headless::frame(const ui::Input& in, double t) {
    now_ = t;
    outcome_ = ui::FrameOutcome{};
    sh_.ctx.in = in;
    sh_.ctx.clickUsed = false;
    ui::shellPaint(sh_, outcome_);
    return last_;
}

const Frame& Headless::frame(double t) {
    return frame(ui::Input{}, t);
}

const Frame& Headless::pump(double t) {
    now_ = t;
    outcome_ = ui::FrameOutcome{};
    ui::WindowPrefs prefs;
    ui::shellGatherInput(sh_, prefs, outcome_);
    ui::shellPaint(sh_, outcome_);
    return last_;
}

void Headless::click(double x, double y, double t) {
    ui::Input in;
    in.mouseX = x;
    in.mouseY = y;
    in.pressed = in.mouseDown = true;
    frame(in, t);
    in.pressed = in.mouseDown = false;
    in.released = true;
    frame(in, t + 0.05);
}

void Headless::key(int key, double t) {
    ui::Input in;
    in.keys.push_back(key);
    frame(in, t);
}

void Headless::setUpdate(std::function<void(ui::Ctx&)> update) {
    sh_.update = std::move(update);
}

bool savePng(const Frame& f, const std::string& path) {
    if (f.empty()) return false;
    std::vector<std::uint32_t> copy = f.px;
    for (auto& p : copy) p |= 0xFF000000u;  // the frame is opaque; keep viewers from guessing
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(copy.data()), CAIRO_FORMAT_ARGB32, f.w, f.h, f.w * 4);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

Frame loadPng(const std::string& path) {
    Frame f;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {  // ARGB32 or RGB24: 32-bit pixels
        f.w = cairo_image_surface_get_width(s);
        f.h = cairo_image_surface_get_height(s);
        for (int y = 0; y < f.h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(
                cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s));
            f.px.insert(f.px.end(), row, row + f.w);
        }
    }
    cairo_surface_destroy(s);
    return f;
}

namespace {

// The largest channel difference of each pixel pair of two frames of one size.
std::vector<int> channelDiffs(const Frame& a, const Frame& b) {
    std::vector<int> d;
    for (size_t i = 0; i < a.px.size(); ++i)
        d.push_back(std::max({std::abs(red(a.px[i]) - red(b.px[i])),
                              std::abs(green(a.px[i]) - green(b.px[i])),
                              std::abs(blue(a.px[i]) - blue(b.px[i]))}));
    return d;
}

}  // namespace

int maxChannelDiff(const Frame& a, const Frame& b) {
    if (a.w != b.w || a.h != b.h) return 256;
    const std::vector<int> d = channelDiffs(a, b);
    return d.empty() ? 0 : *std::max_element(d.begin(), d.end());
}

int pixelsOver(const Frame& a, const Frame& b, int tolerance) {
    if (a.w != b.w || a.h != b.h) return a.w * a.h + 1;
    const std::vector<int> d = channelDiffs(a, b);
    return static_cast<int>(
        std::count_if(d.begin(), d.end(), [=](int v) { return v > tolerance; }));
}

bool matchesGolden(const Frame& f, const std::string& name, int tolerance, int allowedPixels) {
    const std::string golden = std::string(TARNWICK_SOURCE_DIR) + "/tests/golden/" + name + ".png";
    savePng(f, artefactDir() + "/" + name + ".actual.png");
    if (std::getenv("TARNWICK_UPDATE_GOLDEN") != nullptr) return savePng(f, golden);
    if (!fs::exists(golden)) {
        std::fprintf(stderr, "no reference image %s (TARNWICK_UPDATE_GOLDEN=1 writes it)\n",
                     golden.c_str());
        return false;
    }
    return pixelsOver(f, loadPng(golden), tolerance) <= allowedPixels;
}

std::string artefactDir() {
    const std::string dir = std::string(TARNWICK_TEST_TMP);
    fs::create_directories(dir);
    return dir;
}

std::string scratchDir(const std::string& name) {
    const std::string dir = artefactDir() + "/" + name + "-" + std::to_string(::getpid());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace testsupport

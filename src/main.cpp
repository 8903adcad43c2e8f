// Tarnwick's entry point: the command line, signal handling, start-up in a fixed order,
// the frame loop and the shutdown in a fixed order. The frame loop's pieces live in the
// shell module (ui/shell.h) so that tests run the very same pipeline.
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "platform/crash.h"
#include "platform/leakcheck.h"
#include "platform/paths.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/shell.h"

namespace {

volatile std::sig_atomic_t g_terminate = 0;

// ---- Window settings ----------------------------------------------------------------
// The frame loop keeps the window fields in its own mirror; these copy them between the
// mirror and the stored settings, in both directions, around every iteration.

ui::WindowPrefs windowPrefsOf(const store::Settings& s) {
    return {s.windowW, s.windowH, s.windowX, s.windowY, s.maximized, s.fullscreen};
}

void storeWindowPrefs(const ui::WindowPrefs& p, store::Settings& s) {
    s.windowW = p.windowW;
    s.windowH = p.windowH;
    s.windowX = p.windowX;
    s.windowY = p.windowY;
    s.maximized = p.maximized;
    s.fullscreen = p.fullscreen;
}

// ---- Signals ----------------------------------------------------------------------------

// The first termination signal ends the loop normally (and so saves); a second one, for a
// hung frame or shutdown, leaves at once.
void onTerminationSignal(int sig) {
    if (g_terminate != 0) {
        audio::shutdown();
        std::_Exit(128 + sig);
    }
    g_terminate = 1;
}

void applyStartScreen() {
    const char* value = std::getenv("PLUMBRIX_SCREEN");
    if (value == nullptr) return;
    ui::GameState start;
    if (ui::startScreenFor(value, &start))
        ui::Game::instance().resetTo(start);
    else
        std::fputs(ui::startScreenUsage(), stderr);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string answer = ui::earlyAnswer(argc, argv);
    if (!answer.empty()) {
        std::fputs(answer.c_str(), stdout);
        return 0;
    }

    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    std::signal(SIGTERM, onTerminationSignal);
    std::signal(SIGINT, onTerminationSignal);
    std::signal(SIGHUP, onTerminationSignal);
    platform::installCrashHandler();
    platform::holdSystemLibraries();
    paths::prepareFontconfig();
    store::init();
    store::Settings& settings = store::settings();
    ui::WindowPrefs prefs = windowPrefsOf(settings);
    ui::WindowOptions opts = ui::applyWindowOptions(argc, argv, prefs);
    storeWindowPrefs(prefs, settings);
    i18n::setLanguage(settings.language);
    applyStartScreen();

    // Without any display SDL would quietly run on its invisible offscreen driver.
    if (!ui::windowSystemAvailable()) {
        std::fprintf(stderr,
                     "[video] kein Bildschirm: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt\n");
        return 1;
    }
    ui::setAppIdentity();
    opts.openglOnCpu = ui::probeOpenglOnCpu();  // before SDL starts: the probe runs apart
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    // Without game controllers the game is played by keyboard and pointer as before.
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0)
        std::fprintf(stderr, "[input] keine Gamepads: %s\n", SDL_GetError());
    ui::Shell sh;
    if (!ui::shellOpen(sh, prefs, opts)) {
        SDL_Quit();
        return 1;
    }
    ui::gpuInit(sh.renderer);
    ui::registerBundledFonts();
    audio::init();
    audio::setEnabled(settings.soundOn);
    audio::setMusicVolume(settings.musicVolume);
    audio::setSfxVolume(settings.sfxVolume);
    if (settings.soundOn) audio::startMusic();
    sh.terminate = &g_terminate;
    sh.afterScreen = audio::tick;

    while (sh.running) {
        const double start = sh.clock();
        ui::FrameOutcome out;
        // A screen may have changed the fullscreen setting; the input step applies it.
        prefs.fullscreen = settings.fullscreen;
        ui::shellGatherInput(sh, prefs, out);
        storeWindowPrefs(prefs, settings);  // before the screens see the settings
        ui::shellPaint(sh, out);
        if (out.saveSettings) store::saveSettings();
        ui::shellPace(sh, start, out.painted);
    }

    ui::Game::instance().settle();  // a result handed on in the last frame is still recorded
    store::saveSettings();
    ui::gpuShutdown();
    audio::shutdown();
    ui::shellClose(sh);
    SDL_Quit();
    return 0;
}

// Takes the screenshots software centres show, from the game itself: the menu, a game on a
// later level, the level select and a solved level, each at 1280x720 after a few seconds
// of animation. The pictures are committed and named in the AppStream metainfo; run this
// again when the screens' look changes:
//   cmake --build build --target tarnwick_screenshots
//   build/tests/tarnwick_screenshots data/screenshots
// It runs on SDL's offscreen driver with only the bundled fonts and a scratch home, so the
// pictures do not depend on the machine and no real save is touched.
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/storage.h"
#include "i18n.h"
#include "support/headless.h"
#include "ui/app.h"

namespace {

struct Shot {
    const char* file;
    ui::GameState state;
    double seconds;  // of animation before the picture
    double mouseX;   // where the pointer rests (the play screen aims at it)
    double mouseY;
};

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "data/screenshots";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    i18n::setLanguage("en");
    // A player well into the campaign, so the level select shows pictures and stars.
    store::init();
    store::advanceUnlockedLevel(48);
    for (int level = 0; level < 47; ++level)
        store::recordBest(level, {.stars = 1 + (level * 7 + level / 3) % 3,
                                  .moves = 30 + level % 17,
                                  .elapsedMs = 60000 + 1000 * level});

    const Shot shots[] = {
        {"menu.png", {.kind = ui::ScreenKind::Menu}, 2.6, 1100, 650},
        {"play.png", {.kind = ui::ScreenKind::Playing, .level = 58}, 2.5, 520, 260},
        {"levels.png", {.kind = ui::ScreenKind::LevelSelect}, 2.0, 1100, 690},
        {"solved.png",
         {.kind = ui::ScreenKind::Solved,
          .level = 46,
          .marbles = 38,
          .score = 18450,
          .elapsedMs = 143000,
          .starOrbs = 3,
          .starOrbsTotal = 3},
         3.0,
         1100,
         690},
    };
    testsupport::Headless h(1280, 720);
    if (!h.ok()) {
        std::fprintf(stderr, "no offscreen window\n");
        return 1;
    }
    int failed = 0;
    for (const Shot& s : shots) {
        h.start(s.state);
        ui::Input in;
        in.mouseX = s.mouseX;
        in.mouseY = s.mouseY;
        const testsupport::Frame* f = nullptr;
        for (double t = 0; t < s.seconds; t += 1.0 / 30) f = &h.frame(in, t);
        const std::string path = dir + "/" + s.file;
        if (f == nullptr || !testsupport::savePng(*f, path)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            ++failed;
        }
    }
    return failed == 0 ? 0 : 1;
}

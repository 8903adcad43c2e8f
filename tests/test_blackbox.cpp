// The real game binary from the outside: its command line, and two sessions on a virtual
// X display that check many things each.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "screens/level_select.h"
#include "screens/settings.h"
#include "bot/bot.h"
#include "support/canvas.h"
#include "support/headless.h"
#include "support/screens.h"
#include "support/store_files.h"
#include "support/xsession.h"
#include "ui/shell.h"

using testsupport::readText;
using testsupport::runXSession;

namespace {

std::string firstLine(const std::string& path) {
    const std::string t = readText(path);
    return t.substr(0, t.find('\n'));
}

// "x y" of the middle of r, on whole pixels as xdotool takes them.
std::string at(const ui::Rect& r) {
    return std::to_string(std::lround(r.x + r.w / 2)) + " " + std::to_string(std::lround(r.y + r.h / 2));
}

// Screen frames the script left behind, kept as PNG artefacts to look at.
testsupport::Frame screenshot(const testsupport::Session& s, const std::string& name) {
    const testsupport::Frame f = testsupport::loadXwd(s.dir + "/" + name + ".xwd");
    if (!f.empty()) testsupport::savePng(f, testsupport::artefactDir() + "/x-" + name + ".png");
    return f;
}

// Level 1 as the development start opens it (seed 12345) at 1280 x 720, solved by the bot on
// whole pixels: the clicks, "x,y" each, and the solved screen's first button.
struct Solution {
    std::string clicks;
    int count = 0;
    ui::Rect next;
};
Solution solveLevelOne() {
    Solution s;
    store::openAt(testsupport::freshDir("blackbox-solve"));
    testsupport::Headless h(1280, 720);
    h.start({.kind = ui::ScreenKind::Menu});
    ui::Game::instance().push({.kind = ui::ScreenKind::Playing, .seed = 12345});
    double t = 10;
    ui::Input in;
    const auto frames = [&](int n) {
        for (int i = 0; i < n; ++i) h.frame(in, t += 1.0 / 60);
    };
    frames(1);
    while (ui::Game::instance().top().kind == ui::ScreenKind::Playing && s.count < 120) {
        const core::Point p = testsupport::chooseAim(ui::playView(), 1.0 / 60, 300).pointer;
        const long x = std::lround(p.x), y = std::lround(p.y);
        in.mouseX = static_cast<double>(x);
        in.mouseY = static_cast<double>(y);
        s.clicks += std::to_string(x) + "," + std::to_string(y) + " ";
        ++s.count;
        frames(1);
        in.released = true;
        frames(1);
        in.released = false;
        for (int i = 0; i < 400 && ui::playView().shotActive; ++i) frames(1);
        frames(60);  // any refill
    }
    frames(60);
    s.next = testsupport::control(h, 0);
    return s;
}

#define REQUIRE_X() \
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd, xdpyinfo"

}  // namespace

TEST(GameBinary, AnswersTheCommandLineWithoutAWindow) {
    if (!std::filesystem::exists(testsupport::gameBinary())) GTEST_SKIP() << "no game binary";
    const std::string bin = "'" + testsupport::gameBinary() + "'";
    const std::string dir = testsupport::scratchDir("nodisplay");
    EXPECT_EQ(std::system((bin + " --version >'" + dir + "/version.txt'").c_str()), 0);
    EXPECT_EQ(readText(dir + "/version.txt"), "Tarnwick 1.0.0 (Build 1034)\n");
    // Nowhere to show a window: one clear line and status 1 instead of an invisible game.
    const int raw = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_DATA_HOME='" +
                                 dir + "' XDG_RUNTIME_DIR='" + dir + "' " + bin + " >'" + dir +
                                 "/out.txt' 2>'" + dir + "/err.txt'").c_str());
    EXPECT_EQ(std::pair(WEXITSTATUS(raw), readText(dir + "/out.txt")), std::pair(1, std::string()));
    EXPECT_EQ(readText(dir + "/err.txt"),
              "[video] kein Bildschirm: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt\n");
}

// A new player's way to a first shot, killed and continued from the menu; then level 1
// solved with the clicks the bot found in-process, and the next level's first shot.
TEST(GameSession, ANewPlayerReachesLevelOneShotsSurviveAKillAndLevelOneIsSolved) {
    REQUIRE_X();
    // Nothing stored: the default 1102 x 620 window on a 1280 x 1024 screen.
    std::string choose, tile;
    {
        testsupport::openStore("blackbox-menu");
        testsupport::Headless h(1102, 620);
        h.start({.kind = ui::ScreenKind::Menu});
        h.frame(1);
        choose = at(testsupport::control(h, 1));
        const double u = h.ctx().ui;
        tile = at(ui::levelGrid(1102, 620, u, 60 * u).tile(0));
    }
    const Solution solution = solveLevelOne();
    ASSERT_EQ(ui::Game::instance().top().kind, ui::ScreenKind::Solved);
    const int stars = store::solves().front().stars;
    const testsupport::Session s = runXSession("play", R"(
launch || exit 1
window_size > "$OUT/default.size"; window_pos > "$OUT/default.pos"
shot splash
keys space
shot menu
click_at )" + choose + R"(
click_at )" + tile + R"(
sleep 1  # a screen's first frame builds its scene, which takes a while on a busy machine
shoot_at 551 250 && echo saved >> "$OUT/shots"
kill -KILL "$GAME_PID"; finish > /dev/null
launch || exit 1
keys space
click_at )" + choose + R"(
sleep 1
shoot_at 500 260 && echo saved >> "$OUT/shots"
keys Escape ctrl+q
finish > "$OUT/quit.status"
cp -r "$XDG_DATA_HOME/Plumbrix" "$OUT/resumed"
rm -rf "$XDG_DATA_HOME/Plumbrix"

PLUMBRIX_SCREEN=playing:1 launch --size 1280x720 || exit 1
for xy in )" + solution.clicks + R"(; do shoot_at ${xy%,*} ${xy#*,}; done
sleep 1.5
shot solved
click_at )" + at(solution.next) + R"(
sleep 1
shoot_at 640 300
keys ctrl+q
finish > "$OUT/solved.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(firstLine(s.dir + "/default.size"), "1102 620");
    EXPECT_EQ(firstLine(s.dir + "/default.pos"), "89 202");
    EXPECT_EQ(readText(s.dir + "/shots"), "saved\nsaved\n");
    EXPECT_EQ(firstLine(s.dir + "/quit.status"), "0");
    EXPECT_EQ(firstLine(s.dir + "/solved.status"), "0");
    const testsupport::Frame splash = screenshot(s, "splash"), menu = screenshot(s, "menu");
    ASSERT_FALSE(splash.empty() || menu.empty() || screenshot(s, "solved").empty());
    EXPECT_GT(testsupport::pixelsOver(splash, menu, 40), 500) << "the key left the splash";

    // Two shots in one game on level 1: the second went into the resumed game.
    store::openAt(s.dir + "/resumed");
    ASSERT_TRUE(store::hasSavedGame());
    EXPECT_EQ(std::tuple(store::savedGame().arcade, store::savedGame().level,
                         store::savedGame().shotsFired),
              std::tuple(false, 0, 2));
    // Level 1 solved as in-process, level 2 open and its first shot saved.
    store::openAt(s.dir + "/data/Plumbrix");
    EXPECT_EQ(store::unlockedLevel(), 2);
    ASSERT_FALSE(store::solves().empty());
    EXPECT_EQ(std::tuple(store::solves().front().level, store::solves().front().marbles,
                         store::solves().front().stars),
              std::tuple(0, solution.count, stars));
    ASSERT_TRUE(store::hasSavedGame());
    EXPECT_EQ(std::tuple(store::savedGame().level, store::savedGame().shotsFired), std::tuple(1, 1));
}

// Window sizes from the command line and from the last run, signals, the settings screen's
// fullscreen switch, the way from the about screen to the licences and the crash report.
TEST(GameSession, WindowRulesSignalsSettingsInfoScreensAndACrashReport) {
    REQUIRE_X();
    std::string licences, fullscreen;
    {
        testsupport::openStore("blackbox-about");
        testsupport::Headless h(1280, 720);
        h.start({.kind = ui::ScreenKind::About});
        h.frame(1);
        licences = at(testsupport::control(h, -1));
        testsupport::Canvas cv(1280, 720, 1.0);
        const ui::Rect r = ui::settingsLayout(cv.ctx(), 60, 0).fullscreen;
        fullscreen = at({r.x + r.w - 60, r.y, 60, r.h});
    }
    const testsupport::Session s = runXSession("window", R"(
launch --size 1024x768 || exit 1
window_size > "$OUT/size.size"; window_pos > "$OUT/size.pos"
kill -TERM "$GAME_PID"
finish > "$OUT/term.status"

launch --size 639x600 --size 800 || exit 1
window_size > "$OUT/bad.size"
term_twice
finish > "$OUT/twice.status"

launch || exit 1
xdotool windowsize "$GAME_WIN" 900 640
sleep 0.5
xdotool windowmove "$GAME_WIN" 200 150
sleep 3
# Killed without a chance to save at exit: only the debounced save can have kept this.
kill -KILL "$GAME_PID"; finish > /dev/null
launch --fullscreen --windowed || exit 1
window_size > "$OUT/restored.size"; window_pos > "$OUT/restored.pos"
keys ctrl+q
finish > "$OUT/quit.status"

launch --size 100000x100000 || exit 1
window_size > "$OUT/huge.size"
cp "$OUT/game.err" "$OUT/huge.err"
keys ctrl+q
finish > /dev/null

PLUMBRIX_SCREEN=about launch --size 1280x720 || exit 1
shot about
click_at )" + licences + R"(
sleep 1
shot licences
kill -SEGV "$GAME_PID"
finish > "$OUT/segv.status"

# Last: the switch stores fullscreen for every later run.
PLUMBRIX_SCREEN=settings launch --size 1280x720 || exit 1
click_at )" + fullscreen + R"(
sleep 1
keys Escape ctrl+q
finish > "$OUT/settings.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(firstLine(s.dir + "/size.size"), "1024 768");
    EXPECT_EQ(firstLine(s.dir + "/size.pos"), "128 128");
    EXPECT_EQ(firstLine(s.dir + "/term.status"), "0") << "a first SIGTERM ends normally";
    // Invalid sizes are ignored; the last size comes back: the SIGTERM run saved its settings.
    EXPECT_EQ(firstLine(s.dir + "/bad.size"), "1024 768");
    EXPECT_EQ(firstLine(s.dir + "/twice.status"), "143") << "a second SIGTERM leaves at once";
    const std::string video = firstLine(s.dir + "/game.out");
    EXPECT_EQ(video.rfind("[video] Treiber x11, Renderer ", 0), 0u) << video;
    // Fullscreen given and taken back on the command line: the plain window of last run.
    EXPECT_EQ(firstLine(s.dir + "/restored.size"), "900 640");
    EXPECT_EQ(firstLine(s.dir + "/restored.pos"), "200 150");
    EXPECT_EQ(firstLine(s.dir + "/quit.status"), "0");
    // An absurd size starts the game in a window that fits the screen.
    EXPECT_EQ(firstLine(s.dir + "/huge.size"), "1280 1024");
    EXPECT_EQ(firstLine(s.dir + "/huge.err"),
              "[video] Fenster größer als der Bildschirm — verkleinert auf 1280x1024");
    // Xvfb has no window manager to resize the window: the stored setting tells the click took.
    EXPECT_EQ(firstLine(s.dir + "/settings.status"), "0");
    EXPECT_TRUE(testsupport::readSealedDoc(s.dir + "/data/Plumbrix/settings.dat")["fullscreen"].asBool(false));

    EXPECT_EQ(firstLine(s.dir + "/segv.status"), "139");
    const std::string report = readText(s.dir + "/run/Plumbrix_crash.txt");
    EXPECT_EQ(report.rfind("Tarnwick 1.0.0 (Build 1034)\nportiert aus 1.0\n", 0), 0u) << report;
    EXPECT_NE(report.find("Signal: SIGSEGV (Zugriff auf fremden Speicher)\n"), std::string::npos);
    // The report names the last screen: the licences, reached from the about screen.
    EXPECT_NE(report.find("Zuletzt: Bildschirm 11, Level 1, Seed 0, Level-Modus\n"), std::string::npos)
        << report;
    const testsupport::Frame about = screenshot(s, "about"), licencesShot = screenshot(s, "licences");
    ASSERT_FALSE(about.empty() || licencesShot.empty());
    EXPECT_GT(testsupport::pixelsOver(about, licencesShot, 40), 500);
}

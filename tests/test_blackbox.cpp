// The real game binary from the outside: command line, window, signals, crash reports.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "screens/menu.h"
#include "support/headless.h"
#include "support/xsession.h"
#include "ui/shell.h"

using testsupport::readText;
using testsupport::runXSession;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

// Runs a command line and returns its exit status and standard output.
Outcome capture(const std::string& cmd) {
    Outcome r;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) return r;
    char buf[512];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::string firstLine(const std::string& path) {
    const std::string t = readText(path);
    return t.substr(0, t.find('\n'));
}

// Bright yellow-white pixels on a coarse grid: a blank screen has none.
int busyPixels(const testsupport::Frame& f) {
    int n = 0;
    for (int y = 0; y < f.h; y += 2)
        for (int x = 0; x < f.w; x += 2)
            if (testsupport::red(f.at(x, y)) > 200 && testsupport::green(f.at(x, y)) > 200) ++n;
    return n;
}

// "x y" of the centre of menu button i (0 = the arcade button) in a w x h window.
std::string menuButtonAt(int i, int w, int h) {
    const double u = std::clamp(std::min(w / 1280.0, h / 720.0), 0.72, 2.0);
    const ui::MenuLayout L = ui::menuLayout(w, h, u, 8);
    double y = L.firstY + 1.26 * L.buttonH / 2;
    if (i > 0)
        y = L.firstY + 1.26 * L.buttonH + L.gap + (i - 1) * (L.buttonH + L.gap) + L.buttonH / 2;
    return std::to_string(static_cast<int>(L.columnX + L.columnW / 2)) + " " +
           std::to_string(static_cast<int>(y));
}

#define REQUIRE_X() \
    if (!testsupport::xSessionPossible()) GTEST_SKIP() << "needs xvfb-run, xdotool, xwd"

}  // namespace

TEST(GameBinary, AnswersTheCommandLineWithoutAWindow) {
    if (!std::filesystem::exists(testsupport::gameBinary())) GTEST_SKIP() << "no game binary";
    const std::string bin = "'" + testsupport::gameBinary() + "'";
    Outcome v = capture(bin + " --version");
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "Tarnwick 1.0.0 (Build 1034)\n");
    Outcome h = capture(bin + " --help --version");
    EXPECT_EQ(h.status, 0);
    EXPECT_EQ(h.out, ui::helpText());  // its wording is checked with the command line
    // Nowhere to show a window: one clear line and status 1 instead of an invisible game.
    const std::string dir = testsupport::scratchDir("nodisplay");
    Outcome none = capture("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_DATA_HOME='" +
                           dir + "' XDG_RUNTIME_DIR='" + dir + "' SDL_AUDIODRIVER=dummy " + bin +
                           " 2>'" + dir + "/err.txt'");
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(readText(dir + "/err.txt"),
              "[video] kein Bildschirm: weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt\n");
}

// One session for the size rules, the signals and the geometry kept across runs.
TEST(GameWindow, SizeRulesSignalsAndGeometryAcrossRuns) {
    REQUIRE_X();
    const testsupport::Session s = runXSession("window", R"(
launch || exit 1
window_size > "$OUT/default.size"; window_pos > "$OUT/default.pos"
shot first
keys ctrl+q
finish > "$OUT/ctrlq.status"

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
launch || exit 1
window_size > "$OUT/restored.size"; window_pos > "$OUT/restored.pos"
keys ctrl+q
finish > "$OUT/quit.status"

# Fullscreen given and taken back on the command line: a plain window, stored as such.
launch --fullscreen --windowed || exit 1
window_size > "$OUT/windowed.size"
keys ctrl+q
finish > /dev/null
launch || exit 1
window_size > "$OUT/after.size"
keys ctrl+q
finish > /dev/null

# An absurd size starts the game in a window that fits the screen.
launch --size 100000x100000 || exit 1
window_size > "$OUT/huge.size"
cp "$OUT/game.err" "$OUT/huge.err"
keys ctrl+q
finish > "$OUT/huge.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    // 1280 x 1024 with nothing stored: 1102 x 620, centred.
    EXPECT_EQ(firstLine(s.dir + "/default.size"), "1102 620");
    EXPECT_EQ(firstLine(s.dir + "/default.pos"), "89 202");
    EXPECT_EQ(firstLine(s.dir + "/ctrlq.status"), "0");
    EXPECT_EQ(firstLine(s.dir + "/size.size"), "1024 768");
    EXPECT_EQ(firstLine(s.dir + "/size.pos"), "128 128");
    EXPECT_EQ(firstLine(s.dir + "/term.status"), "0") << "a first SIGTERM ends normally";
    // Invalid sizes are ignored; the size of the previous run comes back, so the run that
    // ended by SIGTERM wrote its settings.
    EXPECT_EQ(firstLine(s.dir + "/bad.size"), "1024 768");
    EXPECT_EQ(firstLine(s.dir + "/twice.status"), "143") << "a second SIGTERM leaves at once";
    const std::string video = firstLine(s.dir + "/game.out");
    EXPECT_EQ(video.rfind("[video] Treiber x11, Renderer ", 0), 0u) << video;

    const testsupport::Frame first = testsupport::loadXwd(s.dir + "/first.xwd");
    ASSERT_FALSE(first.empty());
    testsupport::savePng(first, testsupport::artefactDir() + "/x-window-first.png");
    EXPECT_GT(busyPixels(first), 200) << "the start screen's title is on screen";

    EXPECT_EQ(firstLine(s.dir + "/restored.size"), "900 640");
    EXPECT_EQ(firstLine(s.dir + "/restored.pos"), "200 150");
    EXPECT_EQ(firstLine(s.dir + "/quit.status"), "0");
    EXPECT_EQ(firstLine(s.dir + "/windowed.size"), "900 640");
    EXPECT_EQ(firstLine(s.dir + "/after.size"), "900 640");
    EXPECT_EQ(firstLine(s.dir + "/huge.size"), "1280 1024");
    EXPECT_EQ(firstLine(s.dir + "/huge.status"), "0");
    EXPECT_EQ(firstLine(s.dir + "/huge.err"),
              "[video] Fenster größer als der Bildschirm — verkleinert auf 1280x1024");
}

TEST(GameWindow, NavigatesWithPointerAndKeysAndLeavesACrashReport) {
    REQUIRE_X();
    // Nothing stored: the 1102 x 620 default window; About is the seventh button and
    // Settings the sixth.
    const testsupport::Session s = runXSession("navigate", R"(
launch || exit 1
shot splash
click_at 400 300
shot menu
click_at )" + menuButtonAt(6, 1102, 620) + R"(
sleep 1  # a screen's first frame builds its scene, which takes a while on a busy machine
shot about
keys Escape
click_at )" + menuButtonAt(5, 1102, 620) + R"(
sleep 1
shot settings
kill -SEGV "$GAME_PID"
finish > "$OUT/segv.status"
exit 0
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(firstLine(s.dir + "/segv.status"), "139");
    const std::string report = readText(s.dir + "/run/Plumbrix_crash.txt");
    EXPECT_EQ(report.rfind("Tarnwick 1.0.0 (Build 1034)\nportiert aus 1.0\n", 0), 0u) << report;
    EXPECT_NE(report.find("Signal: SIGSEGV (Zugriff auf fremden Speicher)\n"), std::string::npos);
    // The report names the last screen: Settings, reached through the menu.
    EXPECT_NE(report.find("Zuletzt: Bildschirm 9, Level 1, Seed 0, Level-Modus\n"),
              std::string::npos)
        << report;

    const char* names[] = {"splash", "menu", "about", "settings"};
    testsupport::Frame shots[4];
    for (int i = 0; i < 4; ++i) {
        shots[i] = testsupport::loadXwd(s.dir + "/" + names[i] + ".xwd");
        ASSERT_FALSE(shots[i].empty()) << names[i];
        testsupport::savePng(shots[i],
                             testsupport::artefactDir() + "/x-navigate-" + names[i] + ".png");
    }
    // Each step changed what is on screen.
    for (int i = 1; i < 4; ++i)
        EXPECT_GT(testsupport::pixelsOver(shots[i - 1], shots[i], 40), 500) << names[i];
}

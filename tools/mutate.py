#!/usr/bin/env python3
"""Measures how many small faults the test suite catches.

Each fault below is one small edit of the sources (a flipped comparison, an off-by-one, a
dropped call, a swapped argument, a wrong constant). The tool applies them one at a time in
a build directory of its own, rebuilds, runs the tests of the fault's area and puts the
source back. A fault that still builds and passes its area's tests is missed.

  tools/mutate.py                 every fault (about an hour on two cores)
  tools/mutate.py grid-neighbours store-best-stars
  tools/mutate.py --who          also name the tests that caught each fault
  tools/mutate.py --list          the faults and their areas
  tools/mutate.py --check         every fault's text occurs exactly once, nothing is built

Run on demand only; the test command never runs it. The build lands in build-mutate/.
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build-mutate")

# The tests of each area: the test files whose suites run for a fault of that area.
AREAS = {
    "rules": ["test_grid", "test_game", "test_levels"],
    "model": ["test_game", "test_playing", "test_levels"],
    "store": ["test_storage", "test_storage_faults", "test_game", "test_playing"],
    "json": ["test_json", "test_storage"],
    "crypt": ["test_storage", "test_storage_faults"],
    "platform": ["test_storage", "test_storage_faults", "test_i18n", "test_install"],
    "shell": ["test_shell", "test_gpu", "test_playing", "test_widgets"],
    "widgets": ["test_widgets", "test_settings", "test_gallery", "test_menu", "test_draw"],
    "screens": ["test_menu", "test_playing", "test_settings", "test_results", "test_gallery",
                "test_blackbox"],
    "scene": ["test_scene", "test_decor", "test_fx", "test_menu"],
}


def area_pattern(area):
    """A ctest pattern for the suites defined in the area's test files."""
    suites = set()
    for name in AREAS[area]:
        path = os.path.join(ROOT, "tests", name + ".cpp")
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                suites.update(re.findall(r"^TEST(?:_F|_P)?\((\w+),", f.read(), re.M))
    return "^(" + "|".join(sorted(suites)) + ")\\."


# id, file, text as it stands, faulty text, area
FAULTS = [
    # the hex grid
    ("grid-neighbours", "src/core/grid.cpp",
     "{r - 1, c}, {r - 1, c + 1}, {r + 1, c}, {r + 1, c + 1}}};",
     "{r - 1, c}, {r - 1, c + 1}, {r + 1, c - 1}, {r + 1, c}}};", "rules"),
    ("grid-in-grid", "src/core/grid.cpp",
     "return r >= 0 && r < rows && c >= 0 && c < cols;",
     "return r >= 0 && r < rows && c >= 0 && c <= cols;", "rules"),
    ("grid-landing-nearest", "src/core/grid.cpp",
     "        if (!best.found || d < bestD) {\n            best = {true, r, c};",
     "        if (!best.found || d > bestD) {\n            best = {true, r, c};", "rules"),
    ("grid-pop-size", "src/core/grid.cpp", "if (n < 3) return 0;", "if (n < 2) return 0;", "rules"),
    ("grid-drop-points", "src/core/grid.cpp", "20LL * std::clamp(floaters",
     "10LL * std::clamp(floaters", "rules"),
    ("grid-loss-row", "src/core/grid.cpp", "if (v != -1 && r >= lossRow) reached = true;",
     "if (v != -1 && r > lossRow) reached = true;", "rules"),
    ("grid-anchor-rows", "src/core/grid.cpp", "for (int r = 0; r <= anchor && r < rows; ++r) {",
     "for (int r = 0; r < anchor && r < rows; ++r) {", "rules"),
    ("grid-ceiling-touch", "src/core/grid.cpp", "if (s.y - R <= ceilingY) {",
     "if (s.y <= ceilingY) {", "rules"),
    ("grid-left-wall", "src/core/grid.cpp", "if (s.x < fieldLeft + R) {",
     "if (s.x < fieldLeft) {", "rules"),
    ("grid-colours-present", "src/core/grid.cpp", "if (v >= 0) seen.insert(v);",
     "if (v > 0) seen.insert(v);", "rules"),
    # the game model
    ("game-descent-period", "src/core/game.cpp",
     "m.shots % m.cfg.shotsPerDescent == 0", "m.shots % m.cfg.shotsPerDescent == 1", "model"),
    ("game-parity-flip", "src/core/game.cpp", "    m.parity ^= 1;\n", "\n", "model"),
    ("game-ceiling-follows", "src/core/game.cpp", "m.ceilingRow = std::min(m.ceilingRow + 1,",
     "m.ceilingRow = std::min(m.ceilingRow + 0,", "model"),
    ("game-orbs-follow", "src/core/game.cpp", "for (RC& o : m.starOrbs) o.r += 1;",
     "for (RC& o : m.starOrbs) o.r += 0;", "model"),
    ("game-orbs-rise", "src/core/game.cpp", "for (RC& o : m.starOrbs) o.r -= 1;",
     "for (RC& o : m.starOrbs) o.r -= 0;", "model"),
    ("game-colour-rotation", "src/core/game.cpp", "    m.currentColor = m.nextColor;\n", "\n",
     "model"),
    ("game-pop-threshold", "src/core/game.cpp", "if (p.cluster.size() >= 3) {",
     "if (p.cluster.size() > 3) {", "model"),
    ("game-arcade-respawn-seed", "src/core/game.cpp", "static_cast<std::uint32_t>(m.shots) * 9973u",
     "static_cast<std::uint32_t>(m.shots) * 9974u", "model"),
    ("game-arcade-pop-spares", "src/core/game.cpp",
     "if (!popped && period > 0 && m.shots % period == 0) {",
     "if ((!popped || period > 0) && period > 0 && m.shots % period == 0) {", "model"),
    ("game-solved-pairs", "src/core/game.cpp",
     "sameColorCluster(m.board, r, c, m.parity).size() >= 2) {",
     "sameColorCluster(m.board, r, c, m.parity).size() >= 3) {", "model"),
    ("game-refill-target", "src/core/game.cpp", "if (rows >= kFillTarget) return 0;",
     "if (rows > kFillTarget) return 0;", "model"),
    ("game-crush-reach", "src/core/game.cpp", "crushed = dx * dx + dy * dy <= reach * reach;",
     "crushed = dx * dx + dy * dy <= 0.5 * reach * reach;", "model"),
    ("game-shots-to-descent", "src/core/game.cpp", "return p - (m.shots % p);",
     "return p - (m.shots % p) - 1;", "model"),
    ("game-check-level", "src/core/game.cpp", "m.level > 99)", "m.level > 100)", "store"),
    ("game-check-time", "src/core/game.cpp", "if (m.score < 0 || m.shots < 0 || elapsedMs < 0)",
     "if (m.score < 0 || m.shots < 0 || elapsedMs < -1000)", "store"),
    ("game-check-freed", "src/core/game.cpp", "*m.freed.rbegin() >= orbs", "*m.freed.rbegin() > orbs",
     "store"),
    # flight, obstacles, level table
    ("flight-carry", "src/core/flight.cpp", "f.carryMs -= stepMs;", "f.carryMs -= 0.5 * stepMs;",
     "rules"),
    ("flight-spin-clamp", "src/core/flight.cpp", "std::clamp(perR * kSpinDamp * kDegPerRad, -900.0, 900.0)",
     "std::clamp(perR * kSpinDamp * kDegPerRad, -900.0, 0.0)", "rules"),
    ("obstacle-moving-away", "src/core/obstacles.cpp", "if (dot >= 0.0) continue;",
     "if (dot >= 1e30) continue;", "rules"),
    ("obstacle-stage", "src/core/obstacles.cpp", "std::clamp(stage, 0, 9)", "std::clamp(stage, 1, 9)",
     "rules"),
    ("levels-stars-without-orbs", "src/core/levels.cpp", "if (totalOrbs < 1) return 3;",
     "if (totalOrbs < 1) return 0;", "rules"),
    ("levels-arcade-colours", "src/core/levels.cpp", "c.numColors = std::min(4 + m / 60, 6);",
     "c.numColors = std::min(4 + m / 60, 5);", "rules"),
    ("levels-arcade-speed", "src/core/levels.cpp", "return std::max(marblesDropped, 0) / 25 + 1;",
     "return std::max(marblesDropped, 0) / 25;", "rules"),
    ("levels-clamp", "src/core/levels.cpp", "std::clamp(flat, 0, levels_data::kLevelCount - 1)",
     "std::clamp(flat, 0, levels_data::kLevelCount - 2)", "rules"),
    # JSON
    ("json-hex-digit", "src/core/json.cpp", "return static_cast<unsigned>(ch - 'a' + 10);",
     "return static_cast<unsigned>(ch - 'a' + 11);", "json"),
    ("json-low-surrogate", "src/core/json.cpp", "if (lo >= 0xDC00 && lo <= 0xDFFF) {",
     "if (lo >= 0xDC00 && lo < 0xDFFF) {", "json"),
    ("json-depth", "src/core/json.cpp", "if (depth >= kMaxDepth) {", "if (depth > kMaxDepth) {",
     "json"),
    ("json-control-escape", "src/core/json.cpp", "if (static_cast<unsigned char>(ch) < 0x20) {",
     "if (static_cast<unsigned char>(ch) < 0x1f) {", "json"),
    ("json-quote-escape", "src/core/json.cpp", 'out += "\\\\\\"";', 'out += "\\"";', "json"),
    ("json-int-clamp", "src/core/json.cpp",
     "if (r >= static_cast<double>(std::numeric_limits<int>::max()))",
     "if (r > static_cast<double>(std::numeric_limits<int>::max()) * 2)", "json"),
    # the store
    ("store-best-stars", "src/core/storage.cpp", "return n.stars > old.stars;",
     "return n.stars < old.stars;", "store"),
    ("store-best-marbles", "src/core/storage.cpp", "return n.marbles < old.marbles;",
     "return n.marbles > old.marbles;", "store"),
    ("store-unlock-cap", "src/core/storage.cpp", "s.unlocked = std::min(count, kAllCleared);",
     "s.unlocked = count;", "store"),
    ("store-best-moves", "src/core/storage.cpp",
     "old.moves = old.moves <= 0 ? b.moves : std::min(old.moves, b.moves);",
     "old.moves = old.moves <= 0 ? b.moves : std::max(old.moves, b.moves);", "store"),
    ("store-solves-cap", "src/core/storage.cpp",
     "if (list.size() > static_cast<std::size_t>(kMaxSolves)) list.resize(kMaxSolves);", "",
     "store"),
    ("store-arcade-order", "src/core/storage.cpp",
     "[](const ArcadeHigh& x, const ArcadeHigh& y) { return x.score > y.score; }",
     "[](const ArcadeHigh& x, const ArcadeHigh& y) { return x.score < y.score; }", "store"),
    ("store-window-min", "src/core/storage.cpp", "if (w > 0) s.windowW = std::max(w, kMinWindowW);",
     "if (w > 0) s.windowW = w;", "store"),
    ("store-unlocked-floor", "src/core/storage.cpp",
     "s.unlocked = std::max(1, doc[\"unlocked_level\"].asInt(1));",
     "s.unlocked = std::max(0, doc[\"unlocked_level\"].asInt(1));", "store"),
    ("store-volume-clamp", "src/core/storage.cpp", "return std::clamp(v, 0.0, 1.0);", "return v;",
     "store"),
    ("store-arcade-date", "src/core/storage.cpp", 'o["achievedAt"] = a.achievedAt;', "", "store"),
    # sealing and the file system
    ("crypt-key", "src/platform/save_crypt.cpp",
     "crypto_generichash(key32, 32, material, sizeof material, nullptr, 0);",
     "crypto_generichash(key32, 32, material, 16, nullptr, 0);", "crypt"),
    ("crypt-open-check", "src/platform/save_crypt.cpp", "    if (rc != 0) {\n        sodium_memzero",
     "    if (rc != 0 && cipher.empty()) {\n        sodium_memzero", "crypt"),
    ("crypt-short-file", "src/platform/save_crypt.cpp",
     "if (data.size() < kHeader) return SaveReadResult::Tampered;",
     "if (data.size() < 4) return SaveReadResult::Tampered;", "crypt"),
    ("fs-size-limit", "src/platform/fs_posix.cpp", "if (sb.st_size > maxBytes) {",
     "if (sb.st_size > 2 * maxBytes) {", "platform"),
    ("fs-partial-write", "src/platform/fs_posix.cpp", "done += static_cast<std::size_t>(w);",
     "done += static_cast<std::size_t>(w) + 1;", "platform"),
    ("paths-home", "src/platform/paths.cpp", "dir.append(homeRel);", "dir.append(homeRel + 1);",
     "platform"),
    ("i18n-locale-list", "src/i18n.cpp", "start = end + 1;", "start = end + 2;", "platform"),
    ("i18n-lower-case", "src/i18n.cpp",
     "tag += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));",
     "tag += ch;", "platform"),
    # the shell
    ("shell-unfocused-rate", "src/ui/shell.cpp",
     "if (!sh.focused) interval = std::max(interval, kUnfocusedInterval);", "", "shell"),
    ("shell-vsync-trust", "src/ui/shell.cpp", "const bool trusted = sh.vsync && painted && sh.focused;",
     "const bool trusted = sh.vsync;", "shell"),
    ("shell-double-click", "src/ui/shell.cpp", "if (now - sh.lastRelease < kDoubleClickSeconds)",
     "if (now - sh.lastRelease < 10 * kDoubleClickSeconds)", "shell"),
    ("shell-dead-zone", "src/ui/shell.cpp", "if (a <= kStickDeadZone) return 0;",
     "if (a < 0) return 0;", "shell"),
    ("shell-dirty-width", "src/ui/shell.cpp", "fn(x, y, std::min(r.x1 * kCanvasTile, sh.canvasW) - x,",
     "fn(x, y, std::min(r.x1 * kCanvasTile, sh.canvasW) - x - 1,", "shell"),
    ("gpu-cache-budget", "src/ui/gpu.cpp", "if (s.bytes <= kMaxBytes / 4 * 3) break;",
     "if (s.bytes <= kMaxBytes) break;", "shell"),
    # widgets and navigation
    ("widgets-slider-step", "src/ui/widgets.cpp", "std::round(result * 20 + step) / 20",
     "std::round(result * 20 + step) / 10", "widgets"),
    ("widgets-scroll-keys", "src/ui/widgets.cpp", "(k == SDLK_UP ? -1 : 1) * c.s(60)",
     "(k == SDLK_UP ? 1 : -1) * c.s(60)", "widgets"),
    ("widgets-disabled-button", "src/ui/widgets.cpp", "    if (disabled) return false;\n", "\n",
     "widgets"),
    ("widgets-scroll-end", "src/ui/widgets.cpp", "std::max(contentH - viewport.h, 0.0)",
     "std::max(contentH, 0.0)", "widgets"),
    ("app-last-screen", "src/ui/app.cpp", "if (stack_.size() >= 2) stack_.pop_back();",
     "if (!stack_.empty()) stack_.pop_back();", "screens"),
    ("menu-continue-level", "src/screens/menu.cpp",
     "s.level = std::clamp(store::unlockedLevel() - 1, 0, 99);",
     "s.level = std::clamp(store::unlockedLevel(), 0, 99);", "screens"),
    ("menu-all-cleared", "src/screens/menu.cpp", "const bool allCleared = unlocked > 100;",
     "const bool allCleared = unlocked >= 100;", "screens"),
    ("menu-cancel-keeps-game", "src/screens/menu.cpp", "    if (answer < 0) return false;\n", "\n",
     "screens"),
    ("levels-locked-tile", "src/screens/level_select.cpp", "level, level >= unlocked, solved, stars",
     "level, level > unlocked, solved, stars", "screens"),
    ("play-refill-delay", "src/screens/playing.cpp", "fillDue_ = c.t + 0.6;", "fillDue_ = c.t + 0.2;",
     "screens"),
    ("play-pause-key", "src/screens/playing.cpp", "if (in.hasKey(kKeyP)) paused_ = !paused_;", "",
     "screens"),
    ("play-away-pauses", "src/screens/playing.cpp",
     "if ((c.away || c.in.padRemoved) && !finished_) paused_ = true;",
     "if (c.in.padRemoved && !finished_) paused_ = true;", "screens"),
    ("solved-records-stars", "src/screens/solved.cpp", "best.stars = stars_;", "best.stars = 1;",
     "screens"),
    ("gallery-page-end", "src/screens/gallery.cpp",
     "std::clamp(page_ + (dir < 0 ? -1 : 1), 0, g.pages - 1)",
     "std::clamp(page_ + (dir < 0 ? -1 : 1), 0, g.pages)", "screens"),
    # the background scene
    ("scene-seed", "src/ui/scene.cpp", "core::Mulberry32 g(seed * 9173u + 31u);",
     "core::Mulberry32 g(seed * 9173u + 32u);", "scene"),
    ("scene-bake-gap", "src/ui/scene.cpp", "const bool due = f.t - s.lastBake >= kBakeGap || f.t < s.lastBake;",
     "const bool due = true;", "scene"),
    ("fx-lifetime", "src/ui/fx.cpp", "return t - p.bornAt > p.life;", "return t - p.bornAt > 3 * p.life;",
     "scene"),
]


def source(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def check():
    bad = 0
    ids = set()
    for fid, path, old, new, area in FAULTS:
        if fid in ids:
            print(f"{fid}: named twice")
            bad += 1
        ids.add(fid)
        if area not in AREAS or area_pattern(area) == "^()\\.":
            print(f"{fid}: unknown area {area}")
            bad += 1
        if not os.path.exists(os.path.join(ROOT, path)):
            print(f"{fid}: {path} is gone")
            bad += 1
            continue
        n = source(path).count(old)
        if n != 1 or old == new:
            print(f"{fid}: its text occurs {n} times in {path}")
            bad += 1
    return bad


def run(cmd, timeout, log):
    with open(log, "w") as out:
        p = subprocess.Popen(cmd, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True)
        try:
            return p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
            return -1


def build(log):
    jobs = str(os.cpu_count() or 2)
    return run(["cmake", "--build", BUILD, "-j", jobs, "--target", "tarnwick", "tarnwick_tests"],
               1800, log) == 0


SLOW_SECONDS = 60.0  # a test that took longer on the unchanged tree is left out of fault runs
slow = []


def find_slow():
    """The tests slower than SLOW_SECONDS in the unchanged tree's runs (ctest's own timings)."""
    path = os.path.join(BUILD, "Testing", "Temporary", "CTestCostData.txt")
    if not os.path.exists(path):
        return []
    out = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.split()
            if len(parts) == 3 and float(parts[2]) > SLOW_SECONDS:
                out.append(parts[0])
    return sorted(out)


def tests(area, log):
    jobs = str(os.cpu_count() or 2)
    cmd = ["ctest", "--test-dir", BUILD, "-j", jobs, "--timeout", "300", "-R", area_pattern(area)]
    if slow:
        cmd += ["-E", "^(" + "|".join(re.escape(t) for t in slow) + ")$"]
    if run(cmd, 1800, log) == 0:
        return []
    with open(log, encoding="utf-8", errors="replace") as f:
        # the failures, not the tests ctest lists as skipped or not run
        failed = re.findall(r"^\s*\d+ - (\S+) \((?!Skipped|Not Run|Disabled)", f.read(), re.M)
    return failed or ["(the test run itself)"]


def stop(signum, frame):
    raise KeyboardInterrupt  # unwinds through the restore of the changed source


def main(argv):
    signal.signal(signal.SIGTERM, stop)
    if "--list" in argv:
        for fid, path, _, _, area in FAULTS:
            print(f"{fid:28} {area:9} {path}")
        print(f"{len(FAULTS)} faults")
        return 0
    if check():
        return 2
    if "--check" in argv:
        print(f"{len(FAULTS)} faults, each found once")
        return 0
    flags = [a for a in argv if a.startswith("--")]
    names = [a for a in argv if not a.startswith("--")]
    chosen = [f for f in FAULTS if not names or f[0] in names]
    os.makedirs(BUILD, exist_ok=True)
    cfg = ["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
           "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG"]
    if shutil.which("ccache"):  # the restored source is then a cache hit
        cfg.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    if run(cfg, 600, os.path.join(BUILD, "mutate-configure.log")) != 0:
        print("configure failed, see build-mutate/mutate-configure.log")
        return 2
    os.environ.setdefault("SDL_AUDIODRIVER", "dummy")
    if not build(os.path.join(BUILD, "mutate-build.log")):
        print("the unchanged tree does not build, see build-mutate/mutate-build.log")
        return 2
    areas = sorted({f[4] for f in chosen})
    for area in areas:
        if tests(area, os.path.join(BUILD, f"mutate-base-{area}.log")):
            print(f"the unchanged tree fails its {area} tests, see build-mutate/mutate-base-{area}.log")
            return 2
    slow.extend(find_slow())
    if slow:
        print(f"left out as slower than {SLOW_SECONDS:.0f} s: " + " ".join(slow), flush=True)
    missed, caught, broken = [], [], []
    for fid, path, old, new, area in chosen:
        text = source(path)
        full = os.path.join(ROOT, path)
        started = time.time()
        detail = ""
        try:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text.replace(old, new, 1))
            log = os.path.join(BUILD, f"mutate-{fid}.log")
            if not build(log):
                verdict = "does not build"
                broken.append(fid)
            else:
                failed = tests(area, log)
                if failed:
                    verdict = "caught"
                    caught.append(fid)
                    detail = " by " + " ".join(failed) if "--who" in flags else ""
                else:
                    verdict = "MISSED"
                    missed.append(fid)
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)
            os.utime(full)
        print(f"{fid:28} {verdict:15} {time.time() - started:5.0f} s{detail}", flush=True)
    build(os.path.join(BUILD, "mutate-build.log"))  # leave the build as the tree stands
    counted = len(caught) + len(missed)
    print(f"caught {len(caught)}/{counted}" + (f" ({len(broken)} did not build)" if broken else ""))
    if missed:
        print("missed: " + " ".join(missed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

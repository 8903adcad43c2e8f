// The installed game: `cmake --install` into a prefix that is then moved elsewhere must
// still give a program that finds its fonts and sounds and names its window after its
// desktop entry; the desktop entry and the metainfo must pass their validators.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "support/headless.h"
#include "support/tmpdir.h"
#include "support/xsession.h"

using testsupport::readText;

namespace {

namespace fs = std::filesystem;

constexpr const char* kAppId = "org.tarnwick.Tarnwick";
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};

struct Outcome {
    int status = -1;
    std::string out;  // standard output and standard error together
};

Outcome run(const std::string& cmd) {
    Outcome r;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buf[512];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

bool onPath(const std::string& tool) {
    return run("command -v " + tool).status == 0;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

std::string dataFile(const std::string& name) {
    return std::string(TARNWICK_SOURCE_DIR) + "/data/" + name;
}

// The value of a key in the main group of a desktop entry; empty when missing.
std::string desktopValue(const std::string& text, const std::string& key) {
    const std::string tag = "\n" + key + "=";
    const size_t at = text.find(tag);
    if (at == std::string::npos) return "";
    const size_t start = at + tag.size();
    return text.substr(start, text.find('\n', start) - start);
}

// Width and height from a PNG's header; 0 0 when the file is no PNG.
std::pair<int, int> pngSize(const std::string& path) {
    const std::string d = readText(path);
    if (d.size() < 24 || d.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&](size_t i) {
        int v = 0;
        for (size_t k = 0; k < 4; ++k) v = (v << 8) | static_cast<unsigned char>(d[i + k]);
        return v;
    };
    return {be(16), be(20)};
}

// What stands between a metainfo file and a software centre listing it: any validator
// complaint, and, although appstreamcli calls them mere hints, a missing content rating or
// release (without them software centres hide or flag the game). Empty when all is well.
std::string metainfoProblems(const std::string& path) {
    const Outcome v = run("appstreamcli validate --no-net --pedantic " + quoted(path));
    std::string problems;
    if (v.status != 0) problems += "appstreamcli failed:\n" + v.out;
    for (const char* tag : {"content-rating-missing", "releases-info-missing"})
        if (v.out.find(tag) != std::string::npos) problems += std::string(tag) + "\n";
    return problems;
}

// The text with the first stretch from open up to and including close cut out.
std::string without(const std::string& text, const std::string& open, const std::string& close) {
    const size_t from = text.find(open);
    if (from == std::string::npos) return text;
    const size_t to = text.find(close, from);
    if (to == std::string::npos) return text;
    return text.substr(0, from) + text.substr(to + close.size());
}

// Starts binary on a virtual display from outside the source and build trees, with no
// asset folder named, and expects it to find its fonts and sounds, name its window after
// the desktop entry and quit cleanly.
void expectStartsAndFindsItsAssets(const std::string& name, const std::string& binary) {
    if (!testsupport::xSessionPossible() || !onPath("xprop"))
        GTEST_SKIP() << "needs xvfb-run, xdotool, xwd, xprop";
    const testsupport::Session s = testsupport::runXSession(name, R"(
unset PLUMBRIX_ASSET_DIR SNAP APPDIR
export TARNWICK_BIN=')" + binary + R"('
cd /
launch || exit 1
xprop -id "$GAME_WIN" WM_CLASS > "$OUT/wmclass.txt"
keys ctrl+q
finish > "$OUT/quit.status"
)");
    ASSERT_EQ(s.status, 0) << s.log;
    EXPECT_EQ(readText(s.dir + "/quit.status"), "0\n");
    const std::string err = readText(s.dir + "/game.err");
    EXPECT_EQ(err.find("[fonts]"), std::string::npos) << err;
    EXPECT_EQ(err.find("fehlt"), std::string::npos) << err;
    EXPECT_EQ(readText(s.dir + "/wmclass.txt"),
              "WM_CLASS(STRING) = \"" + std::string(kAppId) + "\", \"" + kAppId + "\"\n");
}

}  // namespace

TEST(DesktopIntegration, EntryAndMetainfoPassTheValidators) {
    ASSERT_TRUE(onPath("desktop-file-validate")) << "desktop-file-utils is not installed";
    ASSERT_TRUE(onPath("appstreamcli")) << "appstream is not installed";
    const std::string desktop = dataFile(std::string(kAppId) + ".desktop");
    const std::string metainfo = dataFile(std::string(kAppId) + ".metainfo.xml");

    const Outcome d = run("desktop-file-validate " + quoted(desktop));
    EXPECT_EQ(d.status, 0) << d.out;
    EXPECT_EQ(d.out, "");
    const std::string entry = readText(desktop);
    EXPECT_EQ(desktopValue(entry, "Categories"), "Game;LogicGame;");
    EXPECT_EQ(desktopValue(entry, "Icon"), kAppId);
    EXPECT_EQ(desktopValue(entry, "StartupWMClass"), kAppId);
    EXPECT_EQ(desktopValue(entry, "Exec"), "tarnwick");
    EXPECT_NE(desktopValue(entry, "Keywords"), "");

    EXPECT_EQ(metainfoProblems(metainfo), "");
    const std::string meta = readText(metainfo);
    EXPECT_NE(meta.find("<launchable type=\"desktop-id\">" + std::string(kAppId) + ".desktop"),
              std::string::npos);
    EXPECT_NE(meta.find("<control>pointing</control>"), std::string::npos);
    EXPECT_NE(meta.find("<control>keyboard</control>"), std::string::npos);
    EXPECT_NE(meta.find("<screenshot type=\"default\">"), std::string::npos);
    // Every screenshot listed is committed under data/screenshots at the size it names.
    size_t shots = 0;
    const std::string host = "https://tarnwick.org/screenshots/";
    for (size_t at = meta.find(host); at != std::string::npos; at = meta.find(host, at + 1)) {
        const size_t from = at + host.size();
        const std::string file = meta.substr(from, meta.find('<', from) - from);
        EXPECT_EQ(pngSize(dataFile("screenshots/" + file)), std::make_pair(1280, 720)) << file;
        ++shots;
    }
    EXPECT_EQ(shots, 4u);
    size_t langs = 0;
    for (size_t at = meta.find("<lang>"); at != std::string::npos; at = meta.find("<lang>", at + 1))
        ++langs;
    EXPECT_EQ(langs, 22u);

    // The check itself must catch what the validator lets pass.
    const std::string dir = testsupport::scratchDir("metainfo-check");
    const std::string noRating = dir + "/no-rating.metainfo.xml";
    ASSERT_TRUE(testsupport::writeBytes(noRating, without(meta, "<content_rating", "/>")));
    EXPECT_NE(metainfoProblems(noRating).find("content-rating-missing"), std::string::npos);
    const std::string noRelease = dir + "/no-release.metainfo.xml";
    ASSERT_TRUE(testsupport::writeBytes(noRelease, without(meta, "<releases>", "</releases>")));
    EXPECT_NE(metainfoProblems(noRelease).find("releases-info-missing"), std::string::npos);
}

TEST(DesktopIntegration, ManPageRendersAndCoversTheCommandLine) {
    ASSERT_TRUE(onPath("man")) << "man-db is not installed";
    const std::string page = dataFile("tarnwick.6");
    // Only the warnings reach the pipe; the page itself is rendered separately.
    const Outcome warn = run("{ LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + quoted(page) +
                             " 2>&1 >/dev/null; }");
    EXPECT_EQ(warn.status, 0);
    EXPECT_EQ(warn.out, "");
    const Outcome text = run("LC_ALL=C.UTF-8 MANWIDTH=200 man -l " + quoted(page));
    ASSERT_EQ(text.status, 0) << text.out;
    for (const char* word :
         {"--version", "--help", "--fullscreen", "--windowed", "--size", "PLUMBRIX_ASSET_DIR",
          "PLUMBRIX_STATS", "PLUMBRIX_SCREEN", "PLUMBRIX_DAY", "PLUMBRIX_FLYER", "XDG_DATA_HOME",
          "XDG_RUNTIME_DIR", "Plumbrix_crash.txt", "settings.dat", "saves.dat"})
        EXPECT_NE(text.out.find(word), std::string::npos) << word;
}

TEST(DesktopIntegration, MovedInstallFindsItsAssetsAndNamesItsWindow) {
    const std::string dir = testsupport::scratchDir("install");
    const std::string prefix = dir + "/prefix";
    const Outcome inst = run(std::string(TARNWICK_CMAKE_COMMAND) + " --install " +
                             quoted(TARNWICK_BINARY_DIR) + " --prefix " + quoted(prefix));
    ASSERT_EQ(inst.status, 0) << inst.out;

    // A prefix that works only where it was installed would be no use to a package.
    const std::string moved = dir + "/elsewhere/usr";
    fs::create_directories(dir + "/elsewhere");
    fs::rename(prefix, moved);
    const std::string share = moved + "/share";
    EXPECT_TRUE(fs::is_regular_file(moved + "/bin/tarnwick"));
    EXPECT_TRUE(fs::is_regular_file(share + "/Plumbrix/assets/fonts/DejaVuSans.ttf"));
    EXPECT_TRUE(fs::is_regular_file(share + "/Plumbrix/assets/audio/bgm_calm.ogg"));
    EXPECT_TRUE(fs::is_regular_file(share + "/applications/" + kAppId + ".desktop"));
    EXPECT_TRUE(fs::is_regular_file(share + "/metainfo/" + kAppId + ".metainfo.xml"));
    EXPECT_TRUE(fs::is_regular_file(share + "/man/man6/tarnwick.6"));
    EXPECT_NE(readText(share + "/icons/hicolor/scalable/apps/" + kAppId + ".svg").find("<svg"),
              std::string::npos);
    for (int size : kIconSizes) {
        const std::string px = std::to_string(size);
        const auto wh =
            pngSize(share + "/icons/hicolor/" + px + "x" + px + "/apps/" + kAppId + ".png");
        EXPECT_EQ(wh, std::make_pair(size, size)) << "icon " << px;
    }

    // The installed tree as a software centre sees it: metainfo, desktop entry and the link
    // between them.
    if (onPath("appstreamcli")) {
        const Outcome tree = run("appstreamcli validate-tree --no-net " + quoted(moved));
        EXPECT_EQ(tree.status, 0) << tree.out;
    }

    expectStartsAndFindsItsAssets("installed", moved + "/bin/tarnwick");
}

TEST(DesktopIntegration, DebianPackageUnpacksIntoAWorkingGame) {
    // tools/test.sh builds the package once and names it here; a plain ctest run has none.
    const char* deb = std::getenv("TARNWICK_DEB");
    if (deb == nullptr || *deb == '\0') GTEST_SKIP() << "no package named in TARNWICK_DEB";
    const Outcome fields =
        run("dpkg-deb --show --showformat='${Package} ${Version} "
            "${Section}\\n' " +
            quoted(deb));
    ASSERT_EQ(fields.status, 0) << fields.out;
    EXPECT_EQ(fields.out, "tarnwick 1.0.0-1 games\n");

    const std::string root = testsupport::scratchDir("package") + "/root";
    const Outcome unpack = run("dpkg -x " + quoted(deb) + " " + quoted(root));
    ASSERT_EQ(unpack.status, 0) << unpack.out;
    const std::string share = root + "/usr/share";
    for (const char* face : {"JP", "SC", "KR"}) {
        EXPECT_TRUE(fs::is_regular_file(share + "/Plumbrix/assets/fonts/QuendraCJK-" + face + ".ttf"));
    }
    EXPECT_TRUE(fs::is_regular_file(share + "/Plumbrix/assets/audio/bgm_calm.ogg"));
    EXPECT_TRUE(fs::is_regular_file(share + "/applications/" + std::string(kAppId) + ".desktop"));
    EXPECT_TRUE(fs::is_regular_file(share + "/metainfo/" + std::string(kAppId) + ".metainfo.xml"));
    EXPECT_TRUE(fs::is_regular_file(share + "/man/man6/tarnwick.6.gz"));
    EXPECT_TRUE(
        fs::is_regular_file(share + "/icons/hicolor/512x512/apps/" + std::string(kAppId) + ".png"));
    EXPECT_NE(readText(share + "/doc/tarnwick/copyright").find("GPL-3.0-or-later"),
              std::string::npos);
    expectStartsAndFindsItsAssets("package", root + "/usr/games/tarnwick");
}

// The installed game, moved elsewhere, finds its assets and names its window after its
// desktop entry; the entry and the metainfo pass their validators.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/headless.h"
#include "support/tmpdir.h"
#include "support/xsession.h"

using testsupport::readText;

namespace {

namespace fs = std::filesystem;

constexpr const char* kAppId = "org.tarnwick.Tarnwick";

struct Outcome {
    int status = -1;
    std::string out;  // with standard error
};

Outcome run(const std::string& cmd) {
    Outcome r;
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    for (int ch; (ch = std::fgetc(p)) != EOF;) r.out += static_cast<char>(ch);
    const int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

bool onPath(const std::string& tool) { return run("command -v " + tool).status == 0; }
std::string quoted(const std::string& s) { return "'" + s + "'"; }
std::string dataFile(const std::string& name) { return TARNWICK_SOURCE_DIR "/data/" + name; }
std::pair<int, int> pngSize(const std::string& path) {
    const testsupport::Frame f = testsupport::loadPng(path);
    return {f.w, f.h};
}

}  // namespace

TEST(DesktopIntegration, EntryAndMetainfoPassTheValidators) {
    ASSERT_TRUE(onPath("desktop-file-validate")) << "desktop-file-utils is not installed";
    ASSERT_TRUE(onPath("appstreamcli")) << "appstream is not installed";
    const std::string desktop = dataFile(std::string(kAppId) + ".desktop");
    const std::string metainfo = dataFile(std::string(kAppId) + ".metainfo.xml");

    const Outcome d = run("desktop-file-validate " + quoted(desktop));
    EXPECT_EQ(std::pair(d.status, d.out), std::pair(0, std::string()));
    const std::string entry = readText(desktop), id = kAppId;
    for (const std::string& line : std::vector<std::string>{
             "\nExec=tarnwick\n", "\nIcon=" + id + "\n", "\nStartupWMClass=" + id + "\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line;

    // Besides complaints, the hints software centres act on: no content rating or release
    // hides or flags the game.
    const Outcome v = run("appstreamcli validate --no-net --pedantic " + quoted(metainfo));
    EXPECT_EQ(v.status, 0) << v.out;
    for (const char* tag : {"content-rating-missing", "releases-info-missing"})
        EXPECT_EQ(v.out.find(tag), std::string::npos) << v.out;
    const std::string meta = readText(metainfo);
    EXPECT_NE(meta.find("<launchable type=\"desktop-id\">" + id + ".desktop"), std::string::npos);
    // Every screenshot listed is committed at the size it names.
    size_t shots = 0;
    const std::string host = "https://tarnwick.org/screenshots/";
    for (size_t at = meta.find(host); at != std::string::npos;
         at = meta.find(host, at + 1), ++shots) {
        const std::string file =
            meta.substr(at + host.size(), meta.find('<', at) - at - host.size());
        EXPECT_EQ(pngSize(dataFile("screenshots/" + file)), std::make_pair(1280, 720)) << file;
    }
    EXPECT_EQ(shots, 4u);
}

TEST(DesktopIntegration, MovedInstallFindsItsAssetsAndNamesItsWindow) {
    const std::string dir = testsupport::scratchDir("install");
    const std::string prefix = dir + "/prefix";
    const Outcome inst = run(std::string(TARNWICK_CMAKE_COMMAND) + " --install " +
                             quoted(TARNWICK_BINARY_DIR) + " --prefix " + quoted(prefix));
    ASSERT_EQ(inst.status, 0) << inst.out;

    const std::string moved = dir + "/elsewhere/usr";
    fs::create_directories(dir + "/elsewhere");
    fs::rename(prefix, moved);
    const std::string share = moved + "/share/", id = kAppId;
    for (const std::string& file : std::vector<std::string>{
             "../bin/tarnwick", "Plumbrix/assets/fonts/DejaVuSans.ttf",
             "Plumbrix/assets/audio/bgm_calm.ogg", "applications/" + id + ".desktop",
             "metainfo/" + id + ".metainfo.xml", "man/man6/tarnwick.6"})
        EXPECT_TRUE(fs::is_regular_file(share + file)) << file;
    EXPECT_NE(readText(share + "icons/hicolor/scalable/apps/" + id + ".svg").find("<svg"),
              std::string::npos);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string px = std::to_string(size);
        EXPECT_EQ(pngSize(share + "icons/hicolor/" + px + "x" + px + "/apps/" + id + ".png"),
                  std::make_pair(size, size)) << "icon " << px;
    }
    if (onPath("appstreamcli")) {
        const Outcome tree = run("appstreamcli validate-tree --no-net " + quoted(moved));
        EXPECT_EQ(tree.status, 0) << tree.out;
    }

    // Started from / with no asset folder named: fonts and sounds found, window named.
    if (!testsupport::xSessionPossible() || !onPath("xprop"))
        GTEST_SKIP() << "needs xvfb-run, xdotool, xprop";
    const testsupport::Session x = testsupport::runXSession("installed", R"(
unset PLUMBRIX_ASSET_DIR SNAP APPDIR
export TARNWICK_BIN=')" + moved + R"(/bin/tarnwick'
cd /
launch || exit 1
xprop -id "$GAME_WIN" WM_CLASS > "$OUT/wmclass.txt"
keys ctrl+q
finish > "$OUT/quit.status"
)");
    ASSERT_EQ(x.status, 0) << x.log;
    EXPECT_EQ(readText(x.dir + "/quit.status"), "0\n");
    const std::string err = readText(x.dir + "/game.err");
    EXPECT_TRUE(err.find("[fonts]") == std::string::npos && err.find("fehlt") == std::string::npos)
        << err;
    EXPECT_EQ(readText(x.dir + "/wmclass.txt"),
              "WM_CLASS(STRING) = \"" + std::string(kAppId) + "\", \"" + kAppId + "\"\n");
}

TEST(DesktopIntegration, DebianPackageHoldsTheGame) {
    // tools/test.sh builds the package and names it here.
    const char* deb = std::getenv("TARNWICK_DEB");
    if (deb == nullptr || *deb == '\0') GTEST_SKIP() << "no package named in TARNWICK_DEB";
    const Outcome fields =
        run("dpkg-deb --show --showformat='${Package} ${Version} ${Section}\\n' " + quoted(deb));
    EXPECT_EQ(fields.out, "tarnwick 1.0.0-1 games\n");
    const std::string root = testsupport::scratchDir("package") + "/root";
    ASSERT_EQ(run("dpkg -x " + quoted(deb) + " " + quoted(root)).status, 0);
    const std::string share = root + "/usr/share/";
    for (const std::string& file : std::vector<std::string>
         {"Plumbrix/assets/fonts/QuendraCJK-KR.ttf", "Plumbrix/assets/audio/bgm_calm.ogg",
          "applications/" + std::string(kAppId) + ".desktop", "man/man6/tarnwick.6.gz",
          "icons/hicolor/512x512/apps/" + std::string(kAppId) + ".png", "../games/tarnwick"})
        EXPECT_TRUE(fs::is_regular_file(share + file)) << file;
    EXPECT_NE(readText(share + "doc/tarnwick/copyright").find("GPL-3.0-or-later"),
              std::string::npos);
}

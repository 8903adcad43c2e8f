// Asset and data directories: the order of the asset candidates and the XDG rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/fs.h"
#include "platform/paths.h"
#include "support/tmpdir.h"

namespace {

// Sets or clears an environment variable for the lifetime of the object.
class EnvVar {
  public:
    EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvVar() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

void makeAssetTree(const std::string& root, bool withAudio = true) {
    ASSERT_TRUE(platform::fs::ensureDir(root + "/assets/fonts"));
    if (withAudio) {
        ASSERT_TRUE(platform::fs::ensureDir(root + "/assets/audio"));
    }
}

}  // namespace

TEST(Paths, ExeDirIsTheTestProgramsDirectory) {
    const std::string dir = paths::exeDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_TRUE(platform::fs::isFile(dir + "/tarnwick_tests"));
}

TEST(Paths, AssetCandidatesInOrder) {
    const std::string base = testsupport::freshDir("paths-assets");
    const std::string snap = base + "/snap", appdir = base + "/appdir", own = base + "/own";
    makeAssetTree(snap + "/usr/share/Plumbrix");
    makeAssetTree(appdir + "/usr/share/Plumbrix");
    makeAssetTree(own);
    // The scratch directory is the working directory so that "." finds nothing real.
    const std::string empty = testsupport::freshDir("paths-empty-cwd");
    char oldCwd[4096];
    ASSERT_NE(::getcwd(oldCwd, sizeof oldCwd), nullptr);
    ASSERT_EQ(::chdir(empty.c_str()), 0);
    {
        const EnvVar s("SNAP", snap), a("APPDIR", appdir), p("PLUMBRIX_ASSET_DIR", own);
        EXPECT_EQ(paths::resolveAssetDir(), snap + "/usr/share/Plumbrix");
    }
    {
        const EnvVar s("SNAP", ""), a("APPDIR", appdir), p("PLUMBRIX_ASSET_DIR", own);
        EXPECT_EQ(paths::resolveAssetDir(), appdir + "/usr/share/Plumbrix");
    }
    {
        const EnvVar s("SNAP", std::nullopt), a("APPDIR", std::nullopt),
            p("PLUMBRIX_ASSET_DIR", own);
        EXPECT_EQ(paths::resolveAssetDir(), own);
    }
    {
        // Fonts without audio is not an asset tree.
        const std::string half = base + "/half";
        makeAssetTree(half, false);
        const EnvVar s("SNAP", std::nullopt), a("APPDIR", std::nullopt),
            p("PLUMBRIX_ASSET_DIR", half);
        const std::string found = paths::resolveAssetDir();
        EXPECT_NE(found, half);
    }
    {
        // The working directory is the last candidate.
        makeAssetTree(empty);
        const EnvVar s("SNAP", std::nullopt), a("APPDIR", std::nullopt),
            p("PLUMBRIX_ASSET_DIR", std::nullopt);
        const bool realInstall = platform::fs::isDir("/usr/share/Plumbrix/assets/fonts") ||
                                 platform::fs::isDir("/app/share/Plumbrix/assets/fonts");
        if (!realInstall) {
            EXPECT_EQ(paths::resolveAssetDir(), ".");
        }
        ASSERT_TRUE(platform::fs::remove(empty + "/assets/fonts"));
        ASSERT_TRUE(platform::fs::remove(empty + "/assets/audio"));
        ASSERT_TRUE(platform::fs::remove(empty + "/assets"));
    }
    {
        // No candidate at all: the executable's directory.
        const EnvVar s("SNAP", std::nullopt), a("APPDIR", std::nullopt),
            p("PLUMBRIX_ASSET_DIR", std::nullopt);
        const bool anyReal = platform::fs::isDir("/usr/share/Plumbrix/assets/fonts") ||
                             platform::fs::isDir("/app/share/Plumbrix/assets/fonts") ||
                             platform::fs::isDir(paths::exeDir() + "/assets/fonts") ||
                             platform::fs::isDir(paths::exeDir() + "/../assets/fonts") ||
                             platform::fs::isDir(paths::exeDir() + "/../share/Plumbrix");
        if (!anyReal) {
            EXPECT_EQ(paths::resolveAssetDir(), paths::exeDir());
        }
    }
    ASSERT_EQ(::chdir(oldCwd), 0);

    EXPECT_EQ(paths::asset("fonts/a.ttf"), paths::assetDir() + "/fonts/a.ttf");
    EXPECT_EQ(paths::asset("../x"), paths::assetDir() + "/../x");
}

TEST(Paths, DataAndCacheFollowXdg) {
    {
        const EnvVar x("XDG_DATA_HOME", "/xdg/data"), c("XDG_CACHE_HOME", "/xdg/cache"),
            h("HOME", "/home/p");
        EXPECT_EQ(paths::resolveDataDir(), "/xdg/data/Plumbrix");
        EXPECT_EQ(paths::resolveCacheDir(), "/xdg/cache/Plumbrix");
    }
    {
        // An empty variable counts as unset.
        const EnvVar x("XDG_DATA_HOME", ""), c("XDG_CACHE_HOME", std::nullopt),
            h("HOME", "/home/p");
        EXPECT_EQ(paths::resolveDataDir(), "/home/p/.local/share/Plumbrix");
        EXPECT_EQ(paths::resolveCacheDir(), "/home/p/.cache/Plumbrix");
    }
    {
        const EnvVar x("XDG_DATA_HOME", std::nullopt), h("HOME", "");
        EXPECT_EQ(paths::resolveDataDir(), "./.local/share/Plumbrix");
    }
    // The test program runs with its home in the build tree; the kept answers are created.
    const std::string data = paths::dataDir();
    EXPECT_NE(data.find(TARNWICK_TEST_TMP), std::string::npos);
    EXPECT_TRUE(platform::fs::isDir(data));
    EXPECT_TRUE(platform::fs::isDir(paths::cacheDir()));
    EXPECT_EQ(&paths::dataDir(), &paths::dataDir());
    EXPECT_TRUE(paths::ensureDir(data + "/x/y"));
    paths::prepareFontconfig();
}

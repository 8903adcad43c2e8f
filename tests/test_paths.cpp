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

using Env = std::optional<std::string>;

// The asset directory found with SNAP, APPDIR and PLUMBRIX_ASSET_DIR as given.
std::string resolveWith(const Env& snap, const Env& appdir, const Env& own) {
    const EnvVar s("SNAP", snap), a("APPDIR", appdir), p("PLUMBRIX_ASSET_DIR", own);
    return paths::resolveAssetDir();
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
    EXPECT_EQ(resolveWith(snap, appdir, own), snap + "/usr/share/Plumbrix");
    EXPECT_EQ(resolveWith("", appdir, own), appdir + "/usr/share/Plumbrix");
    EXPECT_EQ(resolveWith(std::nullopt, std::nullopt, own), own);
    // Fonts without audio is not an asset tree.
    makeAssetTree(base + "/half", false);
    EXPECT_NE(resolveWith(std::nullopt, std::nullopt, base + "/half"), base + "/half");
    // The working directory is the last candidate; with none at all, the executable's
    // directory. (Either is checked only where no real install would be found first.)
    const auto anyDir = [](std::initializer_list<std::string> dirs) {
        for (const std::string& d : dirs)
            if (platform::fs::isDir(d)) return true;
        return false;
    };
    const bool realInstall =
        anyDir({"/usr/share/Plumbrix/assets/fonts", "/app/share/Plumbrix/assets/fonts"});
    makeAssetTree(empty);
    if (!realInstall) {
        EXPECT_EQ(resolveWith(std::nullopt, std::nullopt, std::nullopt), ".");
    }
    ASSERT_TRUE(platform::fs::remove(empty + "/assets/fonts"));
    ASSERT_TRUE(platform::fs::remove(empty + "/assets/audio"));
    ASSERT_TRUE(platform::fs::remove(empty + "/assets"));
    const std::string exe = paths::exeDir();
    if (!realInstall &&
        !anyDir({exe + "/assets/fonts", exe + "/../assets/fonts", exe + "/../share/Plumbrix"})) {
        EXPECT_EQ(resolveWith(std::nullopt, std::nullopt, std::nullopt), exe);
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

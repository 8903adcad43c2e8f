// Asset and data directories: the order of the asset candidates and the XDG rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/fs.h"
#include "platform/paths.h"
#include "support/tmpdir.h"

namespace {

using Env = std::optional<std::string>;

// Sets or clears an environment variable for the lifetime of the object.
struct EnvVar {
    const char* name;
    Env old;
    EnvVar(const char* n, const Env& value) : name(n) {
        if (const char* o = std::getenv(n)) old = o;
        value ? ::setenv(n, value->c_str(), 1) : ::unsetenv(n);
    }
    ~EnvVar() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
};

}  // namespace

TEST(Paths, AssetCandidatesInOrder) {
    const std::string base = testsupport::freshDir("paths-assets");
    for (const char* tree : {"/snap/usr/share/Plumbrix", "/appdir/usr/share/Plumbrix", "/own"})
        for (const char* sub : {"/assets/fonts", "/assets/audio"})
            ASSERT_TRUE(platform::fs::ensureDir(base + tree + sub));
    ASSERT_TRUE(platform::fs::ensureDir(base + "/half/assets/fonts"));  // no audio: no tree
    const auto resolve = [](const Env& snap, const Env& appdir, const Env& own) {
        const EnvVar s("SNAP", snap), a("APPDIR", appdir), p("PLUMBRIX_ASSET_DIR", own);
        return paths::resolveAssetDir();
    };
    EXPECT_EQ(resolve(base + "/snap", base + "/appdir", base + "/own"),
              base + "/snap/usr/share/Plumbrix");
    EXPECT_EQ(resolve("", base + "/appdir", base + "/own"), base + "/appdir/usr/share/Plumbrix");
    EXPECT_EQ(resolve(std::nullopt, std::nullopt, base + "/own"), base + "/own");
    EXPECT_NE(resolve(std::nullopt, std::nullopt, base + "/half"), base + "/half");
    EXPECT_EQ(paths::asset("fonts/a.ttf"), paths::assetDir() + "/fonts/a.ttf");
    EXPECT_TRUE(platform::fs::isFile(paths::exeDir() + "/tarnwick_tests"));
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
    // The test program's home is in the build tree; the kept answers are created.
    EXPECT_NE(paths::dataDir().find(TARNWICK_TEST_TMP), std::string::npos);
    EXPECT_TRUE(platform::fs::isDir(paths::dataDir()));
    EXPECT_TRUE(platform::fs::isDir(paths::cacheDir()));
}

#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/fs.h"

namespace paths {

namespace {

// The variable's value; an unset and an empty variable are the same.
std::string envOr(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool looksLikeAssetDir(const std::string& dir) {
    return platform::fs::isDir(dir + "/assets/fonts") && platform::fs::isDir(dir + "/assets/audio");
}

// XDG base directory: $xdgVar/Plumbrix, else $HOME (or ".") + homeRel + "/Plumbrix".
std::string xdgDir(const char* xdgVar, const char* homeRel) {
    std::string dir = envOr(xdgVar);
    if (dir.empty()) {
        dir = envOr("HOME");
        if (dir.empty()) dir.push_back('.');
        dir.append(homeRel);
    }
    dir.append("/Plumbrix");
    return dir;
}

}  // namespace

std::string exeDir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    const std::string path(buf, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash);
}

std::string resolveAssetDir() {
    const std::string exe = exeDir();
    std::vector<std::string> candidates;
    // Bundles first: inside a snap or an AppImage the bundle's own tree must win over
    // whatever the environment or the host system offers.
    if (const std::string snap = envOr("SNAP"); !snap.empty())
        candidates.push_back(snap + "/usr/share/Plumbrix");
    if (const std::string appdir = envOr("APPDIR"); !appdir.empty())
        candidates.push_back(appdir + "/usr/share/Plumbrix");
    if (const std::string dir = envOr("PLUMBRIX_ASSET_DIR"); !dir.empty())
        candidates.push_back(dir);
    candidates.push_back(exe + "/../share/Plumbrix");
    candidates.push_back("/usr/share/Plumbrix");
    candidates.push_back("/app/share/Plumbrix");
    candidates.push_back(exe);
    candidates.push_back(exe + "/..");
    candidates.push_back(".");
    for (const std::string& c : candidates)
        if (looksLikeAssetDir(c)) return c;
    return exe;
}

std::string resolveDataDir() {
    return xdgDir("XDG_DATA_HOME", "/.local/share");
}

std::string resolveCacheDir() {
    return xdgDir("XDG_CACHE_HOME", "/.cache");
}

const std::string& assetDir() {
    static const std::string dir = resolveAssetDir();
    return dir;
}

std::string asset(const std::string& rel) {
    return assetDir() + "/" + rel;
}

const std::string& dataDir() {
    // A failure to create it is not reported here: saves into it then fail quietly.
    static const std::string dir = [] {
        std::string d = resolveDataDir();
        platform::fs::ensureDir(d);
        return d;
    }();
    return dir;
}

const std::string& cacheDir() {
    static const std::string dir = [] {
        std::string d = resolveCacheDir();
        platform::fs::ensureDir(d);
        return d;
    }();
    return dir;
}

bool ensureDir(const std::string& path) {
    return platform::fs::ensureDir(path);
}

void prepareFontconfig() {}

}  // namespace paths

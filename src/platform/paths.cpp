#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace paths {
namespace {

std::string envOr(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

bool isDir(const std::string& p) {
    struct stat sb {};
    return ::stat(p.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode);
}

bool looksLikeAssetDir(const std::string& d) {
    return isDir(d + "/assets/fonts") && isDir(d + "/assets/audio");
}

std::string userDir(const char* xdgVar, const char* homeSuffix) {
    std::string dir = envOr(xdgVar);
    if (!dir.empty()) {
        dir.append("/Plumbrix");
        return dir;
    }
    dir = envOr("HOME");
    if (dir.empty()) dir.push_back('.');
    dir.append(homeSuffix);
    return dir;
}

}  // namespace

std::string exeDir() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    const std::string p(buf, static_cast<size_t>(n));
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? "." : p.substr(0, slash);
}

const std::string& assetDir() {
    static const std::string dir = [] {
        std::vector<std::string> candidates;
        auto addUnder = [&candidates](const char* var, const char* suffix) {
            std::string base = envOr(var);
            if (base.empty()) return;
            base.append(suffix);
            candidates.push_back(base);
        };
        addUnder("SNAP", "/usr/share/Plumbrix");
        addUnder("APPDIR", "/usr/share/Plumbrix");
        addUnder("PLUMBRIX_ASSET_DIR", "");
        const std::string exe = exeDir();
        candidates.push_back(exe + "/../share/Plumbrix");
        candidates.push_back("/usr/share/Plumbrix");
        candidates.push_back("/app/share/Plumbrix");
        candidates.push_back(exe);
        candidates.push_back(exe + "/..");
        candidates.push_back(".");
        for (const std::string& c : candidates)
            if (looksLikeAssetDir(c)) return c;
        return exe;
    }();
    return dir;
}

std::string asset(const std::string& rel) { return assetDir() + "/" + rel; }

const std::string& dataDir() {
    static const std::string dir = [] {
        std::string d = userDir("XDG_DATA_HOME", "/.local/share/Plumbrix");
        ensureDir(d);
        return d;
    }();
    return dir;
}

const std::string& cacheDir() {
    static const std::string dir = [] {
        std::string d = userDir("XDG_CACHE_HOME", "/.cache/Plumbrix");
        ensureDir(d);
        return d;
    }();
    return dir;
}

bool ensureDir(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        const std::string part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return isDir(path);
}

void prepareFontconfig() {}

}  // namespace paths

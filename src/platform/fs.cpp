#include "platform/fs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace platform::fs {

namespace stdfs = std::filesystem;

std::int64_t fileSize(const std::string& path) {
    if (path.empty()) return -1;
    std::error_code ec;
    if (!stdfs::is_regular_file(path, ec) || ec) return -1;
    const std::uintmax_t n = stdfs::file_size(path, ec);
    if (ec) return -1;
    return static_cast<std::int64_t>(n);
}

bool remove(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return stdfs::remove(path, ec) && !ec;
}

bool isFile(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return stdfs::is_regular_file(path, ec) && !ec;
}

bool isDir(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return stdfs::is_directory(path, ec) && !ec;
}

bool ensureDir(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    // Only the final test counts: a directory that already exists, or one that another
    // process created in between, is as good as one made here.
    stdfs::create_directories(path, ec);
    return isDir(path);
}

std::vector<std::string> listDir(const std::string& path) {
    std::vector<std::string> names;
    if (path.empty()) return names;
    std::error_code ec;
    stdfs::directory_iterator it(path, ec);
    if (ec) return names;
    for (const stdfs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace platform::fs

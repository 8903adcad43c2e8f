#include "support/tmpdir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testsupport {

namespace {

// Runs before main; a child test program gets its home through TARNWICK_TEST_HOME.
const bool kHomeRedirected = [] {
    const char* chosen = std::getenv("TARNWICK_TEST_HOME");
    const std::string home = chosen && *chosen
                                 ? std::string(chosen)
                                 : TARNWICK_TEST_TMP "/home-" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    return true;
}();

}  // namespace

std::string freshDir(const std::string& name) {
    const std::string dir = TARNWICK_TEST_TMP "/" + name + "-" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

}  // namespace testsupport

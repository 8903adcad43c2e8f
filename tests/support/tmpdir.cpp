#include "support/tmpdir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testsupport {

namespace {

std::string root() {
    return TARNWICK_TEST_TMP;
}

// Runs before main: everything that asks for a home or data directory gets a scratch one.
// A test that starts the test program as a child picks the child's home through
// TARNWICK_TEST_HOME.
const bool kHomeRedirected = [] {
    const char* chosen = std::getenv("TARNWICK_TEST_HOME");
    const std::string home =
        chosen && *chosen ? std::string(chosen) : root() + "/home-" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
    return true;
}();

}  // namespace

std::string freshDir(const std::string& name) {
    const std::string dir = root() + "/" + name + "-" + std::to_string(::getpid());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace testsupport

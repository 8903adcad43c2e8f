#include "support/child.h"

#include <unistd.h>

#include <cstdio>

namespace testsupport {

bool runChild(const std::string& var, const std::string& value, const std::string& filter,
              std::string* output) {
    char exe[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    const std::string cmd =
        var + "='" + value + "' '" + std::string(exe, n) + "' --gtest_filter='" + filter + "' 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr) return false;
    char buf[512];
    while (std::fgets(buf, sizeof buf, pipe) != nullptr) *output += buf;
    const int status = ::pclose(pipe);
    return status == 0 && output->find("[  PASSED  ] 1 test") != std::string::npos &&
           output->find("[  FAILED  ]") == std::string::npos;
}

}  // namespace testsupport

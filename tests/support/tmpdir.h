// Scratch directories for tests that touch files. Loading this support code points HOME and
// the XDG directories of the whole test program into the build tree, so no test can ever
// write into the real home directory. TARNWICK_TEST_HOME, when set, names the scratch home.
#pragma once

#include <string>

namespace testsupport {

// An empty directory of its own for the calling test: under the build tree's test-tmp,
// named after the test and the process, emptied when it already exists.
std::string freshDir(const std::string& name);

// The whole file as bytes; empty when it cannot be read.
std::string readBytes(const std::string& path);
// Writes bytes as the whole file; false when that failed.
bool writeBytes(const std::string& path, const std::string& bytes);

}  // namespace testsupport

// Scratch directories. Loading this code points HOME and the XDG directories into the build
// tree (or TARNWICK_TEST_HOME), so no test can write into the real home directory.
#pragma once

#include <string>

namespace testsupport {

// An empty directory of the calling test under the build tree, named with the process id.
std::string freshDir(const std::string& name);
std::string readBytes(const std::string& path);  // empty when unreadable
bool writeBytes(const std::string& path, const std::string& bytes);

}  // namespace testsupport

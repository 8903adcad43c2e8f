// Things read once per process (environment switches) are tested in a child: this test
// program started again with one variable set and a filter.
#pragma once

#include <string>

namespace testsupport {

// True when exactly one test ran and passed; its output is appended to *output.
bool runChild(const std::string& var, const std::string& value, const std::string& filter,
              std::string* output);

}  // namespace testsupport

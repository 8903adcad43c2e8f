// Tests of things read once per process (environment switches) run in a child: this
// test program started again with one variable set and a filter.
#pragma once

#include <string>

namespace testsupport {

// Runs this test program once more with var=value and only the tests matching filter;
// true when exactly one test ran and passed. Its output is appended to *output.
bool runChild(const std::string& var, const std::string& value, const std::string& filter,
              std::string* output);

}  // namespace testsupport

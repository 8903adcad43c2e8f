#pragma once

#include <string>
#include <vector>

#include "core/grid.h"

namespace testsupport {

// A board drawn as rows of whitespace-separated cells: "." is empty, numbers are values.
core::Board boardFrom(const std::vector<std::string>& rows);

}  // namespace testsupport

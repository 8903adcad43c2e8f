// Boards for rule tests written as pictures.
#pragma once

#include <string>
#include <vector>

#include "core/grid.h"

namespace testsupport {

// A board from rows of whitespace-separated cells: "." is empty, numbers are cell values.
core::Board boardFrom(const std::vector<std::string>& rows);

}  // namespace testsupport

// Scenario builders for rule tests: boards written as pictures, random boards.
#pragma once

#include <string>
#include <vector>

#include "core/grid.h"

namespace testsupport {

// A board from rows of whitespace-separated cells: "." is empty, digits are colours.
// Every row must have the same number of cells.
core::Board boardFrom(const std::vector<std::string>& rows);

// A random 14 x 11 style board: each cell filled with probability fill, colours 0..colours-1.
core::Board randomBoard(core::Mulberry32& rnd, int rows, int cols, double fill, int colours);

// True when every occupied cell can reach the first occupied row through occupied cells.
bool allConnectedToAnchor(const core::Board& b);

}  // namespace testsupport

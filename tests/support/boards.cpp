#include "support/boards.h"

#include <sstream>

namespace testsupport {

core::Board boardFrom(const std::vector<std::string>& rows) {
    core::Board b;
    for (const std::string& line : rows) {
        std::istringstream in(line);
        std::vector<int> row;
        for (std::string cell; in >> cell;) row.push_back(cell == "." ? -1 : std::stoi(cell));
        b.push_back(row);
    }
    return b;
}

}  // namespace testsupport

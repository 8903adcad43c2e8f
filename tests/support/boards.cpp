#include "support/boards.h"

#include <sstream>

namespace testsupport {

core::Board boardFrom(const std::vector<std::string>& rows) {
    core::Board b;
    for (const std::string& line : rows) {
        std::istringstream in(line);
        std::vector<int> row;
        std::string cell;
        while (in >> cell) row.push_back(cell == "." ? -1 : std::stoi(cell));
        b.push_back(row);
    }
    return b;
}

core::Board randomBoard(core::Mulberry32& rnd, int rows, int cols, double fill, int colours) {
    core::Board b = core::makeEmptyBoard(rows, cols);
    for (auto& row : b)
        for (int& v : row)
            if (rnd.next() < fill) v = rnd.nextInt(colours);
    return b;
}

bool allConnectedToAnchor(const core::Board& b) {
    const int rows = static_cast<int>(b.size());
    const int cols = rows ? static_cast<int>(b[0].size()) : 0;
    int anchor = -1;
    for (int r = 0; r < rows && anchor < 0; ++r)
        for (int c = 0; c < cols; ++c)
            if (b[r][c] != -1) anchor = r;
    if (anchor < 0) return true;
    std::vector<std::vector<bool>> seen(rows, std::vector<bool>(cols, false));
    std::vector<core::RC> todo;
    for (int c = 0; c < cols; ++c)
        if (b[anchor][c] != -1) {
            seen[anchor][c] = true;
            todo.push_back({anchor, c});
        }
    // Breadth-first, independent of the depth-first search under test.
    for (std::size_t i = 0; i < todo.size(); ++i) {
        const core::RC cur = todo[i];
        const bool odd = cur.r & 1;
        const int dr[6] = {0, 0, -1, -1, 1, 1};
        const int dcOdd[6] = {-1, 1, 0, 1, 0, 1};
        const int dcEven[6] = {-1, 1, -1, 0, -1, 0};
        for (int k = 0; k < 6; ++k) {
            const int r = cur.r + dr[k];
            const int c = cur.c + (odd ? dcOdd[k] : dcEven[k]);
            if (r < 0 || r >= rows || c < 0 || c >= cols || b[r][c] == -1 || seen[r][c]) continue;
            seen[r][c] = true;
            todo.push_back({r, c});
        }
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (b[r][c] != -1 && !seen[r][c]) return false;
    return true;
}

}  // namespace testsupport

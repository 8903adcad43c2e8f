#include "core/grid.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <set>

namespace core {

namespace {

// The six neighbours without allocating; same order as neighbors().
struct Six {
    RC at[6];
};

Six sixNeighbors(int r, int c, int parity) {
    if (rowShifted(r, parity)) {
        return {{{r, c - 1}, {r, c + 1}, {r - 1, c}, {r - 1, c + 1}, {r + 1, c}, {r + 1, c + 1}}};
    }
    return {{{r, c - 1}, {r, c + 1}, {r - 1, c - 1}, {r - 1, c}, {r + 1, c - 1}, {r + 1, c}}};
}

bool inGrid(int r, int c, int rows, int cols) {
    return r >= 0 && r < rows && c >= 0 && c < cols;
}

// A cell that exists on the board and is exactly empty. Cells that a ragged or short
// board lacks are never free, so nothing is ever written outside the board.
bool isFree(const Board& b, int r, int c) {
    if (r < 0 || c < 0 || static_cast<std::size_t>(r) >= b.size()) return false;
    const auto& row = b[static_cast<std::size_t>(r)];
    return static_cast<std::size_t>(c) < row.size() && row[static_cast<std::size_t>(c)] == -1;
}

double dist2(Point p, double x, double y) {
    const double dx = p.x - x;
    const double dy = p.y - y;
    return dx * dx + dy * dy;
}

// Rounds a coordinate estimate to an int without undefined behaviour for non-finite or
// huge values: anything far outside the grid becomes a value that selects no candidate.
int roundedIndex(double v, int limit) {
    if (!std::isfinite(v)) return -1000000;
    const double lo = -1000000.0;
    const double hi = static_cast<double>(limit) + 1000000.0;
    return static_cast<int>(std::round(std::clamp(v, lo, hi)));
}

// Nearest free cell among the snap cell and its six neighbours; the snap cell wins ties,
// then the earlier neighbour.
Landing resolveSnap(RC snap, double x, double y, const Board& b, double R, int rows, int cols,
                    int parity, int topRow) {
    Landing best;
    double bestD = 0;
    auto consider = [&](int r, int c) {
        if (r < topRow || !inGrid(r, c, rows, cols) || !isFree(b, r, c)) return;
        const double d = dist2(cellCenter(r, c, R, parity), x, y);
        if (!best.found || d < bestD) {
            best = {true, r, c};
            bestD = d;
        }
    };
    consider(snap.r, snap.c);
    for (const RC& n : sixNeighbors(snap.r, snap.c, parity).at) consider(n.r, n.c);
    return best;
}

// Reusable scratch for the searches: boards are small, so one flag per cell.
struct Visited {
    int rows = 0, cols = 0;
    std::vector<unsigned char> flag;
    Visited(int r, int c) : rows(r), cols(c), flag(static_cast<std::size_t>(r) * c, 0) {}
    unsigned char& at(int r, int c) { return flag[static_cast<std::size_t>(r) * cols + c]; }
};

// Draws a colour the way the top-row spawner does.
int drawColor(Mulberry32& rnd, int numColors) {
    return numColors <= 0 ? 0 : rnd.nextInt(numColors);
}

}  // namespace

double Mulberry32::next() {
    state_ += 0x6D2B79F5u;
    std::uint32_t t = state_;
    t = (t ^ (t >> 15)) * (t | 1u);
    t = t ^ (t + (t ^ (t >> 7)) * (t | 61u));
    const std::uint32_t u = t ^ (t >> 14);
    return static_cast<double>(u) / 4294967296.0;
}

int Mulberry32::nextInt(int n) {
    const int k = static_cast<int>(next() * n);
    return k < n ? k : n - 1;
}

Board makeEmptyBoard(int rows, int cols) {
    if (rows <= 0) return {};
    return Board(static_cast<std::size_t>(rows),
                 std::vector<int>(static_cast<std::size_t>(std::max(cols, 0)), -1));
}

bool isBoardEmpty(const Board& b) {
    for (const auto& row : b)
        for (int v : row)
            if (v != -1) return false;
    return true;
}

bool rowShifted(int r, int parity) { return ((r + (parity & 1)) & 1) != 0; }

std::vector<RC> neighbors(int r, int c, int parity) {
    const Six s = sixNeighbors(r, c, parity);
    return std::vector<RC>(std::begin(s.at), std::end(s.at));
}

Point cellCenter(int r, int c, double R, int parity) {
    const double offset = rowShifted(r, parity) ? R : 0.0;
    return {2.0 * c * R + R + offset, r * kSqrt3 * R + R};
}

double gridWidth(int cols, double R) { return (2.0 * cols + 1.0) * R; }

RC pixelToCell(double x, double y, int rows, int cols, double R, int parity) {
    const int r0 = roundedIndex((y - R) / (kSqrt3 * R), rows);
    RC best{0, 0};
    bool found = false;
    double bestD = 0;
    for (int r = r0 - 1; r <= r0 + 1; ++r) {
        if (r < 0 || r >= rows) continue;
        const double offset = rowShifted(r, parity) ? R : 0.0;
        const int c0 = roundedIndex((x - R - offset) / (2.0 * R), cols);
        for (int c = c0 - 1; c <= c0 + 1; ++c) {
            if (c < 0 || c >= cols) continue;
            const double d = dist2(cellCenter(r, c, R, parity), x, y);
            if (!found || d < bestD) {
                best = {r, c};
                bestD = d;
                found = true;
            }
        }
    }
    return best;
}

int boardRows(const Board& b) { return static_cast<int>(b.size()); }

int boardCols(const Board& b) { return b.empty() ? 0 : static_cast<int>(b[0].size()); }

int cellAt(const Board& b, int r, int c) {
    if (r < 0 || c < 0 || static_cast<std::size_t>(r) >= b.size()) return -1;
    const auto& row = b[static_cast<std::size_t>(r)];
    return static_cast<std::size_t>(c) < row.size() ? row[static_cast<std::size_t>(c)] : -1;
}

void stepShot(ShotState& s, double dtMs, double R, double fieldLeft, double fieldRight) {
    s.x += s.vx * dtMs / 1000.0;
    s.y += s.vy * dtMs / 1000.0;
    if (s.x < fieldLeft + R) {
        s.x = fieldLeft + R;
        s.vx = std::fabs(s.vx);
    }
    if (s.x > fieldRight - R) {
        s.x = fieldRight - R;
        s.vx = -std::fabs(s.vx);
    }
}

Landing tryLand(const ShotState& s, const Board& b, double R, int rows, int cols,
                double ceilingY, int parity, int topRow) {
    if (s.y - R <= ceilingY) {
        const double y = ceilingY + R;
        return resolveSnap(pixelToCell(s.x, y, rows, cols, R, parity), s.x, y, b, R, rows, cols,
                           parity, topRow);
    }
    if (rows < 1) return {};

    // Contact: the topmost, then leftmost, marble within 2R. Only rows whose centres lie
    // within 2R of the marble's height can hold it, so the scan starts and ends there.
    const double touch = 4.0 * R * R;
    bool touching = false;
    RC contact;
    const double rowPitch = kSqrt3 * R;
    const double firstRow = std::floor((s.y - 3.0 * R) / rowPitch);
    const double lastRow = std::ceil((s.y + R) / rowPitch);
    if (!(firstRow <= lastRow)) return {};  // not a number
    const int rFrom = static_cast<int>(std::clamp(firstRow, 0.0, static_cast<double>(boardRows(b))));
    const int rTo = static_cast<int>(std::clamp(lastRow + 1, 0.0, static_cast<double>(boardRows(b))));
    for (int r = rFrom; r < rTo && !touching; ++r) {
        const auto& row = b[static_cast<std::size_t>(r)];
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            if (row[static_cast<std::size_t>(c)] == -1) continue;
            if (dist2(cellCenter(r, c, R, parity), s.x, s.y) <= touch) {
                contact = {r, c};
                touching = true;
                break;
            }
        }
    }
    if (!touching) return {};

    const Landing snapped = resolveSnap(pixelToCell(s.x, s.y, rows, cols, R, parity), s.x, s.y, b,
                                        R, rows, cols, parity, topRow);
    if (snapped.found) return snapped;

    // Fallback: the nearest free neighbour of the touched marble.
    Landing best;
    double bestD = 0;
    for (const RC& n : sixNeighbors(contact.r, contact.c, parity).at) {
        if (n.r < topRow || !inGrid(n.r, n.c, rows, cols) || !isFree(b, n.r, n.c)) continue;
        const double d = dist2(cellCenter(n.r, n.c, R, parity), s.x, s.y);
        if (!best.found || d < bestD) {
            best = {true, n.r, n.c};
            bestD = d;
        }
    }
    return best;
}

std::vector<RC> sameColorCluster(const Board& b, int r0, int c0, int parity) {
    const int rows = boardRows(b);
    const int cols = boardCols(b);
    std::vector<RC> out;
    if (!inGrid(r0, c0, rows, cols)) return out;
    const int colour = cellAt(b, r0, c0);
    if (colour < 0) return out;

    Visited seen(rows, cols);
    std::vector<RC> stack;
    stack.reserve(32);
    stack.push_back({r0, c0});
    while (!stack.empty()) {
        const RC cur = stack.back();
        stack.pop_back();
        unsigned char& mark = seen.at(cur.r, cur.c);
        if (mark) continue;
        mark = 1;
        if (cellAt(b, cur.r, cur.c) != colour) continue;
        out.push_back(cur);
        for (const RC& n : sixNeighbors(cur.r, cur.c, parity).at) {
            if (inGrid(n.r, n.c, rows, cols) && !seen.at(n.r, n.c)) stack.push_back(n);
        }
    }
    return out;
}

std::vector<RC> floatingBubbles(const Board& b, int parity, int ceilingRow) {
    const int rows = boardRows(b);
    const int cols = boardCols(b);
    std::vector<RC> out;
    if (rows == 0 || cols == 0) return out;

    auto occupied = [&](int r, int c) { return cellAt(b, r, c) != -1; };
    int anchor = ceilingRow;
    for (int r = 0; r < rows && anchor < 0; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (occupied(r, c)) {
                anchor = r;
                break;
            }
        }
    }
    if (anchor < 0) return out;

    Visited reached(rows, cols);
    std::vector<RC> stack;
    stack.reserve(static_cast<std::size_t>(rows) * cols);
    for (int r = 0; r <= anchor && r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            if (occupied(r, c)) {
                reached.at(r, c) = 1;
                stack.push_back({r, c});
            }
        }
    }
    while (!stack.empty()) {
        const RC cur = stack.back();
        stack.pop_back();
        for (const RC& n : sixNeighbors(cur.r, cur.c, parity).at) {
            if (!inGrid(n.r, n.c, rows, cols) || !occupied(n.r, n.c)) continue;
            unsigned char& mark = reached.at(n.r, n.c);
            if (mark) continue;
            mark = 1;
            stack.push_back(n);
        }
    }
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (occupied(r, c) && !reached.at(r, c)) out.push_back({r, c});
    return out;
}

std::vector<int> colorsOnBoard(const Board& b) {
    std::set<int> seen;
    for (const auto& row : b)
        for (int v : row)
            if (v >= 0) seen.insert(v);
    return {seen.begin(), seen.end()};
}

int scoreForPop(int n, int floaters) {
    if (n < 3) return 0;
    // Computed wide from bounded counts and clamped, so absurd counts cannot overflow.
    const long long nn = std::min(n, 1000000);
    const long long extra = nn - 3;
    const long long pts = 10 * (nn + extra * extra) + 20LL * std::clamp(floaters, 0, 1000000);
    return static_cast<int>(std::clamp<long long>(pts, -2147483647LL, 2147483647LL));
}

bool pushCeilingDown(Board& b, int dRows, int lossRow) {
    if (dRows < 1 || b.empty()) return false;
    const int rows = boardRows(b);
    const int cols = boardCols(b);
    bool reached = false;
    for (int r = rows - 1; r >= 0; --r) {
        auto& row = b[static_cast<std::size_t>(r)];
        const int src = r - dRows;  // dRows >= 1, so no overflow for r >= 0
        for (int c = 0; c < cols && c < static_cast<int>(row.size()); ++c) {
            const int v = src >= 0 ? cellAt(b, src, c) : -1;
            row[static_cast<std::size_t>(c)] = v;
            if (v != -1 && r >= lossRow) reached = true;
        }
    }
    return reached;
}

bool spawnTopRows(Board& b, int count, int numColors, Mulberry32& rnd, int lossRow,
                  int parity) {
    if (count < 1) return false;
    const int rows = boardRows(b);
    count = std::min(count, rows);
    pushCeilingDown(b, count, lossRow);
    const int cols = boardCols(b);
    for (int r = 0; r < count; ++r) {
        auto& row = b[static_cast<std::size_t>(r)];
        for (int c = 0; c < cols && c < static_cast<int>(row.size()); ++c)
            row[static_cast<std::size_t>(c)] = drawColor(rnd, numColors);
    }
    for (int r = 0; r < count; ++r) {
        auto& row = b[static_cast<std::size_t>(r)];
        for (int c = 0; c < cols && c < static_cast<int>(row.size()); ++c) {
            if (sameColorCluster(b, r, c, parity).size() < 5) continue;
            int& cell = row[static_cast<std::size_t>(c)];
            const int old = cell;
            int v = old;
            for (int k = 0; k < 6; ++k) {
                v = drawColor(rnd, numColors);
                if (v != old) break;
            }
            cell = v;
        }
    }
    for (int r = std::max(lossRow, 0); r < rows; ++r)
        for (int v : b[static_cast<std::size_t>(r)])
            if (v != -1) return true;
    return false;
}

Board generateStartingBoard(int numColors, int startingMarbles, std::uint32_t seed, int rows,
                            int cols) {
    Board b = makeEmptyBoard(rows, cols);
    if (b.empty() || cols <= 0) return b;
    const std::uint32_t colours = static_cast<std::uint32_t>(std::max(numColors, 1));
    std::uint32_t s = seed == 0 ? 1u : seed;
    auto draw = [&]() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return static_cast<int>(s % colours);
    };

    const long long cells = static_cast<long long>(rows) * cols;
    const long long target = std::clamp<long long>(startingMarbles, 0, cells);
    long long filled = 0;
    for (int r = 0; r < rows && filled < target; ++r)
        for (int c = 0; c < cols && filled < target; ++c, ++filled)
            b[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = draw();

    for (int pass = 0; pass < 6; ++pass) {
        bool changed = false;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                int& cell = b[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
                if (cell < 0 || sameColorCluster(b, r, c).size() < 5) continue;
                const int old = cell;
                int v = old;
                for (int k = 0; k < 6; ++k) {
                    v = draw();
                    if (v != old) break;
                }
                cell = v;
                changed = true;
            }
        }
        if (!changed) break;
    }
    return b;
}

}  // namespace core

// The level catalogue: configuration of campaign levels and of the arcade mode, the star
// rating, levelBoard's copy of the records, and the level validator that checks every one
// of the 100 compiled-in records against the properties the campaign promises and prints
// a per-level report (also written to <build>/levels-report.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/grid.h"
#include "core/levels.h"
#include "core/levels_data.h"

using core::Board;
using core::LevelConfig;
using core::RC;
namespace ld = core::levels_data;

// ---- configuration ------------------------------------------------------------------

TEST(LevelConfig, FirstLevelAndAMidCampaignLevel) {
    const LevelConfig c = core::levelConfig(0);
    EXPECT_EQ(c.flat, 0);
    EXPECT_EQ(c.stage, 0);
    EXPECT_EQ(c.idx, 0);
    EXPECT_EQ(c.numColors, 4);
    EXPECT_EQ(c.cols, 11);
    EXPECT_EQ(c.rows, 14);
    EXPECT_EQ(c.startingMarbles, 22);
    EXPECT_EQ(c.targetScore, 660);
    EXPECT_EQ(c.optimumMarbles, 12);
    EXPECT_EQ(c.paletteOffset, 0);
    EXPECT_EQ(c.lossRow, 13);
    EXPECT_EQ(c.shotsPerDescent, 6);
    EXPECT_FALSE(c.arcade);

    const LevelConfig f = core::levelConfig(54);
    EXPECT_EQ(f.stage, 5);
    EXPECT_EQ(f.idx, 4);
    EXPECT_EQ(f.numColors, 6);
    EXPECT_EQ(f.startingMarbles, 55);
    EXPECT_EQ(f.targetScore, 1650);
    // 11 x 5 / 2.5 is exactly 22: the ceiling must not round an exact quotient up.
    EXPECT_EQ(f.optimumMarbles, 25);
    EXPECT_EQ(f.shotsPerDescent, 4);
    EXPECT_EQ(f.paletteOffset, 24);
}

TEST(LevelConfig, OutOfRangeLevelsAreClamped) {
    EXPECT_EQ(core::levelConfig(-5), core::levelConfig(0));
    EXPECT_EQ(core::levelConfig(-2147483647 - 1), core::levelConfig(0));
    EXPECT_EQ(core::levelConfig(150), core::levelConfig(99));
    EXPECT_EQ(core::levelConfig(2147483647), core::levelConfig(99));
    const LevelConfig last = core::levelConfig(150);
    EXPECT_EQ(last.flat, 99);
    EXPECT_EQ(last.stage, 9);
    EXPECT_EQ(last.idx, 9);
    EXPECT_EQ(last.paletteOffset, 54);
    EXPECT_EQ(last.numColors, 6);
}

TEST(LevelConfig, IntegerDivisionSteps) {
    // Colours and descent period step every 20 levels.
    EXPECT_EQ(core::levelConfig(19).numColors, 4);
    EXPECT_EQ(core::levelConfig(20).numColors, 5);
    EXPECT_EQ(core::levelConfig(39).numColors, 5);
    EXPECT_EQ(core::levelConfig(40).numColors, 6);
    EXPECT_EQ(core::levelConfig(99).numColors, 6);
    EXPECT_EQ(core::levelConfig(19).shotsPerDescent, 6);
    EXPECT_EQ(core::levelConfig(20).shotsPerDescent, 5);
    EXPECT_EQ(core::levelConfig(59).shotsPerDescent, 4);
    EXPECT_EQ(core::levelConfig(60).shotsPerDescent, 3);
    EXPECT_EQ(core::levelConfig(99).shotsPerDescent, 3);
    // Fill rows step every 18 levels and stop at 6 from level 72.
    const int fills[][2] = {{17, 2}, {18, 3}, {35, 3}, {36, 4}, {53, 4}, {54, 5}, {71, 5}, {72, 6}};
    const int optimum[] = {0, 0, 12, 17, 21, 25, 30};
    for (const auto& [flat, rows] : fills) {
        const LevelConfig c = core::levelConfig(flat);
        EXPECT_EQ(c.startingMarbles, 11 * rows) << "level " << flat;
        EXPECT_EQ(c.targetScore, 330 * rows) << "level " << flat;
        EXPECT_EQ(c.optimumMarbles, optimum[rows]) << "level " << flat;
    }
    EXPECT_EQ(core::levelConfig(71).startingMarbles, 55);
    EXPECT_EQ(core::levelConfig(72).startingMarbles, 66);
    EXPECT_EQ(core::levelConfig(99).targetScore, 1980);
    EXPECT_EQ(core::levelConfig(99).optimumMarbles, 30);
    // Stage and position within it.
    EXPECT_EQ(core::levelConfig(9).stage, 0);
    EXPECT_EQ(core::levelConfig(10).stage, 1);
    EXPECT_EQ(core::levelConfig(10).idx, 0);
    EXPECT_EQ(core::levelConfig(37).paletteOffset, 5 * 7);
}

TEST(ArcadeConfig, ProgressSteps) {
    const LevelConfig a = core::arcadeConfig(0);
    EXPECT_TRUE(a.arcade);
    EXPECT_EQ(a.flat, 0);
    EXPECT_EQ(a.stage, 0);
    EXPECT_EQ(a.idx, 0);
    EXPECT_EQ(a.numColors, 4);
    EXPECT_EQ(a.cols, 11);
    EXPECT_EQ(a.rows, 14);
    EXPECT_EQ(a.startingMarbles, 44);
    EXPECT_EQ(a.lossRow, 13);
    EXPECT_EQ(a.targetScore, 0);
    EXPECT_EQ(a.optimumMarbles, 0);
    EXPECT_EQ(a.paletteOffset, 0);
    EXPECT_EQ(a.shotsPerDescent, 0);

    EXPECT_EQ(core::arcadeConfig(24).stage, 0);
    EXPECT_EQ(core::arcadeConfig(25).stage, 1);
    EXPECT_EQ(core::arcadeConfig(224).stage, 8);
    EXPECT_EQ(core::arcadeConfig(225).stage, 9);
    EXPECT_EQ(core::arcadeConfig(240).stage, 9);
    EXPECT_EQ(core::arcadeConfig(100000).stage, 9);
    EXPECT_EQ(core::arcadeConfig(59).numColors, 4);
    EXPECT_EQ(core::arcadeConfig(60).numColors, 5);
    EXPECT_EQ(core::arcadeConfig(119).numColors, 5);
    EXPECT_EQ(core::arcadeConfig(120).numColors, 6);
    EXPECT_EQ(core::arcadeConfig(240).numColors, 6);  // 4 + 240 / 60 = 8, capped
    // Negative progress counts as none: a stage of -1 would address no obstacle layout
    // and no world.
    EXPECT_EQ(core::arcadeConfig(-30), core::arcadeConfig(0));
}

TEST(ArcadeConfig, ShotsPerDropAndSpeedLevel) {
    EXPECT_EQ(core::arcadeShotsPerDrop(0), 8);
    EXPECT_EQ(core::arcadeShotsPerDrop(39), 8);
    EXPECT_EQ(core::arcadeShotsPerDrop(40), 7);
    EXPECT_EQ(core::arcadeShotsPerDrop(159), 5);
    EXPECT_EQ(core::arcadeShotsPerDrop(160), 4);
    EXPECT_EQ(core::arcadeShotsPerDrop(1000), 4);
    EXPECT_EQ(core::arcadeShotsPerDrop(-100), 8);
    EXPECT_EQ(core::arcadeSpeedLevel(0), 1);
    EXPECT_EQ(core::arcadeSpeedLevel(24), 1);
    EXPECT_EQ(core::arcadeSpeedLevel(25), 2);
    EXPECT_EQ(core::arcadeSpeedLevel(49), 2);
    EXPECT_EQ(core::arcadeSpeedLevel(50), 3);
    EXPECT_EQ(core::arcadeSpeedLevel(-1), 1);
}

TEST(StarRating, ClampsFreedOrbs) {
    EXPECT_EQ(core::starsForOrbs(5, 3), 3);
    EXPECT_EQ(core::starsForOrbs(-1, 3), 0);
    EXPECT_EQ(core::starsForOrbs(0, 0), 3);
    EXPECT_EQ(core::starsForOrbs(0, -2), 3);
    EXPECT_EQ(core::starsForOrbs(0, 3), 0);
    EXPECT_EQ(core::starsForOrbs(1, 3), 1);
    EXPECT_EQ(core::starsForOrbs(2, 3), 2);
    EXPECT_EQ(core::starsForOrbs(3, 3), 3);
    // Clamped to 0..3, not to the number of orbs.
    EXPECT_EQ(core::starsForOrbs(2, 1), 2);
}

// ---- levelBoard -----------------------------------------------------------------------

TEST(LevelBoard, CopiesEveryRecordExactly) {
    for (int i = 0; i < ld::kLevelCount; ++i) {
        SCOPED_TRACE("level " + std::to_string(i));
        const ld::Level& rec = ld::kLevels[i];
        const core::LevelBoard lb = core::levelBoard(i);
        ASSERT_EQ(lb.board.size(), 14u);
        for (int r = 0; r < 14; ++r) {
            ASSERT_EQ(lb.board[r].size(), 11u);
            for (int c = 0; c < 11; ++c) EXPECT_EQ(lb.board[r][c], int{rec.board[r][c]});
        }
        ASSERT_EQ(static_cast<int>(lb.incomingRows.size()), rec.incomingCount);
        for (int j = 0; j < rec.incomingCount; ++j) {
            ASSERT_EQ(lb.incomingRows[j].size(), 11u);
            for (int c = 0; c < 11; ++c) EXPECT_EQ(lb.incomingRows[j][c], int{rec.incoming[j][c]});
        }
        ASSERT_EQ(static_cast<int>(lb.starOrbs.size()), rec.starOrbCount);
        for (int k = 0; k < rec.starOrbCount; ++k)
            EXPECT_EQ(lb.starOrbs[k], (RC{rec.starOrbs[k][0], rec.starOrbs[k][1]}));
        EXPECT_EQ(lb.bubbles, rec.bubbles);
    }
}

TEST(LevelBoard, EmptyCellsAreSignExtended) {
    // An empty byte is 0xFF; it must come out as -1, never as 255.
    const core::LevelBoard lb = core::levelBoard(4);
    EXPECT_EQ(lb.board[0][0], -1);
    EXPECT_EQ(lb.board[13][10], -1);
    EXPECT_EQ(lb.incomingRows[0][0], -1);
    for (const auto& row : lb.board)
        for (int v : row) EXPECT_GE(v, -1);
}

TEST(LevelBoard, OutOfRangeLevelsAreClamped) {
    const auto same = [](const core::LevelBoard& a, const core::LevelBoard& b) {
        return a.board == b.board && a.incomingRows == b.incomingRows && a.starOrbs == b.starOrbs &&
               a.bubbles == b.bubbles;
    };
    EXPECT_TRUE(same(core::levelBoard(100), core::levelBoard(99)));
    EXPECT_TRUE(same(core::levelBoard(-3), core::levelBoard(0)));
    EXPECT_FALSE(same(core::levelBoard(98), core::levelBoard(99)));
}

// ---- the level validator ----------------------------------------------------------------

namespace {

constexpr int kRows = ld::kBoardRows;
constexpr int kCols = ld::kBoardCols;
constexpr int kMaxOrbRow = 17;

// Marbles per level (the first block varies) and incoming rows per block.
constexpr std::array<int, 10> kFirstBlockBubbles = {88, 88, 58, 55, 11, 19, 88, 88, 17, 14};
constexpr std::array<int, 10> kBlockBubbles = {0, 99, 91, 81, 38, 44, 187, 198, 37, 92};
constexpr std::array<int, 10> kBlockIncoming = {3, 4, 6, 7, 9, 10, 12, 13, 15, 16};
// The opening: at most this many lone marbles where the first shots land, and at most
// one lone marble in eight on the whole starting board.
constexpr int kMaxOpenSingles = 2;

int expectedBubbles(int i) {
    return i < 10 ? kFirstBlockBubbles[i] : kBlockBubbles[i / 10];
}
int expectedIncoming(int i) {
    return kBlockIncoming[i / 10];
}
int expectedColors(int i) {
    return std::min(4 + i / 20, 6);
}
int expectedBoardRows(int i) {
    return i == 9 ? 4 : 5;
}

bool rowEmpty(const std::int8_t (&row)[kCols]) {
    return std::all_of(row, row + kCols, [](std::int8_t v) { return v == -1; });
}

int marbles(const Board& b) {
    int n = 0;
    for (const auto& row : b)
        for (int v : row) n += v != -1;
    return n;
}

// The whole level as it hangs once k incoming rows have entered and nothing was popped:
// incoming rows k-1 .. 0 on top, then the starting board, on a board tall enough for all.
Board stackAfter(const ld::Level& rec, int k) {
    Board b = core::makeEmptyBoard(ld::kMaxIncoming + kRows, kCols);
    int r = 0;
    for (int j = k - 1; j >= 0; --j, ++r)
        for (int c = 0; c < kCols; ++c) b[r][c] = rec.incoming[j][c];
    for (int br = 0; br < kRows; ++br, ++r)
        for (int c = 0; c < kCols; ++c) b[r][c] = rec.board[br][c];
    return b;
}

// The field as the play screen holds it: a 14-row board, one descent per entering row
// (push the ceiling down, copy the next incoming row into row 0). tags marks
// where each marble came from: 'B' starting board, 'I' incoming row.
struct Field {
    Board board;
    std::vector<std::string> tags;
};

Field fieldAt(const ld::Level& rec, int k) {
    Field f{core::makeEmptyBoard(kRows, kCols),
            std::vector<std::string>(kRows, std::string(kCols, '.'))};
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            f.board[r][c] = rec.board[r][c];
            if (rec.board[r][c] != -1) f.tags[r][c] = 'B';
        }
    for (int j = 0; j < k; ++j) {
        core::pushCeilingDown(f.board, 1, 13);
        for (int r = kRows - 1; r > 0; --r) f.tags[r] = f.tags[r - 1];
        f.tags[0] = std::string(kCols, '.');
        for (int c = 0; c < kCols; ++c) {
            f.board[0][c] = rec.incoming[j][c];
            if (rec.incoming[j][c] != -1) f.tags[0][c] = 'I';
        }
    }
    return f;
}

struct GroupStats {
    int singles = 0, pairs = 0, triples = 0, larger = 0, largest = 0, groups = 0, cells = 0;
    std::set<std::pair<int, int>> singleCells;
    double mean() const { return groups ? static_cast<double>(cells) / groups : 0.0; }
};

GroupStats groupStats(const Board& b) {
    GroupStats s;
    std::vector<std::vector<bool>> seen(b.size(), std::vector<bool>(kCols, false));
    for (int r = 0; r < static_cast<int>(b.size()); ++r)
        for (int c = 0; c < kCols; ++c) {
            if (b[r][c] < 0 || seen[r][c]) continue;
            const std::vector<RC> g = core::sameColorCluster(b, r, c);
            for (const RC& x : g) seen[x.r][x.c] = true;
            const int n = static_cast<int>(g.size());
            ++s.groups;
            s.cells += n;
            s.largest = std::max(s.largest, n);
            if (n == 1) {
                ++s.singles;
                s.singleCells.insert({r, c});
            } else if (n == 2) {
                ++s.pairs;
            } else if (n == 3) {
                ++s.triples;
            } else {
                ++s.larger;
            }
        }
    return s;
}

// Occupied cells a first shot can touch: next to an empty cell that empty cells connect
// to the bottom of the field.
std::set<std::pair<int, int>> openCells(const Board& b) {
    const int rows = static_cast<int>(b.size());
    std::vector<std::vector<bool>> reach(rows, std::vector<bool>(kCols, false));
    std::vector<RC> todo;
    for (int c = 0; c < kCols; ++c)
        if (b[rows - 1][c] == -1) {
            reach[rows - 1][c] = true;
            todo.push_back({rows - 1, c});
        }
    while (!todo.empty()) {
        const RC cur = todo.back();
        todo.pop_back();
        for (const RC& n : core::neighbors(cur.r, cur.c)) {
            if (n.r < 0 || n.r >= rows || n.c < 0 || n.c >= kCols) continue;
            if (b[n.r][n.c] != -1 || reach[n.r][n.c]) continue;
            reach[n.r][n.c] = true;
            todo.push_back(n);
        }
    }
    std::set<std::pair<int, int>> out;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kCols; ++c) {
            if (b[r][c] < 0) continue;
            for (const RC& n : core::neighbors(r, c))
                if (n.r >= 0 && n.r < rows && n.c >= 0 && n.c < kCols && reach[n.r][n.c]) {
                    out.insert({r, c});
                    break;
                }
        }
    return out;
}

// Checks one record; returns its problems (empty when it passes) and appends its report.
std::vector<std::string> validateLevel(int i, std::ostream& report) {
    std::vector<std::string> bad;
    const auto fail = [&](const std::string& what) { bad.push_back(what); };
    const ld::Level& rec = ld::kLevels[i];
    const int n = rec.incomingCount;
    const int colors = expectedColors(i);

    // Counts and colours.
    if (rec.numColors != colors) fail("numColors " + std::to_string(rec.numColors));
    if (rec.numColors != core::levelConfig(i).numColors) fail("numColors differs from levelConfig");
    if (n != expectedIncoming(i)) fail("incomingCount " + std::to_string(n));
    if (n < 3 || n > ld::kMaxIncoming) return bad;  // nothing below is safe to look at
    int count = 0;
    std::array<int, 6> mix{};
    std::set<int> used;
    const auto cellOk = [&](std::int8_t v, const std::string& where) {
        if (v == -1) return;
        if (v < 0 || v >= colors) {
            fail("colour " + std::to_string(v) + " at " + where);
            return;
        }
        ++count;
        ++mix[v];
        used.insert(v);
    };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            cellOk(rec.board[r][c], "board " + std::to_string(r) + "," + std::to_string(c));
    for (int j = 0; j < ld::kMaxIncoming; ++j)
        for (int c = 0; c < kCols; ++c) {
            if (j >= n) {
                if (rec.incoming[j][c] != -1)
                    fail("unused incoming row " + std::to_string(j) + " not empty");
                continue;
            }
            cellOk(rec.incoming[j][c], "incoming " + std::to_string(j) + "," + std::to_string(c));
        }
    if (count != rec.bubbles)
        fail("bubbles " + std::to_string(rec.bubbles) + " but " + std::to_string(count) +
             " marbles");
    if (rec.bubbles != expectedBubbles(i))
        fail("bubbles " + std::to_string(rec.bubbles) + ", the table says " +
             std::to_string(expectedBubbles(i)));
    if (static_cast<int>(used.size()) != colors)
        fail("uses " + std::to_string(used.size()) + " colours");

    // Starting rows: exactly the top five (level 9: four) hold marbles.
    const int boardRows = expectedBoardRows(i);
    for (int r = 0; r < kRows; ++r) {
        const bool empty = rowEmpty(rec.board[r]);
        if (r < boardRows && empty) fail("starting row " + std::to_string(r) + " empty");
        if (r >= boardRows && !empty) fail("starting row " + std::to_string(r) + " not empty");
    }
    for (int j = 0; j < n; ++j)
        if (rowEmpty(rec.incoming[j])) fail("incoming row " + std::to_string(j) + " empty");
    if (i == 0) {
        const char* stripes[5] = {"00011122233", "00011122233", "11122233300", "11122233300",
                                  "22233300011"};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < kCols; ++c)
                if (rec.board[r][c] != stripes[r][c] - '0')
                    fail("level 0 is not the striped board");
    }

    // Hanging: at the start and after every entering row, everything hangs from the top
    // row. The whole stack is checked: once it is taller than the field the game is lost
    // anyway, and a loop closed below the field still holds the design together.
    for (int k = 0; k <= n; ++k)
        if (!core::floatingBubbles(stackAfter(rec, k)).empty())
            fail("marbles hang loose after " + std::to_string(k) + " incoming rows");

    // The opening.
    const Board start = fieldAt(rec, 0).board;
    const GroupStats st = groupStats(start);
    const std::set<std::pair<int, int>> open = openCells(start);
    int openSingles = 0;
    for (const auto& cell : st.singleCells) openSingles += open.count(cell) ? 1 : 0;
    if (openSingles > kMaxOpenSingles)
        fail(std::to_string(openSingles) + " lone marbles open to the first shots");
    if (st.singles * 8 > marbles(start))
        fail(std::to_string(st.singles) + " lone marbles on the starting board");

    // Star orbs.
    if (rec.starOrbCount != ld::kMaxStarOrbs)
        fail("starOrbCount " + std::to_string(rec.starOrbCount));
    std::set<std::pair<int, int>> orbCells;
    std::vector<std::string> orbLines;
    for (int k = 0; k < std::clamp<int>(rec.starOrbCount, 0, ld::kMaxStarOrbs); ++k) {
        const int r0 = rec.starOrbs[k][0];
        const int c = rec.starOrbs[k][1];
        if (!orbCells.insert({r0, c}).second) fail("two star orbs share a cell");
        if (r0 < 0 || r0 > kMaxOrbRow || c < 0 || c >= kCols) {
            fail("star orb outside rows 0..17, columns 0..10");
            continue;
        }
        // Where the orb sits after e entering rows: field row r0 - e.
        std::string track;
        char restTag = '.';
        int restRow = r0 - n;
        for (int e = 0; e <= n; ++e) {
            const int row = r0 - e;
            if (row >= kRows) {
                track += '_';
            } else if (row < 0) {
                track += '^';
            } else {
                const Field f = fieldAt(rec, e);
                track += f.tags[row][c] == '.' ? 'o' : f.tags[row][c];
                if (e == n) restTag = f.tags[row][c];
            }
        }
        if (restRow < 0 || restRow > 12)
            fail("star orb ends at field row " + std::to_string(restRow));
        else if (restTag == '.')
            fail("star orb (" + std::to_string(r0) + "," + std::to_string(c) +
                 ") rests on no marble");
        std::ostringstream line;
        line << "    orb (" << r0 << "," << c << "): after 0.." << n << " rows " << track
             << "  rests on " << (restTag == 'I' ? "an incoming" : "a starting")
             << " marble at field row " << restRow;
        orbLines.push_back(line.str());
    }

    // Report.
    const LevelConfig cfg = core::levelConfig(i);
    const int onBoard = marbles(start);
    report << "level " << i << " (shown " << i + 1 << "): " << rec.bubbles
           << " marbles = " << onBoard << " starting + " << rec.bubbles - onBoard << " in " << n
           << " incoming rows; " << colors << " colours; descent every " << cfg.shotsPerDescent
           << " shots; stage " << cfg.stage << "\n";
    report << "    colour mix";
    for (int col = 0; col < colors; ++col) report << " " << col << ":" << mix[col];
    report << "\n    start: " << st.singles << " singles (" << openSingles << " open), " << st.pairs
           << " pairs, " << st.triples << " triples, " << st.larger << " larger (largest "
           << st.largest << ", mean group " << static_cast<int>(st.mean() * 100 + 0.5) / 100.0
           << ")\n";
    for (const std::string& l : orbLines) report << l << "\n";
    for (const std::string& b : bad) report << "    PROBLEM: " << b << "\n";
    return bad;
}

}  // namespace

TEST(LevelValidator, AllHundredLevelsHaveEveryProperty) {
    std::ostringstream report;
    report << "Tarnwick level report: orb tracks read _ below the field, o on an empty cell,\n"
              "B on a starting marble, I on a marble of an incoming row, ^ above the field.\n";
    int failing = 0;
    for (int i = 0; i < ld::kLevelCount; ++i) {
        const std::vector<std::string> bad = validateLevel(i, report);
        for (const std::string& b : bad) ADD_FAILURE() << "level " << i << ": " << b;
        failing += bad.empty() ? 0 : 1;
    }
    std::cout << report.str();
    std::ofstream(std::string(TARNWICK_BINARY_DIR) + "/levels-report.txt") << report.str();
    EXPECT_EQ(failing, 0);
}

TEST(LevelValidator, BlockSizesFollowTheTable) {
    // The sizes per block, read independently of the validator's table lookups.
    EXPECT_EQ(ld::kLevels[4].bubbles, 11);
    EXPECT_EQ(ld::kLevels[9].bubbles, 14);
    for (int i = 10; i < ld::kLevelCount; ++i)
        EXPECT_EQ(ld::kLevels[i].bubbles, ld::kLevels[i - i % 10].bubbles) << "level " << i;
    // 3, 4, 6, 7, 9, 10, 12, 13, 15, 16: one more, then two more, block by block.
    for (int i = 0; i < ld::kLevelCount; ++i) {
        const int block = i / 10;
        EXPECT_EQ(ld::kLevels[i].incomingCount, 3 + block + block / 2) << "level " << i;
    }
}

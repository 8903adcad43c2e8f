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

namespace core {
// Readable failures for whole configurations, in the order of the tables below.
void PrintTo(const LevelConfig& c, std::ostream* os) {
    *os << "{" << c.flat << ", " << c.stage << ", " << c.idx << ", " << c.numColors << ", " << c.cols
        << ", " << c.rows << ", " << c.targetScore << ", " << c.optimumMarbles << ", "
        << c.paletteOffset << ", " << c.startingMarbles << ", " << c.lossRow << ", "
        << c.shotsPerDescent << ", " << c.arcade << "}";
}
}  // namespace core

// ---- configuration ------------------------------------------------------------------

TEST(LevelConfig, GoldenTableAcrossTheSteps) {
    // Colours and descent period step every 20 levels, fill rows every 18 (stopping at 6
    // from level 72). Fields: flat, stage, idx, colours, cols, rows, target, optimum,
    // palette offset, starting marbles, loss row, shots per descent, arcade.
    const LevelConfig cases[] = {
        {0, 0, 0, 4, 11, 14, 660, 12, 0, 22, 13, 6, false},
        {9, 0, 9, 4, 11, 14, 660, 12, 36, 22, 13, 6, false},
        {10, 1, 0, 4, 11, 14, 660, 12, 0, 22, 13, 6, false},
        {17, 1, 7, 4, 11, 14, 660, 12, 28, 22, 13, 6, false},
        {18, 1, 8, 4, 11, 14, 990, 17, 32, 33, 13, 6, false},
        {19, 1, 9, 4, 11, 14, 990, 17, 36, 33, 13, 6, false},
        {20, 2, 0, 5, 11, 14, 990, 17, 0, 33, 13, 5, false},
        {35, 3, 5, 5, 11, 14, 990, 17, 25, 33, 13, 5, false},
        {36, 3, 6, 5, 11, 14, 1320, 21, 30, 44, 13, 5, false},
        {37, 3, 7, 5, 11, 14, 1320, 21, 35, 44, 13, 5, false},
        {39, 3, 9, 5, 11, 14, 1320, 21, 45, 44, 13, 5, false},
        {40, 4, 0, 6, 11, 14, 1320, 21, 0, 44, 13, 4, false},
        {53, 5, 3, 6, 11, 14, 1320, 21, 18, 44, 13, 4, false},
        // 11 x 5 / 2.5 is exactly 22: the ceiling must not round an exact quotient up.
        {54, 5, 4, 6, 11, 14, 1650, 25, 24, 55, 13, 4, false},
        {59, 5, 9, 6, 11, 14, 1650, 25, 54, 55, 13, 4, false},
        {60, 6, 0, 6, 11, 14, 1650, 25, 0, 55, 13, 3, false},
        {71, 7, 1, 6, 11, 14, 1650, 25, 6, 55, 13, 3, false},
        {72, 7, 2, 6, 11, 14, 1980, 30, 12, 66, 13, 3, false},
        {99, 9, 9, 6, 11, 14, 1980, 30, 54, 66, 13, 3, false},
    };
    for (const LevelConfig& want : cases)
        EXPECT_EQ(core::levelConfig(want.flat), want) << want.flat;
    // Out of range levels are clamped.
    for (const auto& [asked, flat] :
         {std::pair{-5, 0}, {-2147483647 - 1, 0}, {150, 99}, {2147483647, 99}})
        EXPECT_EQ(core::levelConfig(asked), core::levelConfig(flat)) << asked;
}

TEST(ArcadeConfig, ProgressSteps) {
    // progress, stage, colours (4 + progress / 60, capped at 6). Negative progress counts as
    // none: a stage of -1 would address no obstacle layout and no world.
    const int cases[][3] = {{0, 0, 4},   {24, 0, 4},  {25, 1, 4},     {59, 2, 4},
                            {60, 2, 5},  {119, 4, 5}, {120, 4, 6},    {224, 8, 6},
                            {225, 9, 6}, {240, 9, 6}, {100000, 9, 6}, {-30, 0, 4}};
    for (const auto& [p, stage, colours] : cases)
        EXPECT_EQ(core::arcadeConfig(p),
                  (LevelConfig{0, stage, 0, colours, 11, 14, 0, 0, 0, 44, 13, 0, true}))
            << p;
    for (const auto& [p, n] :
         {std::pair{0, 8}, {39, 8}, {40, 7}, {159, 5}, {160, 4}, {1000, 4}, {-100, 8}})
        EXPECT_EQ(core::arcadeShotsPerDrop(p), n) << p;
    for (const auto& [p, n] : {std::pair{0, 1}, {24, 1}, {25, 2}, {49, 2}, {50, 3}, {-1, 1}})
        EXPECT_EQ(core::arcadeSpeedLevel(p), n) << p;
}

TEST(StarRating, ClampsFreedOrbs) {
    // freed, total, stars; clamped to 0..3, not to the number of orbs.
    const int cases[][3] = {{5, 3, 3}, {-1, 3, 0}, {0, 0, 3}, {0, -2, 3}, {0, 3, 0},
                            {1, 3, 1}, {2, 3, 2},  {3, 3, 3}, {2, 1, 2}};
    for (const auto& [freed, total, stars] : cases)
        EXPECT_EQ(core::starsForOrbs(freed, total), stars) << freed << "/" << total;
}

// ---- levelBoard -----------------------------------------------------------------------

namespace {

std::vector<int> rowOf(const std::int8_t* row) {
    return std::vector<int>(row, row + 11);  // an empty byte 0xFF must come out as -1, not 255
}

}  // namespace

TEST(LevelBoard, CopiesEveryRecordExactly) {
    for (int i = 0; i < ld::kLevelCount; ++i) {
        SCOPED_TRACE("level " + std::to_string(i));
        const ld::Level& rec = ld::kLevels[i];
        const core::LevelBoard lb = core::levelBoard(i);
        Board board, incoming;
        std::vector<RC> orbs;
        for (int r = 0; r < 14; ++r) board.push_back(rowOf(rec.board[r]));
        for (int j = 0; j < rec.incomingCount; ++j) incoming.push_back(rowOf(rec.incoming[j]));
        for (int k = 0; k < rec.starOrbCount; ++k)
            orbs.push_back({rec.starOrbs[k][0], rec.starOrbs[k][1]});
        EXPECT_EQ(lb.board, board);
        EXPECT_EQ(lb.incomingRows, incoming);
        EXPECT_EQ(lb.starOrbs, orbs);
        EXPECT_EQ(lb.bubbles, rec.bubbles);
    }
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

bool rowEmpty(const std::int8_t (&row)[kCols]) {
    return std::all_of(row, row + kCols, [](std::int8_t v) { return v == -1; });
}

bool inside(const Board& b, const RC& n) {
    return n.r >= 0 && n.r < static_cast<int>(b.size()) && n.c >= 0 && n.c < kCols;
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
    for (int j = k - 1; j >= 0; --j) b[r++] = rowOf(rec.incoming[j]);
    for (int br = 0; br < kRows; ++br) b[r++] = rowOf(rec.board[br]);
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
    for (int r = 0; r < kRows; ++r) f.board[r] = rowOf(rec.board[r]);
    for (int j = 0; j < k; ++j) {
        core::pushCeilingDown(f.board, 1, 13);
        f.board[0] = rowOf(rec.incoming[j]);
    }
    // Row r holds incoming row k-1-r for r < k, starting row r-k below.
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            if (f.board[r][c] != -1) f.tags[r][c] = r < k ? 'I' : 'B';
    return f;
}

struct GroupStats {
    int bySize[4] = {};  // singles, pairs, triples, larger
    int largest = 0, groups = 0, cells = 0;
    std::set<std::pair<int, int>> singleCells;
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
            ++s.bySize[std::min(n, 4) - 1];
            if (n == 1) s.singleCells.insert({r, c});
        }
    return s;
}

// Occupied cells a first shot can touch: next to an empty cell that empty cells connect
// to the bottom of the field.
std::set<std::pair<int, int>> openCells(const Board& b) {
    const int rows = static_cast<int>(b.size());
    std::vector<std::vector<bool>> reach(rows, std::vector<bool>(kCols, false));
    std::vector<RC> todo;
    for (int c = 0; c < kCols; ++c) todo.push_back({rows, c});  // a virtual row below the field
    while (!todo.empty()) {
        const RC cur = todo.back();
        todo.pop_back();
        const std::vector<RC> next =
            cur.r == rows ? std::vector<RC>{{rows - 1, cur.c}} : core::neighbors(cur.r, cur.c);
        for (const RC& n : next)
            if (inside(b, n) && b[n.r][n.c] == -1 && !reach[n.r][n.c]) {
                reach[n.r][n.c] = true;
                todo.push_back(n);
            }
    }
    std::set<std::pair<int, int>> out;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < kCols; ++c)
            for (const RC& n : core::neighbors(r, c))
                if (b[r][c] >= 0 && inside(b, n) && reach[n.r][n.c]) out.insert({r, c});
    return out;
}

// Checks one record; returns its problems (empty when it passes) and appends its report.
std::vector<std::string> validateLevel(int i, std::ostream& report) {
    std::vector<std::string> bad;
    const auto fail = [&](const std::string& what) { bad.push_back(what); };
    const auto str = [](auto v) { return std::to_string(v); };
    const ld::Level& rec = ld::kLevels[i];
    const int n = rec.incomingCount;
    const int colors = std::min(4 + i / 20, 6);
    const int wantBubbles = i < 10 ? kFirstBlockBubbles[i] : kBlockBubbles[i / 10];

    // Counts and colours.
    if (rec.numColors != colors) fail("numColors " + str(rec.numColors));
    if (rec.numColors != core::levelConfig(i).numColors) fail("numColors differs from levelConfig");
    if (n != kBlockIncoming[i / 10]) fail("incomingCount " + str(n));
    if (n < 3 || n > ld::kMaxIncoming) return bad;  // nothing below is safe to look at
    int count = 0;
    std::array<int, 6> mix{};
    std::set<int> used;
    const auto cellOk = [&](std::int8_t v, const std::string& where) {
        if (v == -1) return;
        if (v < 0 || v >= colors) return fail("colour " + str(v) + " at " + where);
        ++count;
        ++mix[v];
        used.insert(v);
    };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) cellOk(rec.board[r][c], "board " + str(r) + "," + str(c));
    for (int j = 0; j < ld::kMaxIncoming; ++j) {
        if (j >= n && !rowEmpty(rec.incoming[j]))
            fail("unused incoming row " + str(j) + " not empty");
        for (int c = 0; c < kCols && j < n; ++c)
            cellOk(rec.incoming[j][c], "incoming " + str(j) + "," + str(c));
    }
    if (count != rec.bubbles)
        fail("bubbles " + str(rec.bubbles) + " but " + str(count) + " marbles");
    if (rec.bubbles != wantBubbles)
        fail("bubbles " + str(rec.bubbles) + ", the table says " + str(wantBubbles));
    if (static_cast<int>(used.size()) != colors) fail("uses " + str(used.size()) + " colours");

    // Starting rows: exactly the top five (level 9: four) hold marbles.
    const int boardRows = i == 9 ? 4 : 5;
    for (int r = 0; r < kRows; ++r)
        if ((r < boardRows) == rowEmpty(rec.board[r]))
            fail("starting row " + str(r) + (r < boardRows ? " empty" : " not empty"));
    for (int j = 0; j < n; ++j)
        if (rowEmpty(rec.incoming[j])) fail("incoming row " + str(j) + " empty");
    const char* stripes[5] = {"00011122233", "00011122233", "11122233300", "11122233300",
                              "22233300011"};
    for (int r = 0; r < 5 && i == 0; ++r)
        for (int c = 0; c < kCols; ++c)
            if (rec.board[r][c] != stripes[r][c] - '0') fail("level 0 is not the striped board");

    // Hanging: at the start and after every entering row, everything hangs from the top
    // row. The whole stack is checked: once it is taller than the field the game is lost
    // anyway, and a loop closed below the field still holds the design together.
    for (int k = 0; k <= n; ++k)
        if (!core::floatingBubbles(stackAfter(rec, k)).empty())
            fail("marbles hang loose after " + str(k) + " incoming rows");

    // The opening.
    const Board start = fieldAt(rec, 0).board;
    const GroupStats st = groupStats(start);
    const std::set<std::pair<int, int>> open = openCells(start);
    int openSingles = 0;
    for (const auto& cell : st.singleCells) openSingles += open.count(cell) ? 1 : 0;
    if (openSingles > kMaxOpenSingles)
        fail(str(openSingles) + " lone marbles open to the first shots");
    if (st.bySize[0] * 8 > marbles(start))
        fail(str(st.bySize[0]) + " lone marbles on the starting board");

    // Star orbs.
    if (rec.starOrbCount != ld::kMaxStarOrbs) fail("starOrbCount " + str(rec.starOrbCount));
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
        const int restRow = r0 - n;
        for (int e = 0; e <= n; ++e) {
            const int row = r0 - e;
            const char tag = row >= kRows ? '_' : row < 0 ? '^' : fieldAt(rec, e).tags[row][c];
            track += tag == '.' ? 'o' : tag;
            if (e == n && row >= 0 && row < kRows) restTag = tag;
        }
        if (restRow < 0 || restRow > 12)
            fail("star orb ends at field row " + str(restRow));
        else if (restTag == '.')
            fail("star orb (" + str(r0) + "," + str(c) + ") rests on no marble");
        std::ostringstream line;
        line << "    orb (" << r0 << "," << c << "): after 0.." << n << " rows " << track
             << "  rests on " << (restTag == 'I' ? "an incoming" : "a starting")
             << " marble at field row " << restRow;
        orbLines.push_back(line.str());
    }

    // Report.
    const LevelConfig cfg = core::levelConfig(i);
    const int onBoard = marbles(start);
    const double mean = st.groups ? static_cast<double>(st.cells) / st.groups : 0.0;
    report << "level " << i << " (shown " << i + 1 << "): " << rec.bubbles
           << " marbles = " << onBoard << " starting + " << rec.bubbles - onBoard << " in " << n
           << " incoming rows; " << colors << " colours; descent every " << cfg.shotsPerDescent
           << " shots; stage " << cfg.stage << "\n";
    report << "    colour mix";
    for (int col = 0; col < colors; ++col) report << " " << col << ":" << mix[col];
    report << "\n    start: " << st.bySize[0] << " singles (" << openSingles << " open), "
           << st.bySize[1] << " pairs, " << st.bySize[2] << " triples, " << st.bySize[3]
           << " larger (largest " << st.largest << ", mean group "
           << static_cast<int>(mean * 100 + 0.5) / 100.0 << ")\n";
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
    // The sizes per block, read independently of the validator's table lookups; incoming
    // rows 3, 4, 6, 7, 9, ...: one more, then two more, block by block.
    EXPECT_EQ(ld::kLevels[4].bubbles, 11);
    EXPECT_EQ(ld::kLevels[9].bubbles, 14);
    for (int i = 0; i < ld::kLevelCount; ++i) {
        if (i >= 10) {
            EXPECT_EQ(ld::kLevels[i].bubbles, ld::kLevels[i - i % 10].bubbles) << i;
        }
        EXPECT_EQ(ld::kLevels[i].incomingCount, 3 + i / 10 + i / 20) << "level " << i;
    }
}

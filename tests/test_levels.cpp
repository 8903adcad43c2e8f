// The level catalogue: configuration of campaign levels and of the arcade mode, the star
// rating, levelBoard's copy of the records, the level tool's check of the pictures the
// records come from, and the campaign played through by the test bot.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/grid.h"
#include "core/levels.h"
#include "core/levels_data.h"
#include "support/prove.h"

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

// ---- the pictures and the compiled records ----------------------------------------------

// The level tool checks every picture under the game's own lattice (marble and row counts,
// colours, everything hanging from the ceiling as rows come in, orbs that can be freed, the
// opening) and writes the records only when all pass; here it runs again over the committed
// pictures, its report goes to <build>/levels-report.txt, and the records it would write
// must be the ones compiled in.
TEST(LevelTool, PicturesPassItsCheckAndMatchTheCompiledRecords) {
    const std::string root = TARNWICK_SOURCE_DIR;
    const std::string out = std::string(TARNWICK_BINARY_DIR) + "/levels_data.check.cpp";
    const std::string report = std::string(TARNWICK_BINARY_DIR) + "/levels-report.txt";
    const std::string cmd = "/usr/bin/python3 '" + root + "/tools/levels/make_levels.py' --report --output '" +
                            out + "' > '" + report + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "see " << report;
    auto slurp = [](const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    const std::string compiled = slurp(root + "/src/core/levels_data.cpp");
    ASSERT_FALSE(compiled.empty());
    EXPECT_TRUE(slurp(out) == compiled) << "src/core/levels_data.cpp is not what the pictures give";
}

TEST(LevelValidator, BlockSizesFollowTheTable) {
    // The sizes per block; incoming rows 3, 4, 6, 7, 9, ...: one more, then two more.
    EXPECT_EQ(ld::kLevels[4].bubbles, 11);
    EXPECT_EQ(ld::kLevels[9].bubbles, 14);
    for (int i = 0; i < ld::kLevelCount; ++i) {
        if (i >= 10) {
            EXPECT_EQ(ld::kLevels[i].bubbles, ld::kLevels[i - i % 10].bubbles) << i;
        }
        EXPECT_EQ(ld::kLevels[i].incomingCount, 3 + i / 10 + i / 20) << "level " << i;
    }
}

// ---- the campaign played --------------------------------------------------------------

// The test bot plays every level once through the game model, as the level prover does
// with more seeds, a quarter of the campaign per case; the reports go to
// <build>/proof-report-<first level>.txt. Every game must come to an end and be won, so a
// level or rule change that makes a level unwinnable shows here.
class LevelProver : public ::testing::TestWithParam<int> {};

TEST_P(LevelProver, TheBotPlaysEveryLevelToAnEndAndWinsIt) {
    std::ostringstream report;
    testsupport::ProveOptions o;
    o.seeds = 1;
    o.arcadeSeeds = 0;
    o.firstLevel = GetParam();
    o.lastLevel = GetParam() + 24;
    const int won = testsupport::proveAll(report, o);
    std::ofstream(std::string(TARNWICK_BINARY_DIR) + "/proof-report-" +
                  std::to_string(GetParam() + 1) + ".txt")
        << report.str();

    std::istringstream lines(report.str());
    std::string l, last;
    int levels = 0, levelsWon = 0;
    while (std::getline(lines, l)) {
        last = l;
        if (l.rfind("level ", 0) != 0) continue;
        ++levels;
        levelsWon += l.find(" won ") != std::string::npos ? 1 : 0;
        EXPECT_EQ(l.find("unfinished"), std::string::npos) << l;
    }
    EXPECT_EQ(levels, 25);
    EXPECT_EQ(levelsWon, won);
    EXPECT_EQ(last, "won 25/25") << report.str();
}

INSTANTIATE_TEST_SUITE_P(Quarters, LevelProver, ::testing::Values(0, 25, 50, 75));

// The level catalogue: campaign and arcade configuration, the star rating, the level
// tool's own check of the pictures, and the campaign played by the bot.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "core/levels.h"
#include "bot/prove.h"
#include "support/tmpdir.h"

using core::LevelConfig;

TEST(LevelConfig, GoldenTableAcrossTheSteps) {
    // flat, stage, idx, colours, cols, rows, target, optimum, palette offset, starting
    // marbles, loss row, shots per descent, arcade.
    const LevelConfig cases[] = {
        {0, 0, 0, 4, 11, 14, 660, 12, 0, 22, 13, 6, false},
        {17, 1, 7, 4, 11, 14, 660, 12, 28, 22, 13, 6, false},
        {18, 1, 8, 4, 11, 14, 990, 17, 32, 33, 13, 6, false},
        {20, 2, 0, 5, 11, 14, 990, 17, 0, 33, 13, 5, false},
        {40, 4, 0, 6, 11, 14, 1320, 21, 0, 44, 13, 4, false},
        // 11 x 5 / 2.5 is exactly 22: the ceiling must not round an exact quotient up.
        {54, 5, 4, 6, 11, 14, 1650, 25, 24, 55, 13, 4, false},
        {60, 6, 0, 6, 11, 14, 1650, 25, 0, 55, 13, 3, false},
        {99, 9, 9, 6, 11, 14, 1980, 30, 54, 66, 13, 3, false},
    };
    for (const LevelConfig& want : cases)
        EXPECT_EQ(core::levelConfig(want.flat), want) << want.flat;
    for (const auto& [asked, flat] : {std::pair{-5, 0}, {-2147483647 - 1, 0}, {150, 99}})
        EXPECT_EQ(core::levelConfig(asked), core::levelConfig(flat)) << asked;
    EXPECT_EQ(core::levelBoard(100).board, core::levelBoard(99).board);
    EXPECT_NE(core::levelBoard(98).board, core::levelBoard(99).board);
}

TEST(LevelConfig, ArcadeStepsAndStars) {
    // progress, stage, colours; negative progress counts as none.
    const int cases[][3] = {{0, 0, 4}, {25, 1, 4}, {60, 2, 5}, {120, 4, 6}, {225, 9, 6},
                            {100000, 9, 6}, {-30, 0, 4}};
    for (const auto& [p, stage, colours] : cases)
        EXPECT_EQ(core::arcadeConfig(p),
                  (LevelConfig{0, stage, 0, colours, 11, 14, 0, 0, 0, 44, 13, 0, true})) << p;
    for (const auto& [p, n] : {std::pair{39, 8}, {40, 7}, {160, 4}, {1000, 4}, {-100, 8}})
        EXPECT_EQ(core::arcadeShotsPerDrop(p), n) << p;
    for (const auto& [p, n] : {std::pair{0, 1}, {24, 1}, {25, 2}, {50, 3}, {-1, 1}})
        EXPECT_EQ(core::arcadeSpeedLevel(p), n) << p;
    // freed, total, stars: clamped to 0..3; no orbs at all is three stars.
    const int stars[][3] = {{5, 3, 3}, {-1, 3, 0}, {0, 0, 3}, {0, -2, 3},
                            {0, 3, 0}, {2, 3, 2},  {2, 1, 2}};
    for (const auto& [freed, total, n] : stars)
        EXPECT_EQ(core::starsForOrbs(freed, total), n) << freed << "/" << total;
}

// The level tool's own check over the committed pictures (report in the build tree); the
// records it would write must be the ones compiled in.
TEST(LevelTool, PicturesPassItsCheckAndMatchTheCompiledRecords) {
    const std::string out = TARNWICK_BINARY_DIR "/levels_data.check.cpp",
                      report = TARNWICK_BINARY_DIR "/levels-report.txt";
    const std::string cmd = "/usr/bin/python3 '" TARNWICK_SOURCE_DIR
                            "/tools/levels/make_levels.py' --report --output '" + out + "' > '" +
                            report + "' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "see " << report;
    const std::string compiled =
        testsupport::readBytes(TARNWICK_SOURCE_DIR "/src/core/levels_data.cpp");
    ASSERT_FALSE(compiled.empty());
    EXPECT_TRUE(testsupport::readBytes(out) == compiled)
        << "src/core/levels_data.cpp is not what the pictures give";
}

// The test bot plays every level once, a quarter of the campaign per case (reports in the
// build tree): a change that makes a level unwinnable shows here.
class LevelProver : public ::testing::TestWithParam<int> {};

TEST_P(LevelProver, TheBotPlaysEveryLevelToAnEndAndWinsIt) {
    std::ostringstream report;
    const testsupport::ProveOptions o{
        .seeds = 1, .arcadeSeeds = 0, .firstLevel = GetParam(), .lastLevel = GetParam() + 24};
    const int won = testsupport::proveAll(report, o);
    std::ofstream(std::string(TARNWICK_BINARY_DIR) + "/proof-report-" +
                  std::to_string(GetParam() + 1) + ".txt")
        << report.str();
    EXPECT_EQ(report.str().find("unfinished"), std::string::npos) << report.str();
    EXPECT_EQ(won, 25) << report.str();
}

INSTANTIATE_TEST_SUITE_P(Quarters, LevelProver, ::testing::Values(0, 25, 50, 75));

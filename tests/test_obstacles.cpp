// Obstacle layouts per stage and how a flying marble meets stones, bumpers and puddles.
#include <gtest/gtest.h>

#include <limits>

#include "core/obstacles.h"

using core::ObstacleKind;
using Obs = std::vector<core::ResolvedObstacle>;

TEST(ObstacleLayout, StagesClampAndResolve) {
    EXPECT_TRUE(core::obstaclesForStage(-3).empty());
    EXPECT_TRUE(core::obstaclesForStage(0).empty());
    EXPECT_EQ(&core::obstaclesForStage(12), &core::obstaclesForStage(9));
    EXPECT_EQ(core::obstaclesForStage(1).size(), 1u);
    const auto res = core::resolveObstacles(core::obstaclesForStage(5), 100, 50, 230, 400, 12);
    ASSERT_EQ(res.size(), 4u);
    EXPECT_DOUBLE_EQ(res[0].cx, 100 + 0.5 * 230);
    EXPECT_DOUBLE_EQ(res[0].cy, 50 + 0.45 * 400);
    EXPECT_DOUBLE_EQ(res[3].cr, 0.6 * 12);
    EXPECT_EQ(res[3].kind, ObstacleKind::Puddle);
}

TEST(ObstacleHits, ContactDirectionBumpersAndPuddles) {
    const Obs stone = {{100, 100, 10, ObstacleKind::Stone}};
    core::ShotLike s{100, 80, 0, 500};  // exactly at cr + R, moving in: bounces out by 0.5
    const core::ObstacleHit h = core::checkObstacleHit(s, 10, stone);
    EXPECT_TRUE(h.hit && h.index == 0 && !h.consumed);
    EXPECT_EQ((std::vector<double>{s.x, s.y, s.vy}), (std::vector<double>{100, 79.5, -500}));
    core::ShotLike miss{100, 80 - 0.001, 0, 500};
    EXPECT_FALSE(core::checkObstacleHit(miss, 10, stone).hit);
    core::ShotLike away{100, 90, 0, -500};  // inside but moving away: untouched
    EXPECT_EQ(core::checkObstacleHit(away, 10, stone).index, -1);
    EXPECT_DOUBLE_EQ(away.vy, -500);
    core::ShotLike deep{116, 100, -300, 0};  // sunk in by 4: out by 4.5 beyond contact
    EXPECT_TRUE(core::checkObstacleHit(deep, 10, stone).hit);
    EXPECT_EQ(std::pair(deep.x, deep.vx), std::pair(124.5, 300.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (core::ShotLike none : {core::ShotLike{100, 100, 0, 500}, core::ShotLike{nan, nan, 0, 500}})
        EXPECT_FALSE(core::checkObstacleHit(none, 10, stone).hit);

    core::ShotLike b{200, 176, 0, 800};
    EXPECT_EQ(core::checkObstacleHit(b, 10, {{200, 200, 15, ObstacleKind::Bumper}}).kind,
              ObstacleKind::Bumper);
    EXPECT_DOUBLE_EQ(b.vy, -800 * 1.15);
    for (double vy : {-400.0, 400.0}) {  // puddles swallow in any direction
        core::ShotLike p{50, 60, 30, vy};
        EXPECT_TRUE(core::checkObstacleHit(p, 10, {{50, 50, 6, ObstacleKind::Puddle}}).consumed);
        EXPECT_EQ(std::pair(p.y, p.vy), std::pair(60.0, vy));
    }
    // Touching two: the earlier acts; a skipped one does not block a later one.
    core::ShotLike both{100, 100, 0, 100};
    EXPECT_EQ(
        core::checkObstacleHit(
            both, 10, {{90, 100, 5, ObstacleKind::Puddle}, {110, 100, 5, ObstacleKind::Stone}})
            .index,
        0);
    core::ShotLike right{100, 100, 50, 0};
    EXPECT_EQ(
        core::checkObstacleHit(
            right, 10, {{90, 100, 5, ObstacleKind::Stone}, {112, 100, 5, ObstacleKind::Stone}})
            .index,
        1);
    EXPECT_DOUBLE_EQ(right.vx, -50);
}

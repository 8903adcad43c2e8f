// Obstacle layouts per stage and how a flying marble meets stones, bumpers and puddles.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/obstacles.h"

using core::ObstacleKind;

namespace {

core::ResolvedObstacle stoneAt(double x, double y, double r, ObstacleKind k = ObstacleKind::Stone) {
    return {x, y, r, k};
}

}  // namespace

TEST(ObstacleLayout, StagesClampAndKeepDeflectorsBeforePuddles) {
    EXPECT_TRUE(core::obstaclesForStage(-3).empty());
    EXPECT_TRUE(core::obstaclesForStage(0).empty());
    const auto& nine = core::obstaclesForStage(12);
    ASSERT_EQ(nine.size(), 6u);
    EXPECT_EQ(nine.back().kind, ObstacleKind::Puddle);
    EXPECT_EQ(&nine, &core::obstaclesForStage(9));
    const int sizes[10] = {0, 1, 2, 1, 3, 4, 3, 5, 5, 6};
    for (int st = 0; st < 10; ++st) {
        const auto& list = core::obstaclesForStage(st);
        EXPECT_EQ(static_cast<int>(list.size()), sizes[st]) << "stage " << st;
        bool seenPuddle = false;
        for (const auto& o : list) {
            if (o.kind == ObstacleKind::Puddle) seenPuddle = true;
            else EXPECT_FALSE(seenPuddle) << "deflector after a puddle in stage " << st;
            EXPECT_GT(o.nx, 0.0);
            EXPECT_LT(o.nx, 1.0);
        }
    }
    const auto& seven = core::obstaclesForStage(7);
    EXPECT_DOUBLE_EQ(seven[1].ny, 0.6);
    EXPECT_EQ(seven[1].kind, ObstacleKind::Bumper);
    EXPECT_DOUBLE_EQ(seven[4].nx, 0.7);
    EXPECT_DOUBLE_EQ(seven[4].nr, 0.55);

    const auto res = core::resolveObstacles(core::obstaclesForStage(5), 100, 50, 230, 400, 12);
    ASSERT_EQ(res.size(), 4u);
    EXPECT_DOUBLE_EQ(res[0].cx, 100 + 0.5 * 230);
    EXPECT_DOUBLE_EQ(res[0].cy, 50 + 0.45 * 400);
    EXPECT_DOUBLE_EQ(res[0].cr, 12.0);
    EXPECT_DOUBLE_EQ(res[3].cr, 0.6 * 12);
    EXPECT_EQ(res[3].kind, ObstacleKind::Puddle);
}

TEST(ObstacleHits, ContactDistanceAndDirection) {
    const double R = 10;
    const std::vector<core::ResolvedObstacle> obs = {stoneAt(100, 100, 10)};
    // Exactly at cr + R, moving towards the centre: bounces.
    core::ShotLike s{100, 80, 0, 500};
    core::ObstacleHit h = core::checkObstacleHit(s, R, obs);
    EXPECT_TRUE(h.hit);
    EXPECT_EQ(h.index, 0);
    EXPECT_FALSE(h.consumed);
    EXPECT_DOUBLE_EQ(s.vy, -500);
    EXPECT_DOUBLE_EQ(s.x, 100);
    EXPECT_DOUBLE_EQ(s.y, 100 - 20.5);  // out by what it sank in (nothing) plus half a unit

    core::ShotLike miss{100, 80 - 0.001, 0, 500};
    EXPECT_FALSE(core::checkObstacleHit(miss, R, obs).hit);
    EXPECT_DOUBLE_EQ(miss.vy, 500);

    // Inside but moving away: untouched.
    core::ShotLike away{100, 90, 0, -500};
    const core::ObstacleHit none = core::checkObstacleHit(away, R, obs);
    EXPECT_FALSE(none.hit);
    EXPECT_EQ(none.index, -1);
    EXPECT_DOUBLE_EQ(away.y, 90);
    EXPECT_DOUBLE_EQ(away.vy, -500);

    // Sunk in by 4: pushed out by 4 + 0.5 beyond the contact distance.
    core::ShotLike deep{116, 100, -300, 0};
    EXPECT_TRUE(core::checkObstacleHit(deep, R, obs).hit);
    EXPECT_DOUBLE_EQ(deep.x, 100 + 20 + 4 + 0.5);
    EXPECT_DOUBLE_EQ(deep.vx, 300);

    // Centre exactly on the obstacle's centre, or no position at all: no hit.
    core::ShotLike centre{100, 100, 0, 500};
    EXPECT_FALSE(core::checkObstacleHit(centre, R, obs).hit);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    core::ShotLike lost{nan, nan, 0, 500};
    EXPECT_FALSE(core::checkObstacleHit(lost, R, obs).hit);
}

TEST(ObstacleHits, BumperSpeedsUpPuddleSwallowsFirstWins) {
    const double R = 10;
    core::ShotLike s{200, 176, 0, 800};
    const std::vector<core::ResolvedObstacle> bump = {stoneAt(200, 200, 15, ObstacleKind::Bumper)};
    const core::ObstacleHit h = core::checkObstacleHit(s, R, bump);
    EXPECT_EQ(h.kind, ObstacleKind::Bumper);
    EXPECT_NEAR(s.vx, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(s.vy, -800 * 1.15);

    // Puddles swallow in any direction and leave the marble where it is.
    const std::vector<core::ResolvedObstacle> puddle = {stoneAt(50, 50, 6, ObstacleKind::Puddle)};
    for (double vy : {-400.0, 400.0}) {
        core::ShotLike p{50, 60, 30, vy};
        const core::ObstacleHit ph = core::checkObstacleHit(p, R, puddle);
        EXPECT_TRUE(ph.consumed);
        EXPECT_EQ(ph.kind, ObstacleKind::Puddle);
        EXPECT_DOUBLE_EQ(p.y, 60);
        EXPECT_DOUBLE_EQ(p.vy, vy);
    }

    // Touching two at once: only the earlier acts; a skipped one does not block a later one.
    const std::vector<core::ResolvedObstacle> two = {
        stoneAt(90, 100, 5, ObstacleKind::Puddle), stoneAt(110, 100, 5, ObstacleKind::Stone)};
    core::ShotLike both{100, 100, 0, 100};
    const core::ObstacleHit first = core::checkObstacleHit(both, R, two);
    EXPECT_EQ(first.index, 0);
    EXPECT_TRUE(first.consumed);
    const std::vector<core::ResolvedObstacle> order = {stoneAt(90, 100, 5), stoneAt(112, 100, 5)};
    core::ShotLike right{100, 100, 50, 0};  // moving away from the first, into the second
    const core::ObstacleHit second = core::checkObstacleHit(right, R, order);
    EXPECT_EQ(second.index, 1);
    EXPECT_DOUBLE_EQ(right.vx, -50);
}

// Circular obstacles in the field: stones deflect a flying marble, bumpers deflect it and
// speed it up, puddles swallow it. Each block of ten campaign levels (a stage) has a fixed
// layout in field-relative units; the play screen resolves it to screen circles.
#pragma once

#include <vector>

namespace core {

enum class ObstacleKind : int { Stone = 0, Bumper = 1, Puddle = 2 };

// Centre as fractions of the field's width and height from its top-left corner; radius
// in marble radii.
struct LevelObstacle {
    double nx = 0, ny = 0, nr = 0;
    ObstacleKind kind = ObstacleKind::Stone;
};

// Centre and radius in screen pixels.
struct ResolvedObstacle {
    double cx = 0, cy = 0, cr = 0;
    ObstacleKind kind = ObstacleKind::Stone;
};

// The part of a flying marble that an obstacle can change.
struct ShotLike {
    double x = 0, y = 0, vx = 0, vy = 0;
};

struct ObstacleHit {
    bool hit = false;
    int index = -1;  // position in the list that was tested; -1 without a hit
    ObstacleKind kind = ObstacleKind::Stone;
    bool consumed = false;  // the marble was swallowed by a puddle
};

// The stage's deflecting obstacles followed by its puddles; stage is clamped to 0..9.
const std::vector<LevelObstacle>& obstaclesForStage(int stage);
// Screen circles in the same order: centre = field origin + fraction x field size,
// radius = nr x R.
std::vector<ResolvedObstacle> resolveObstacles(const std::vector<LevelObstacle>& obs,
                                               double fieldLeft, double fieldTop,
                                               double fieldWidth, double fieldHeight, double R);
// Tests the marble against the obstacles in list order; the first that qualifies acts:
// a puddle swallows, a stone or bumper the marble is moving into reflects it and pushes it
// out (a bumper also speeds it up by 15%). Allocates nothing.
ObstacleHit checkObstacleHit(ShotLike& s, double R, const std::vector<ResolvedObstacle>& obs);

}  // namespace core

#include "core/obstacles.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace core {

namespace {

constexpr ObstacleKind kStone = ObstacleKind::Stone;
constexpr ObstacleKind kBumper = ObstacleKind::Bumper;
constexpr ObstacleKind kPuddle = ObstacleKind::Puddle;
constexpr double kBumperBoost = 1.15;

struct Tables {
    std::array<std::vector<LevelObstacle>, 10> stageObstacles;
    std::array<std::vector<LevelObstacle>, 10> stagePuddles;
    std::array<std::vector<LevelObstacle>, 10> combined;  // deflectors first, then puddles
};

const Tables& tables() {
    static const Tables t = [] {
        Tables s;
        s.stageObstacles = {{
            {},
            {{0.5, 0.62, 1.0, kStone}},
            {{0.3, 0.6, 0.9, kStone}, {0.7, 0.6, 0.9, kStone}},
            {{0.5, 0.55, 1.1, kBumper}},
            {{0.25, 0.58, 0.85, kStone}, {0.5, 0.58, 1.0, kBumper}, {0.75, 0.58, 0.85, kStone}},
            {{0.5, 0.45, 1.0, kBumper}, {0.28, 0.68, 0.9, kStone}, {0.72, 0.68, 0.9, kStone}},
            {{0.35, 0.55, 1.0, kBumper}, {0.65, 0.55, 1.0, kBumper}},
            {{0.25, 0.45, 0.85, kStone}, {0.5, 0.6, 0.95, kBumper}, {0.75, 0.45, 0.85, kStone}},
            {{0.3, 0.5, 0.95, kBumper},
             {0.7, 0.5, 0.95, kBumper},
             {0.3, 0.7, 0.85, kStone},
             {0.7, 0.7, 0.85, kStone}},
            {{0.2, 0.42, 0.8, kStone},
             {0.5, 0.42, 1.0, kBumper},
             {0.8, 0.42, 0.8, kStone},
             {0.35, 0.7, 0.95, kBumper},
             {0.65, 0.7, 0.95, kBumper}},
        }};
        s.stagePuddles = {{
            {},
            {},
            {},
            {},
            {},
            {{0.5, 0.78, 0.6, kPuddle}},
            {{0.5, 0.82, 0.7, kPuddle}},
            {{0.3, 0.82, 0.55, kPuddle}, {0.7, 0.82, 0.55, kPuddle}},
            {{0.5, 0.82, 0.65, kPuddle}},
            {{0.5, 0.82, 0.7, kPuddle}},
        }};
        for (std::size_t i = 0; i < 10; ++i) {
            s.combined[i] = s.stageObstacles[i];
            s.combined[i].insert(s.combined[i].end(), s.stagePuddles[i].begin(),
                                 s.stagePuddles[i].end());
        }
        return s;
    }();
    return t;
}

}  // namespace

const std::vector<LevelObstacle>& obstaclesForStage(int stage) {
    return tables().combined[static_cast<std::size_t>(std::clamp(stage, 0, 9))];
}

std::vector<ResolvedObstacle> resolveObstacles(const std::vector<LevelObstacle>& obs,
                                               double fieldLeft, double fieldTop,
                                               double fieldWidth, double fieldHeight,
                                               double R) {
    std::vector<ResolvedObstacle> out;
    out.reserve(obs.size());
    for (const LevelObstacle& o : obs)
        out.push_back({fieldLeft + o.nx * fieldWidth, fieldTop + o.ny * fieldHeight, o.nr * R,
                       o.kind});
    return out;
}

ObstacleHit checkObstacleHit(ShotLike& s, double R, const std::vector<ResolvedObstacle>& obs) {
    for (std::size_t i = 0; i < obs.size(); ++i) {
        const ResolvedObstacle& o = obs[i];
        const double dx = s.x - o.cx;
        const double dy = s.y - o.cy;
        const double d = std::sqrt(dx * dx + dy * dy);
        const double minDist = o.cr + R;
        // Also skips a NaN distance: a marble with no position touches nothing.
        if (!(d > 0.0) || d > minDist) continue;
        const int index = static_cast<int>(i);
        if (o.kind == ObstacleKind::Puddle) return {true, index, ObstacleKind::Puddle, true};

        const double nx = dx / d;
        const double ny = dy / d;
        const double dot = s.vx * nx + s.vy * ny;
        if (dot >= 0.0) continue;  // already moving away
        s.vx -= 2.0 * dot * nx;
        s.vy -= 2.0 * dot * ny;
        // Out of the contact distance by as much as it had sunk in, plus half a unit.
        const double out = minDist + (minDist - d) + 0.5;
        s.x = o.cx + nx * out;
        s.y = o.cy + ny * out;
        if (o.kind == ObstacleKind::Bumper) {
            s.vx *= kBumperBoost;
            s.vy *= kBumperBoost;
        }
        return {true, index, o.kind, false};
    }
    return {};
}

}  // namespace core

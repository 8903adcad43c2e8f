#include "support/bot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/grid.h"
#include "core/obstacles.h"

namespace testsupport {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeed = 1200.0;

// How much a landing at (r, c) is worth to a player shooting colour.
double worth(const ui::PlayView& v, int r, int c, int colour) {
    core::Board b = v.board;
    b[r][c] = colour;
    const auto cluster = core::sameColorCluster(b, r, c);
    if (cluster.size() >= 3) {
        for (const auto& p : cluster) b[p.r][p.c] = -1;
        const auto floaters = core::floatingBubbles(b);
        int orbs = 0;
        for (const auto& o : v.starOrbs) {
            for (const auto& p : cluster) orbs += (p.r == o.r && p.c == o.c);
            for (const auto& p : floaters) orbs += (p.r == o.r && p.c == o.c);
        }
        return 1000.0 + 10.0 * cluster.size() + 25.0 * floaters.size() + 200.0 * orbs;
    }
    // Sticking: beside its own colour and high up is best; low rows bring the loss closer.
    return 60.0 * (static_cast<double>(cluster.size()) - 1) - 8.0 * r;
}

}  // namespace

ShotOutcome simulateShot(const ui::PlayView& v, double angle, double frameDt) {
    const ui::PlayGeometry& g = v.geo;
    core::ShotState s;
    s.x = g.shooterX;
    s.y = g.shooterY;
    s.vx = std::cos(angle) * kSpeed;
    s.vy = std::sin(angle) * kSpeed;
    const double dtMs = std::min(frameDt, 0.05) * 1000.0;
    for (int frame = 0; frame < 2000; ++frame) {
        const double speed = std::hypot(s.vx, s.vy);
        const int n = std::max(1, static_cast<int>(std::ceil(speed * dtMs / 1000.0 /
                                                               std::max(g.R / 2, 2.0))));
        const double sub = dtMs / n;
        for (int i = 0; i < n; ++i) {
            core::stepShot(s, sub, g.R, g.gridX, g.gridX + g.gridW);
            if (!v.obstacles.empty()) {
                core::ShotLike like{s.x, s.y, s.vx, s.vy};
                const core::ObstacleHit hit = core::checkObstacleHit(like, g.R, v.obstacles);
                s.x = like.x;
                s.y = like.y;
                s.vx = like.vx;
                s.vy = like.vy;
                if (hit.consumed) return ShotOutcome{ShotOutcome::Swallowed, -1, -1};
            }
            core::ShotState rel = s;
            rel.x -= g.gridX;
            rel.y -= g.fieldTop;
            const core::Landing land = core::tryLand(rel, v.board, g.R, v.rows, v.cols, 0.0);
            if (land.found) return ShotOutcome{ShotOutcome::Landed, land.r, land.c};
            if (s.y < g.fieldTop - 2 * g.R || s.y > g.h + g.R) {
                return ShotOutcome{ShotOutcome::Lost, -1, -1};
            }
        }
    }
    return ShotOutcome{};
}

Aim chooseAim(const ui::PlayView& v, double frameDt, double pointerDist) {
    Aim best{-kPi / 2, aimPointer(v, -kPi / 2, pointerDist > 0 ? pointerDist : 160)};
    double bestWorth = -std::numeric_limits<double>::infinity();
    for (double a0 = -kPi + 0.13; a0 < -0.13; a0 += 0.004) {
        double a = a0;
        core::Point p = aimPointer(v, a0, pointerDist > 0 ? pointerDist : 160);
        if (pointerDist > 0) {
            p = core::Point{std::round(p.x), std::round(p.y)};
            a = std::atan2(p.y - v.geo.shooterY, p.x - v.geo.shooterX);
        }
        const ShotOutcome o = simulateShot(v, a, frameDt);
        if (o.kind != ShotOutcome::Landed) continue;
        // Prefer the middle of a range of equally good angles a little: away from edges.
        const double w = worth(v, o.r, o.c, v.currentColor) - 0.01 * std::fabs(a + kPi / 2);
        if (w > bestWorth) {
            bestWorth = w;
            best = Aim{a, p};
        }
    }
    return best;
}

core::Point aimPointer(const ui::PlayView& v, double angle, double dist) {
    return core::Point{v.geo.shooterX + dist * std::cos(angle),
                       v.geo.shooterY + dist * std::sin(angle)};
}

}  // namespace testsupport

#include "support/bot.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/game.h"

namespace testsupport {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeed = 1200.0;

// How much a landing at (r, c) is worth to a player shooting colour, judged by the rules'
// own placement on a copy of the game.
double worth(const ui::PlayView& v, int r, int c, int colour) {
    core::GameModel m;
    m.board = v.board;
    m.parity = v.parity;
    m.ceilingRow = v.ceilingRow;
    m.starOrbs = v.starOrbs;
    m.freed.insert(v.freed.begin(), v.freed.end());
    const core::Placement p = core::placeMarble(m, r, c, colour);
    if (p.popped) {
        return 1000.0 + 10.0 * p.cluster.size() + 25.0 * p.floaters.size() +
               200.0 * p.freedOrbs.size();
    }
    // Sticking: beside its own colour and high up is best; low rows bring the loss closer.
    return 60.0 * (static_cast<double>(p.cluster.size()) - 1) - 8.0 * r;
}

}  // namespace

core::FlightField flightField(const ui::PlayView& v) {
    const ui::PlayGeometry& g = v.geo;
    core::FlightField f;
    f.R = g.R;
    f.gridX = g.gridX;
    f.gridTop = g.fieldTop;
    f.left = g.gridX;
    f.right = g.gridX + g.gridW;
    f.lostBelow = g.h + g.R;
    f.rows = v.rows;
    f.cols = v.cols;
    f.parity = v.parity;
    f.ceilingRow = v.ceilingRow;
    return f;
}

ShotOutcome simulateShot(const ui::PlayView& v, double angle, double frameDt) {
    core::Flight f;
    f.s.x = v.geo.shooterX;
    f.s.y = v.geo.shooterY;
    f.s.vx = std::cos(angle) * kSpeed;
    f.s.vy = std::sin(angle) * kSpeed;
    const core::FlightField field = flightField(v);
    const double dtMs = std::min(frameDt, 0.05) * 1000.0;
    for (int frame = 0; frame < 2000; ++frame) {
        const core::FlightResult r = core::fly(f, dtMs, field, v.board, v.obstacles);
        switch (r.end) {
        case core::FlightEnd::Landed:
            return ShotOutcome{ShotOutcome::Landed, r.r, r.c};
        case core::FlightEnd::Swallowed:
            return ShotOutcome{ShotOutcome::Swallowed, -1, -1};
        case core::FlightEnd::Lost:
            return ShotOutcome{ShotOutcome::Lost, -1, -1};
        case core::FlightEnd::Flying:
            break;
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

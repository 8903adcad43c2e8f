#include "core/flight.h"

#include <algorithm>
#include <cmath>

namespace core {

namespace {

constexpr double kSpinDamp = 0.3;
constexpr double kDegPerRad = 57.29577951308232;

}  // namespace

double FlightField::ceilingY() const { return gridTop + ceilingRow * kSqrt3 * R; }

FlightResult fly(Flight& f, double dtMs, const FlightField& field, const Board& b,
                 const std::vector<ResolvedObstacle>& obstacles) {
    FlightResult out;
    if (std::isfinite(dtMs) && dtMs > 0) f.carryMs += dtMs;
    const double step = std::max(kFlightStep * field.R, 0.5);
    const double ceilingRel = field.ceilingRow * kSqrt3 * field.R;
    while (true) {
        const double speed = std::hypot(f.s.vx, f.s.vy);
        if (!(speed > 0) || !std::isfinite(speed)) {
            out.end = FlightEnd::Lost;
            return out;
        }
        const double stepMs = step / speed * 1000.0;
        if (f.carryMs < stepMs) return out;
        f.carryMs -= stepMs;

        const double vx0 = f.s.vx;
        stepShot(f.s, stepMs, field.R, field.left, field.right);
        if ((vx0 < 0) != (f.s.vx < 0)) out.bounces.push_back({f.s.x, f.s.y, -1});
        const double perR = field.R > 1 ? f.s.vx / field.R : f.s.vx;
        f.spin += std::clamp(perR * kSpinDamp * kDegPerRad, -900.0, 900.0) * stepMs / 1000.0;

        if (!obstacles.empty()) {
            ShotLike like{f.s.x, f.s.y, f.s.vx, f.s.vy};
            const ObstacleHit hit = checkObstacleHit(like, field.R, obstacles);
            f.s.x = like.x;
            f.s.y = like.y;
            f.s.vx = like.vx;
            f.s.vy = like.vy;
            if (hit.consumed) {
                out.end = FlightEnd::Swallowed;
                out.obstacle = hit.index;
                return out;
            }
            if (hit.hit) out.bounces.push_back({f.s.x, f.s.y, hit.index, hit.kind});
        }

        ShotState rel = f.s;
        rel.x -= field.gridX;
        rel.y -= field.gridTop;
        const Landing land =
            tryLand(rel, b, field.R, field.rows, field.cols, ceilingRel, field.parity,
                    field.ceilingRow);
        if (land.found) {
            out.end = FlightEnd::Landed;
            out.r = land.r;
            out.c = land.c;
            return out;
        }
        if (f.s.y < field.ceilingY() - 2 * field.R || f.s.y > field.lostBelow) {
            out.end = FlightEnd::Lost;
            return out;
        }
    }
}

FlightTrace traceFlight(const ShotState& start, double reachMs, const FlightField& field,
                        const Board& b, const std::vector<ResolvedObstacle>& obstacles) {
    FlightTrace t;
    Flight f;
    f.s = start;
    t.path.push_back({start.x, start.y});
    t.result = fly(f, reachMs, field, b, obstacles);
    for (const FlightBounce& bounce : t.result.bounces) t.path.push_back({bounce.x, bounce.y});
    if (t.result.end == FlightEnd::Landed) {
        const Point p = cellCenter(t.result.r, t.result.c, field.R, field.parity);
        t.path.push_back({p.x + field.gridX, p.y + field.gridTop});
    } else {
        t.path.push_back({f.s.x, f.s.y});
    }
    return t;
}

}  // namespace core

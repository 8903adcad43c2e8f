#include "bot/bot.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace testsupport {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Longer than any flight, bumper rallies included.
constexpr double kFlightCapMs = 20000;
// The sweeps (coarse and fine steps) of the shot to choose and of the shot after it.
constexpr double kSweepCoarse = 0.024, kSweepFine = 0.006;
constexpr double kAheadCoarse = 0.05, kAheadFine = 0.0167;
// How many of the best landings get the look ahead.
constexpr std::size_t kAheadCandidates = 3;
constexpr double kWin = 1e6, kLoss = -1e7;

// The field and standing obstacles of m in table t.
struct Flying {
    core::FlightField field;
    std::vector<core::ResolvedObstacle> standing;
};

Flying flyingIn(const core::GameModel& m, const Table& t) {
    Flying f{t.field, {}};
    f.field.parity = m.parity;
    f.field.ceilingRow = m.ceilingRow;
    f.standing.reserve(t.obstacles.size());
    for (std::size_t i = 0; i < t.obstacles.size(); ++i)
        if (!m.destroyed.count(static_cast<int>(i))) f.standing.push_back(t.obstacles[i]);
    return f;
}

ShotOutcome outcomeOf(const core::FlightResult& r) {
    if (r.end == core::FlightEnd::Landed) return ShotOutcome{ShotOutcome::Landed, r.r, r.c};
    if (r.end == core::FlightEnd::Swallowed) return ShotOutcome{ShotOutcome::Swallowed, -1, -1};
    if (r.end == core::FlightEnd::Lost) return ShotOutcome{ShotOutcome::Lost, -1, -1};
    return ShotOutcome{};
}

core::Flight launched(core::Point from, double angle) {
    core::Flight f;
    f.s = {from.x, from.y, std::cos(angle) * core::kShotSpeed, std::sin(angle) * core::kShotSpeed,
           0};
    return f;
}

ShotOutcome shoot(const core::GameModel& m, const Flying& fl, core::Point from, double angle) {
    core::Flight f = launched(from, angle);
    return outcomeOf(core::fly(f, kFlightCapMs, fl.field, m.board, fl.standing));
}

// What placing colour at (r, c) is worth right away: a pop by its size, its drops and the
// orbs it frees; a marble that sticks, by the group it joins and how high it sits.
double placementWorth(const core::Placement& p) {
    if (p.popped) {
        return 1000.0 + 10.0 * p.cluster.size() + 25.0 * p.floaters.size() +
               200.0 * p.freedOrbs.size();
    }
    return 60.0 * (static_cast<double>(p.cluster.size()) - 1) - 8.0 * p.row;
}

// The distinct landings of one sweep: for each cell, the middle one of the angles that
// reach it (the safest aim at it). The sweep samples every `coarse` radians and looks at
// every `fine` radians only between two samples that end differently, where the landing
// changes; a cell reached only between two samples landing alike is left out.
struct Landing {
    int r = 0, c = 0;
    double angle = 0;
};

template <class Snap>
std::vector<Landing> sweep(const core::GameModel& m, const Table& t, double coarse, double fine,
                           Snap snap, bool* anyLanding = nullptr) {
    const Flying fl = flyingIn(m, t);
    std::map<std::pair<int, int>, std::vector<double>> byCell;
    auto at = [&](double a0) {
        const ShotOutcome o = shoot(m, fl, t.launcher, snap(a0));
        if (o.kind == ShotOutcome::Landed) byCell[{o.r, o.c}].push_back(a0);
        return o;
    };
    constexpr double kFrom = -kPi + 0.13, kTo = -0.13;
    ShotOutcome prev = at(kFrom);
    for (double a0 = kFrom + coarse; a0 < kTo + coarse; a0 += coarse) {
        const double a1 = std::min(a0, kTo);
        const ShotOutcome o = at(a1);
        if (o.kind != prev.kind || o.r != prev.r || o.c != prev.c) {
            for (double a = a1 - coarse + fine; a < a1 - 0.5 * fine; a += fine) at(a);
        }
        prev = o;
    }
    if (anyLanding) *anyLanding = !byCell.empty();
    std::vector<Landing> out;
    out.reserve(byCell.size());
    for (auto& [cell, angles] : byCell) {
        std::sort(angles.begin(), angles.end());
        out.push_back(Landing{cell.first, cell.second, angles[angles.size() / 2]});
    }
    return out;
}

// Plays a landing on a copy of m through the end of its turn, as the play screen does:
// place, end the turn, let waiting rows in, crush what the pack reaches.
struct Played {
    core::GameModel after;
    double worth = 0;
    bool over = false;  // won or lost: nothing follows
};

Played play(const core::GameModel& m, const Table& t, const Landing& l) {
    Played out{m, 0, false};
    const core::Placement p = core::placeMarble(out.after, l.r, l.c, m.currentColor);
    out.worth = placementWorth(p);
    const core::TurnEnd e = core::endTurn(out.after, p.popped);
    if (e.lost) {
        out.worth += kLoss;
        out.over = true;
        return out;
    }
    if (core::refillDue(out.after) > 0) core::refill(out.after);
    core::crushObstacles(out.after, flyingIn(out.after, t).field, t.obstacles);
    if (e.won || (!out.after.arcade && core::levelSolved(out.after))) {
        out.worth += kWin;
        out.over = true;
    }
    // Every marble left is work still to do, and a pack near the loss row is a danger.
    int marbles = 0, lowest = -1;
    for (int r = 0; r < static_cast<int>(out.after.board.size()); ++r)
        for (int v : out.after.board[static_cast<std::size_t>(r)])
            if (v != -1) ++marbles, lowest = r;
    out.worth -= 12.0 * marbles;
    out.worth -= 400.0 * std::max(0, lowest - (out.after.cfg.lossRow - 4));
    return out;
}

// The best a single shot with the current colour makes of m, without looking further.
double bestNow(const core::GameModel& m, const Table& t) {
    double best = kLoss;
    for (const Landing& l : sweep(m, t, kAheadCoarse, kAheadFine, [](double a) { return a; }))
        best = std::max(best, play(m, t, l).worth);
    return best;
}

template <class Snap>
double choose(const core::GameModel& m, const Table& t, Snap snap) {
    bool any = false;
    const std::vector<Landing> landings = sweep(m, t, kSweepCoarse, kSweepFine, snap, &any);
    if (!any) return -kPi / 2;
    std::vector<std::pair<double, std::size_t>> ranked;  // worth now, index
    std::vector<Played> played;
    played.reserve(landings.size());
    for (std::size_t i = 0; i < landings.size(); ++i) {
        played.push_back(play(m, t, landings[i]));
        ranked.emplace_back(played.back().worth, i);
    }
    std::sort(ranked.begin(), ranked.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    double bestWorth = -std::numeric_limits<double>::infinity();
    double bestAngle = landings[ranked.front().second].angle;
    for (std::size_t k = 0; k < ranked.size() && k < kAheadCandidates; ++k) {
        const std::size_t i = ranked[k].second;
        double w = ranked[k].first;
        if (!played[i].over) w += 0.9 * bestNow(played[i].after, t);
        // Among equals, an aim nearer straight up is the surer one.
        w -= 0.01 * std::fabs(landings[i].angle + kPi / 2);
        if (w > bestWorth) {
            bestWorth = w;
            bestAngle = landings[i].angle;
        }
    }
    return bestAngle;
}

// The model of the view's game as far as the view shows it.
core::GameModel modelOf(const ui::PlayView& v) {
    core::GameModel m;
    m.arcade = v.arcade;
    m.level = v.level;
    m.cfg = v.arcade ? core::arcadeConfig(0) : core::levelConfig(v.level);
    m.cfg.rows = v.rows;
    m.cfg.cols = v.cols;
    m.cfg.lossRow = v.lossRow;
    m.cfg.numColors = v.numColors;
    m.board = v.board;
    m.parity = v.parity;
    m.ceilingRow = v.ceilingRow;
    m.incoming.assign(static_cast<std::size_t>(std::max(v.incomingRows, 0)),
                      std::vector<int>(static_cast<std::size_t>(v.cols), -1));
    m.starOrbs = v.starOrbs;
    m.freed.insert(v.freed.begin(), v.freed.end());
    m.currentColor = v.currentColor;
    m.nextColor = v.nextColor;
    m.shots = v.shots;
    m.score = v.score;
    return m;
}

}  // namespace

Table tableFor(const ui::PlayGeometry& g, const core::GameModel& m) {
    return Table{ui::flightFieldFor(g, m), ui::stageObstacles(g, m),
                 core::Point{g.shooterX, g.shooterY}};
}

ShotOutcome shootFrom(const core::GameModel& m, const Table& t, double angle) {
    return shoot(m, flyingIn(m, t), t.launcher, angle);
}

double chooseAngle(const core::GameModel& m, const Table& t) {
    return choose(m, t, [](double a) { return a; });
}

core::FlightField flightField(const ui::PlayView& v) {
    core::GameModel m;
    m.cfg.rows = v.rows;
    m.cfg.cols = v.cols;
    m.parity = v.parity;
    m.ceilingRow = v.ceilingRow;
    return ui::flightFieldFor(v.geo, m);
}

ShotOutcome simulateShot(const ui::PlayView& v, double angle, double frameDt) {
    core::Flight f = launched({v.geo.shooterX, v.geo.shooterY}, angle);
    const core::FlightField field = flightField(v);
    const double dtMs = std::min(frameDt, 0.05) * 1000.0;
    for (int frame = 0; frame < 2000; ++frame) {
        const ShotOutcome o = outcomeOf(core::fly(f, dtMs, field, v.board, v.obstacles));
        if (o.kind != ShotOutcome::StillFlying) return o;
    }
    return ShotOutcome{};
}

// The flight does not depend on how frames slice the time, so the frame length does not
// change the choice.
Aim chooseAim(const ui::PlayView& v, double /*frameDt*/, double pointerDist) {
    const double dist = pointerDist > 0 ? pointerDist : 160;
    // The view lists only the standing obstacles, so nothing counts as crushed.
    const Table t{flightField(v), v.obstacles, core::Point{v.geo.shooterX, v.geo.shooterY}};
    const auto snap = [&](double a0) {
        if (pointerDist <= 0) return a0;
        const core::Point p = aimPointer(v, a0, dist);
        return std::atan2(std::round(p.y) - v.geo.shooterY, std::round(p.x) - v.geo.shooterX);
    };
    const double a0 = choose(modelOf(v), t, snap);
    core::Point p = aimPointer(v, a0, dist);
    if (pointerDist > 0) p = core::Point{std::round(p.x), std::round(p.y)};
    return Aim{snap(a0), p};
}

core::Point aimPointer(const ui::PlayView& v, double angle, double dist) {
    return core::Point{v.geo.shooterX + dist * std::cos(angle),
                       v.geo.shooterY + dist * std::sin(angle)};
}

}  // namespace testsupport

// The flight of a fired marble from the launcher to its rest: side walls, obstacles, the
// ceiling and the pack. The path is cut into steps of a fixed length, so it depends only on
// the aim, the field and the board, never on how the frames slice the time; time a frame
// could not use is carried to the next one. The play screen flies the marble with it and
// draws the aim guide with it, so the guide shows the path the marble will take.
#pragma once

#include <vector>

#include "core/grid.h"
#include "core/obstacles.h"

namespace core {

// Length of one flight step in marble radii: short enough that no contact is missed.
inline constexpr double kFlightStep = 0.25;
// Launch speed of a marble, logical pixels per second.
inline constexpr double kShotSpeed = 1200.0;

// The field a marble flies in, in screen units.
struct FlightField {
    double R = 20;                  // marble radius
    double gridX = 0, gridTop = 0;  // the board's origin on screen
    double left = 0, right = 0;     // inner side walls
    double lostBelow = 0;           // a marble whose centre passes this y is gone
    int rows = 14, cols = 11;
    int parity = 0;      // the board's row parity
    int ceilingRow = 0;  // the row hanging at the ceiling line; nothing rests above it
    // The ceiling line's y on screen.
    double ceilingY() const;
};

// A marble in the air.
struct Flight {
    ShotState s;          // screen coordinates, pixels per second
    double carryMs = 0;   // time received but not yet flown
    double spin = 0;      // degrees the marble has turned
};

enum class FlightEnd { Flying, Landed, Swallowed, Lost };

// A change of direction on the way: a side wall (obstacle -1) or an obstacle.
struct FlightBounce {
    double x = 0, y = 0;
    int obstacle = -1;  // index into the obstacle list given
    ObstacleKind kind = ObstacleKind::Stone;
};

struct FlightResult {
    FlightEnd end = FlightEnd::Flying;
    int r = 0, c = 0;          // the landing cell (Landed)
    int obstacle = -1;         // the swallowing obstacle (Swallowed)
    std::vector<FlightBounce> bounces;  // in the order they happened
};

// Flies the marble for dtMs more milliseconds (whole steps only; the rest is carried).
// Stops at the first step that lands, swallows or loses the marble.
FlightResult fly(Flight& f, double dtMs, const FlightField& field, const Board& b,
                 const std::vector<ResolvedObstacle>& obstacles);

// The whole path a marble fired from (x, y) with velocity (vx, vy) would take, for at most
// reachMs of flight: the start, every bounce point and the end point. The end is the
// centre of the landing cell for a marble that lands, the marble's position otherwise.
struct FlightTrace {
    FlightResult result;
    std::vector<Point> path;
};
FlightTrace traceFlight(const ShotState& start, double reachMs, const FlightField& field,
                        const Board& b, const std::vector<ResolvedObstacle>& obstacles);

}  // namespace core

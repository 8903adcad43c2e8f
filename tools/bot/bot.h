// A player for tests and tools: predicts where a shot at a given angle ends with the rules
// core's own flight and placement, and picks the angle a sensible player would, looking one
// shot ahead with the colour that comes next.
// It plays a game model directly (the level prover), or reads the game from the play
// screen's view (or from an autosave plus the layout), so it works in-process and against
// the real binary alike; both ways judge a shot the same way.
#pragma once

#include <vector>

#include "core/flight.h"
#include "core/game.h"
#include "screens/playing.h"

namespace testsupport {

struct ShotOutcome {
    enum Kind { Landed, Swallowed, Lost, StillFlying } kind = StillFlying;
    int r = -1;  // landing cell
    int c = -1;
};

// A game's surroundings as laid out in a window: the field the marble flies in, the
// stage's obstacles (crushed ones included, so the model's indices name them) and the
// launcher. The field's parity and ceiling are taken from the game at each shot.
struct Table {
    core::FlightField field;
    std::vector<core::ResolvedObstacle> obstacles;
    core::Point launcher;
};
// The table of game m in a window laid out as g.
Table tableFor(const ui::PlayGeometry& g, const core::GameModel& m);

// Where a shot at angle (radians, -pi/2 straight up) fired in game m ends.
ShotOutcome shootFrom(const core::GameModel& m, const Table& t, double angle);

// The angle the bot fires next in game m with its current colour: the landing whose turn
// (descent and refill included) leaves the game best, counting the best landing the next
// colour then has. Never into a puddle while a landing is possible.
double chooseAngle(const core::GameModel& m, const Table& t);

// The field of the view's game as the flight sees it.
core::FlightField flightField(const ui::PlayView& v);

// Flies a marble from the launcher at angle (radians, -pi/2 straight up) through the board
// and obstacles of v, frame by frame with frames of frameDt seconds, as the play screen
// does.
ShotOutcome simulateShot(const ui::PlayView& v, double angle, double frameDt);

// The angle the bot fires next in the view's game, judged as chooseAngle does (the view
// shows how many rows wait but not their marbles, so those are taken as empty).
// With pointerDist > 0 only angles that a pointer on whole pixels at about that distance
// from the launcher can give are considered (for driving the real binary).
struct Aim {
    double angle = 0;
    core::Point pointer;  // where the pointer goes for it (at pointerDist, or 160 units)
};
Aim chooseAim(const ui::PlayView& v, double frameDt, double pointerDist = 0);

// A pointer position that aims the launcher at angle: dist units from the launcher.
core::Point aimPointer(const ui::PlayView& v, double angle, double dist);

}  // namespace testsupport

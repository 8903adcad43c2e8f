// A player for tests: predicts where a shot at a given angle ends with the rules core's own
// flight and placement, and picks the angle a sensible player would.
// It reads the game from the play screen's view (or from an autosave plus the layout), so
// it works in-process and against the real binary alike.
#pragma once

#include "core/flight.h"
#include "screens/playing.h"

namespace testsupport {

struct ShotOutcome {
    enum Kind { Landed, Swallowed, Lost, StillFlying } kind = StillFlying;
    int r = -1;  // landing cell
    int c = -1;
};

// The field of the view's game as the flight sees it.
core::FlightField flightField(const ui::PlayView& v);

// Flies a marble from the launcher at angle (radians, -pi/2 straight up) through the board
// and obstacles of v, frame by frame with frames of frameDt seconds, as the play screen
// does.
ShotOutcome simulateShot(const ui::PlayView& v, double angle, double frameDt);

// The angle the bot fires next with the launcher's current colour: the biggest pop (with
// drops), else a landing beside its own colour, high on the board; never into a puddle.
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

// The play screen: one game, campaign level or arcade run, from its first shot to the
// result screen. The screen itself is built by makePlayingScreen (ui/app.h); this header
// offers the two things outside code may need without reaching into the screen: the field
// geometry of a window, and a read-only view of the live game for tests and tools.
#pragma once

#include <cstdint>
#include <vector>

#include "core/flight.h"
#include "core/game.h"
#include "core/grid.h"
#include "core/obstacles.h"

namespace ui {

// Where the field, the grid and the launcher sit in a window of w x h logical units at
// layout scale ui, for a grid of rows x cols cells. Every length in logical units.
struct PlayGeometry {
    double w = 0, h = 0;  // the window
    double hudH = 60;  // height of the top bar
    double fieldTop = 0, fieldLeft = 0, fieldRight = 0, fieldBottom = 0;
    double fieldW = 0, fieldH = 0;
    double R = 20;      // marble radius, never below 11
    double gridW = 0;   // pixel width of the hex grid
    double gridX = 0;   // left edge of the grid; cell centres are offset by (gridX, fieldTop)
    double shooterX = 0, shooterY = 0;
    double splatFloorY = 0;  // falling marbles splash here
};

// The geometry of one frame; the same window always gives the same answer.
PlayGeometry playLayout(double w, double h, double ui, int rows, int cols);

// The field a marble of game m flies in, in a window laid out as g.
core::FlightField flightFieldFor(const PlayGeometry& g, const core::GameModel& m);
// Every obstacle of m's stage (crushed ones included, so indices stay stable) in the
// window laid out as g; none in arcade.
std::vector<core::ResolvedObstacle> stageObstacles(const PlayGeometry& g, const core::GameModel& m);

// What the live play screen showed at the end of its latest frame. `frame` counts the
// play screen's frames since the program started (0 before the first one), so a caller can
// tell a fresh view from a stale one.
struct PlayView {
    std::int64_t frame = 0;
    bool arcade = false;
    int level = 0;
    PlayGeometry geo;
    int rows = 14, cols = 11, lossRow = 13, numColors = 4;
    core::Board board;
    int parity = 0;      // the board's row parity
    int ceilingRow = 0;  // the row the pack hangs from
    int incomingRows = 0;
    std::vector<core::RC> starOrbs;
    std::vector<int> freed;
    std::vector<int> destroyed;
    std::vector<core::ResolvedObstacle> obstacles;  // those still standing
    double aim = 0;  // radians, -pi/2 straight up
    bool shotActive = false;
    core::ShotState shot;
    double shotSpin = 0;
    int currentColor = 0, nextColor = 0;
    int shots = 0, score = 0;
    bool paused = false, finished = false;
    double fillDue = -1;            // time of a pending refill, -1 none
    std::int64_t elapsedMs = 0;     // play time as of this frame
    int trick = 0;                  // the mascot's current trick (ui::Trick value)
    double cheerAt = -100;          // when that trick started
    int popups = 0, particles = 0;  // live effects
};

// Fills the fields of v that show the game m (configuration, board, orbs, colours,
// counters); the screen's own fields (geometry, flight, clock, effects) stay as they are.
void showGame(PlayView& v, const core::GameModel& m);

// The view of the latest play-screen frame.
const PlayView& playView();

}  // namespace ui

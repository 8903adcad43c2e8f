// One game, campaign level or arcade run, as plain values: the board and what waits above
// it, the star orbs, the launcher's colours, the counters and the game's generator, with
// the turn rules that change them. Nothing here draws, plays, stores or reads a clock: the
// play screen feeds shots and time in and turns the results into pictures and sounds, and
// the tests play the same rules without a window.
//
// The pack hangs from the ceiling row. The ceiling row is 0 while rows enter at the top
// and moves down with every descent that pushes in an empty row, so the pack never hangs
// below the ceiling and nothing rests above it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/flight.h"
#include "core/grid.h"
#include "core/levels.h"
#include "core/obstacles.h"

namespace core {

struct GameModel {
    LevelConfig cfg;
    bool arcade = false;
    int level = 0;  // campaign level index
    std::uint32_t seed = 0;
    Board board;
    int parity = 0;      // the board's row parity (see grid.h)
    int ceilingRow = 0;  // the row hanging at the ceiling line
    std::vector<std::vector<int>> incoming;  // campaign rows still waiting, front first
    std::vector<RC> starOrbs;
    std::set<int> freed;      // indices into starOrbs
    std::set<int> destroyed;  // indices of crushed obstacles
    int currentColor = 0, nextColor = 0;
    int shots = 0, score = 0;
    // Draws the next colours and, between the rules' own draws, the effects the screen
    // shows; the order of draws is part of the game.
    Mulberry32 rnd;
};

// A fresh campaign level (index clamped to 0..99) or arcade run.
GameModel newCampaignGame(int level, std::uint32_t seed);
GameModel newArcadeGame(std::uint32_t seed);
// Finishes a model whose stored fields were filled in (board, queue, orbs, colours,
// counters, seed): configuration, generator and ceiling as a fresh game derives them.
void resumeGame(GameModel& m);

// What a marble's landing did before the turn ends.
struct Placement {
    int row = 0, col = 0, color = 0;
    std::vector<RC> cluster;       // the same-colour group the marble joined
    bool popped = false;           // the group had three or more and is gone
    std::vector<RC> floaters;      // cut off from the ceiling and dropped
    std::vector<int> floaterColors;
    std::vector<int> freedOrbs;    // star orbs freed by this shot, in index order
    int earned = 0;                // points added to the score
};

// What the end of a turn did: the descent of the ceiling, a row entering, the arcade's
// fresh rows, what fell because the pack no longer held it, and how the game stands.
struct TurnEnd {
    bool descended = false;       // the pack came down a row
    bool rowEntered = false;      // a waiting row came in at the top with it
    bool respawned = false;       // arcade: fresh rows on an empty board
    std::vector<RC> fallen;       // marbles the new top no longer held (dropped, no points)
    std::vector<int> fallenColors;
    std::vector<int> freedOrbs;   // orbs freed by what fell
    int shift = 0;                // rows the pack moved down (for anything drawn on it)
    bool lost = false;            // marbles reached the loss row
    bool won = false;             // campaign: nothing waiting and the board is clear
};

// Places the marble in the free cell (row, col), pops its group when it has three or more,
// drops what no longer hangs from the ceiling, frees orbs and scores. Draws nothing from
// the generator: the screen draws its effects next, then ends the turn.
Placement placeMarble(GameModel& m, int row, int col, int color);
// Counts the shot, brings the ceiling down when due (arcade: only on a shot that popped
// nothing), refills an empty arcade board, follows the arcade difficulty and draws the
// next colour.
TurnEnd endTurn(GameModel& m, bool popped);
// A marble swallowed by a puddle: it counts as a shot, descent included.
TurnEnd swallowShot(GameModel& m);

// Why a stored game cannot be played, or "" when it can: the board and the waiting rows
// have the level's shape, colours are in range, orbs lie on the field or in the rows still
// to come, freed orbs and crushed obstacles name real ones, and no count or time is
// negative. Reads the model as stored, before resumeGame.
std::string storedGameFault(const GameModel& m, std::int64_t elapsedMs);

// Campaign refill: the number of waiting rows that would enter now to top the board up to
// four occupied rows (0 when none).
int refillDue(const GameModel& m);
// Lets those rows enter at the top; the result lists the rows moved and what fell.
TurnEnd refill(GameModel& m);

// Crushes every standing obstacle of `all` (the stage's, laid out in the field f) that a
// marble of the pack now reaches: a marble centre within 0.75 R of its rim. Returns the
// indices newly crushed, ascending.
std::vector<int> crushObstacles(GameModel& m, const FlightField& f,
                                const std::vector<ResolvedObstacle>& all);

// Shots left until the next descent; 0 when the ceiling never comes down.
int shotsToDescent(const GameModel& m);
// Rows of the board that hold anything.
int occupiedRows(const Board& b);
// Campaign: nothing waits above and the board is empty or holds no two touching marbles
// of one colour.
bool levelSolved(const GameModel& m);

}  // namespace core

// The level prover: the bot plays every campaign level through the game model over a
// fixed set of seeds in a 1280 x 720 window, and arcade runs until they are lost or
// capped, and the results are written as a report whose last line reads "won N/100".
#pragma once

#include <cstdint>
#include <ostream>

namespace testsupport {

// One game played by the bot to its end.
struct ProvedGame {
    bool won = false;
    bool ended = false;  // won or lost (false: stopped at the shot cap)
    int shots = 0, stars = 0, score = 0;
    int descents = 0;  // descents of the pack the bot survived
};

// Plays campaign level (0..99) with the given seed.
ProvedGame proveLevel(int level, std::uint32_t seed);
// Plays arcade with the given seed until lost or maxShots shots.
ProvedGame proveArcade(std::uint32_t seed, int maxShots);

struct ProveOptions {
    int seeds = 5;          // campaign seeds per level
    int arcadeSeeds = 3;    // arcade runs (0: none)
    int arcadeShots = 3000; // cap of one arcade run
    int firstLevel = 0, lastLevel = 99;  // the campaign levels played
};

// Writes the report: a line per level, a line per block of ten, the arcade runs, then
// "won N/M" for the M levels played (100 unless a range was asked for). Returns N.
int proveAll(std::ostream& out, const ProveOptions& o);

}  // namespace testsupport

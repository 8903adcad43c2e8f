// The level catalogue: a campaign level's parameters and starting layout from its flat
// index 0..99, the parameters of the endless arcade mode at a given progress, and the
// star rating of freed star orbs. The level records themselves are in levels_data.h.
#pragma once

#include <vector>

#include "core/grid.h"

namespace core {

// Parameters of a campaign level (levelConfig) or of the arcade mode at a given progress
// (arcadeConfig). Each comment gives the campaign value, then the arcade one; fill rows
// are min(2 + flat / 18, 6), and every division rounds down.
struct LevelConfig {
    int flat = 0;       // flat level index 0..99; arcade 0
    int stage = 0;      // block of ten levels, flat / 10; arcade progress / 25, at most 9
    int idx = 0;        // position in the block, flat % 10; arcade 0
    int numColors = 4;  // min(4 + flat / 20, 6); arcade min(4 + progress / 60, 6)
    int cols = 11;
    int rows = 14;
    int targetScore = 0;      // 330 x fill rows; arcade 0
    int optimumMarbles = 0;   // max(ceil(11 x fill rows / 2.5) + 3, 8); arcade 0
    int paletteOffset = 0;    // numColors x idx; arcade 0
    int startingMarbles = 0;  // 11 x fill rows; arcade 44
    int lossRow = 13;
    int shotsPerDescent = 0;  // max(6 - flat / 20, 3); arcade 0 (it paces itself with
                              // arcadeShotsPerDrop)
    bool arcade = false;

    friend bool operator==(const LevelConfig&, const LevelConfig&) = default;
};

// A level's starting layout, copied out of its record.
struct LevelBoard {
    Board board;                                 // 14 x 11
    std::vector<std::vector<int>> incomingRows;  // 11 cells each, first to enter first
    std::vector<RC> starOrbs;                    // record order
    int bubbles = 0;                             // marbles on the board plus incoming
};

// The campaign level's configuration; flat is clamped to 0..99.
LevelConfig levelConfig(int flat);
// The arcade configuration at a progress of marblesDropped (negative counts as 0).
LevelConfig arcadeConfig(int marblesDropped);
// Shots between two new top rows in arcade mode: max(8 - progress / 40, 4).
int arcadeShotsPerDrop(int marblesDropped);
// The arcade level number shown to the player: progress / 25 + 1.
int arcadeSpeedLevel(int marblesDropped);
// The star rating: 3 when the level has no orbs, else freedOrbs clamped to 0..3.
int starsForOrbs(int freedOrbs, int totalOrbs);
// The level's starting board, incoming rows, star orbs and marble count; flat is clamped
// to 0..99.
LevelBoard levelBoard(int flat);

}  // namespace core

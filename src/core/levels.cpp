#include "core/levels.h"

#include <algorithm>

#include "core/levels_data.h"

namespace core {

namespace {

int clampFlat(int flat) {
    return std::clamp(flat, 0, levels_data::kLevelCount - 1);
}

}  // namespace

LevelConfig levelConfig(int flat) {
    const int f = clampFlat(flat);
    const int fillRows = std::min(2 + f / 18, 6);
    LevelConfig c;
    c.flat = f;
    c.stage = f / 10;
    c.idx = f % 10;
    c.numColors = std::min(4 + f / 20, 6);
    c.cols = 11;
    c.rows = 14;
    c.targetScore = 330 * fillRows;
    // ceil(11 x fillRows / 2.5) in integers: ceil(22 x fillRows / 5).
    c.optimumMarbles = std::max((22 * fillRows + 4) / 5 + 3, 8);
    c.paletteOffset = c.numColors * c.idx;
    c.startingMarbles = 11 * fillRows;
    c.lossRow = 13;
    c.shotsPerDescent = std::max(6 - f / 20, 3);
    c.arcade = false;
    return c;
}

LevelConfig arcadeConfig(int marblesDropped) {
    const int m = std::max(marblesDropped, 0);
    LevelConfig c;
    c.flat = 0;
    c.stage = std::min(m / 25, 9);
    c.idx = 0;
    c.numColors = std::min(4 + m / 60, 6);
    c.cols = 11;
    c.rows = 14;
    c.targetScore = 0;
    c.optimumMarbles = 0;
    c.paletteOffset = 0;
    c.startingMarbles = 44;
    c.lossRow = 13;
    c.shotsPerDescent = 0;
    c.arcade = true;
    return c;
}

int arcadeShotsPerDrop(int marblesDropped) {
    return std::max(8 - std::max(marblesDropped, 0) / 40, 4);
}

int arcadeSpeedLevel(int marblesDropped) {
    return std::max(marblesDropped, 0) / 25 + 1;
}

int starsForOrbs(int freedOrbs, int totalOrbs) {
    if (totalOrbs < 1) return 3;
    return std::clamp(freedOrbs, 0, 3);
}

LevelBoard levelBoard(int flat) {
    const levels_data::Level& rec = levels_data::kLevels[clampFlat(flat)];
    LevelBoard out;
    out.board = makeEmptyBoard(levels_data::kBoardRows, levels_data::kBoardCols);
    for (int r = 0; r < levels_data::kBoardRows; ++r)
        for (int c = 0; c < levels_data::kBoardCols; ++c) out.board[r][c] = rec.board[r][c];
    const int incoming = std::clamp<int>(rec.incomingCount, 0, levels_data::kMaxIncoming);
    out.incomingRows.reserve(incoming);
    for (int i = 0; i < incoming; ++i)
        out.incomingRows.emplace_back(rec.incoming[i], rec.incoming[i] + levels_data::kBoardCols);
    const int orbs = std::clamp<int>(rec.starOrbCount, 0, levels_data::kMaxStarOrbs);
    out.starOrbs.reserve(orbs);
    for (int i = 0; i < orbs; ++i) out.starOrbs.push_back({rec.starOrbs[i][0], rec.starOrbs[i][1]});
    out.bubbles = rec.bubbles;
    return out;
}

}  // namespace core

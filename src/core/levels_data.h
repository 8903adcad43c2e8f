// The compiled-in campaign: 100 read-only level records, record i being flat level i
// (shown to people as i + 1). The records are generated from readable pattern
// descriptions by tools/levels/make_levels.py; see tools/levels/levels.txt.
#pragma once

#include <cstdint>

namespace core::levels_data {

inline constexpr int kLevelCount = 100;
inline constexpr int kBoardRows = 14;
inline constexpr int kBoardCols = 11;
inline constexpr int kMaxIncoming = 16;
inline constexpr int kMaxStarOrbs = 3;

// One campaign level. The field order and sizes are part of the format: keep them.
struct Level {
    // Starting board, row-major: -1 empty, 0..5 a colour index.
    std::int8_t board[kBoardRows][kBoardCols];
    // Rows that enter the field from the top later, first to enter first; only the first
    // incomingCount rows are used, the rest are all -1.
    std::int8_t incoming[kMaxIncoming][kBoardCols];
    std::int32_t incomingCount;
    // Up to three (row, column) pairs; rows may lie below the board (up to 17) and rise
    // by one for every row that enters at the top, sweeping up through the pack.
    std::int8_t starOrbs[kMaxStarOrbs][2];
    std::int32_t starOrbCount;
    // Non-empty cells of board plus those of the used incoming rows.
    std::int32_t bubbles;
    // The colour count the level was made for: 4 for levels 0-19, 5 for 20-39, 6 from 40.
    std::int32_t numColors;
};

extern const Level kLevels[kLevelCount];

}  // namespace core::levels_data

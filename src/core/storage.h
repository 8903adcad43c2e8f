// Everything that outlives a run: settings, campaign progress, best results per level,
// the solve list, the arcade high-score table and one interrupted game. All of it lives in
// memory in one module state, is loaded once by init(), and is written to two sealed JSON
// files in the data directory: "settings.dat" for the settings and "saves.dat" for the
// rest. Every change of progress is on disk when the call that made it returns.
//
// A file is replaced through its name plus ".neu": written whole, flushed, then renamed
// over the old one, so a crash or power cut leaves the old or the new file, never neither.
// A write that fails leaves the previous file as it was; the store never stops the game.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/grid.h"

namespace store {

struct Settings {
    std::string language;  // interface language code; empty = from the environment
    bool soundOn = true;
    double musicVolume = 0.35;  // 0..1
    double sfxVolume = 0.75;    // 0..1
    bool aimGuide = true;
    int windowW = 0;   // last window width in pixels; 0 = none stored
    int windowH = 0;   // last window height; 0 = none stored
    int windowX = -1;  // last window position; -1 = none stored
    int windowY = -1;
    bool maximized = false;
    bool fullscreen = false;
    bool marbleSymbols = false;  // every marble colour carries its own symbol
};

// Best result of one level; each field is a separate best and may come from another run.
struct LevelBest {
    int stars = 0;               // 0..3
    int moves = 0;               // shots used; 0 = none recorded
    std::int64_t elapsedMs = 0;  // play time; 0 = none recorded
};

struct SolveEntry {
    int level = 0;    // level index 0..99
    int marbles = 0;  // shots used
    int score = 0;
    std::int64_t elapsedMs = 0;
    std::int64_t solvedAt = 0;  // Unix milliseconds; 0 = now, when recorded
    int stars = 0;
};

struct ArcadeHigh {
    int score = 0;
    int marbles = 0;
    std::int64_t elapsedMs = 0;
    std::int64_t achievedAt = 0;  // Unix milliseconds
};

// The interrupted game.
struct SavedGame {
    bool valid = false;
    int level = 0;  // campaign level index 0..99
    std::uint32_t seed = 0;
    bool arcade = false;
    core::Board board;
    std::vector<std::vector<int>> incomingQueue;  // rows still waiting above the field
    std::vector<core::RC> starOrbPositions;
    std::vector<int> freedStarOrbs;
    std::vector<int> destroyedObstacles;
    int currentColor = 0;
    int nextColor = 0;
    int shotsFired = 0;
    int score = 0;
    std::int64_t elapsedMs = 0;
    std::int64_t savedAt = 0;  // Unix milliseconds of the last save
    int rowParity = 0;   // the board's row parity (0 or 1); see core/grid.h
    int ceilingRow = 0;  // the row hanging at the ceiling line
};

inline constexpr int kMaxArcadeEntries = 10;
inline constexpr int kMaxSolves = 200;
// One past the last level: the unlocked count that means every level is cleared.
inline constexpr int kAllCleared = 101;

// Loads both files from the data directory, once; later calls do nothing. An unreadable
// file is moved aside under its name plus ".manipuliert" and reported on standard error.
void init();
// The settings; change fields and then call saveSettings(). Defaults until init().
Settings& settings();
// Writes "settings.dat".
void saveSettings();

// Number of playable levels (index i is playable when i is below it), 1 to 100, or 101
// once every level is cleared.
int unlockedLevel();
// Raises the unlocked count to count (at most 101) and writes; nothing when not higher.
void advanceUnlockedLevel(int count);
// Best results by level index.
const std::map<int, LevelBest>& levelBests();
// Merges b into the level's best (more stars, fewer moves, less time, each on its own;
// a stored 0 counts as none), writes, and returns the best as it now stands.
LevelBest recordBest(int level, const LevelBest& b);
// Solved levels, newest first, at most one per level and 200 in all.
const std::vector<SolveEntry>& solves();
// Adds the level's solve or replaces it when the new one is better (more stars, then fewer
// marbles, then less time); stamps solvedAt with now when it is 0; writes.
void recordSolve(const SolveEntry& e);
// The arcade table, best score first, at most 10 entries.
const std::vector<ArcadeHigh>& arcadeHighs();
// Inserts a (an equal score ranks below the older ones), cuts to 10, writes, returns it.
const std::vector<ArcadeHigh>& recordArcadeHigh(const ArcadeHigh& a);
// The interrupted game; valid says whether there is one.
const SavedGame& savedGame();
// The stored pieces of a game as the rules hold them (before core::resumeGame), and back.
core::GameModel gameModelOf(const SavedGame& g);
SavedGame savedGameOf(const core::GameModel& m, std::int64_t elapsedMs);
bool hasSavedGame();
// Stores g as the interrupted game (valid, savedAt = now) and writes.
void saveGame(const SavedGame& g);
// Forgets the interrupted game and writes.
void clearGame();
// Forgets all progress (unlocked count, bests, solves, arcade table, interrupted game)
// and writes; the settings stay.
void resetProgress();
// Wall-clock Unix time in milliseconds.
std::int64_t nowMs();

// Forgets everything in memory and loads both files from dir as init() does from the data
// directory; later writes go to dir. For tests and tools that work on another directory.
void openAt(const std::string& dir);

}  // namespace store

// The hexagonal marble field and its pure rules: geometry, the seeded generator, shot
// flight and landing, clusters, drops, scoring, ceiling descent and board generation.
// Nothing here touches SDL, files or clocks: boards in, boards out.
//
// Geometry is in multiples of the marble radius R, in board coordinates with the origin
// at the grid's top-left corner and y growing downwards.
//
// Row parity: a row r is shifted right by R when r + parity is odd. A board that never
// moved has parity 0 (odd rows shifted); every move of the pack by an odd number of rows
// flips the parity, so the lattice keeps its shape and no neighbour changes when the pack
// comes down. Every geometry and neighbour rule below takes the board's parity (0 or 1;
// only its lowest bit counts).
#pragma once

#include <cstdint>
#include <vector>

namespace core {

// Rows of cells, row 0 at the ceiling. -1 is empty; 0 and up is a colour index into the
// level's palette. Only the exact value -1 is empty: any other value counts as occupied.
using Board = std::vector<std::vector<int>>;

struct RC {
    int r = 0;
    int c = 0;
    friend bool operator==(const RC&, const RC&) = default;
};

struct Point {
    double x = 0;
    double y = 0;
};

inline constexpr double kSqrt3 = 1.7320508075688772;

// The 32-bit seeded generator behind every random choice of rules and decorations.
// A seed of 0 is fine; the seed is the state as it stands.
struct Mulberry32 {
    std::uint32_t state_ = 0;
    explicit Mulberry32(std::uint32_t seed = 0) : state_(seed) {}
    // A double in [0, 1).
    double next();
    // An int in 0 .. n - 1 (n >= 1; for n < 1 the result is n - 1, which callers avoid).
    int nextInt(int n);
};

// A rows x cols board, every cell -1. Negative sizes give an empty board.
Board makeEmptyBoard(int rows, int cols);
// True when every cell is -1, also for a board without rows.
bool isBoardEmpty(const Board& b);
// The six neighbours of (r, c), not range-checked, in the order left, right, upper-left,
// upper-right, lower-left, lower-right. The order decides ties wherever neighbours tie.
std::vector<RC> neighbors(int r, int c, int parity = 0);
// True when row r sits half a cell to the right.
bool rowShifted(int r, int parity = 0);
// Centre of cell (r, c) for marble radius R.
Point cellCenter(int r, int c, double R, int parity = 0);
// Width of a grid of cols columns, including the half-cell shift of odd rows.
double gridWidth(int cols, double R);
// Cell whose centre is nearest to (x, y); ties go to the smaller row, then the smaller
// column. (0, 0) when no row or column near the point lies inside the grid.
RC pixelToCell(double x, double y, int rows, int cols, double R, int parity = 0);

// Number of rows and columns of a board: columns are those of row 0.
int boardRows(const Board& b);
int boardCols(const Board& b);
// The cell's value, or -1 when (r, c) lies outside the board (ragged rows included).
int cellAt(const Board& b, int r, int c);

// ---- Shot flight and landing -------------------------------------------------------

struct ShotState {
    double x = 0, y = 0;    // centre of the marble
    double vx = 0, vy = 0;  // length units per second; negative vy is upwards
    int color = 0;
};

struct Landing {
    bool found = false;
    int r = 0;
    int c = 0;
};

// Advances the marble by dtMs milliseconds and reflects it off the inner side walls
// (a clamp of the position plus a sign change of vx). Nothing limits y.
void stepShot(ShotState& s, double dtMs, double R, double fieldLeft, double fieldRight);
// The free cell where the marble comes to rest, or found = false while it touches
// neither the ceiling line nor any marble (or no free cell is near). No marble comes to
// rest above topRow, the row that hangs at the ceiling line.
Landing tryLand(const ShotState& s, const Board& b, double R, int rows, int cols,
                double ceilingY, int parity = 0, int topRow = 0);

// ---- Clusters, drops, scoring, descent, generation ---------------------------------

// The connected group with the colour of (r0, c0), depth-first from (r0, c0) itself.
// Empty for an empty cell or a cell outside the board.
std::vector<RC> sameColorCluster(const Board& b, int r0, int c0, int parity = 0);
// Occupied cells not connected to the anchor row, in row-major order. The anchor is the
// ceiling row when one is given (ceilingRow >= 0: what hangs in it, or above it, holds;
// everything else must connect to it), else the first row holding anything.
std::vector<RC> floatingBubbles(const Board& b, int parity = 0, int ceilingRow = -1);
// Distinct colour values >= 0 on the board, ascending.
std::vector<int> colorsOnBoard(const Board& b);
// Points for popping n marbles and dropping floaters; 0 when n < 3.
int scoreForPop(int n, int floaters);
// Moves every row down by dRows (rows falling off the bottom disappear, the top fills
// with -1). True when a marble was moved into a row at or below lossRow.
bool pushCeilingDown(Board& b, int dRows, int lossRow);
// Pushes the board down by count rows and fills the new top rows from rnd, breaking up
// groups of five or more. True when any cell from lossRow down is occupied. A count
// larger than the board is cut to the board's height. parity is the board's parity after
// the push (the caller's parity, flipped when count is odd).
bool spawnTopRows(Board& b, int count, int numColors, Mulberry32& rnd, int lossRow,
                  int parity = 0);
// A random starting board: startingMarbles cells filled row by row from a xorshift32
// stream, then up to six passes that break up groups of five or more. Deterministic.
Board generateStartingBoard(int numColors, int startingMarbles, std::uint32_t seed, int rows,
                            int cols);

}  // namespace core

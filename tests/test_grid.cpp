// Rules of the hex board: geometry, generator, flight, landing, clusters, drops, scoring,
// descent and generation. Golden values for the generators come from an independent
// reimplementation, so a change to any draw order shows up here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/grid.h"
#include "support/boards.h"

using core::Board;
using core::RC;
using testsupport::boardFrom;

namespace {

std::uint32_t fnv(std::uint32_t h, int v) {
    h ^= static_cast<std::uint32_t>(v);
    return h * 16777619u;
}

std::vector<RC> rcs(std::initializer_list<RC> l) { return l; }

// Where a landing ended, or {-9, -9} when none was found.
RC at(const core::Landing& l) { return l.found ? RC{l.r, l.c} : RC{-9, -9}; }

}  // namespace

TEST(HexGeometry, NeighbourOrderDependsOnRowParity) {
    EXPECT_EQ(core::neighbors(0, 0), rcs({{0, -1}, {0, 1}, {-1, -1}, {-1, 0}, {1, -1}, {1, 0}}));
    EXPECT_EQ(core::neighbors(1, 0), rcs({{1, -1}, {1, 1}, {0, 0}, {0, 1}, {2, 0}, {2, 1}}));
    // Negative odd rows are odd too (r & 1 on two's complement).
    EXPECT_EQ(core::neighbors(-1, 3)[2], (RC{-2, 3}));
}

TEST(HexGeometry, CentresWidthsAndHeights) {
    const core::Point p0 = core::cellCenter(0, 0, 10);
    EXPECT_DOUBLE_EQ(p0.x, 10);
    EXPECT_DOUBLE_EQ(p0.y, 10);
    const core::Point p1 = core::cellCenter(1, 0, 10);
    EXPECT_DOUBLE_EQ(p1.x, 20);
    EXPECT_NEAR(p1.y, 27.320508075688772, 1e-12);
    EXPECT_DOUBLE_EQ(core::gridWidth(11, 10), 230);
    // Bottom edge of a 14-row grid: last centre plus one radius.
    EXPECT_NEAR(core::cellCenter(13, 0, 10).y + 10, 245.16660498395403, 1e-9);
}

TEST(HexGeometry, PixelToCellTiesEdgesAndFarPoints) {
    const double R = 10;
    // Every cell centre maps back to its cell.
    for (int r = 0; r < 14; ++r)
        for (int c = 0; c < 11; ++c) {
            const core::Point p = core::cellCenter(r, c, R);
            EXPECT_EQ(core::pixelToCell(p.x, p.y, 14, 11, R), (RC{r, c}));
        }
    // Exactly between (0,2) and (0,3): the left one. Just outside the right edge and below
    // the bottom: nearest edge cell. Far away, or not a number at all: (0, 0).
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double x, y;
        RC cell;
    } cases[] = {{60, 10, {0, 2}},   {232, 2, {0, 10}},      {10, 250, {13, 0}},
                 {5000, 10, {0, 0}}, {115, -400, {0, 0}},    {115, 13 * 17.32 + 70, {0, 0}},
                 {nan, nan, {0, 0}}, {1e300, -1e300, {0, 0}}};
    for (const auto& k : cases)
        EXPECT_EQ(core::pixelToCell(k.x, k.y, 14, 11, R), k.cell) << k.x << "," << k.y;
    EXPECT_EQ(core::pixelToCell(10, 10, 0, 0, R), (RC{0, 0}));
}

TEST(Mulberry32, MatchesReferenceSequence) {
    core::Mulberry32 a(12345);
    EXPECT_DOUBLE_EQ(a.next(), 0.9797282677609473);
    EXPECT_DOUBLE_EQ(a.next(), 0.3067522644996643);
    EXPECT_DOUBLE_EQ(a.next(), 0.484205421525985);
    core::Mulberry32 z(0);
    const int expected[] = {1, 0, 1, 0, 2, 3, 3, 3};
    for (int e : expected) EXPECT_EQ(z.nextInt(6), e);
    core::Mulberry32 one(99);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(one.nextInt(1), 0);
    // The state wraps rather than saturating.
    core::Mulberry32 w(0xFFFFFFFFu);
    w.next();
    EXPECT_EQ(w.state_, 0x6D2B79F4u);
}

TEST(ShotFlight, WallsClampAndReflect) {
    // Into the left wall (x would be 7); ending exactly at fieldLeft + R keeps going; the
    // right wall. Columns: x, vx, vy before; x, vx, y after.
    const double cases[][6] = {{10, -300, -1000, 10, 300, 90}, {13, -300, 0, 10, -300, 100},
                               {218, 500, 0, 220, -500, 100}};
    for (const auto& k : cases) {
        core::ShotState s{k[0], 100, k[1], k[2], 0};
        core::stepShot(s, 10, 10, 0, 230);
        EXPECT_DOUBLE_EQ(s.x, k[3]) << k[0];
        EXPECT_DOUBLE_EQ(s.vx, k[4]) << k[0];
        EXPECT_DOUBLE_EQ(s.y, k[5]) << k[0];
    }
}

TEST(Landing, CeilingSnapsIntoTopRow) {
    const double R = 10;
    Board b = core::makeEmptyBoard(14, 11);
    core::ShotState s{64, 10, 0, -1200, 0};  // top edge exactly on the ceiling line
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, 0)), (RC{0, 3}));
    // Snap cell taken: the nearer free neighbour.
    b[0][3] = 2;
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, 0)), (RC{0, 2}));
    // Just below the ceiling with nothing to touch keeps flying.
    core::ShotState below{64, 10.001, 0, -1200, 0};
    EXPECT_FALSE(core::tryLand(below, core::makeEmptyBoard(14, 11), R, 14, 11, 0).found);
}

TEST(Landing, ContactAtExactlyTwoRadiiAndFallbacks) {
    const double R = 10;
    Board b = core::makeEmptyBoard(14, 11);
    b[0][5] = 1;
    const core::Point m = core::cellCenter(0, 5, R);
    core::ShotState s{m.x, m.y + 2 * R, 0, -1200, 0};  // exactly 2R below the centre
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, -1000)).r, 1);
    s.y += 1e-9;  // a hair further: no contact yet
    EXPECT_FALSE(core::tryLand(s, b, R, 14, 11, -1000).found);

    // The cell under the marble and all its neighbours are taken: fall back to the free
    // neighbour of the touched marble nearest to the marble.
    Board full = core::makeEmptyBoard(14, 11);
    for (int r = 0; r <= 3; ++r)
        for (int c = 0; c < 11; ++c) full[r][c] = 0;
    full[2][5] = 0;
    const core::Point p = core::cellCenter(2, 5, R);
    core::ShotState in{p.x + 1, p.y + 1, 0, -1200, 0};
    // Every neighbour of the snap cell (2,5) is row 1..3 and occupied: not found.
    EXPECT_FALSE(core::tryLand(in, full, R, 14, 11, -1000).found);
    // Free one neighbour of the touched marble (the topmost-leftmost in reach is (1,5)).
    full[1][4] = -1;
    EXPECT_EQ(at(core::tryLand(in, full, R, 14, 11, -1000)), (RC{1, 4}));
}

TEST(Landing, TouchingTwoRowsUsesTheUpperForFallback) {
    const double R = 10;
    // A packed board with one hole at (4,4). The marble sits just above the centre of
    // (5,5): it touches (4,5), (4,6) and (5,5) itself, and every cell around (5,5) is
    // taken, so the fallback decides. Only the upper contact (4,5) has the hole next to it.
    Board b(14, std::vector<int>(11, 0));
    b[4][4] = -1;
    const core::Point p = core::cellCenter(5, 5, R);
    core::ShotState s{p.x, p.y - 0.3, 0, -1200, 0};
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, -1000)), (RC{4, 4}));
}

TEST(Landing, SurvivesShortAndRaggedBoards) {
    const double R = 10;
    Board ragged = {{0, -1}, {}, {1}};
    core::ShotState s{30, 10, 0, -1200, 0};
    // Cells the board does not have are never offered as landing cells.
    EXPECT_EQ(at(core::tryLand(s, ragged, R, 14, 11, -5)), (RC{0, 1}));
    EXPECT_FALSE(core::tryLand(s, Board{}, R, 0, 0, -5).found);
    // Touching (2,0) from below, where row 3 does not exist: nothing to land in.
    core::ShotState low{10, 10 + 3 * 17.3205, 0, -1200, 0};
    EXPECT_FALSE(core::tryLand(low, Board{{-1}, {1}, {1}}, R, 14, 11, -5).found);
    EXPECT_FALSE(core::tryLand(s, Board{}, R, 14, 11, 0).found);
}

TEST(Clusters, SearchOrderEmptyAndLoneCells) {
    Board b = boardFrom({
        "1 1 2 . .",
        " 1 2 2 . .",
        "3 1 . . .",
    });
    EXPECT_TRUE(core::sameColorCluster(b, 0, 3).empty());
    EXPECT_TRUE(core::sameColorCluster(b, -1, 0).empty());
    EXPECT_TRUE(core::sameColorCluster(b, 0, 9).empty());
    EXPECT_EQ(core::sameColorCluster(b, 2, 0), rcs({{2, 0}}));
    const auto ones = core::sameColorCluster(b, 0, 0);
    ASSERT_EQ(ones.size(), 4u);
    EXPECT_EQ(ones.front(), (RC{0, 0}));
    // Depth-first from the last pushed neighbour: (1,0) is pushed after (0,1).
    EXPECT_EQ(ones, rcs({{0, 0}, {1, 0}, {2, 1}, {0, 1}}));
    EXPECT_EQ(core::sameColorCluster(b, 1, 2).size(), 3u);
    // Codes below -1 are occupied but are not colours: no cluster.
    b[0][0] = -7;
    EXPECT_TRUE(core::sameColorCluster(b, 0, 0).empty());
}

TEST(Clusters, FloatingAnchorsOnFirstOccupiedRow) {
    Board b = boardFrom({
        ". . . . .",
        ". . . . .",
        "1 1 1 1 1",
        ". 2 . . .",
        ". . . . .",
        ". . . 3 .",
    });
    EXPECT_EQ(core::floatingBubbles(b), rcs({{5, 3}}));
    // Clear the anchor row: row 3 becomes the anchor and nothing in it floats.
    for (int& v : b[2]) v = -1;
    EXPECT_EQ(core::floatingBubbles(b), rcs({{5, 3}}));
    EXPECT_TRUE(core::floatingBubbles(Board{}).empty());
    EXPECT_TRUE(core::floatingBubbles(Board{{}}).empty());
    EXPECT_TRUE(core::floatingBubbles(core::makeEmptyBoard(3, 3)).empty());
    // Any code other than -1 holds its neighbours up.
    Board odd = boardFrom({"-5 . .", " 4 . .", "4 . ."});
    EXPECT_TRUE(core::floatingBubbles(odd).empty());
}

TEST(Clusters, PropertiesOverSeededBoards) {
    core::Mulberry32 rnd(2024);
    for (int trial = 0; trial < 400; ++trial) {
        Board b = testsupport::randomBoard(rnd, 14, 11, 0.35 + 0.6 * rnd.next(), 4);
        const auto floating = core::floatingBubbles(b);
        // Floaters really are cut off: removing them leaves a fully connected board, and
        // no floater is adjacent to a non-floater.
        Board rest = b;
        for (const RC& f : floating) rest[f.r][f.c] = -1;
        EXPECT_TRUE(testsupport::allConnectedToAnchor(rest));
        for (const RC& f : floating)
            for (const RC& n : core::neighbors(f.r, f.c))
                if (n.r >= 0 && n.r < 14 && n.c >= 0 && n.c < 11 && rest[n.r][n.c] != -1)
                    ADD_FAILURE() << "floater next to an anchored marble";

        // Pop a cluster of 3+ and its floaters: every remaining marble hangs on.
        const int r = rnd.nextInt(14), c = rnd.nextInt(11);
        const auto group = core::sameColorCluster(b, r, c);
        for (const RC& g : group) {
            EXPECT_EQ(b[g.r][g.c], b[r][c]);
        }
        if (group.size() >= 3) {
            for (const RC& g : group) b[g.r][g.c] = -1;
            for (const RC& f : core::floatingBubbles(b)) b[f.r][f.c] = -1;
            EXPECT_TRUE(testsupport::allConnectedToAnchor(b));
        }
    }
}

TEST(Scoring, PopsAndDrops) {
    // popped, dropped, points: clamped, not wrapped; no negative drops.
    const int cases[][3] = {{3, 0, 30}, {4, 0, 50}, {5, 0, 90}, {6, 0, 150}, {3, 2, 70},
                            {2, 5, 0}, {-4, 5, 0}, {154, 154, 10 * (154 + 151 * 151) + 20 * 154},
                            {2000000000, 0, 2147483647}, {3, -2000000000, 30}};
    for (const auto& [popped, dropped, points] : cases)
        EXPECT_EQ(core::scoreForPop(popped, dropped), points) << popped << " " << dropped;
    EXPECT_EQ(core::colorsOnBoard(boardFrom({"3 . 1", " 1 -4 0"})), (std::vector<int>{0, 1, 3}));
}

TEST(Descent, PushCeilingDown) {
    for (int filled = 0; filled < 2; ++filled) {
        Board b = core::makeEmptyBoard(14, 11);
        b[0][0] = 1;
        if (filled) b[12][4] = 2;
        EXPECT_EQ(core::pushCeilingDown(b, 1, 13), filled == 1);
        EXPECT_EQ(b[1][0], 1);
        EXPECT_EQ(b[0][0], -1);
    }
    Board b = core::makeEmptyBoard(4, 3);
    b[3][1] = 5;  // the bottom row falls off
    b[0][2] = 1;
    EXPECT_FALSE(core::pushCeilingDown(b, 2, 3));
    EXPECT_EQ(b[2][2], 1);
    EXPECT_EQ(b[3][1], -1);
    EXPECT_FALSE(core::pushCeilingDown(b, 0, 0));
    EXPECT_FALSE(core::pushCeilingDown(b, -3, 0));
    Board none;
    EXPECT_FALSE(core::pushCeilingDown(none, 1, 0));
    Board ragged = {{1, 2, 3}, {4}, {}};
    EXPECT_TRUE(core::pushCeilingDown(ragged, 1, 1));
    EXPECT_EQ(ragged[1][0], 1);
    EXPECT_EQ(ragged[0], (std::vector<int>{-1, -1, -1}));
}

TEST(Descent, SpawnTopRowsFillsBreaksGroupsAndStaysInBounds) {
    Board b = core::makeEmptyBoard(14, 11);
    core::Mulberry32 rnd(7);
    EXPECT_FALSE(core::spawnTopRows(b, 2, 0, rnd, 13));
    for (int r = 0; r < 2; ++r)
        for (int v : b[r]) EXPECT_EQ(v, 0);  // no colours: everything is colour 0
    EXPECT_FALSE(core::spawnTopRows(b, 0, 4, rnd, 13));
    EXPECT_FALSE(core::spawnTopRows(b, -2, 4, rnd, 13));

    // More rows than the board has: cut to the board, no out-of-range writes.
    Board small = core::makeEmptyBoard(3, 4);
    core::Mulberry32 r2(9);
    EXPECT_TRUE(core::spawnTopRows(small, 10, 3, r2, 2));
    EXPECT_FALSE(core::spawnTopRows(small, 1, 3, r2, 7));  // lossRow beyond the board
    for (const auto& row : small)
        for (int v : row) EXPECT_TRUE(v >= 0 && v < 3);

    // Golden signature against an independent implementation.
    std::uint32_t h = 2166136261u;
    std::uint32_t flags = 0;
    for (int seed = 1; seed <= 30; ++seed) {
        Board g = core::generateStartingBoard(5, 33, static_cast<std::uint32_t>(seed), 14, 11);
        core::Mulberry32 rr(static_cast<std::uint32_t>(seed * 7));
        for (int k = 0; k < 4; ++k) {
            const bool f = core::spawnTopRows(g, 1 + (k % 2), 3 + (seed % 4), rr, 13);
            flags = flags * 2 + (f ? 1 : 0);
        }
        for (const auto& row : g)
            for (int v : row) h = fnv(h, v);
        h = fnv(h, static_cast<int>(rr.state_));
    }
    EXPECT_EQ(h, 1190995597u);
    EXPECT_EQ(flags, 0u);
}

TEST(Generation, DeterministicAndFreeOfBigGroups) {
    const Board a = core::generateStartingBoard(4, 22, 0, 14, 11);
    EXPECT_EQ(a, core::generateStartingBoard(4, 22, 1, 14, 11));  // seed 0 behaves as 1
    EXPECT_EQ(a[0], (std::vector<int>{1, 1, 1, 3, 1, 0, 2, 2, 1, 0, 3}));
    int count = 0;
    for (const auto& row : a)
        for (int v : row) count += v >= 0;
    EXPECT_EQ(count, 22);

    const Board whole = core::generateStartingBoard(3, 1000, 5, 14, 11);
    for (const auto& row : whole)
        for (int v : row) EXPECT_TRUE(v >= 0 && v < 3);
    EXPECT_TRUE(core::generateStartingBoard(4, 10, 3, 0, 11).empty());
    for (const auto& row : core::generateStartingBoard(0, 20, 3, 2, 11))
        for (int v : row) EXPECT_TRUE(v == 0 || v == -1);  // no colours: colour 0
    const Board none = core::generateStartingBoard(4, -5, 3, 14, 11);
    EXPECT_TRUE(core::isBoardEmpty(none));

    std::uint32_t h = 2166136261u;
    int boardsWithBigGroups = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        for (int nc = 4; nc <= 6; ++nc) {
            const Board g =
                core::generateStartingBoard(nc, 44 + static_cast<int>(seed), seed * 2654435761u, 14, 11);
            for (const auto& row : g)
                for (int v : row) h = fnv(h, v);
            bool big = false;
            for (int r = 0; r < 14; ++r)
                for (int c = 0; c < 11; ++c)
                    big = big || core::sameColorCluster(g, r, c).size() >= 5;
            boardsWithBigGroups += big;
        }
    }
    EXPECT_EQ(h, 546630073u);
    // Six passes are almost always enough; the rare leftover must stay rare.
    EXPECT_LE(boardsWithBigGroups, 2);
}

TEST(Generation, EmptyBoards) {
    EXPECT_TRUE(core::isBoardEmpty(Board{}));
    EXPECT_TRUE(core::isBoardEmpty(core::makeEmptyBoard(14, 11)));
    EXPECT_TRUE(core::makeEmptyBoard(-1, 5).empty());
    EXPECT_EQ(core::makeEmptyBoard(2, -1), (Board{{}, {}}));
    Board b = core::makeEmptyBoard(2, 2);
    b[1][1] = -2;
    EXPECT_FALSE(core::isBoardEmpty(b));
}

// The whole road of one shot through the rules: fly, land, pop the group, drop what is
// cut off, score. Each row is a small board (R = 10, five columns), a shot and its outcome.

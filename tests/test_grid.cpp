// Rules of the hex board. The generators' golden hashes come from an independent
// reimplementation: a change to any draw order shows here.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/grid.h"
#include "support/boards.h"

using core::Board;
using core::RC;
using testsupport::boardFrom;

namespace {

std::uint32_t fnv(std::uint32_t h, int v) {
    return (h ^ static_cast<std::uint32_t>(v)) * 16777619u;
}
std::vector<RC> rcs(std::initializer_list<RC> l) { return l; }
RC at(const core::Landing& l) { return l.found ? RC{l.r, l.c} : RC{-9, -9}; }

}  // namespace

TEST(HexGeometry, NeighboursCentresAndPixelToCell) {
    EXPECT_EQ(core::neighbors(0, 0), rcs({{0, -1}, {0, 1}, {-1, -1}, {-1, 0}, {1, -1}, {1, 0}}));
    EXPECT_EQ(core::neighbors(1, 0), rcs({{1, -1}, {1, 1}, {0, 0}, {0, 1}, {2, 0}, {2, 1}}));
    EXPECT_EQ(core::neighbors(-1, 3)[2], (RC{-2, 3}));  // negative odd rows are odd too
    for (int r = 0; r < 14; ++r)
        for (int c = 0; c < 11; ++c) {
            const core::Point p = core::cellCenter(r, c, 10);
            EXPECT_EQ(core::pixelToCell(p.x, p.y, 14, 11, 10), (RC{r, c}));
        }
    // A tie goes left; just outside an edge: the edge cell; far away or NaN: (0, 0).
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { double x, y; RC cell; } cases[] = {
        {60, 10, {0, 2}}, {232, 2, {0, 10}}, {10, 250, {13, 0}}, {5000, 10, {0, 0}},
        {115, -400, {0, 0}}, {nan, nan, {0, 0}}, {1e300, -1e300, {0, 0}}};
    for (const auto& k : cases) EXPECT_EQ(core::pixelToCell(k.x, k.y, 14, 11, 10), k.cell) << k.x;
}

TEST(Mulberry32, MatchesReferenceSequence) {
    core::Mulberry32 a(12345);
    EXPECT_EQ((std::pair{a.next(), a.next()}), std::pair(0.9797282677609473, 0.3067522644996643));
    core::Mulberry32 z(0);
    for (int e : {1, 0, 1, 0, 2, 3, 3, 3}) EXPECT_EQ(z.nextInt(6), e);
    core::Mulberry32 w(0xFFFFFFFFu);
    w.next();
    EXPECT_EQ(w.state_, 0x6D2B79F4u);  // the state wraps
}

TEST(Landing, CeilingContactAndFallbacks) {
    const double R = 10;
    Board b = core::makeEmptyBoard(14, 11);
    core::ShotState s{64, 10, 0, -1200, 0};  // top edge exactly on the ceiling line
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, 0)), (RC{0, 3}));
    b[0][3] = 2;  // snap cell taken: the nearer free neighbour
    EXPECT_EQ(at(core::tryLand(s, b, R, 14, 11, 0)), (RC{0, 2}));
    s.y = 10.001;
    EXPECT_FALSE(core::tryLand(s, core::makeEmptyBoard(14, 11), R, 14, 11, 0).found);
    // Contact at exactly two radii, none a hair further.
    Board one = core::makeEmptyBoard(14, 11);
    one[0][5] = 1;
    const core::Point m = core::cellCenter(0, 5, R);
    core::ShotState t{m.x, m.y + 2 * R, 0, -1200, 0};
    EXPECT_EQ(at(core::tryLand(t, one, R, 14, 11, -1000)).r, 1);
    t.y += 1e-9;
    EXPECT_FALSE(core::tryLand(t, one, R, 14, 11, -1000).found);
    // Cells a ragged board lacks are never offered.
    EXPECT_EQ(at(core::tryLand({30, 10, 0, -1200, 0}, Board{{0, -1}, {}, {1}}, R, 14, 11, -5)),
              (RC{0, 1}));
}

TEST(Clusters, SearchOrderAndFloating) {
    Board b = boardFrom({"1 1 2 . .", " 1 2 2 . .", "3 1 . . ."});
    EXPECT_TRUE(core::sameColorCluster(b, 0, 3).empty());
    EXPECT_TRUE(core::sameColorCluster(b, 0, 9).empty());
    EXPECT_EQ(core::sameColorCluster(b, 2, 0), rcs({{2, 0}}));
    EXPECT_EQ(core::sameColorCluster(b, 0, 0), rcs({{0, 0}, {1, 0}, {2, 1}, {0, 1}}));
    b[0][0] = -7;  // occupied but no colour
    EXPECT_TRUE(core::sameColorCluster(b, 0, 0).empty());
    Board f =
        boardFrom({". . . . .", ". . . . .", "1 1 1 1 1", ". 2 . . .", ". . . . .", ". . . 3 ."});
    EXPECT_EQ(core::floatingBubbles(f), rcs({{5, 3}}));
    for (int& v : f[2]) v = -1;  // row 3 becomes the anchor
    EXPECT_EQ(core::floatingBubbles(f), rcs({{5, 3}}));
    EXPECT_TRUE(core::floatingBubbles(boardFrom({"-5 . .", " 4 . .", "4 . ."})).empty());
    EXPECT_TRUE(core::floatingBubbles(Board{{}}).empty());
}

TEST(Scoring, PopsDropsAndColours) {
    const int cases[][3] = {{3, 0, 30}, {4, 0, 50}, {6, 0, 150}, {3, 2, 70}, {2, 5, 0},
                            {-4, 5, 0}, {2000000000, 0, 2147483647}, {3, -2000000000, 30}};
    for (const auto& [popped, dropped, points] : cases)
        EXPECT_EQ(core::scoreForPop(popped, dropped), points) << popped << " " << dropped;
    EXPECT_EQ(core::colorsOnBoard(boardFrom({"3 . 1", " 1 -4 0"})), (std::vector<int>{0, 1, 3}));
}

TEST(Descent, PushAndSpawn) {
    for (int filled = 0; filled < 2; ++filled) {
        Board b = core::makeEmptyBoard(14, 11);
        b[0][0] = 1;
        if (filled) b[12][4] = 2;
        EXPECT_EQ(core::pushCeilingDown(b, 1, 13), filled == 1);
        EXPECT_EQ(b[1][0], 1);
        EXPECT_EQ(b[0][0], -1);
    }
    Board ragged = {{1, 2, 3}, {4}, {}};
    EXPECT_TRUE(core::pushCeilingDown(ragged, 1, 1));
    EXPECT_EQ(ragged[0], (std::vector<int>{-1, -1, -1}));
    Board small = core::makeEmptyBoard(3, 4);
    core::Mulberry32 r2(9);
    EXPECT_TRUE(core::spawnTopRows(small, 10, 3, r2, 2));  // cut to the board
    for (const auto& row : small)
        for (int v : row) EXPECT_TRUE(v >= 0 && v < 3);

    std::uint32_t h = 2166136261u, flags = 0;
    for (int seed = 1; seed <= 30; ++seed) {
        Board g = core::generateStartingBoard(5, 33, static_cast<std::uint32_t>(seed), 14, 11);
        core::Mulberry32 rr(static_cast<std::uint32_t>(seed * 7));
        for (int k = 0; k < 4; ++k)
            flags = flags * 2 + core::spawnTopRows(g, 1 + (k % 2), 3 + (seed % 4), rr, 13);
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
    EXPECT_TRUE(core::isBoardEmpty(core::generateStartingBoard(4, -5, 3, 14, 11)));
    std::uint32_t h = 2166136261u;
    int withBigGroups = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed)
        for (int nc = 4; nc <= 6; ++nc) {
            const Board g = core::generateStartingBoard(nc, 44 + static_cast<int>(seed),
                                                        seed * 2654435761u, 14, 11);
            bool big = false;
            for (int r = 0; r < 14; ++r)
                for (int c = 0; c < 11; ++c) {
                    h = fnv(h, g[r][c]);
                    big = big || core::sameColorCluster(g, r, c).size() >= 5;
                }
            withBigGroups += big;
        }
    EXPECT_EQ(h, 546630073u);
    EXPECT_LE(withBigGroups, 2);  // six passes are almost always enough
}

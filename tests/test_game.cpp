// The game model without a window: invariants over seeded games, the flight's independence
// from the frame rate, golden turns and the turn rules that used to slip.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

#include "core/flight.h"
#include "core/game.h"
#include "core/obstacles.h"
#include "support/boards.h"

namespace {

using core::FlightEnd;
using core::GameModel;
using core::RC;

constexpr double kPi = 3.14159265358979323846;

// The field of a 700 x 900 window: R 20, the launcher below the grid.
struct Field {
    core::FlightField f;
    core::Point shooter;
    std::vector<core::ResolvedObstacle> obstacles;
};

Field fieldFor(const GameModel& m) {
    Field out;
    core::FlightField& f = out.f;
    f.gridX = f.left = 100;
    f.gridTop = 60;
    f.right = f.gridX + core::gridWidth(m.cfg.cols, f.R);
    f.lostBelow = 900;
    f.rows = m.cfg.rows;
    f.cols = m.cfg.cols;
    f.parity = m.parity;
    f.ceilingRow = m.ceilingRow;
    out.shooter = {(f.left + f.right) / 2, 820};
    if (m.arcade) return out;
    const auto all = core::resolveObstacles(core::obstaclesForStage(m.cfg.stage), f.left, f.gridTop,
                                            f.right - f.left, 700, f.R);
    for (std::size_t i = 0; i < all.size(); ++i)
        if (!m.destroyed.count(static_cast<int>(i))) out.obstacles.push_back(all[i]);
    return out;
}

core::ShotState aimed(const Field& fd, double angle) {
    return {fd.shooter.x, fd.shooter.y, std::cos(angle) * core::kShotSpeed,
            std::sin(angle) * core::kShotSpeed, 0};
}

double centreX(const GameModel& m, int r, int c) { return core::cellCenter(r, c, 20, m.parity).x; }

// What must hold after every turn; a description of the first breach, or "".
std::string breach(const GameModel& m) {
    std::ostringstream why;
    for (int r = 0; r < m.ceilingRow && r < core::boardRows(m.board); ++r)
        for (int v : m.board[static_cast<std::size_t>(r)])
            if (v != -1)
                why << "a marble above the ceiling row " << m.ceilingRow << " in row " << r;
    const std::vector<RC> loose = core::floatingBubbles(m.board, m.parity, m.ceilingRow);
    if (!loose.empty())
        why << loose.size() << " marbles in mid-air at " << loose[0].r << "," << loose[0].c;
    for (std::size_t i = 0; i < m.starOrbs.size(); ++i) {
        if (m.freed.count(static_cast<int>(i))) continue;
        if (m.starOrbs[i].r < m.ceilingRow) why << "orb " << i << " above the ceiling";
        if (m.incoming.empty() && m.starOrbs[i].r >= m.cfg.rows)
            why << "orb " << i << " below the field";
    }
    return why.str();
}

// One turn at angle, as the play screen plays it (refill first); the flight's end.
FlightEnd turn(GameModel& m, double angle, core::TurnEnd* end, GameModel* placed = nullptr) {
    if (const int due = core::refillDue(m); due > 0) {
        EXPECT_EQ(core::refill(m).shift, due);
        EXPECT_EQ(breach(m), "") << "after a refill";
    }
    const Field fd = fieldFor(m);
    core::Flight f;
    f.s = aimed(fd, angle);
    const core::FlightResult r = core::fly(f, 20000, fd.f, m.board, fd.obstacles);
    if (r.end == FlightEnd::Landed) {
        EXPECT_GE(r.r, m.ceilingRow);
        const core::Placement p = core::placeMarble(m, r.r, r.c, m.currentColor);
        if (placed) *placed = m;
        *end = core::endTurn(m, p.popped);
    } else if (r.end == FlightEnd::Swallowed) {
        if (placed) *placed = m;
        *end = core::swallowShot(m);
    }
    return r.end;
}

TEST(GameModel, ThePackKeepsItsLatticeAndHangsFromTheCeilingInSeededGames) {
    int descents = 0, turns = 0;
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
        for (const bool arcade : {false, true}) {
            GameModel m = arcade ? core::newArcadeGame(seed * 7919u)
                                 : core::newCampaignGame(static_cast<int>((seed * 37) % 100), seed);
            core::Mulberry32 aim(seed ^ 0xA5A5u);
            for (int t = 0; t < (arcade ? 250 : 150); ++t, ++turns) {
                core::TurnEnd end;
                GameModel placed;
                const double angle = -kPi + 0.15 + aim.next() * (kPi - 0.3);
                if (turn(m, angle, &end, &placed) == FlightEnd::Lost) continue;
                descents += end.descended;
                // The pack moves as one piece: every marble that stayed keeps x and colour.
                for (int r = 0; end.shift > 0 && !end.respawned && r + end.shift < m.cfg.rows; ++r)
                    for (int c = 0; c < m.cfg.cols; ++c) {
                        const int v = placed.board[r][c], now = m.board[r + end.shift][c];
                        if (v < 0 || now < 0) continue;
                        ASSERT_TRUE(now == v &&
                                    centreX(placed, r, c) == centreX(m, r + end.shift, c))
                            << "sheared at " << r << "," << c << ", seed " << seed << " turn " << t;
                    }
                ASSERT_EQ(breach(m), "") << "seed " << seed << " turn " << t;
                if (end.lost || end.won) break;
            }
        }
    }
    EXPECT_TRUE(turns > 3000 && descents > 300);  // enough play for descents, refills, respawns
}

TEST(GameModel, DescentsSwallowedShotsAndOldStoredGames) {
    // With nothing left to enter, descents bring the ceiling down, orbs riding along.
    GameModel m = core::newCampaignGame(70, 5);
    for (RC& o : m.starOrbs) o.r -= static_cast<int>(m.incoming.size());
    m.incoming.clear();
    const std::vector<RC> orbs = m.starOrbs;
    for (int k = 1; k <= 3; ++k) {
        for (int s = 0; s < m.cfg.shotsPerDescent; ++s) {
            const core::TurnEnd end = core::swallowShot(m);
            EXPECT_EQ(std::pair(end.descended, end.rowEntered),
                      std::pair(s == m.cfg.shotsPerDescent - 1, false));
        }
        EXPECT_EQ(std::pair(m.ceilingRow, breach(m)), std::pair(k, std::string()));
        for (std::size_t i = 0; i < orbs.size(); ++i) EXPECT_EQ(m.starOrbs[i].r, orbs[i].r + k);
    }
    // A swallowed shot counts towards the descent and lets a waiting row in.
    GameModel w = core::newCampaignGame(50, 9);
    ASSERT_EQ(w.cfg.shotsPerDescent, 4);
    const std::size_t waiting = w.incoming.size();
    w.shots = 3;
    const core::TurnEnd end = core::swallowShot(w);
    EXPECT_TRUE(end.descended && end.rowEntered);
    EXPECT_EQ(std::tuple(w.shots, w.incoming.size(), w.parity, core::shotsToDescent(w)),
              std::tuple(4, waiting - 1, 1, 4));
    // The pack crushes an obstacle whose rim a marble centre comes within 0.75 R of, once.
    GameModel c = core::newCampaignGame(0, 1);
    for (auto& row : c.board) std::fill(row.begin(), row.end(), -1);
    c.board[0][0] = 1;  // centre (20, 20) in a field at the origin
    const std::vector<core::ResolvedObstacle> near = {{20, 45.01, 10, core::ObstacleKind::Stone},
                                                      {20, 45, 10, core::ObstacleKind::Stone}};
    EXPECT_EQ(core::crushObstacles(c, core::FlightField{}, near), std::vector<int>{1});
    EXPECT_TRUE(core::crushObstacles(c, core::FlightField{}, near).empty());
    // A game stored before the ceiling was kept resumes with its pack at the ceiling.
    GameModel old = core::newArcadeGame(77);
    core::pushCeilingDown(old.board, 2, old.cfg.lossRow);
    old.ceilingRow = 0;
    core::resumeGame(old);
    EXPECT_EQ(std::pair(old.ceilingRow, breach(old)), std::pair(2, std::string()));
}

// Flown frame by frame at any rate, a shot ends as the guide's trace does, the trace's path
// ending where the marble rests.
TEST(Flight, TheSamePathAtEveryFrameRate) {
    GameModel m = core::newCampaignGame(50, 3);  // stones, a bumper and a puddle
    const Field fd = fieldFor(m);
    int withBounces = 0, i = 0;
    for (double a = -kPi + 0.13; a < -0.13; a += 0.011, ++i) {
        const core::FlightTrace t =
            core::traceFlight(aimed(fd, a), 20000, fd.f, m.board, fd.obstacles);
        core::Flight f;
        f.s = aimed(fd, a);
        core::FlightResult r;
        std::size_t bounces = 0;
        for (int frame = 0; frame < 5000 && r.end == FlightEnd::Flying; ++frame) {
            r = core::fly(f, 1000.0 / (i % 2 ? 30 : 144), fd.f, m.board, fd.obstacles);
            bounces += r.bounces.size();
        }
        ASSERT_EQ(std::tuple(r.end, r.r, r.c, bounces),
                  std::tuple(t.result.end, t.result.r, t.result.c, t.result.bounces.size())) << a;
        for (const core::FlightBounce& b : t.result.bounces) withBounces += b.obstacle >= 0;
        if (r.end != FlightEnd::Landed) continue;
        const core::Point p = core::cellCenter(r.r, r.c, fd.f.R, m.parity);
        EXPECT_NEAR(t.path.back().x, p.x + fd.f.gridX, 1e-9);
        EXPECT_NEAR(t.path.back().y, p.y + fd.f.gridTop, 1e-9);
    }
    EXPECT_GT(withBounces, 5);  // the sweep really met the obstacles

    // The marble flies at the shot speed and spins with its sideways motion, mirrored.
    core::Flight right, left;
    right.s = aimed(fd, -kPi / 3);
    left.s = aimed(fd, -2 * kPi / 3);
    const core::Board none = core::makeEmptyBoard(m.cfg.rows, m.cfg.cols);
    core::fly(right, 100, fd.f, none, {});
    core::fly(left, 100, fd.f, none, {});
    EXPECT_NEAR(fd.shooter.y - right.s.y, 0.1 * core::kShotSpeed * std::sin(kPi / 3),
                0.01 * core::kShotSpeed);
    EXPECT_NE(right.spin, 0);
    EXPECT_NEAR(right.spin, -left.spin, 1e-6);
}

struct Hash {  // FNV-1a
    std::uint64_t h = 1469598103934665603ull;
    void add(std::int64_t v) {
        for (int i = 0; i < 8; ++i)
            h = (h ^ (static_cast<std::uint64_t>(v >> (8 * i)) & 0xFF)) * 1099511628211ull;
    }
};

}  // namespace

// One hash over many seeded games: a change to any rule or draw changes it, on purpose only.
TEST(GameModel, DeterminismSignature) {
    Hash h;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        for (const bool arcade : {false, true}) {
            GameModel m = arcade ? core::newArcadeGame(seed)
                                 : core::newCampaignGame(static_cast<int>(seed * 3 % 100), seed);
            core::Mulberry32 aim(seed * 2654435761u);
            for (int t = 0; t < 120; ++t) {
                core::TurnEnd end;
                h.add(static_cast<int>(turn(m, -kPi + 0.15 + aim.next() * (kPi - 0.3), &end)));
                for (const auto& rows : {m.board, m.incoming})
                    for (const auto& row : rows)
                        for (int v : row) h.add(v);
                for (const RC& o : m.starOrbs) h.add(o.r * 100 + o.c);
                for (int i : m.freed) h.add(i);
                for (std::int64_t v :
                     {m.parity, m.ceilingRow, m.currentColor, m.nextColor, m.shots, m.score})
                    h.add(v);
                h.add(m.rnd.state_);
                if (end.lost || end.won) break;
            }
        }
    }
    EXPECT_EQ(h.h, 7901575181069310ull) << h.h;
}

// A board (odd rows indented), a shot into 11 columns of R = 10, and what the turn did.
TEST(GameModel, GoldenTurns) {
    struct Case {
        const char* name;
        std::vector<std::string> board;
        double startX, aimDeg;  // launch point and angle (0 right, -90 straight up)
        int colour, shotsBefore;
        bool waiting;  // rows still wait above the field
        RC landing;
        int popped, dropped, points;
        bool descended;
        int parity, ceilingRow;  // after the turn
    } const cases[] = {
        // clang-format off
        {"sticks under the marble it grazes", {"1 1 . . .", " 2 . . . ."}, 30, -90, 1, 0, true, {2, 1}, 0, 0, 0, false, 0, 0},
        {"completes a triple under the ceiling", {"0 0 . . ."}, 30, -90, 0, 0, true, {1, 0}, 3, 0, 30, false, 0, 0},
        {"a pop cuts a hanging marble loose", {"0 0 . 4 .", " 3 . . . ."}, 40, -90, 0, 0, true, {1, 1}, 3, 1, 50, false, 0, 0},
        {"clearing the ceiling row drops all that hung from it", {"2 . . . .", " 2 . . . .", "3 . . . ."}, 30, -90, 2, 0, true, {2, 1}, 3, 1, 50, false, 0, 0},
        {"a bank shot off the right wall", {}, 200, -60, 4, 0, true, {0, 3}, 0, 0, 0, false, 0, 0},
        {"the sixth shot lets a waiting row in", {"1 1 . . ."}, 30, -90, 3, 5, true, {1, 0}, 0, 0, 0, true, 1, 0},
        {"with nothing waiting the ceiling comes down", {"1 1 . . ."}, 30, -90, 3, 5, false, {1, 0}, 0, 0, 0, true, 1, 1},
        // clang-format on
    };
    constexpr double kToRad = kPi / 180.0;
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        GameModel m = core::newCampaignGame(0, 1);
        for (auto& row : m.board) std::fill(row.begin(), row.end(), -1);
        const core::Board drawn = testsupport::boardFrom(k.board);
        for (int r = 0; r < core::boardRows(drawn); ++r)
            for (int c = 0; c < core::boardCols(drawn); ++c) m.board[r][c] = drawn[r][c];
        m.starOrbs.clear();
        if (!k.waiting) m.incoming.clear();
        m.shots = k.shotsBefore;
        core::FlightField f;
        f.R = 10;
        f.right = core::gridWidth(11, 10);
        f.lostBelow = 1000;
        core::Flight fl;
        fl.s = core::ShotState{k.startX, 300, core::kShotSpeed * std::cos(k.aimDeg * kToRad),
                               core::kShotSpeed * std::sin(k.aimDeg * kToRad), k.colour};
        const core::FlightResult res = core::fly(fl, 5000, f, m.board, {});
        ASSERT_EQ(res.end, FlightEnd::Landed);
        EXPECT_EQ((RC{res.r, res.c}), k.landing);
        EXPECT_EQ(res.bounces.size(), k.aimDeg == -90 ? 0u : 1u);
        const core::Placement p = core::placeMarble(m, res.r, res.c, k.colour);
        const core::TurnEnd end = core::endTurn(m, p.popped);
        EXPECT_EQ(std::pair(p.popped ? static_cast<int>(p.cluster.size()) : 0,
                            static_cast<int>(p.floaters.size())),
                  std::pair(k.popped, k.dropped));
        EXPECT_EQ(std::tuple(p.earned, m.score, m.shots, end.descended, m.parity, m.ceilingRow),
                  std::tuple(k.points, k.points, k.shotsBefore + 1, k.descended, k.parity,
                             k.ceilingRow));
        EXPECT_EQ(breach(m), "");
    }
}

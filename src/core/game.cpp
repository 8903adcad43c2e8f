#include "core/game.h"

#include <algorithm>

#include "core/obstacles.h"

namespace core {

namespace {

constexpr int kFillTarget = 4;  // occupied rows the campaign refill tops the board up to

int seedColor(std::uint32_t s, int n) {
    Mulberry32 r(s);
    return r.nextInt(n);
}

int firstOccupiedRow(const Board& b) {
    for (int r = 0; r < boardRows(b); ++r) {
        const auto& row = b[static_cast<std::size_t>(r)];
        if (std::any_of(row.begin(), row.end(), [](int v) { return v != -1; })) return r;
    }
    return -1;
}

void firstColors(GameModel& m) {
    const int n = std::max(1, m.cfg.numColors);
    m.currentColor = seedColor(m.seed, n);
    m.nextColor = seedColor(m.seed * 31u + 7u, n);
}

void startGenerator(GameModel& m) { m.rnd = Mulberry32(m.seed * 0x9E3779B1u + 17u); }

// Frees every orb not yet freed whose cell is among the given cells.
void freeOrbsAt(GameModel& m, const std::vector<RC>& a, const std::vector<RC>& b,
                std::vector<int>& out) {
    for (std::size_t i = 0; i < m.starOrbs.size(); ++i) {
        const int idx = static_cast<int>(i);
        if (m.freed.count(idx)) continue;
        const RC o = m.starOrbs[i];
        if (std::find(a.begin(), a.end(), o) == a.end() &&
            std::find(b.begin(), b.end(), o) == b.end()) {
            continue;
        }
        m.freed.insert(idx);
        out.push_back(idx);
    }
}

// The pack moved down by one row. A row entering at the top sweeps the orbs up through the
// pack (they rise a row on the field); an empty row pushed in carries them down with the
// marbles they sit on, so an orb never leaves the field above the ceiling.
bool pushPack(GameModel& m, const std::vector<int>* entering, TurnEnd& out) {
    const bool lost = pushCeilingDown(m.board, 1, m.cfg.lossRow);
    m.parity ^= 1;
    out.shift += 1;
    if (entering != nullptr) {
        if (!m.board.empty()) {
            auto& top = m.board.front();
            const std::size_t n = std::min({static_cast<std::size_t>(std::max(m.cfg.cols, 0)),
                                            entering->size(), top.size()});
            std::copy(entering->begin(), entering->begin() + static_cast<std::ptrdiff_t>(n),
                      top.begin());
        }
        m.ceilingRow = 0;
        for (RC& o : m.starOrbs) o.r -= 1;
    } else {
        m.ceilingRow = std::min(m.ceilingRow + 1, std::max(boardRows(m.board) - 1, 0));
        for (RC& o : m.starOrbs) o.r += 1;
    }
    return lost;
}

// Whatever the ceiling no longer holds after the pack moved falls, freeing its orbs.
void settlePack(GameModel& m, TurnEnd& out) {
    const std::vector<RC> loose = floatingBubbles(m.board, m.parity, m.ceilingRow);
    for (const RC& p : loose) {
        out.fallen.push_back(p);
        out.fallenColors.push_back(m.board[static_cast<std::size_t>(p.r)]
                                          [static_cast<std::size_t>(p.c)]);
        m.board[static_cast<std::size_t>(p.r)][static_cast<std::size_t>(p.c)] = -1;
    }
    freeOrbsAt(m, loose, {}, out.freedOrbs);
}

void reseedColors(GameModel& m) {
    m.currentColor = m.nextColor;
    const std::vector<int> present = colorsOnBoard(m.board);
    if (!present.empty()) {
        m.nextColor = present[static_cast<std::size_t>(m.rnd.nextInt(static_cast<int>(present.size())))];
    } else {
        m.nextColor = m.cfg.numColors > 0 ? m.rnd.nextInt(m.cfg.numColors) : 0;
    }
}

// Counts the shot and applies what follows every shot: the descent, the arcade's refill
// and difficulty, the next colour, and the verdict.
TurnEnd closeTurn(GameModel& m, bool popped) {
    TurnEnd out;
    m.shots += 1;
    if (!m.arcade) {
        if (m.cfg.shotsPerDescent > 0 && m.shots % m.cfg.shotsPerDescent == 0) {
            out.descended = true;
            const bool entering = !m.incoming.empty();
            std::vector<int> row;
            if (entering) {
                row = m.incoming.front();
                m.incoming.erase(m.incoming.begin());
            }
            out.lost = pushPack(m, entering ? &row : nullptr, out);
            out.rowEntered = entering;
            if (entering) settlePack(m, out);
        }
    } else {
        const int period = arcadeShotsPerDrop(m.shots);
        if (!popped && period > 0 && m.shots % period == 0) {
            out.descended = true;
            out.lost = pushPack(m, nullptr, out);
        }
        if (colorsOnBoard(m.board).empty()) {
            Mulberry32 gen(m.seed + static_cast<std::uint32_t>(m.shots) * 9973u);
            m.parity ^= std::min(4, boardRows(m.board)) & 1;
            if (spawnTopRows(m.board, 4, m.cfg.numColors, gen, m.cfg.lossRow, m.parity)) {
                out.lost = true;
            }
            m.ceilingRow = 0;
            out.respawned = true;
        }
        m.cfg = arcadeConfig(m.shots);
    }
    reseedColors(m);
    out.won = !out.lost && levelSolved(m);
    return out;
}

}  // namespace

int occupiedRows(const Board& b) {
    int n = 0;
    for (const auto& row : b) {
        if (std::any_of(row.begin(), row.end(), [](int v) { return v != -1; })) ++n;
    }
    return n;
}

GameModel newCampaignGame(int level, std::uint32_t seed) {
    GameModel m;
    m.cfg = levelConfig(level);
    m.level = m.cfg.flat;
    m.seed = seed;
    LevelBoard lb = levelBoard(m.level);
    m.board = std::move(lb.board);
    m.incoming = std::move(lb.incomingRows);
    m.starOrbs = std::move(lb.starOrbs);
    firstColors(m);
    startGenerator(m);
    return m;
}

GameModel newArcadeGame(std::uint32_t seed) {
    GameModel m;
    m.arcade = true;
    m.cfg = arcadeConfig(0);
    m.seed = seed;
    m.board = generateStartingBoard(m.cfg.numColors, m.cfg.startingMarbles, seed, m.cfg.rows,
                                    m.cfg.cols);
    firstColors(m);
    startGenerator(m);
    return m;
}

void resumeGame(GameModel& m) {
    m.cfg = m.arcade ? arcadeConfig(0) : levelConfig(m.level);
    m.parity &= 1;
    // The pack hangs at the ceiling: a board that holds anything starts at the ceiling row.
    // Games stored before the ceiling was kept come back with their pack where it hung.
    const int top = firstOccupiedRow(m.board);
    if (top >= 0) m.ceilingRow = top;
    m.ceilingRow = std::clamp(m.ceilingRow, 0, std::max(boardRows(m.board) - 1, 0));
    startGenerator(m);
}

Placement placeMarble(GameModel& m, int row, int col, int color) {
    Placement p;
    p.row = row;
    p.col = col;
    p.color = color;
    if (row < 0 || col < 0 || row >= boardRows(m.board) ||
        col >= static_cast<int>(m.board[static_cast<std::size_t>(row)].size())) {
        return p;
    }
    m.board[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = color;
    p.cluster = sameColorCluster(m.board, row, col, m.parity);
    if (p.cluster.size() >= 3) {
        p.popped = true;
        for (const RC& c : p.cluster) m.board[static_cast<std::size_t>(c.r)][static_cast<std::size_t>(c.c)] = -1;
        p.floaters = floatingBubbles(m.board, m.parity, m.ceilingRow);
        p.floaterColors.reserve(p.floaters.size());
        for (const RC& c : p.floaters) {
            int& cell = m.board[static_cast<std::size_t>(c.r)][static_cast<std::size_t>(c.c)];
            p.floaterColors.push_back(cell);
            cell = -1;
        }
        freeOrbsAt(m, p.cluster, p.floaters, p.freedOrbs);
    }
    const int popped = p.popped ? static_cast<int>(p.cluster.size()) : 0;
    p.earned = scoreForPop(popped, static_cast<int>(p.floaters.size()));
    // Scores are kept below overflow even for an endless arcade run.
    m.score = static_cast<int>(
        std::min<long long>(static_cast<long long>(m.score) + p.earned, 2000000000LL));
    return p;
}

TurnEnd endTurn(GameModel& m, bool popped) { return closeTurn(m, popped); }

TurnEnd swallowShot(GameModel& m) { return closeTurn(m, false); }

std::string storedGameFault(const GameModel& m, std::int64_t elapsedMs) {
    if (!m.arcade && (m.level < 0 || m.level > 99)) return "Level außerhalb 0..99";
    if (m.score < 0 || m.shots < 0 || elapsedMs < 0) return "negative Zählung";
    const LevelConfig cfg = m.arcade ? arcadeConfig(m.shots) : levelConfig(m.level);
    auto rowOk = [&](const std::vector<int>& row) {
        if (static_cast<int>(row.size()) != cfg.cols) return false;
        return std::all_of(row.begin(), row.end(),
                           [&](int v) { return v == -1 || (v >= 0 && v < cfg.numColors); });
    };
    if (boardRows(m.board) != cfg.rows ||
        !std::all_of(m.board.begin(), m.board.end(), rowOk)) {
        return "Spielfeld mit falscher Form oder Farbe";
    }
    const int waiting = static_cast<int>(m.incoming.size());
    if ((m.arcade && waiting > 0) || waiting > 16 ||
        !std::all_of(m.incoming.begin(), m.incoming.end(), rowOk)) {
        return "wartende Reihen mit falscher Form oder Farbe";
    }
    if (m.currentColor < 0 || m.currentColor >= cfg.numColors || m.nextColor < 0 ||
        m.nextColor >= cfg.numColors) {
        return "Farbe außerhalb der Palette";
    }
    if ((m.parity != 0 && m.parity != 1) || m.ceilingRow < 0 || m.ceilingRow >= cfg.rows) {
        return "Decke außerhalb des Felds";
    }
    const int orbs = static_cast<int>(m.starOrbs.size());
    if (orbs > (m.arcade ? 0 : 3)) return "zu viele Sternkugeln";
    for (const RC& o : m.starOrbs) {
        if (o.c < 0 || o.c >= cfg.cols || o.r < 0 || o.r >= cfg.rows + waiting) {
            return "Sternkugel außerhalb des Felds";
        }
    }
    if (!m.freed.empty() && (*m.freed.begin() < 0 || *m.freed.rbegin() >= orbs)) {
        return "befreite Sternkugel unbekannt";
    }
    const int obstacles = m.arcade ? 0 : static_cast<int>(obstaclesForStage(cfg.stage).size());
    if (!m.destroyed.empty() && (*m.destroyed.begin() < 0 || *m.destroyed.rbegin() >= obstacles)) {
        return "zerstörtes Hindernis unbekannt";
    }
    return "";
}

int refillDue(const GameModel& m) {
    if (m.arcade || m.incoming.empty()) return 0;
    const int rows = occupiedRows(m.board);
    if (rows >= kFillTarget) return 0;
    return std::min(kFillTarget - rows, static_cast<int>(m.incoming.size()));
}

TurnEnd refill(GameModel& m) {
    TurnEnd out;
    const int k = refillDue(m);
    for (int i = 0; i < k; ++i) {
        const std::vector<int> row = m.incoming.front();
        m.incoming.erase(m.incoming.begin());
        if (pushPack(m, &row, out)) out.lost = true;
        out.rowEntered = true;
    }
    if (k > 0) settlePack(m, out);
    // The refill only tops a thin board up; it never reaches the loss row.
    out.lost = false;
    return out;
}

std::vector<int> crushObstacles(GameModel& m, const FlightField& f,
                                const std::vector<ResolvedObstacle>& all) {
    std::vector<int> out;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const int idx = static_cast<int>(i);
        if (m.destroyed.count(idx)) continue;
        const ResolvedObstacle& o = all[i];
        const double reach = 0.75 * f.R + o.cr;
        bool crushed = false;
        for (int r = 0; r < boardRows(m.board) && !crushed; ++r) {
            const auto& row = m.board[static_cast<std::size_t>(r)];
            for (int c = 0; c < static_cast<int>(row.size()) && !crushed; ++c) {
                if (row[static_cast<std::size_t>(c)] == -1) continue;
                const Point p = cellCenter(r, c, f.R, m.parity);
                const double dx = p.x + f.gridX - o.cx, dy = p.y + f.gridTop - o.cy;
                crushed = dx * dx + dy * dy <= reach * reach;
            }
        }
        if (!crushed) continue;
        m.destroyed.insert(idx);
        out.push_back(idx);
    }
    return out;
}

int shotsToDescent(const GameModel& m) {
    const int p = m.arcade ? arcadeShotsPerDrop(m.shots) : m.cfg.shotsPerDescent;
    if (p <= 0) return 0;
    return p - (m.shots % p);
}

bool levelSolved(const GameModel& m) {
    if (m.arcade || !m.incoming.empty()) return false;
    for (int r = 0; r < boardRows(m.board); ++r) {
        const auto& row = m.board[static_cast<std::size_t>(r)];
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            if (row[static_cast<std::size_t>(c)] >= 0 &&
                sameColorCluster(m.board, r, c, m.parity).size() >= 2) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace core

#include "bot/prove.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/game.h"
#include "core/levels.h"
#include "screens/playing.h"
#include "bot/bot.h"

namespace testsupport {

namespace {

constexpr double kWinW = 1280, kWinH = 720;
// A campaign game always ends long before this: the ceiling keeps coming down.
constexpr int kLevelShotCap = 600;

std::uint32_t seedFor(int k) { return 0x5eed0000u + 7919u * static_cast<std::uint32_t>(k); }

// Plays m to its end as the play screen's frames do: fly, land or be swallowed, end the
// turn, then refill, crush and look for the win.
ProvedGame playOut(core::GameModel m, int maxShots) {
    const ui::PlayGeometry g = ui::playLayout(kWinW, kWinH, 1.0, m.cfg.rows, m.cfg.cols);
    const Table t = tableFor(g, m);
    ProvedGame out;
    int attempts = 0;
    while (!out.ended && m.shots < maxShots && attempts++ < 2 * maxShots) {
        const ShotOutcome o = shootFrom(m, t, chooseAngle(m, t));
        core::TurnEnd e;
        if (o.kind == ShotOutcome::Landed) {
            const core::Placement p = core::placeMarble(m, o.r, o.c, m.currentColor);
            e = core::endTurn(m, p.popped);
        } else if (o.kind == ShotOutcome::Swallowed) {
            e = core::swallowShot(m);
        } else {
            continue;  // a marble that leaves the field is no shot
        }
        if (e.descended) ++out.descents;
        if (e.lost) {
            out.ended = true;
            break;
        }
        if (e.won) {
            out.won = out.ended = true;
            break;
        }
        if (core::refillDue(m) > 0) core::refill(m);
        core::crushObstacles(m, ui::flightFieldFor(g, m), t.obstacles);
        if (!m.arcade && core::levelSolved(m)) out.won = out.ended = true;
    }
    out.shots = m.shots;
    out.score = m.score;
    out.stars = out.won ? core::starsForOrbs(static_cast<int>(m.freed.size()),
                                             static_cast<int>(m.starOrbs.size()))
                        : 0;
    return out;
}

template <class T>
T median(std::vector<T> v) {
    if (v.empty()) return T{};
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string line(const char* fmt, auto... args) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

}  // namespace

ProvedGame proveLevel(int level, std::uint32_t seed) {
    return playOut(core::newCampaignGame(level, seed), kLevelShotCap);
}

ProvedGame proveArcade(std::uint32_t seed, int maxShots) {
    return playOut(core::newArcadeGame(seed), maxShots);
}

int proveAll(std::ostream& out, const ProveOptions& o) {
    const int seeds = std::max(o.seeds, 1);
    out << line("# the bot's play of every level, %d seed(s) each, in a %.0fx%.0f window\n",
                seeds, kWinW, kWinH);
    out << "# level: games won, then medians of shots, score and descents survived, and the "
           "best stars\n";
    out << "# block of ten: median shots, median shots per marble (a game's shots over its "
           "level's marbles: what\n# clearing a marble costs, comparable across level sizes; "
           "higher is harder), and games won\n";
    int levelsWon = 0;
    std::vector<int> blockShots;
    std::vector<double> blockCost;  // shots per marble of every game in the block
    int blockWins = 0, blockGames = 0;
    const int first = std::clamp(o.firstLevel, 0, 99), last = std::clamp(o.lastLevel, first, 99);
    for (int level = first; level <= last; ++level) {
        std::vector<int> shots, scores, descents;
        const int marbles = std::max(core::levelBoard(level).bubbles, 1);
        int wins = 0, stars = 0, unfinished = 0;
        for (int k = 0; k < seeds; ++k) {
            const ProvedGame g = proveLevel(level, seedFor(k));
            wins += g.won ? 1 : 0;
            unfinished += g.ended ? 0 : 1;
            stars = std::max(stars, g.stars);
            shots.push_back(g.shots);
            scores.push_back(g.score);
            descents.push_back(g.descents);
            blockShots.push_back(g.shots);
            blockCost.push_back(static_cast<double>(g.shots) / marbles);
        }
        levelsWon += wins > 0 ? 1 : 0;
        blockWins += wins;
        blockGames += seeds;
        out << line("level %3d  %s %d/%d  shots %3d  stars %d  score %6d  descents %2d%s\n",
                    level + 1, wins > 0 ? "won " : "lost", wins, seeds, median(shots), stars,
                    median(scores), median(descents), unfinished ? "  (unfinished)" : "");
        out.flush();
        if (level % 10 == 9 || level == last) {
            out << line("levels %d-%d  median shots %d  shots per marble %.2f  win rate %d%%\n",
                        level / 10 * 10 + 1, level + 1, median(blockShots), median(blockCost),
                        100 * blockWins / blockGames);
            blockShots.clear();
            blockCost.clear();
            blockWins = blockGames = 0;
        }
    }
    for (int k = 0; k < o.arcadeSeeds; ++k) {
        const ProvedGame g = proveArcade(seedFor(k), o.arcadeShots);
        out << line("arcade seed %d  survived %d shots%s  score %d\n", k + 1, g.shots,
                    g.ended ? "" : " (capped)", g.score);
    }
    out << line("won %d/%d\n", levelsWon, last - first + 1);
    out.flush();
    return levelsWon;
}

}  // namespace testsupport

#include "support/store_files.h"

#include <algorithm>
#include <tuple>

#include "core/game.h"
#include "core/obstacles.h"
#include "platform/save_crypt.h"
#include "support/tmpdir.h"

namespace testsupport {

bool writeSealed(const std::string& path, const std::string& text) {
    return writeBytes(path, platform::saveEncrypt(text));
}

json::Value readSealedDoc(const std::string& path) {
    std::string plain;
    if (platform::saveDecrypt(readBytes(path), &plain) != platform::SaveReadResult::Ok) return {};
    return json::parse(plain);
}

// A playable game of either mode, some shots in, its counters all derived from n.
store::SavedGame gameFor(int n) {
    store::SavedGame g;
    g.seed = static_cast<std::uint32_t>(n) * 2654435761u;
    g.arcade = n % 3 == 0;
    const core::GameModel m = g.arcade ? core::newArcadeGame(g.seed)
                                       : core::newCampaignGame(n % 100, g.seed);
    g.level = m.level;
    g.board = m.board;
    g.incomingQueue = m.incoming;
    g.incomingQueue.resize(std::min<std::size_t>(m.incoming.size(), 1 + n % 4));
    g.starOrbPositions = m.starOrbs;
    for (core::RC& o : g.starOrbPositions) o.r = std::min(o.r, 13);
    if (!g.arcade) g.freedStarOrbs = {n % 3};
    const int obstacles =
        g.arcade ? 0 : static_cast<int>(core::obstaclesForStage(m.cfg.stage).size());
    for (int i = 0; i < std::min(n % 5, obstacles); ++i) g.destroyedObstacles.push_back(i);
    g.currentColor = n % m.cfg.numColors;
    g.nextColor = (n / 6) % m.cfg.numColors;
    g.shotsFired = n;
    g.score = n;
    g.elapsedMs = static_cast<std::int64_t>(n) * 1000 + 7;
    return g;
}

bool isGameFor(const store::SavedGame& g) {
    store::SavedGame want = gameFor(g.score);
    want.valid = true;
    const auto tie = [](const store::SavedGame& x) {
        return std::tie(x.valid, x.level, x.seed, x.arcade, x.board, x.incomingQueue,
                        x.starOrbPositions, x.freedStarOrbs, x.destroyedObstacles, x.currentColor,
                        x.nextColor, x.shotsFired, x.elapsedMs);
    };
    return tie(g) == tie(want);
}

}  // namespace testsupport

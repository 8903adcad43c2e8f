#include "support/store_files.h"

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

store::SavedGame gameFor(int n) {
    store::SavedGame g;
    g.level = n % 100;
    g.seed = static_cast<std::uint32_t>(n) * 2654435761u;
    g.arcade = n % 3 == 0;
    core::Mulberry32 rnd(g.seed);
    g.board = core::makeEmptyBoard(14, 11);
    for (auto& row : g.board)
        for (int& cell : row) cell = rnd.nextInt(7) - 1;
    g.board[0][0] = n % 5;  // never empty in the first cell
    for (int r = 0; r < 1 + n % 4; ++r) {
        std::vector<int> row(11);
        for (int& cell : row) cell = rnd.nextInt(6);
        g.incomingQueue.push_back(row);
    }
    g.starOrbPositions = {{n % 14, n % 11}, {1, 2}, {3, n % 7}};
    g.freedStarOrbs = {n % 3};
    for (int i = 0; i < n % 5; ++i) g.destroyedObstacles.push_back(i);
    g.currentColor = n % 6;
    g.nextColor = (n / 6) % 6;
    g.shotsFired = n;
    g.score = n;
    g.elapsedMs = static_cast<std::int64_t>(n) * 1000 + 7;
    return g;
}

bool isGameFor(const store::SavedGame& g) {
    const store::SavedGame want = gameFor(g.score);
    return g.valid && g.level == want.level && g.seed == want.seed && g.arcade == want.arcade &&
           g.board == want.board && g.incomingQueue == want.incomingQueue &&
           g.starOrbPositions == want.starOrbPositions && g.freedStarOrbs == want.freedStarOrbs &&
           g.destroyedObstacles == want.destroyedObstacles && g.currentColor == want.currentColor &&
           g.nextColor == want.nextColor && g.shotsFired == want.shotsFired &&
           g.elapsedMs == want.elapsedMs;
}

}  // namespace testsupport

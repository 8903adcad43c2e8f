// Loading the store from arbitrary files. The first byte picks the file, whether the rest is
// sealed first (so the JSON reader is reached) and whether it is a leftover ".neu"; what
// the store writes back must load to the same state.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "platform/save_crypt.h"

namespace {

// A scratch directory of this process, in memory when the machine offers /dev/shm: every
// store write flushes to the device, which on a disk would slow the fuzzer to a crawl.
const std::string& dir() {
    static const std::string* const d = [] {  // never destroyed: the exit handler uses it
        std::error_code ec;
        const bool shm =
            std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0;
        auto* path = new std::string((shm ? "/dev/shm/tarnwick-fuzz" : TARNWICK_FUZZ_TMP) +
                                     std::string("-") + std::to_string(::getpid()));
        std::filesystem::create_directories(*path, ec);
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(dir(), e);
        });
        return path;
    }();
    return *d;
}

auto tie(const store::Settings& a) {
    return std::tie(a.language, a.soundOn, a.musicVolume, a.sfxVolume, a.aimGuide, a.windowW,
                    a.windowH, a.windowX, a.windowY, a.maximized, a.fullscreen);
}

auto tie(const store::SavedGame& a) {
    return std::tie(a.valid, a.level, a.seed, a.arcade, a.board, a.incomingQueue,
                    a.starOrbPositions, a.freedStarOrbs, a.destroyedObstacles, a.currentColor,
                    a.nextColor, a.shotsFired, a.score, a.elapsedMs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir(), ec))
        std::filesystem::remove_all(entry.path(), ec);
    const std::string name = dir() + ((mode & 1) ? "/settings.dat" : "/saves.dat");
    const std::string bytes = (mode & 2) ? body : platform::saveEncrypt(body);
    std::ofstream((mode & 4) ? name + ".neu" : name, std::ios::binary) << bytes;

    store::openAt(dir());
    const store::Settings settings = store::settings();
    const int unlocked = store::unlockedLevel();
    const std::size_t bests = store::levelBests().size();
    const std::size_t solves = store::solves().size();
    const std::size_t highs = store::arcadeHighs().size();
    if (highs > static_cast<std::size_t>(store::kMaxArcadeEntries) || unlocked < 1) std::abort();

    // Write both files back and load them again: nothing may change on the way.
    store::saveSettings();
    if (store::hasSavedGame()) {
        const store::SavedGame game = store::savedGame();
        store::saveGame(game);
        store::openAt(dir());
        if (tie(store::savedGame()) != tie(game)) std::abort();
    } else {
        store::clearGame();
        store::openAt(dir());
        if (store::hasSavedGame()) std::abort();
    }
    if (tie(store::settings()) != tie(settings)) std::abort();
    if (store::unlockedLevel() != unlocked || store::levelBests().size() != bests ||
        store::solves().size() != solves || store::arcadeHighs().size() != highs)
        std::abort();
    return 0;
}

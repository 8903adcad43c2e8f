// Loading the store from arbitrary file contents. The first input byte picks the file
// (settings or saves), whether the rest is sealed first (so the JSON reader is reached) or
// written raw, and whether it appears as a leftover ".neu" file. After loading, what the
// store writes back must load to the same state.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/storage.h"
#include "platform/save_crypt.h"

namespace {

void removeDir();

// A scratch directory of this process, in memory when the machine offers /dev/shm: every
// store write flushes to the device, which on a disk would slow the fuzzer to a crawl.
const std::string& dir() {
    // Never destroyed, so that the exit handler that removes the directory can still use it.
    static const std::string* const d = [] {
        std::error_code ec;
        const std::string base =
            std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                ? std::string("/dev/shm/tarnwick-fuzz")
                : std::string(TARNWICK_FUZZ_TMP);
        std::string path = base + "-" + std::to_string(::getpid());
        std::filesystem::create_directories(path, ec);
        std::atexit(removeDir);
        return new std::string(path);
    }();
    return *d;
}

void removeDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir(), ec);
}

void clearDir() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir(), ec))
        std::filesystem::remove_all(entry.path(), ec);
}

void put(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool sameSettings(const store::Settings& a, const store::Settings& b) {
    return a.language == b.language && a.soundOn == b.soundOn && a.musicVolume == b.musicVolume &&
           a.sfxVolume == b.sfxVolume && a.aimGuide == b.aimGuide && a.windowW == b.windowW &&
           a.windowH == b.windowH && a.windowX == b.windowX && a.windowY == b.windowY &&
           a.maximized == b.maximized && a.fullscreen == b.fullscreen;
}

bool sameGame(const store::SavedGame& a, const store::SavedGame& b) {
    return a.valid == b.valid && a.level == b.level && a.seed == b.seed && a.arcade == b.arcade &&
           a.board == b.board && a.incomingQueue == b.incomingQueue &&
           a.starOrbPositions == b.starOrbPositions && a.freedStarOrbs == b.freedStarOrbs &&
           a.destroyedObstacles == b.destroyedObstacles && a.currentColor == b.currentColor &&
           a.nextColor == b.nextColor && a.shotsFired == b.shotsFired && a.score == b.score &&
           a.elapsedMs == b.elapsedMs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    clearDir();
    const std::string name = dir() + ((mode & 1) ? "/settings.dat" : "/saves.dat");
    const std::string bytes = (mode & 2) ? body : platform::saveEncrypt(body);
    put((mode & 4) ? name + ".neu" : name, bytes);

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
        if (!sameGame(store::savedGame(), game)) std::abort();
    } else {
        store::clearGame();
        store::openAt(dir());
        if (store::hasSavedGame()) std::abort();
    }
    if (!sameSettings(store::settings(), settings)) std::abort();
    if (store::unlockedLevel() != unlocked || store::levelBests().size() != bests ||
        store::solves().size() != solves || store::arcadeHighs().size() != highs)
        std::abort();
    return 0;
}

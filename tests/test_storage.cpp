// The settings and save store: defaults, typed loading with fallbacks, the merge rules of
// the records, what goes to disk when, and how unreadable or half-written files are met.
// Every test works in a directory of its own through store::openAt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/storage.h"
#include "platform/fs.h"
#include "platform/save_crypt.h"
#include "support/store_files.h"
#include "support/tmpdir.h"

using testsupport::readBytes;
using testsupport::readSealedDoc;
using testsupport::writeBytes;
using testsupport::writeSealed;

namespace {

std::string settingsFile(const std::string& dir) { return dir + "/settings.dat"; }
std::string savesFile(const std::string& dir) { return dir + "/saves.dat"; }

// Opens the store on dir and returns what it printed.
std::string openCapturing(const std::string& dir) {
    testing::internal::CaptureStderr();
    store::openAt(dir);
    return testing::internal::GetCapturedStderr();
}

// Every field as a tuple, so whole records compare (and print) at once.
auto tie(const store::Settings& s) {
    return std::tuple(s.language, s.soundOn, s.musicVolume, s.sfxVolume, s.aimGuide, s.windowW,
                      s.windowH, s.windowX, s.windowY, s.maximized, s.fullscreen, s.marbleSymbols);
}
auto tie(const store::LevelBest& b) { return std::tuple(b.stars, b.moves, b.elapsedMs); }
auto tie(const store::SolveEntry& e) {
    return std::tuple(e.level, e.marbles, e.score, e.elapsedMs, e.solvedAt, e.stars);
}
auto tie(const store::ArcadeHigh& a) {
    return std::tuple(a.score, a.marbles, a.elapsedMs, a.achievedAt);
}
auto tie(const store::SavedGame& g) {
    return std::tuple(g.valid, g.level, g.seed, g.arcade, g.board, g.incomingQueue,
                      g.starOrbPositions, g.freedStarOrbs, g.destroyedObstacles, g.currentColor,
                      g.nextColor, g.shotsFired, g.score, g.elapsedMs, g.savedAt, g.rowParity,
                      g.ceilingRow);
}
template <class T>
auto ties(const std::vector<T>& v) {
    std::vector<decltype(tie(v.front()))> out;
    for (const T& x : v) out.push_back(tie(x));
    return out;
}
auto ties(const std::map<int, store::LevelBest>& m) {
    std::map<int, decltype(tie(store::LevelBest{}))> out;
    for (const auto& [k, b] : m) out[k] = tie(b);
    return out;
}
using Best = std::tuple<int, int, std::int64_t>;

}  // namespace

TEST(Store, SettingsDefaultsFallbacksAndClamps) {
    const std::string dir = testsupport::freshDir("store-settings");
    EXPECT_EQ(openCapturing(dir), "");
    const store::Settings defaults{"", true, 0.35, 0.75, true, 0, 0, -1, -1, false, false, false};
    EXPECT_EQ(tie(store::settings()), tie(defaults));
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_FALSE(store::hasSavedGame());
    EXPECT_TRUE(platform::fs::listDir(dir).empty());  // a first run writes nothing

    // A number or a string is not a boolean; widths rise to 560, heights to 620; volumes
    // clamp to 0..1 and keep their defaults when not numbers; huge numbers saturate.
    const std::pair<const char*, store::Settings> cases[] = {
        {R"({"language":"de","soundOn":0,"aimGuide":false,"maximized":true,"fullscreen":"yes",
             "musicVolume":1.7,"sfxVolume":-0.5,"windowW":300,"windowH":700.6,"windowX":-40,
             "windowY":"12","unknown":[1,2],"marble_symbols":1})",
         {"de", true, 1.0, 0.0, false, 560, 701, -40, -1, true, false, false}},
        {R"({"windowW":0,"windowH":10,"musicVolume":NaN,"sfxVolume":"1","windowX":1e300,)"
         R"("language":5})",
         {"", true, 0.35, 0.75, true, 0, 620, 2147483647, -1, false, false, false}},
        {R"({"windowW":-5})", defaults},
        {"[1,2,3]", defaults}};
    for (const auto& [doc, want] : cases) {
        ASSERT_TRUE(writeSealed(settingsFile(dir), doc));
        EXPECT_EQ(openCapturing(dir), "");
        EXPECT_EQ(tie(store::settings()), tie(want)) << doc;
    }

    const store::Settings written{"fr", false, 0.35, 0.1,   true, 1280,
                                  800,  -3,    40,   false, true, true};
    store::settings() = written;
    store::saveSettings();
    EXPECT_EQ(
        readSealedDoc(settingsFile(dir)).dump(),
        R"({"aimGuide":true,"fullscreen":true,"language":"fr","marble_symbols":true,)"
        R"("maximized":false,"musicVolume":0.34999999999999998,"sfxVolume":0.10000000000000001,)"
        R"("soundOn":false,"windowH":800,"windowW":1280,"windowX":-3,"windowY":40})");
    openCapturing(dir);
    EXPECT_EQ(tie(store::settings()), tie(written));
    EXPECT_FALSE(platform::fs::isFile(savesFile(dir)));  // settings and progress apart
}

TEST(Store, EveryMutationIsOnDiskAndComesBackWhole) {
    const std::string dir = testsupport::freshDir("store-writes");
    openCapturing(dir);
    const auto doc = [&] { return readSealedDoc(savesFile(dir)); };
    store::advanceUnlockedLevel(12);
    EXPECT_EQ(doc()["unlocked_level"].asInt(0), 12);
    store::recordBest(3, {2, 30, 90000});
    EXPECT_EQ(doc()["level_stars"]["3"].dump(), R"({"elapsedMs":90000,"moves":30,"stars":2})");
    store::recordSolve({3, 30, 1200, 90000, 1700000000123, 2});
    store::recordSolve({10, 45, 900, 120000, 1700000500000, 1});
    EXPECT_EQ(doc()["solves_list"][1]["solvedAt"].dump(), "1700000000123");
    store::recordArcadeHigh({700, 30, 50000, 1700000000001});
    store::recordArcadeHigh({5000, 80, 123456, 1700000000999});
    EXPECT_EQ(doc()["arcade_highscores"][0]["achievedAt"].dump(), "1700000000999");

    const std::int64_t before = store::nowMs();
    store::SavedGame g = testsupport::gameFor(4242);
    g.seed = 0xFFFFFFFFu;
    g.rowParity = 1;
    g.ceilingRow = 3;
    g.savedAt = 5;  // ignored: the store stamps its own time
    store::saveGame(g);
    EXPECT_GE(store::savedGame().savedAt, before);
    EXPECT_EQ(doc()["current_game"]["savedAt"].dump(), std::to_string(store::savedGame().savedAt));
    EXPECT_FALSE(doc()["current_game"].has("valid"));

    const auto bests = ties(store::levelBests());
    const auto solves = ties(store::solves());
    const auto highs = ties(store::arcadeHighs());
    const auto saved = tie(store::savedGame());
    EXPECT_EQ(store::solves()[0].level, 10);  // newest first
    store::openAt(testsupport::freshDir("store-writes-other"));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::unlockedLevel(), 12);
    EXPECT_EQ(ties(store::levelBests()), bests);
    EXPECT_EQ(ties(store::solves()), solves);
    EXPECT_EQ(ties(store::arcadeHighs()), highs);
    EXPECT_EQ(tie(store::savedGame()), saved);

    store::clearGame();
    EXPECT_FALSE(doc().has("current_game"));
    EXPECT_FALSE(store::hasSavedGame());
    store::resetProgress();
    EXPECT_EQ(doc().dump(),
              R"({"arcade_highscores":[],"level_stars":{},"solves_list":[],"unlocked_level":1})");
    EXPECT_FALSE(platform::fs::isFile(settingsFile(dir)));
}

// A stored game the rules could not play is discarded with one line and never offered; a
// playable one comes back exactly.
TEST(Store, BrokenStoredGamesAreNeverOffered) {
    const std::string dir = testsupport::freshDir("store-broken-game");
    using Break = void (*)(store::SavedGame&);
    const std::pair<const char*, Break> cases[] = {
        {"ragged board", [](store::SavedGame& g) { g.board[3].pop_back(); }},
        {"colour 9", [](store::SavedGame& g) { g.board[0][0] = 9; }},
        {"wide waiting row",
         [](store::SavedGame& g) { g.incomingQueue.push_back(std::vector<int>(12, 0)); }},
        {"launcher colour", [](store::SavedGame& g) { g.currentColor = 7; }},
        {"orb far below",
         [](store::SavedGame& g) {
             g.starOrbPositions[0] = {40, 2};
         }},
        {"freed orb past the last",
         [](store::SavedGame& g) {
             g.freedStarOrbs = {static_cast<int>(g.starOrbPositions.size())};
         }},
        {"obstacle 9", [](store::SavedGame& g) { g.destroyedObstacles = {9}; }},
        {"score", [](store::SavedGame& g) { g.score = -100; }},
        {"time", [](store::SavedGame& g) { g.elapsedMs = -1; }},
        {"level 100", [](store::SavedGame& g) { g.level = 100; }},
        {"ceiling", [](store::SavedGame& g) { g.ceilingRow = 20; }},
    };
    for (const auto& [what, brk] : cases) {
        SCOPED_TRACE(what);
        openCapturing(dir);
        store::SavedGame g = testsupport::gameFor(58);  // a campaign level with obstacles
        brk(g);
        store::saveGame(g);
        EXPECT_THAT(openCapturing(dir),
                    ::testing::StartsWith("[storage] gespeichertes Spiel verworfen: "));
        EXPECT_FALSE(store::hasSavedGame());
    }
    for (int n : {58, 60}) {
        store::saveGame(testsupport::gameFor(n));
        EXPECT_EQ(openCapturing(dir), "");
        EXPECT_TRUE(testsupport::isGameFor(store::savedGame())) << n;
    }
}

TEST(Store, RecordsMergeByTheirRules) {
    const std::string dir = testsupport::freshDir("store-records");
    openCapturing(dir);
    // Level bests: each field on its own; a stored zero or negative count is "none".
    EXPECT_EQ(tie(store::recordBest(5, {3, 25, 0})), (Best{3, 25, 0}));
    EXPECT_EQ(tie(store::recordBest(5, {2, 30, 90000})), (Best{3, 25, 90000}));
    EXPECT_EQ(tie(store::recordBest(5, {1, 22, 95000})), (Best{3, 22, 90000}));
    store::recordBest(6, {0, 0, -1});
    EXPECT_EQ(tie(store::recordBest(6, {1, 40, 70000})), (Best{1, 40, 70000}));

    // Solves: one per level, newest first; a better one (more stars, then fewer marbles,
    // then less time) replaces and moves to the front.
    using Solve = std::tuple<int, int, int, std::int64_t, std::int64_t, int>;
    const auto front = [] { return tie(store::solves().front()); };
    store::recordSolve({7, 20, 500, 60000, 1000, 3});
    store::recordSolve({8, 10, 500, 60000, 2000, 1});
    store::recordSolve({7, 20, 1, 50000, 3000, 3});
    ASSERT_EQ(store::solves().size(), 2u);
    EXPECT_EQ(front(), (Solve{7, 20, 1, 50000, 3000, 3}));
    for (const store::SolveEntry& worse : {store::SolveEntry{7, 5, 9999, 1000, 4000, 2},
                                           {7, 21, 0, 1, 5000, 3}, {7, 20, 1, 50000, 5500, 3}}) {
        store::recordSolve(worse);
        EXPECT_EQ(front(), (Solve{7, 20, 1, 50000, 3000, 3})) << worse.solvedAt;
    }
    store::recordSolve({7, 19, 0, 99999, 6000, 3});
    EXPECT_EQ(front(), (Solve{7, 19, 0, 99999, 6000, 3}));
    // The list holds 200 at most, the oldest falling off. (Loading does not cut it.)
    std::string many = R"({"solves_list":[)";
    for (int level = 100; level < 301; ++level)
        many +=
            (level > 100 ? "," : "") + std::string(R"({"level":)") + std::to_string(level) + "}";
    ASSERT_TRUE(writeSealed(savesFile(dir), many + "]}"));
    openCapturing(dir);
    ASSERT_EQ(store::solves().size(), 201u);
    store::recordSolve({9, 1, 1, 1, 0, 1});
    ASSERT_EQ(store::solves().size(), 200u);
    EXPECT_EQ(std::pair(store::solves()[1].level, store::solves().back().level),
              std::pair(100, 298));

    // Arcade: the best ten, an equal score ranking below the older entry.
    for (int i = 0; i < 10; ++i) store::recordArcadeHigh({(i + 1) * 100, i, i, 1000 + i});
    EXPECT_EQ(store::recordArcadeHigh({100, 99, 99, 5000}).back().marbles, 0);
    store::recordArcadeHigh({500, 77, 0, 6000});
    EXPECT_EQ(std::pair(store::arcadeHighs()[5].marbles, store::arcadeHighs()[6].marbles),
              std::pair(4, 77));
    store::recordArcadeHigh({5000, 1, 0, 7000});
    EXPECT_EQ(store::arcadeHighs().front().score, 5000);
    EXPECT_EQ(store::arcadeHighs().back().score, 300);
    EXPECT_EQ(readSealedDoc(savesFile(dir))["arcade_highscores"].size(), 10u);

    // The unlocked level only rises, up to "all cleared".
    for (const auto& [count, level] : {std::pair{-4, 1}, {3, 3}, {2, 3}, {150, 101}}) {
        store::advanceUnlockedLevel(count);
        EXPECT_EQ(store::unlockedLevel(), level) << count;
    }
}

TEST(Store, LoadingSavesFollowsTheTypes) {
    const std::string dir = testsupport::freshDir("store-load");
    ASSERT_TRUE(writeSealed(savesFile(dir), R"({
        "unlocked_level":0,
        "level_stars":{"4":{"stars":2,"moves":"x"},"12abc":{"stars":1},"zz":{"stars":3},
                       "4":{"stars":3,"moves":9,"elapsedMs":2.9}},
        "solves_list":[{"level":1,"solvedAt":5},{"level":2,"solvedAt":9},"junk"],
        "arcade_highscores":[{"score":1},{"score":3},{"score":2},{"score":3,"marbles":7},
                             {"score":0},{},{},{},{},{},{},{"score":99,"achievedAt":1e20}],
        "current_game":{"board":[[1,"x",null,2.6],[0]],"level":5,"elapsedMs":-7.9}})"));
    EXPECT_EQ(openCapturing(dir), "[storage] gespeichertes Spiel verworfen: negative Zählung\n");
    EXPECT_EQ(store::unlockedLevel(), 1);
    // The later duplicate key wins; a key is read by its leading digits ("zz" is level 0).
    EXPECT_EQ(ties(store::levelBests()),
              (std::map<int, Best>{{0, {3, 0, 0}}, {4, {3, 9, 2}}, {12, {1, 0, 0}}}));
    ASSERT_EQ(store::solves().size(), 3u);  // in file order
    EXPECT_EQ(store::solves()[2].level, 0);
    // The arcade table is sorted (stable) and cut to ten.
    const auto& highs = store::arcadeHighs();
    ASSERT_EQ(highs.size(), 10u);
    EXPECT_EQ(tie(highs[0]),
              std::tuple(99, 0, std::int64_t{0}, std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(std::pair(highs[1].marbles, highs[2].marbles), std::pair(0, 7));
    EXPECT_FALSE(store::hasSavedGame());
    ASSERT_TRUE(writeSealed(savesFile(dir),
                            R"({"unlocked_level":"9","level_stars":[1],"solves_list":{}})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_TRUE(store::levelBests().empty() && store::solves().empty());
    ASSERT_TRUE(writeSealed(savesFile(dir), R"({"unlocked_level":140.4})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 140);  // no upper bound on loading
}

TEST(Store, UnreadableFilesAreSetAsideAndLeftoversFinished) {
    const std::string dir = testsupport::freshDir("store-aside");
    const std::string saves = savesFile(dir), settings = settingsFile(dir);
    const auto aside = [](const std::string& f) {
        return "[storage] " + f + " war nicht lesbar — beiseitegelegt\n";
    };
    // Plain JSON, as an older or hand-edited file would be.
    ASSERT_TRUE(writeBytes(saves, R"({"unlocked_level":100})"));
    EXPECT_EQ(openCapturing(dir), aside(saves));
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_EQ(readBytes(saves + ".manipuliert"), R"({"unlocked_level":100})");
    store::advanceUnlockedLevel(3);
    EXPECT_EQ(openCapturing(dir), "");
    // A sealed settings file with one byte changed; the other file is unaffected.
    store::settings().windowW = 900;
    store::saveSettings();
    std::string sealed = readBytes(settings);
    sealed[sealed.size() / 2] ^= 0x20;
    ASSERT_TRUE(writeBytes(settings, sealed));
    EXPECT_EQ(openCapturing(dir), aside(settings));
    EXPECT_EQ(std::pair(store::settings().windowW, store::unlockedLevel()), std::pair(0, 3));
    ASSERT_TRUE(writeBytes(settings, ""));  // empty is a first run, not tampering
    EXPECT_EQ(openCapturing(dir), "");

    // A complete ".neu" is the newest state: taken and the rename finished; a torn one is
    // dropped without a word and the old file used.
    const std::string old = readBytes(saves);
    ASSERT_TRUE(writeSealed(saves + ".neu", R"({"unlocked_level":9})"));
    const std::string complete = readBytes(saves + ".neu");
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::unlockedLevel(), 9);
    EXPECT_TRUE(readBytes(saves) == complete);
    ASSERT_TRUE(writeBytes(saves, old));
    ASSERT_TRUE(writeBytes(saves + ".neu", complete.substr(0, complete.size() - 3)));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::unlockedLevel(), 3);
    EXPECT_FALSE(platform::fs::isFile(saves + ".neu"));

    // A huge file is not read into memory, and a directory in the file's place is moved
    // out of the way too.
    ASSERT_TRUE(platform::fs::remove(saves + ".manipuliert"));
    ASSERT_EQ(::truncate(saves.c_str(), 3ll << 30), 0);
    EXPECT_EQ(openCapturing(dir), aside(saves));
    EXPECT_EQ(platform::fs::fileSize(saves + ".manipuliert"), 3ll << 30);
    ASSERT_TRUE(platform::fs::remove(saves + ".manipuliert"));
    ASSERT_TRUE(platform::fs::ensureDir(saves));
    EXPECT_NE(openCapturing(dir), "");
    store::advanceUnlockedLevel(5);
    EXPECT_EQ(readSealedDoc(saves)["unlocked_level"].asInt(0), 5);
}

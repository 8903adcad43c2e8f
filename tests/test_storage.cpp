// The settings and save store: defaults, typed loading with fallbacks, the merge rules of
// the records, what goes to disk when, and how unreadable or half-written files are met.
// Every test works in a directory of its own through store::openAt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/json.h"
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

std::string settingsFile(const std::string& dir) {
    return dir + "/settings.dat";
}
std::string savesFile(const std::string& dir) {
    return dir + "/saves.dat";
}

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
auto tie(const store::LevelBest& b) {
    return std::tuple(b.stars, b.moves, b.elapsedMs);
}
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

TEST(Store, FirstRunHasDefaultsAndWritesNothing) {
    const std::string dir = testsupport::freshDir("store-first-run");
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(tie(store::settings()),
              tie(store::Settings{"", true, 0.35, 0.75, true, 0, 0, -1, -1, false, false, false}));
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_TRUE(store::levelBests().empty());
    EXPECT_TRUE(store::solves().empty());
    EXPECT_TRUE(store::arcadeHighs().empty());
    EXPECT_FALSE(store::hasSavedGame());
    EXPECT_FALSE(store::savedGame().valid);
    EXPECT_TRUE(platform::fs::listDir(dir).empty());
    // init() after loading changes nothing.
    store::settings().windowW = 999;
    store::init();
    EXPECT_EQ(store::settings().windowW, 999);
}

TEST(Store, SettingsLoadWithTypedFallbacksAndClamps) {
    const std::string dir = testsupport::freshDir("store-settings-load");
    // A number or a string is not a boolean: default. Widths rise to 560.
    ASSERT_TRUE(writeSealed(settingsFile(dir), R"({
        "language":"de","soundOn":0,"aimGuide":false,"maximized":true,"fullscreen":"yes",
        "musicVolume":1.7,"sfxVolume":-0.5,"windowW":300,"windowH":700.6,
        "windowX":-40,"windowY":"12","unknown":[1,2],"marble_symbols":1})"));
    openCapturing(dir);
    EXPECT_EQ(tie(store::settings()), tie(store::Settings{"de", true, 1.0, 0.0, false, 560, 701,
                                                          -40, -1, true, false, false}));

    // Zero and negative sizes keep "none stored"; small heights rise to 620; volumes that
    // are not numbers at all keep their defaults; huge numbers saturate.
    ASSERT_TRUE(writeSealed(settingsFile(dir),
                            R"({"windowW":0,"windowH":10,"musicVolume":NaN,"sfxVolume":"1",
                                "windowX":1e300,"language":5})"));
    openCapturing(dir);
    EXPECT_EQ(tie(store::settings()), tie(store::Settings{"", true, 0.35, 0.75, true, 0, 620,
                                                          2147483647, -1, false, false, false}));
    ASSERT_TRUE(writeSealed(settingsFile(dir), R"({"windowW":-5})"));
    openCapturing(dir);
    EXPECT_EQ(store::settings().windowW, 0);

    // A valid container around something that is not an object: all defaults, silently,
    // and the file stays where it is.
    ASSERT_TRUE(writeSealed(settingsFile(dir), "[1,2,3]"));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::settings().musicVolume, 0.35);
    EXPECT_TRUE(platform::fs::isFile(settingsFile(dir)));
}

TEST(Store, SettingsAreWrittenAndReadBack) {
    const std::string dir = testsupport::freshDir("store-settings-save");
    openCapturing(dir);
    const store::Settings written{"fr", false, 0.35, 0.1,   true, 1280,
                                  800,  -3,    40,   false, true, true};
    store::settings() = written;
    store::saveSettings();

    // The file on disk, as written before saveSettings returned.
    const std::string sealed = readBytes(settingsFile(dir));
    ASSERT_TRUE(platform::looksSealed(sealed));
    std::string text;
    ASSERT_EQ(platform::saveDecrypt(sealed, &text), platform::SaveReadResult::Ok);
    EXPECT_EQ(text, R"({"aimGuide":true,"fullscreen":true,"language":"fr","marble_symbols":true,)"
                    R"("maximized":false,)"
                    R"("musicVolume":0.34999999999999998,"sfxVolume":0.10000000000000001,)"
                    R"("soundOn":false,"windowH":800,"windowW":1280,"windowX":-3,"windowY":40})");
    EXPECT_FALSE(platform::fs::isFile(settingsFile(dir) + ".neu"));
    openCapturing(dir);
    EXPECT_EQ(tie(store::settings()), tie(written));
    // Settings and progress live in separate files.
    EXPECT_FALSE(platform::fs::isFile(savesFile(dir)));

    // A volume that is not a number cannot make the file invalid.
    store::settings().musicVolume = std::nan("");
    store::saveSettings();
    EXPECT_TRUE(readSealedDoc(settingsFile(dir)).isObject());
    openCapturing(dir);
    EXPECT_EQ(store::settings().musicVolume, 0.35);
}

TEST(Store, EveryMutationIsOnDiskWhenItReturns) {
    const std::string dir = testsupport::freshDir("store-writes");
    openCapturing(dir);
    const auto doc = [&] { return readSealedDoc(savesFile(dir)); };

    store::advanceUnlockedLevel(4);
    EXPECT_EQ(doc()["unlocked_level"].asInt(0), 4);
    store::recordBest(3, {2, 30, 90000});
    EXPECT_EQ(doc()["level_stars"]["3"].dump(), R"({"elapsedMs":90000,"moves":30,"stars":2})");
    store::recordSolve({3, 30, 1200, 90000, 1700000000123, 2});
    EXPECT_EQ(doc()["solves_list"][0]["solvedAt"].dump(), "1700000000123");
    EXPECT_EQ(doc()["solves_list"][0]["score"].asInt(0), 1200);
    store::recordArcadeHigh({5000, 80, 123456, 1700000000999});
    EXPECT_EQ(doc()["arcade_highscores"][0]["score"].asInt(0), 5000);
    EXPECT_EQ(doc()["arcade_highscores"][0]["achievedAt"].dump(), "1700000000999");

    const std::int64_t before = store::nowMs();
    store::SavedGame g = testsupport::gameFor(17);
    g.savedAt = 5;  // ignored: the store stamps its own time
    g.valid = false;
    store::saveGame(g);
    const json::Value cg = doc()["current_game"];
    ASSERT_TRUE(cg.isObject());
    EXPECT_EQ(cg["score"].asInt(0), 17);
    EXPECT_EQ(cg["board"].size(), 14u);
    EXPECT_EQ(cg["board"][0].size(), 11u);
    EXPECT_EQ(cg["starOrbPositions"].size(), 3u);
    EXPECT_FALSE(cg.has("valid"));
    EXPECT_GE(store::savedGame().savedAt, before);
    EXPECT_LE(store::savedGame().savedAt, store::nowMs());
    EXPECT_EQ(cg["savedAt"].dump(), std::to_string(store::savedGame().savedAt));
    EXPECT_TRUE(store::hasSavedGame());

    store::clearGame();
    EXPECT_FALSE(doc().has("current_game"));
    EXPECT_FALSE(store::hasSavedGame());
    EXPECT_TRUE(store::savedGame().board.empty());

    store::resetProgress();
    EXPECT_EQ(doc().dump(),
              R"({"arcade_highscores":[],"level_stars":{},"solves_list":[],"unlocked_level":1})");
    EXPECT_FALSE(platform::fs::isFile(settingsFile(dir)));  // settings not touched
}

// A stored game the rules could not play is discarded with one line and never offered; a
// playable one comes back exactly.
TEST(Store, BrokenStoredGamesAreNeverOffered) {
    const std::string dir = testsupport::freshDir("store-broken-game");
    using Break = void (*)(store::SavedGame&);
    const std::pair<const char*, Break> cases[] = {
        {"ragged board", [](store::SavedGame& g) { g.board[3].pop_back(); }},
        {"two rows", [](store::SavedGame& g) { g.board.resize(2); }},
        {"colour 9", [](store::SavedGame& g) { g.board[0][0] = 9; }},
        {"wide waiting row", [](store::SavedGame& g) { g.incomingQueue.push_back(std::vector<int>(12, 0)); }},
        {"launcher colour", [](store::SavedGame& g) { g.currentColor = 7; }},
        {"orb far below", [](store::SavedGame& g) { g.starOrbPositions[0] = {40, 2}; }},
        {"freed orb 5", [](store::SavedGame& g) { g.freedStarOrbs = {5}; }},
        {"obstacle 9", [](store::SavedGame& g) { g.destroyedObstacles = {9}; }},
        {"score", [](store::SavedGame& g) { g.score = -100; }},
        {"shots", [](store::SavedGame& g) { g.shotsFired = -1; }},
        {"time", [](store::SavedGame& g) { g.elapsedMs = -1; }},
        {"level 120", [](store::SavedGame& g) { g.level = 120; }},
        {"ceiling", [](store::SavedGame& g) { g.ceilingRow = 20; }},
    };
    for (const auto& [what, brk] : cases) {
        SCOPED_TRACE(what);
        openCapturing(dir);
        store::SavedGame g = testsupport::gameFor(58);  // a campaign level with obstacles
        ASSERT_FALSE(g.arcade);
        brk(g);
        store::saveGame(g);
        EXPECT_THAT(openCapturing(dir), ::testing::StartsWith("[storage] gespeichertes Spiel verworfen: "));
        EXPECT_FALSE(store::hasSavedGame());
    }
    store::SavedGame arcade = testsupport::gameFor(60);
    ASSERT_TRUE(arcade.arcade);
    arcade.incomingQueue = {std::vector<int>(11, 0)};
    store::saveGame(arcade);
    EXPECT_NE(openCapturing(dir), "");
    EXPECT_FALSE(store::hasSavedGame());
    for (int n : {58, 60}) {
        store::saveGame(testsupport::gameFor(n));
        EXPECT_EQ(openCapturing(dir), "");
        EXPECT_TRUE(testsupport::isGameFor(store::savedGame())) << n;
    }
}

TEST(Store, SavesRoundTripEveryField) {
    const std::string dir = testsupport::freshDir("store-roundtrip");
    openCapturing(dir);
    store::advanceUnlockedLevel(12);
    store::recordBest(0, {3, 20, 61000});
    store::recordBest(10, {1, 45, 0});
    store::recordSolve({0, 20, 3000, 61000, 1700000000000, 3});
    store::recordSolve({10, 45, 900, 120000, 1700000500000, 1});
    store::recordArcadeHigh({700, 30, 50000, 1700000000001});
    store::recordArcadeHigh({900, 31, 60000, 1700000000002});
    store::SavedGame g = testsupport::gameFor(4242);
    g.seed = 0xFFFFFFFFu;
    g.rowParity = 1;
    g.ceilingRow = 3;
    store::saveGame(g);
    const auto bests = ties(store::levelBests());
    const auto solves = ties(store::solves());
    const auto highs = ties(store::arcadeHighs());
    const auto saved = tie(store::savedGame());
    ASSERT_EQ(solves.size(), 2u);
    EXPECT_EQ(store::solves()[0].level, 10);  // newest first
    EXPECT_EQ(store::arcadeHighs()[0].score, 900);
    EXPECT_TRUE(store::savedGame().valid);

    store::openAt(testsupport::freshDir("store-roundtrip-other"));
    EXPECT_EQ(store::unlockedLevel(), 1);
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 12);
    EXPECT_EQ(ties(store::levelBests()), bests);
    EXPECT_EQ(ties(store::solves()), solves);
    EXPECT_EQ(ties(store::arcadeHighs()), highs);
    EXPECT_EQ(tie(store::savedGame()), saved);
    EXPECT_EQ(store::savedGame().seed, 0xFFFFFFFFu);
}

TEST(Store, RecordBestMergesEachFieldOnItsOwn) {
    const std::string dir = testsupport::freshDir("store-best");
    openCapturing(dir);
    EXPECT_EQ(tie(store::recordBest(5, {3, 25, 0})), (Best{3, 25, 0}));
    EXPECT_EQ(tie(store::recordBest(5, {2, 30, 90000})), (Best{3, 25, 90000}));
    EXPECT_EQ(tie(store::recordBest(5, {1, 22, 95000})), (Best{3, 22, 90000}));
    // A stored zero or negative count is "none" and is replaced outright.
    store::recordBest(6, {0, 0, -1});
    EXPECT_EQ(tie(store::recordBest(6, {1, 40, 70000})), (Best{1, 40, 70000}));
    openCapturing(dir);
    EXPECT_EQ(tie(store::levelBests().at(5)), (Best{3, 22, 90000}));
    EXPECT_EQ(tie(store::levelBests().at(6)), (Best{1, 40, 70000}));
}

TEST(Store, RecordSolveKeepsOnePerLevelNewestFirst) {
    const std::string dir = testsupport::freshDir("store-solve");
    openCapturing(dir);
    using Solve = std::tuple<int, int, int, std::int64_t, std::int64_t, int>;
    const auto front = [] { return tie(store::solves().front()); };
    store::recordSolve({7, 20, 500, 60000, 1000, 3});
    store::recordSolve({8, 10, 500, 60000, 2000, 1});
    ASSERT_EQ(store::solves().size(), 2u);
    EXPECT_EQ(store::solves()[0].level, 8);
    // Same stars and marbles, less time: replaces and moves to the front.
    store::recordSolve({7, 20, 1, 50000, 3000, 3});
    ASSERT_EQ(store::solves().size(), 2u);
    EXPECT_EQ(front(), (Solve{7, 20, 1, 50000, 3000, 3}));
    // Fewer stars never wins, however few marbles; same stars and more marbles does not
    // win; equal in every way is not better.
    for (const store::SolveEntry& worse : {store::SolveEntry{7, 5, 9999, 1000, 4000, 2},
                                           {7, 21, 0, 1, 5000, 3},
                                           {7, 20, 1, 50000, 5500, 3}}) {
        store::recordSolve(worse);
        EXPECT_EQ(front(), (Solve{7, 20, 1, 50000, 3000, 3})) << worse.solvedAt;
    }
    // Fewer marbles does.
    store::recordSolve({7, 19, 0, 99999, 6000, 3});
    EXPECT_EQ(front(), (Solve{7, 19, 0, 99999, 6000, 3}));

    // A zero time stamp means now.
    const std::int64_t before = store::nowMs();
    store::recordSolve({9, 1, 1, 1, 0, 1});
    EXPECT_EQ(store::solves()[0].level, 9);
    EXPECT_GE(store::solves()[0].solvedAt, before);

    // The list holds 200 at most, the oldest falling off. (Loading does not cut it.)
    std::string many = R"({"solves_list":[)";
    for (int level = 100; level < 301; ++level)
        many += (level > 100 ? "," : "") + std::string(R"({"level":)") + std::to_string(level) +
                R"(,"solvedAt":)" + std::to_string(100000 - level) + "}";
    ASSERT_TRUE(writeSealed(savesFile(dir), many + "]}"));
    openCapturing(dir);
    ASSERT_EQ(store::solves().size(), 201u);
    store::recordSolve({9, 1, 1, 1, 0, 1});
    ASSERT_EQ(store::solves().size(), 200u);
    EXPECT_EQ(store::solves().front().level, 9);
    EXPECT_EQ(store::solves()[1].level, 100);
    EXPECT_EQ(store::solves().back().level, 298);
    openCapturing(dir);
    EXPECT_EQ(store::solves().size(), 200u);
}

TEST(Store, ArcadeTableKeepsTheBestTen) {
    const std::string dir = testsupport::freshDir("store-arcade");
    openCapturing(dir);
    for (int i = 0; i < 10; ++i) store::recordArcadeHigh({(i + 1) * 100, i, i, 1000 + i});
    ASSERT_EQ(store::arcadeHighs().size(), 10u);
    EXPECT_EQ(store::arcadeHighs().front().score, 1000);
    EXPECT_EQ(store::arcadeHighs().back().score, 100);
    // Equal to the lowest: the older entry stays ahead and the new one falls off.
    const auto& table = store::recordArcadeHigh({100, 99, 99, 5000});
    ASSERT_EQ(table.size(), 10u);
    EXPECT_EQ(table.back().marbles, 0);
    // Equal to a middle one: ranks below it.
    store::recordArcadeHigh({500, 77, 0, 6000});
    EXPECT_EQ(store::arcadeHighs()[5].marbles, 4);
    EXPECT_EQ(store::arcadeHighs()[6].marbles, 77);
    EXPECT_EQ(store::arcadeHighs().back().score, 200);
    // A new best goes to the top.
    store::recordArcadeHigh({5000, 1, 0, 7000});
    EXPECT_EQ(store::arcadeHighs().front().score, 5000);
    EXPECT_EQ(readSealedDoc(savesFile(dir))["arcade_highscores"].size(), 10u);
}

TEST(Store, UnlockedLevelRisesToAllClearedOnly) {
    const std::string dir = testsupport::freshDir("store-unlock");
    openCapturing(dir);
    store::advanceUnlockedLevel(1);
    store::advanceUnlockedLevel(-4);
    EXPECT_FALSE(platform::fs::isFile(savesFile(dir)));  // nothing to write
    for (const auto& [count, level] : {std::pair{-4, 1}, {3, 3}, {2, 3}, {150, 101}}) {
        store::advanceUnlockedLevel(count);
        EXPECT_EQ(store::unlockedLevel(), level) << count;
    }
    EXPECT_EQ(readSealedDoc(savesFile(dir))["unlocked_level"].asInt(0), 101);
}

TEST(Store, LoadingSavesFollowsTheTypes) {
    const std::string dir = testsupport::freshDir("store-load");
    ASSERT_TRUE(writeSealed(savesFile(dir), R"({
        "unlocked_level":0,
        "level_stars":{"4":{"stars":2,"moves":"x","elapsedMs":1e20},"12abc":{"stars":1},
                       "zz":{"stars":3},"4":{"stars":3,"moves":9,"elapsedMs":2.9}},
        "solves_list":[{"level":1,"solvedAt":5},{"level":2,"solvedAt":9},"junk"],
        "arcade_highscores":[{"score":1},{"score":3},{"score":2},{"score":3,"marbles":7},
                             {"score":0},{},{},{},{},{},{},{"score":99,"achievedAt":1e20,
                              "elapsedMs":-1e300}],
        "current_game":{"board":[[1,"x",null,2.6],[0]],"level":5,"seed":4294967301,
                        "arcade":1,"starOrbPositions":[[1,2],[3],"q"],
                        "freedStarOrbs":[1,true],"incomingQueue":[[3,3]],
                        "elapsedMs":-7.9,"savedAt":"soon"}})"));
    // A ragged two-row board is no game the rules can play: it is never offered.
    EXPECT_EQ(openCapturing(dir), "[storage] gespeichertes Spiel verworfen: negative Zählung\n");
    EXPECT_EQ(store::unlockedLevel(), 1);
    // The later duplicate key wins; a key is read by its leading digits ("zz" is level 0).
    EXPECT_EQ(ties(store::levelBests()),
              (std::map<int, Best>{{0, {3, 0, 0}}, {4, {3, 9, 2}}, {12, {1, 0, 0}}}));
    // Solves are taken in file order, not sorted while loading.
    ASSERT_EQ(store::solves().size(), 3u);
    EXPECT_EQ(store::solves()[0].level, 1);
    EXPECT_EQ(store::solves()[2].level, 0);
    // The arcade table is sorted (stable) and cut to ten.
    const auto& highs = store::arcadeHighs();
    ASSERT_EQ(highs.size(), 10u);
    EXPECT_EQ(tie(highs[0]), std::tuple(99, 0, std::numeric_limits<std::int64_t>::min(),
                                        std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(highs[1].score, 3);
    EXPECT_EQ(highs[1].marbles, 0);
    EXPECT_EQ(highs[2].marbles, 7);
    EXPECT_FALSE(store::hasSavedGame());

    // Games without a field are not resumable.
    for (const char* doc :
         {R"({"current_game":{"board":[]}})", R"({"current_game":{"board":[[],[1]]}})",
          R"({"current_game":{"board":"x"}})", R"({"current_game":[[[1]]]})",
          R"({"current_game":{"level":3}})"}) {
        SCOPED_TRACE(doc);
        ASSERT_TRUE(writeSealed(savesFile(dir), doc));
        openCapturing(dir);
        EXPECT_FALSE(store::hasSavedGame());
        EXPECT_EQ(store::unlockedLevel(), 1);
    }
    // Members of the wrong type count as empty.
    ASSERT_TRUE(writeSealed(savesFile(dir),
                            R"({"unlocked_level":"9","level_stars":[1],"solves_list":{},)"
                            R"("arcade_highscores":7})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_TRUE(store::levelBests().empty());
    EXPECT_TRUE(store::solves().empty());
    EXPECT_TRUE(store::arcadeHighs().empty());
    // No upper bound on loading.
    ASSERT_TRUE(writeSealed(savesFile(dir), R"({"unlocked_level":140.4})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 140);
}

TEST(Store, UnreadableFilesAreSetAside) {
    const std::string dir = testsupport::freshDir("store-aside");
    const std::string saves = savesFile(dir);
    const std::string settings = settingsFile(dir);
    // Plain JSON, as an older or hand-edited file would be.
    ASSERT_TRUE(writeBytes(saves, R"({"unlocked_level":100})"));
    ASSERT_TRUE(writeBytes(saves + ".manipuliert", "an earlier one"));
    const auto aside = [](const std::string& f) {
        return "[storage] " + f + " war nicht lesbar — beiseitegelegt\n";
    };
    EXPECT_EQ(openCapturing(dir), aside(saves));
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_FALSE(platform::fs::isFile(saves));
    EXPECT_EQ(readBytes(saves + ".manipuliert"), R"({"unlocked_level":100})");
    // The next write starts a fresh file under the usual name.
    store::advanceUnlockedLevel(2);
    EXPECT_EQ(readSealedDoc(saves)["unlocked_level"].asInt(0), 2);
    EXPECT_EQ(openCapturing(dir), "");

    // A sealed file with one byte changed, for the settings this time.
    store::settings().windowW = 900;
    store::saveSettings();
    std::string sealed = readBytes(settings);
    sealed[sealed.size() / 2] = static_cast<char>(sealed[sealed.size() / 2] ^ 0x20);
    ASSERT_TRUE(writeBytes(settings, sealed));
    EXPECT_EQ(openCapturing(dir), aside(settings));
    EXPECT_EQ(store::settings().windowW, 0);
    EXPECT_EQ(store::unlockedLevel(), 2);  // the other file is unaffected
    EXPECT_TRUE(readBytes(settings + ".manipuliert") == sealed);

    // An empty file is a first run, not tampering.
    ASSERT_TRUE(writeBytes(settings, ""));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_TRUE(platform::fs::isFile(settings));

    // A huge file is not read into memory: it is set aside as unreadable.
    ASSERT_TRUE(writeBytes(saves, "QVRK"));
    ASSERT_EQ(::truncate(saves.c_str(), 3ll << 30), 0);
    EXPECT_EQ(openCapturing(dir), aside(saves));
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_EQ(platform::fs::fileSize(saves + ".manipuliert"), 3ll << 30);
    ASSERT_TRUE(platform::fs::remove(saves + ".manipuliert"));

    // A directory in the file's place cannot be read and is moved out of the way too.
    ASSERT_TRUE(platform::fs::ensureDir(saves));
    EXPECT_NE(openCapturing(dir), "");
    store::advanceUnlockedLevel(5);
    EXPECT_EQ(readSealedDoc(saves)["unlocked_level"].asInt(0), 5);
}

TEST(Store, LeftoverNewFileIsFinishedOrDropped) {
    const std::string dir = testsupport::freshDir("store-leftover");
    const std::string saves = savesFile(dir);
    openCapturing(dir);
    store::advanceUnlockedLevel(3);
    const std::string old = readBytes(saves);

    // A complete ".neu" is the newest state: it is taken and the rename finished.
    ASSERT_TRUE(writeSealed(saves + ".neu", R"({"unlocked_level":9})"));
    const std::string complete = readBytes(saves + ".neu");
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::unlockedLevel(), 9);
    EXPECT_FALSE(platform::fs::isFile(saves + ".neu"));
    EXPECT_TRUE(readBytes(saves) == complete);

    // Also when the old file is gone altogether.
    ASSERT_TRUE(platform::fs::remove(saves));
    ASSERT_TRUE(writeSealed(saves + ".neu", R"({"unlocked_level":11})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 11);
    EXPECT_TRUE(platform::fs::isFile(saves));

    // A torn one is dropped without a word and the old file used.
    ASSERT_TRUE(writeBytes(saves, old));
    ASSERT_TRUE(writeBytes(saves + ".neu", complete.substr(0, complete.size() - 3)));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::unlockedLevel(), 3);
    EXPECT_FALSE(platform::fs::isFile(saves + ".neu"));
    EXPECT_FALSE(platform::fs::isFile(saves + ".manipuliert"));
    ASSERT_TRUE(writeBytes(saves + ".neu", ""));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 3);
    EXPECT_FALSE(platform::fs::isFile(saves + ".neu"));

    // The same for the settings file.
    ASSERT_TRUE(writeSealed(settingsFile(dir) + ".neu", R"({"windowW":1000})"));
    openCapturing(dir);
    EXPECT_EQ(store::settings().windowW, 1000);
    EXPECT_FALSE(platform::fs::isFile(settingsFile(dir) + ".neu"));
}

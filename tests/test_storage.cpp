// Sealed files (the cipher's published vector, the layout, tamper detection) and the store
// on them: typed loading, the records' merge rules, what goes to disk when, unreadable or
// half-written files, where the data directory is. Each test has its own directory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "core/storage.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/save_crypt.h"
#include "support/store_files.h"
#include "support/tmpdir.h"

using platform::SaveReadResult;
using testsupport::openCapturing;
using testsupport::readBytes;
using testsupport::readSealedDoc;
using testsupport::writeBytes;
using testsupport::writeSealed;

namespace {

using Env = std::optional<std::string>;
struct EnvVar {  // set or cleared for the object's lifetime
    const char* name;
    Env old;
    EnvVar(const char* n, const Env& value) : name(n) {
        if (const char* o = std::getenv(n)) old = o;
        value ? ::setenv(n, value->c_str(), 1) : ::unsetenv(n);
    }
    ~EnvVar() { old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name); }
};

std::string unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Sealed by an earlier build: a change of the key would lock every player out of their saves.
const char* const kOldContainer =
    "5156524b0164598fcf9f384afe9e718341006d79b0b2c90f2a0960645d045e0e105a20e2db3fe8ef4fdb4a1e"
    "e8bee863b9e675f46e673f69e5f9";

auto tie(const store::Settings& s) {
    return std::tuple(s.language, s.soundOn, s.musicVolume, s.sfxVolume, s.aimGuide, s.windowW,
                      s.windowH, s.windowX, s.windowY, s.maximized, s.fullscreen, s.marbleSymbols);
}
auto tie(const store::LevelBest& b) { return std::tuple(b.stars, b.moves, b.elapsedMs); }
auto tie(const store::SolveEntry& e) {
    return std::tuple(e.level, e.marbles, e.score, e.elapsedMs, e.solvedAt, e.stars);
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

    // Only true booleans count; widths rise to 560, heights to 620; volumes clamp to 0..1
    // and keep their defaults when not numbers; huge numbers saturate.
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
        ASSERT_TRUE(writeSealed(dir + "/settings.dat", doc));
        EXPECT_EQ(openCapturing(dir), "");
        EXPECT_EQ(tie(store::settings()), tie(want)) << doc;
    }

    const store::Settings written{"fr", false, 0.35, 0.1,   true, 1280,
                                  800,  -3,    40,   false, true, true};
    store::settings() = written;
    store::saveSettings();
    openCapturing(dir);
    EXPECT_EQ(tie(store::settings()), tie(written));
    EXPECT_FALSE(platform::fs::isFile(dir + "/saves.dat"));  // settings and progress apart
}

TEST(Store, EveryMutationIsOnDiskAndComesBackWhole) {
    const std::string dir = testsupport::freshDir("store-writes");
    openCapturing(dir);
    const auto doc = [&] { return readSealedDoc(dir + "/saves.dat"); };
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
    g.rowParity = 1;
    g.ceilingRow = 3;
    g.savedAt = 5;  // ignored: the store stamps its own time
    store::saveGame(g);
    EXPECT_GE(store::savedGame().savedAt, before);
    EXPECT_EQ(doc()["current_game"]["savedAt"].dump(), std::to_string(store::savedGame().savedAt));
    EXPECT_FALSE(doc()["current_game"].has("valid"));
    // Loaded in a fresh start and written back unchanged, every field survives.
    const std::string all = doc().dump();
    store::openAt(testsupport::freshDir("store-writes-other"));
    EXPECT_EQ(openCapturing(dir), "");
    EXPECT_EQ(store::solves()[0].level, 10);  // newest first
    EXPECT_TRUE(testsupport::isGameFor(store::savedGame()));
    EXPECT_EQ(std::pair(store::savedGame().rowParity, store::savedGame().ceilingRow),
              std::pair(1, 3));
    store::recordBest(3, {2, 30, 90000});
    EXPECT_EQ(doc().dump(), all);

    store::clearGame();
    EXPECT_FALSE(doc().has("current_game"));
    EXPECT_FALSE(store::hasSavedGame());
    store::resetProgress();
    EXPECT_EQ(doc().dump(),
              R"({"arcade_highscores":[],"level_stars":{},"solves_list":[],"unlocked_level":1})");
    EXPECT_FALSE(platform::fs::isFile(dir + "/settings.dat"));
}

// A stored game the rules could not play is discarded with one line; a playable one returns.
TEST(Store, BrokenStoredGamesAreNeverOffered) {
    const std::string dir = testsupport::freshDir("store-broken-game");
    using G = store::SavedGame;
    const std::pair<const char*, void (*)(G&)> cases[] = {
        {"ragged board", [](G& g) { g.board[3].pop_back(); }},
        {"colour 9", [](G& g) { g.board[0][0] = 9; }},
        {"wide waiting row", [](G& g) { g.incomingQueue.push_back(std::vector<int>(12, 0)); }},
        {"launcher colour", [](G& g) { g.currentColor = 7; }},
        {"orb far below", [](G& g) { g.starOrbPositions[0] = {40, 2}; }},
        {"freed orb past the last",
         [](G& g) { g.freedStarOrbs = {static_cast<int>(g.starOrbPositions.size())}; }},
        {"obstacle 9", [](G& g) { g.destroyedObstacles = {9}; }},
        {"score", [](G& g) { g.score = -100; }},
        {"time", [](G& g) { g.elapsedMs = -1; }},
        {"level 100", [](G& g) { g.level = 100; }},
        {"ceiling", [](G& g) { g.ceilingRow = 20; }},
    };
    for (const auto& [what, brk] : cases) {
        SCOPED_TRACE(what);
        openCapturing(dir);
        G g = testsupport::gameFor(58);  // a campaign level with obstacles
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
    std::string many = R"({"solves_list":[{"level":100})";
    for (int level = 101; level < 301; ++level)
        many += R"(,{"level":)" + std::to_string(level) + "}";
    ASSERT_TRUE(writeSealed(dir + "/saves.dat", many + "]}"));
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
    EXPECT_EQ(std::pair(store::arcadeHighs().front().score, store::arcadeHighs().back().score),
              std::pair(5000, 300));
    EXPECT_EQ(readSealedDoc(dir + "/saves.dat")["arcade_highscores"].size(), 10u);
    // The unlocked level only rises, up to "all cleared".
    for (const auto& [count, level] : {std::pair{-4, 1}, {3, 3}, {2, 3}, {150, 101}}) {
        store::advanceUnlockedLevel(count);
        EXPECT_EQ(store::unlockedLevel(), level) << count;
    }
}

TEST(Store, LoadingSavesFollowsTheTypes) {
    const std::string dir = testsupport::freshDir("store-load");
    ASSERT_TRUE(writeSealed(dir + "/saves.dat", R"({
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
    const auto& bests = store::levelBests();
    ASSERT_EQ(bests.size(), 3u);
    EXPECT_EQ(std::tuple(tie(bests.at(0)), tie(bests.at(4)), tie(bests.at(12))),
              std::tuple(Best{3, 0, 0}, Best{3, 9, 2}, Best{1, 0, 0}));
    ASSERT_EQ(store::solves().size(), 3u);  // in file order
    EXPECT_EQ(store::solves()[2].level, 0);
    // The arcade table is sorted (stable) and cut to ten.
    const auto& highs = store::arcadeHighs();
    ASSERT_EQ(highs.size(), 10u);
    EXPECT_EQ(std::pair(highs[0].score, highs[0].achievedAt),
              std::pair(99, std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(std::pair(highs[1].marbles, highs[2].marbles), std::pair(0, 7));
    EXPECT_FALSE(store::hasSavedGame());
    ASSERT_TRUE(writeSealed(dir + "/saves.dat",
                            R"({"unlocked_level":"9","level_stars":[1],"solves_list":{}})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 1);
    EXPECT_TRUE(store::levelBests().empty() && store::solves().empty());
    ASSERT_TRUE(writeSealed(dir + "/saves.dat", R"({"unlocked_level":140.4})"));
    openCapturing(dir);
    EXPECT_EQ(store::unlockedLevel(), 140);  // no upper bound on loading
}

TEST(Store, UnreadableFilesAreSetAsideAndLeftoversFinished) {
    const std::string dir = testsupport::freshDir("store-aside");
    const std::string saves = dir + "/saves.dat", settings = dir + "/settings.dat";
    const auto aside = [](const std::string& f) {
        return "[storage] " + f + " war nicht lesbar — beiseitegelegt\n";
    };
    // Plain JSON, as an older or hand-edited file would be.
    ASSERT_TRUE(writeBytes(saves, R"({"unlocked_level":100})"));
    EXPECT_EQ((std::pair{openCapturing(dir), store::unlockedLevel()}), std::pair(aside(saves), 1));
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
    EXPECT_EQ((std::pair{openCapturing(dir), store::unlockedLevel()}), std::pair(std::string(), 9));
    EXPECT_TRUE(readBytes(saves) == complete);
    ASSERT_TRUE(writeBytes(saves, old));
    ASSERT_TRUE(writeBytes(saves + ".neu", complete.substr(0, complete.size() - 3)));
    EXPECT_EQ((std::pair{openCapturing(dir), store::unlockedLevel()}), std::pair(std::string(), 3));
    EXPECT_FALSE(platform::fs::isFile(saves + ".neu"));
    // A huge file is not read into memory; a directory in the file's place is moved too.
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

TEST(SaveCrypt, CipherMatchesThePublishedXChaChaVector) {
    // The XChaCha20-Poly1305 AEAD example of the IETF XChaCha draft (appendix A.3.1).
    std::uint8_t key[32], nonce[24], tag[16];
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(0x80 + i);
    for (int i = 0; i < 24; ++i) nonce[i] = static_cast<std::uint8_t>(0x40 + i);
    const std::string ad = unhex("50515253c0c1c2c3c4c5c6c7");
    const std::string plain =
        "Ladies and Gentlemen of the class of '99: If I could offer you only one tip for the "
        "future, sunscreen would be it.";
    const std::string cipher = platform::aeadSeal(key, nonce, ad, plain, tag);
    EXPECT_EQ(cipher, unhex("bd6d179d3e83d43b9576579493c0e939572a1700252bfaccbed2902c21396cbb"
                            "731c7f1b0b4aa6440bf3a82f4eda7e39ae64c6708c54c216cb96b72e1213b452"
                            "2f8c9ba40db5d945b11b69b982c1bb9e3f3fac2bc369488f76b2383565d3fff9"
                            "21f9664c97637da9768812f615c68b13b52e"));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(tag), 16),
              unhex("c0875924c1c7987947deafd8780acf49"));
    std::string opened = "junk";
    ASSERT_TRUE(platform::aeadOpen(key, nonce, ad, cipher, tag, &opened));
    EXPECT_EQ(opened, plain);
    // Other associated data, or none, fails and leaves nothing behind.
    EXPECT_FALSE(platform::aeadOpen(key, nonce, "", cipher, tag, &opened));
    EXPECT_TRUE(opened.empty());
}

TEST(SaveCrypt, LayoutAndFreshNonces) {
    std::set<std::string> nonces;
    const std::string text = R"({"unlocked_level":7})";
    for (int i = 0; i < 20; ++i) {
        const std::string sealed = platform::saveEncrypt(text);
        EXPECT_EQ(sealed.substr(0, 5), std::string("QVRK\x01"));
        EXPECT_EQ(sealed.find(text), std::string::npos);  // not in the clear
        nonces.insert(sealed.substr(5, 24));
    }
    EXPECT_EQ(nonces.size(), 20u);
}

TEST(SaveCrypt, EveryChangeIsTamperedAndOldFilesOpen) {
    const std::string sealed = platform::saveEncrypt(R"({"score":1234,"name":"x"})");
    // Every bit of every byte: magic, version, nonce, tag and ciphertext.
    for (std::size_t i = 0; i < sealed.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            std::string bad = sealed;
            bad[i] = static_cast<char>(bad[i] ^ (1 << bit));
            std::string out = "stale";
            ASSERT_EQ(platform::saveDecrypt(bad, &out), SaveReadResult::Tampered)
                << "byte " << i << " bit " << bit;
            ASSERT_TRUE(out.empty());
        }
    // Cut short or lengthened; plain JSON, even a long one, is not a container.
    const std::string plainJson = R"({"unlocked_level":100,"level_stars":{},"solves_list":[]})";
    std::string out;
    for (const std::string& bad : {sealed.substr(0, sealed.size() - 1), sealed + "x",
                                   sealed.substr(0, 44), std::string("QVRK"), plainJson})
        EXPECT_EQ(platform::saveDecrypt(bad, &out), SaveReadResult::Tampered) << bad.size();
    EXPECT_EQ(platform::saveDecrypt("", &out), SaveReadResult::NotFound);
    EXPECT_FALSE(platform::looksSealed(plainJson));
    EXPECT_TRUE(platform::looksSealed(sealed));
    ASSERT_EQ(platform::saveDecrypt(unhex(kOldContainer), &out), SaveReadResult::Ok);
    EXPECT_EQ(out, R"({"kept":true})");
}

TEST(Paths, DataAndCacheFollowXdg) {
    // XDG_DATA_HOME, XDG_CACHE_HOME, HOME; data and cache directories. Empty counts as unset.
    const std::tuple<Env, Env, Env, std::string, std::string> cases[] = {
        {"/xdg/data", "/xdg/cache", "/home/p", "/xdg/data", "/xdg/cache"},
        {"", std::nullopt, "/home/p", "/home/p/.local/share", "/home/p/.cache"},
        {std::nullopt, "", "", "./.local/share", "./.cache"}};
    for (const auto& [data, cache, home, wantData, wantCache] : cases) {
        const EnvVar x("XDG_DATA_HOME", data), c("XDG_CACHE_HOME", cache), h("HOME", home);
        EXPECT_EQ(std::pair(paths::resolveDataDir(), paths::resolveCacheDir()),
                  std::pair(wantData + "/Plumbrix", wantCache + "/Plumbrix"));
    }
    // The test program's home is in the build tree; the kept answers are created.
    EXPECT_NE(paths::dataDir().find(TARNWICK_TEST_TMP), std::string::npos);
    EXPECT_TRUE(platform::fs::isDir(paths::dataDir()));
    EXPECT_TRUE(platform::fs::isDir(paths::cacheDir()));
}

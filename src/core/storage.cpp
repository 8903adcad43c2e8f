#include "core/storage.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/game.h"
#include "core/json.h"
#include "platform/fs.h"
#include "platform/fs_posix.h"
#include "platform/paths.h"
#include "platform/save_crypt.h"

namespace store {

namespace {

// A sealed file longer than this is not ours: the largest document the game writes (two
// hundred solves and a game in progress) is some thirty kilobytes. The cap keeps a huge
// file from being pulled into memory, and a parsed document from growing to hundreds of
// megabytes of values; such a file is set aside like a tampered one.
constexpr std::int64_t kMaxFileBytes = 2ll << 20;
constexpr int kMinWindowW = 560;
constexpr int kMinWindowH = 620;

struct State {
    Settings settings;
    int unlocked = 1;
    std::map<int, LevelBest> bests;
    std::vector<SolveEntry> solves;
    std::vector<ArcadeHigh> arcade;
    SavedGame game;
    bool loaded = false;
    // Progress can be changed before init(); it is loaded first then, so that the write
    // that follows cannot replace the player's file with a blank one.
    bool savesLoaded = false;
    std::string dir;  // empty: the data directory
};

State& st() {
    static State s;
    return s;
}

const std::string& dir() {
    return st().dir.empty() ? paths::dataDir() : st().dir;
}
std::string settingsPath() {
    return dir() + "/settings.dat";
}
std::string savesPath() {
    return dir() + "/saves.dat";
}

// Moves an unreadable file out of the way so that the next write starts afresh without
// destroying what may still be recovered by hand.
void setAside(const std::string& path) {
    if (platform::fs::replaceAtomic(path, path + ".manipuliert"))
        std::fprintf(stderr, "[storage] %s war nicht lesbar — beiseitegelegt\n", path.c_str());
    else
        std::fprintf(stderr, "[storage] %s war nicht lesbar\n", path.c_str());
}

// A ".neu" file left by a write that was cut short. When it opens, it is the newest
// complete state and takes the place of the old file; when it does not, it is a torn
// write and goes. Returns the plaintext when the file could not be moved into place.
std::string recoverPending(const std::string& path) {
    const std::string pending = path + ".neu";
    std::string data;
    const platform::fs::ReadStatus rs = platform::fs::readFile(pending, &data, kMaxFileBytes);
    if (rs == platform::fs::ReadStatus::Missing) return {};
    std::string plain;
    if (rs == platform::fs::ReadStatus::Ok &&
        platform::saveDecrypt(data, &plain) == platform::SaveReadResult::Ok) {
        if (platform::fs::replaceAtomic(pending, path)) {
            platform::fs::syncDir(platform::fs::parentDir(path));
            return {};
        }
        return plain;
    }
    platform::fs::remove(pending);
    return {};
}

// The plaintext of a sealed file, or empty when there is none or it cannot be opened.
std::string readSealed(const std::string& path) {
    if (std::string pending = recoverPending(path); !pending.empty()) return pending;
    std::string data;
    switch (platform::fs::readFile(path, &data, kMaxFileBytes)) {
        case platform::fs::ReadStatus::Missing:
            return {};  // the normal first run
        case platform::fs::ReadStatus::Ok:
            break;
        case platform::fs::ReadStatus::TooLarge:
        case platform::fs::ReadStatus::Failed:
            setAside(path);
            return {};
    }
    if (data.empty()) return {};
    std::string plain;
    if (platform::saveDecrypt(data, &plain) != platform::SaveReadResult::Ok) {
        setAside(path);
        return {};
    }
    return plain;
}

bool writeSealed(const std::string& path, const json::Value& doc) {
    const std::string sealed = platform::saveEncrypt(doc.dump());
    if (sealed.empty()) return false;
    return platform::fs::writeFileDurable(path, sealed, path + ".neu");
}

// NaN keeps the field's value; everything else is clamped into 0..1.
double clamp01(double v, double keep) {
    if (std::isnan(v)) return keep;
    return std::clamp(v, 0.0, 1.0);
}

// A number truncated towards zero and saturated to 64 bits; 0 for anything else.
std::int64_t toInt64(const json::Value& v) {
    if (!v.isNumber()) return 0;
    const double d = v.asNumber(0);
    if (std::isnan(d)) return 0;
    constexpr double kTwo63 = 9223372036854775808.0;
    if (d >= kTwo63) return std::numeric_limits<std::int64_t>::max();
    if (d <= -kTwo63) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

// The level index of a "level_stars" key: its leading decimal digits, 0 without any.
int levelFromKey(const std::string& key) {
    const long v = std::strtol(key.c_str(), nullptr, 10);
    return static_cast<int>(
        std::clamp<long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

json::Value rowToJson(const std::vector<int>& row) {
    json::Array a;
    a.reserve(row.size());
    for (const int cell : row) a.emplace_back(cell);
    return json::Value(std::move(a));
}

std::vector<int> rowFromJson(const json::Value& v) {
    std::vector<int> row;
    row.reserve(v.size());
    for (const json::Value& cell : v.asArray()) row.push_back(cell.asInt(-1));
    return row;
}

json::Value intsToJson(const std::vector<int>& xs) {
    return rowToJson(xs);
}

std::vector<int> intsFromJson(const json::Value& v) {
    std::vector<int> xs;
    xs.reserve(v.size());
    for (const json::Value& x : v.asArray()) xs.push_back(x.asInt(0));
    return xs;
}

json::Value boardToJson(const std::vector<std::vector<int>>& rows) {
    json::Array a;
    a.reserve(rows.size());
    for (const auto& row : rows) a.push_back(rowToJson(row));
    return json::Value(std::move(a));
}

std::vector<std::vector<int>> boardFromJson(const json::Value& v) {
    std::vector<std::vector<int>> rows;
    rows.reserve(v.size());
    for (const json::Value& row : v.asArray()) rows.push_back(rowFromJson(row));
    return rows;
}

void loadSettings() {
    const std::string text = readSealed(settingsPath());
    if (text.empty()) return;
    const json::Value doc = json::parse(text);
    if (!doc.isObject()) return;
    Settings& s = st().settings;
    if (doc["language"].isString()) s.language = doc["language"].asString();
    const auto flag = [&doc](const char* key, bool& field) {
        if (doc[key].isBool()) field = doc[key].asBool(field);
    };
    flag("soundOn", s.soundOn);
    flag("aimGuide", s.aimGuide);
    flag("marble_symbols", s.marbleSymbols);
    flag("maximized", s.maximized);
    flag("fullscreen", s.fullscreen);
    if (doc["musicVolume"].isNumber())
        s.musicVolume = clamp01(doc["musicVolume"].asNumber(0), s.musicVolume);
    if (doc["sfxVolume"].isNumber())
        s.sfxVolume = clamp01(doc["sfxVolume"].asNumber(0), s.sfxVolume);
    // The window's own minimum size applies on top of these floors.
    if (doc["windowW"].isNumber()) {
        const int w = doc["windowW"].asInt(0);
        if (w > 0) s.windowW = std::max(w, kMinWindowW);
    }
    if (doc["windowH"].isNumber()) {
        const int h = doc["windowH"].asInt(0);
        if (h > 0) s.windowH = std::max(h, kMinWindowH);
    }
    if (doc["windowX"].isNumber()) s.windowX = doc["windowX"].asInt(s.windowX);
    if (doc["windowY"].isNumber()) s.windowY = doc["windowY"].asInt(s.windowY);
}

json::Value settingsToJson(const Settings& s) {
    json::Object o;
    o["aimGuide"] = s.aimGuide;
    o["fullscreen"] = s.fullscreen;
    o["language"] = s.language;
    o["marble_symbols"] = s.marbleSymbols;
    o["maximized"] = s.maximized;
    o["musicVolume"] = s.musicVolume;
    o["sfxVolume"] = s.sfxVolume;
    o["soundOn"] = s.soundOn;
    o["windowH"] = s.windowH;
    o["windowW"] = s.windowW;
    o["windowX"] = s.windowX;
    o["windowY"] = s.windowY;
    return json::Value(std::move(o));
}

SavedGame gameFromJson(const json::Value& g) {
    SavedGame out;
    out.level = g["level"].asInt(0);
    out.seed = static_cast<std::uint32_t>(toInt64(g["seed"]));
    out.arcade = g["arcade"].asBool(false);
    out.board = boardFromJson(g["board"]);
    // Games stored before the pack kept its lattice never moved it: parity 0.
    out.rowParity = g["rowParity"].asInt(0);
    out.ceilingRow = g["ceilingRow"].asInt(0);
    out.incomingQueue = boardFromJson(g["incomingQueue"]);
    for (const json::Value& p : g["starOrbPositions"].asArray())
        out.starOrbPositions.push_back(core::RC{p[0].asInt(0), p[1].asInt(0)});
    out.freedStarOrbs = intsFromJson(g["freedStarOrbs"]);
    out.destroyedObstacles = intsFromJson(g["destroyedObstacles"]);
    out.currentColor = g["currentColor"].asInt(0);
    out.nextColor = g["nextColor"].asInt(0);
    out.shotsFired = g["shotsFired"].asInt(0);
    out.score = g["score"].asInt(0);
    out.elapsedMs = toInt64(g["elapsedMs"]);
    out.savedAt = toInt64(g["savedAt"]);
    // A game without a field cannot be resumed.
    out.valid = !out.board.empty() && !out.board.front().empty();
    return out;
}

// A stored game that the rules could not play (a board of the wrong shape, colours out of
// range, a negative score...) is never offered; the reason, or "" for a playable game.
std::string gameFault(const SavedGame& g) {
    return core::storedGameFault(gameModelOf(g), g.elapsedMs);
}

json::Value gameToJson(const SavedGame& g) {
    json::Object o;
    o["level"] = g.level;
    o["seed"] = g.seed;
    o["arcade"] = g.arcade;
    o["board"] = boardToJson(g.board);
    o["rowParity"] = g.rowParity & 1;
    o["ceilingRow"] = g.ceilingRow;
    o["incomingQueue"] = boardToJson(g.incomingQueue);
    json::Array orbs;
    for (const core::RC& p : g.starOrbPositions) orbs.emplace_back(json::Array{p.r, p.c});
    o["starOrbPositions"] = json::Value(std::move(orbs));
    o["freedStarOrbs"] = intsToJson(g.freedStarOrbs);
    o["destroyedObstacles"] = intsToJson(g.destroyedObstacles);
    o["currentColor"] = g.currentColor;
    o["nextColor"] = g.nextColor;
    o["shotsFired"] = g.shotsFired;
    o["score"] = g.score;
    o["elapsedMs"] = g.elapsedMs;
    o["savedAt"] = g.savedAt;
    return json::Value(std::move(o));
}

void readSaves() {
    State& s = st();
    s.savesLoaded = true;
    const std::string text = readSealed(savesPath());
    if (text.empty()) return;
    const json::Value doc = json::parse(text);
    if (!doc.isObject()) return;

    if (doc["unlocked_level"].isNumber()) s.unlocked = std::max(1, doc["unlocked_level"].asInt(1));

    for (const auto& [key, v] : doc["level_stars"].asObject()) {
        LevelBest b;
        b.stars = v["stars"].asInt(0);
        b.moves = v["moves"].asInt(0);
        b.elapsedMs = toInt64(v["elapsedMs"]);
        s.bests[levelFromKey(key)] = b;
    }

    for (const json::Value& v : doc["solves_list"].asArray()) {
        SolveEntry e;
        e.level = v["level"].asInt(0);
        e.marbles = v["marbles"].asInt(0);
        e.score = v["score"].asInt(0);
        e.stars = v["stars"].asInt(0);
        e.elapsedMs = toInt64(v["elapsedMs"]);
        e.solvedAt = toInt64(v["solvedAt"]);
        s.solves.push_back(e);
    }

    for (const json::Value& v : doc["arcade_highscores"].asArray()) {
        ArcadeHigh a;
        a.score = v["score"].asInt(0);
        a.marbles = v["marbles"].asInt(0);
        a.elapsedMs = toInt64(v["elapsedMs"]);
        a.achievedAt = toInt64(v["achievedAt"]);
        s.arcade.push_back(a);
    }
    std::stable_sort(s.arcade.begin(), s.arcade.end(),
                     [](const ArcadeHigh& a, const ArcadeHigh& b) { return a.score > b.score; });
    if (s.arcade.size() > static_cast<std::size_t>(kMaxArcadeEntries))
        s.arcade.resize(kMaxArcadeEntries);

    const json::Value& g = doc["current_game"];
    if (g.isObject() && g["board"].isArray()) {
        SavedGame game = gameFromJson(g);
        const std::string fault = game.valid ? gameFault(game) : "";
        if (!fault.empty()) {
            std::fprintf(stderr, "[storage] gespeichertes Spiel verworfen: %s\n", fault.c_str());
        } else if (game.valid) {
            s.game = std::move(game);
        }
    }
}

void writeSaves() {
    const State& s = st();
    json::Object doc;
    doc["unlocked_level"] = s.unlocked;
    json::Object stars;
    for (const auto& [level, b] : s.bests) {
        json::Object o;
        o["stars"] = b.stars;
        o["moves"] = b.moves;
        o["elapsedMs"] = b.elapsedMs;
        stars[std::to_string(level)] = json::Value(std::move(o));
    }
    doc["level_stars"] = json::Value(std::move(stars));
    json::Array solveList;
    for (const SolveEntry& e : s.solves) {
        json::Object o;
        o["level"] = e.level;
        o["marbles"] = e.marbles;
        o["score"] = e.score;
        o["elapsedMs"] = e.elapsedMs;
        o["solvedAt"] = e.solvedAt;
        o["stars"] = e.stars;
        solveList.emplace_back(std::move(o));
    }
    doc["solves_list"] = json::Value(std::move(solveList));
    json::Array highs;
    for (const ArcadeHigh& a : s.arcade) {
        json::Object o;
        o["score"] = a.score;
        o["marbles"] = a.marbles;
        o["elapsedMs"] = a.elapsedMs;
        o["achievedAt"] = a.achievedAt;
        highs.emplace_back(std::move(o));
    }
    doc["arcade_highscores"] = json::Value(std::move(highs));
    if (s.game.valid) doc["current_game"] = gameToJson(s.game);
    writeSealed(savesPath(), json::Value(std::move(doc)));
}

void ensureSaves() {
    if (!st().savesLoaded) readSaves();
}

// Whether a new solve of a level beats the stored one: more stars, then fewer marbles,
// then less time; the score plays no part.
bool isBetter(const SolveEntry& n, const SolveEntry& old) {
    if (n.stars != old.stars) return n.stars > old.stars;
    if (n.marbles != old.marbles) return n.marbles < old.marbles;
    return n.elapsedMs < old.elapsedMs;
}

}  // namespace

void init() {
    State& s = st();
    if (s.loaded) return;
    s.loaded = true;
    loadSettings();
    ensureSaves();
}

void openAt(const std::string& directory) {
    st() = State{};
    st().dir = directory;
    init();
}

Settings& settings() {
    return st().settings;
}

void saveSettings() {
    writeSealed(settingsPath(), settingsToJson(st().settings));
}

int unlockedLevel() {
    return st().unlocked;
}

void advanceUnlockedLevel(int count) {
    ensureSaves();
    State& s = st();
    if (count <= s.unlocked) return;
    s.unlocked = std::min(count, kAllCleared);
    writeSaves();
}

const std::map<int, LevelBest>& levelBests() {
    return st().bests;
}

LevelBest recordBest(int level, const LevelBest& b) {
    ensureSaves();
    auto& bests = st().bests;
    const auto it = bests.find(level);
    if (it == bests.end()) {
        bests[level] = b;
    } else {
        LevelBest& old = it->second;
        old.stars = std::max(old.stars, b.stars);
        old.moves = old.moves <= 0 ? b.moves : std::min(old.moves, b.moves);
        old.elapsedMs = old.elapsedMs <= 0 ? b.elapsedMs : std::min(old.elapsedMs, b.elapsedMs);
    }
    writeSaves();
    return bests[level];
}

const std::vector<SolveEntry>& solves() {
    return st().solves;
}

void recordSolve(const SolveEntry& e) {
    ensureSaves();
    SolveEntry entry = e;
    if (entry.solvedAt == 0) entry.solvedAt = nowMs();
    auto& list = st().solves;
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const SolveEntry& x) { return x.level == entry.level; });
    if (it == list.end())
        list.push_back(entry);
    else if (isBetter(entry, *it))
        *it = entry;
    std::stable_sort(list.begin(), list.end(), [](const SolveEntry& a, const SolveEntry& b) {
        return a.solvedAt > b.solvedAt;
    });
    if (list.size() > static_cast<std::size_t>(kMaxSolves)) list.resize(kMaxSolves);
    writeSaves();
}

const std::vector<ArcadeHigh>& arcadeHighs() {
    return st().arcade;
}

const std::vector<ArcadeHigh>& recordArcadeHigh(const ArcadeHigh& a) {
    ensureSaves();
    auto& table = st().arcade;
    table.push_back(a);
    std::stable_sort(table.begin(), table.end(),
                     [](const ArcadeHigh& x, const ArcadeHigh& y) { return x.score > y.score; });
    if (table.size() > static_cast<std::size_t>(kMaxArcadeEntries)) table.resize(kMaxArcadeEntries);
    writeSaves();
    return table;
}

core::GameModel gameModelOf(const SavedGame& g) {
    core::GameModel m;
    m.arcade = g.arcade;
    m.level = g.level;
    m.seed = g.seed;
    m.board = g.board;
    m.parity = g.rowParity;
    m.ceilingRow = g.ceilingRow;
    m.incoming = g.incomingQueue;
    m.starOrbs = g.starOrbPositions;
    m.freed.insert(g.freedStarOrbs.begin(), g.freedStarOrbs.end());
    m.destroyed.insert(g.destroyedObstacles.begin(), g.destroyedObstacles.end());
    m.currentColor = g.currentColor;
    m.nextColor = g.nextColor;
    m.shots = g.shotsFired;
    m.score = g.score;
    return m;
}

SavedGame savedGameOf(const core::GameModel& m, std::int64_t elapsedMs) {
    SavedGame g;
    g.level = m.level;
    g.seed = m.seed;
    g.arcade = m.arcade;
    g.board = m.board;
    g.rowParity = m.parity;
    g.ceilingRow = m.ceilingRow;
    g.incomingQueue = m.incoming;
    g.starOrbPositions = m.starOrbs;
    g.freedStarOrbs.assign(m.freed.begin(), m.freed.end());
    g.destroyedObstacles.assign(m.destroyed.begin(), m.destroyed.end());
    g.currentColor = m.currentColor;
    g.nextColor = m.nextColor;
    g.shotsFired = m.shots;
    g.score = m.score;
    g.elapsedMs = elapsedMs;
    return g;
}

const SavedGame& savedGame() {
    return st().game;
}

bool hasSavedGame() {
    return st().game.valid;
}

void saveGame(const SavedGame& g) {
    ensureSaves();
    SavedGame& game = st().game;
    game = g;
    game.valid = true;
    game.savedAt = nowMs();
    writeSaves();
}

void clearGame() {
    ensureSaves();
    st().game = SavedGame{};
    writeSaves();
}

void resetProgress() {
    ensureSaves();
    State& s = st();
    s.unlocked = 1;
    s.bests.clear();
    s.solves.clear();
    s.arcade.clear();
    s.game = SavedGame{};
    writeSaves();
}

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace store

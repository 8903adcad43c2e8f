#include "platform/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace audio {

namespace {

constexpr const char* kSfxFiles[kSfxCount] = {
    "assets/audio/sfx_click.ogg",   "assets/audio/sfx_pickup.ogg",  "assets/audio/sfx_illegal.ogg",
    "assets/audio/sfx_drop_0.ogg",  "assets/audio/sfx_drop_1.ogg",  "assets/audio/sfx_drop_2.ogg",
    "assets/audio/sfx_drop_3.ogg",  "assets/audio/sfx_drop_4.ogg",  "assets/audio/sfx_drop_5.ogg",
    "assets/audio/sfx_drop_6.ogg",  "assets/audio/sfx_drop_7.ogg",  "assets/audio/sfx_drop_8.ogg",
    "assets/audio/sfx_drop_9.ogg",  "assets/audio/sfx_drop_10.ogg", "assets/audio/sfx_drop_11.ogg",
    "assets/audio/sfx_drop_12.ogg", "assets/audio/sfx_drop_13.ogg", "assets/audio/sfx_drop_14.ogg",
};
constexpr const char* kMusicFile = "assets/audio/bgm_calm.ogg";
constexpr int kChannels = 24;

struct Pending {
    Sfx key = Sfx::Click;
    std::uint32_t dueMs = 0;
};

struct State {
    bool ready = false;
    bool enabled = true;
    double musicVolume = 0.35;
    double sfxVolume = 0.75;
    bool musicWanted = false;
    bool suspended = false;
    Mix_Music* music = nullptr;
    std::map<Sfx, Mix_Chunk*> sfx;
    std::vector<Pending> pending;
};

State& st() {
    static State s;
    return s;
}

double clamp01(double v) {
    // NaN counts as silence rather than slipping through both comparisons.
    if (!(v > 0.0)) return 0.0;
    return std::min(v, 1.0);
}

void playLater(Sfx k, std::uint32_t delayMs) {
    st().pending.push_back({k, SDL_GetTicks() + delayMs});
}

bool audible() {
    const State& s = st();
    return s.ready && s.enabled && !s.suspended && s.sfxVolume > 0.0;
}

}  // namespace

const char* sfxFile(Sfx k) {
    const int i = static_cast<int>(k);
    return i >= 0 && i < kSfxCount ? kSfxFiles[i] : "";
}

const char* musicFile() {
    return kMusicFile;
}

bool init() {
    State& s = st();
    if (s.ready) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "[audio] kein Klang-Subsystem: %s\n", SDL_GetError());
        return false;
    }
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
        std::fprintf(stderr, "[audio] Mix_OpenAudio: %s\n", Mix_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(kChannels);
    for (int i = 0; i < kSfxCount; ++i) {
        const std::string path = paths::asset(kSfxFiles[i]);
        Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
        if (!chunk) {
            std::fprintf(stderr, "[audio] Effekt fehlt: %s (%s)\n", path.c_str(), Mix_GetError());
            continue;
        }
        s.sfx[static_cast<Sfx>(i)] = chunk;
    }
    const std::string musicPath = paths::asset(kMusicFile);
    s.music = Mix_LoadMUS(musicPath.c_str());
    if (!s.music)
        std::fprintf(stderr, "[audio] Musik fehlt: %s (%s)\n", musicPath.c_str(), Mix_GetError());
    s.ready = true;
    Mix_VolumeMusic(static_cast<int>(s.musicVolume * 128));
    return true;
}

void shutdown() {
    State& s = st();
    if (!s.ready) return;
    s.ready = false;
    s.musicWanted = false;
    s.pending.clear();
    Mix_HaltMusic();
    Mix_HaltChannel(-1);
    if (s.music) Mix_FreeMusic(s.music);
    s.music = nullptr;
    for (auto& [key, chunk] : s.sfx) Mix_FreeChunk(chunk);
    s.sfx.clear();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool isOpen() {
    return st().ready;
}

void play(Sfx k) {
    if (!audible()) return;
    State& s = st();
    const auto it = s.sfx.find(k);
    if (it == s.sfx.end()) return;
    Mix_VolumeChunk(it->second, static_cast<int>(s.sfxVolume * 128));
    Mix_PlayChannel(-1, it->second, 0);
}

void playWinFanfare() {
    if (!audible()) return;
    play(Sfx::Drop0);
    play(Sfx::Drop3);
    play(Sfx::Drop7);
    playLater(Sfx::Drop2, 200);
    playLater(Sfx::Drop5, 200);
    playLater(Sfx::Drop9, 200);
    playLater(Sfx::Drop7, 400);
    playLater(Sfx::Drop10, 400);
    playLater(Sfx::Drop14, 400);
}

Sfx dropForColor(int colorId) {
    if (colorId < 1) return Sfx::Drop0;
    if (colorId >= 14) return Sfx::Drop14;
    return static_cast<Sfx>(colorId + 3);
}

void setMusicVolume(double v) {
    State& s = st();
    s.musicVolume = clamp01(v);
    if (s.ready) Mix_VolumeMusic(static_cast<int>(s.musicVolume * 128));
}

void setSfxVolume(double v) {
    st().sfxVolume = clamp01(v);
}

double musicVolume() {
    return st().musicVolume;
}

double sfxVolume() {
    return st().sfxVolume;
}

void startMusic() {
    State& s = st();
    s.musicWanted = true;
    if (s.ready && s.enabled && !s.suspended && s.music && !Mix_PlayingMusic())
        Mix_PlayMusic(s.music, -1);
}

void stopMusic() {
    State& s = st();
    s.musicWanted = false;
    if (s.ready) Mix_HaltMusic();
}

void setEnabled(bool on) {
    State& s = st();
    s.enabled = on;
    if (!on)
        stopMusic();
    else if (s.musicWanted)
        startMusic();
}

void setSuspended(bool on) {
    State& s = st();
    if (s.suspended == on) return;
    s.suspended = on;
    if (!s.ready) return;
    if (on) {
        Mix_PauseMusic();
        Mix_HaltChannel(-1);
    } else {
        Mix_ResumeMusic();
        if (s.musicWanted) startMusic();  // a wish made while away
    }
}

bool isSuspended() {
    return st().suspended;
}

bool isEnabled() {
    return st().enabled;
}

bool musicWanted() {
    return st().musicWanted;
}

void tick() {
    if (st().pending.empty()) return;
    tickAt(SDL_GetTicks());
}

void tickAt(std::uint32_t nowMs) {
    State& s = st();
    if (s.pending.empty()) return;
    std::vector<Pending> kept;
    std::vector<Sfx> due;
    for (const Pending& p : s.pending) {
        if (isDue(nowMs, p.dueMs))
            due.push_back(p.key);
        else
            kept.push_back(p);
    }
    // The list is replaced before playing, so nothing played here can disturb the walk.
    s.pending = std::move(kept);
    for (Sfx k : due) play(k);
}

bool isDue(std::uint32_t nowMs, std::uint32_t dueMs) {
    return static_cast<std::int32_t>(nowMs - dueMs) >= 0;
}

int pendingCount() {
    return static_cast<int>(st().pending.size());
}

}  // namespace audio

// The audio module: closed and disabled behaviour, volumes, drop pitches, the schedule of
// the win fanfare and its wrap-safe due test, all on SDL's dummy audio driver.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "platform/audio.h"
#include "platform/paths.h"

using audio::Sfx;

namespace {

// Brings the module back to its first-use defaults on the dummy driver.
void resetAudio() {
    audio::shutdown();
    audio::setSuspended(false);
    audio::setEnabled(true);
    audio::stopMusic();
    audio::setMusicVolume(0.35);
    audio::setSfxVolume(0.75);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

int channelsPlaying() {
    return audio::isOpen() ? Mix_Playing(-1) : 0;
}

void silence() {
    if (audio::isOpen()) Mix_HaltChannel(-1);
}

}  // namespace

TEST(Audio, DropForColorClampsToTheFifteenDrops) {
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    for (const auto& [colour, drop] : {std::pair{0, Sfx::Drop0},
                                       {-3, Sfx::Drop0},
                                       {kMin, Sfx::Drop0},
                                       {1, Sfx::Drop1},
                                       {5, Sfx::Drop5},
                                       {13, Sfx::Drop13},
                                       {14, Sfx::Drop14},
                                       {20, Sfx::Drop14},
                                       {kMax, Sfx::Drop14}})
        EXPECT_EQ(audio::dropForColor(colour), drop) << colour;
    EXPECT_STREQ(audio::sfxFile(Sfx::Drop14), "assets/audio/sfx_drop_14.ogg");
    EXPECT_STREQ(audio::sfxFile(Sfx::Illegal), "assets/audio/sfx_illegal.ogg");
    EXPECT_STREQ(audio::sfxFile(static_cast<Sfx>(18)), "");
}

TEST(Audio, DueTestSurvivesTheTickWrapAround) {
    // now, when, due. Scheduled just before the 32-bit wrap and checked just after it: due;
    // scheduled just after and checked just before: not yet.
    const std::uint32_t cases[][3] = {{1000, 1000, 1},     {1001, 1000, 1},     {999, 1000, 0},
                                      {5, 0xFFFFFFF0u, 1}, {0xFFFFFFF0u, 5, 0}, {0, 200, 0},
                                      {0x80000000u, 1, 1}};
    for (const auto& [now, when, due] : cases)
        EXPECT_EQ(audio::isDue(now, when), due == 1) << now << " " << when;
}

TEST(Audio, VolumesClampAndAreKeptWhileClosed) {
    resetAudio();
    // A broken value silences rather than blasts.
    const double nan = std::nan("");
    for (const auto& [in, out] : {std::pair{1.7, 1.0}, {-0.5, 0.0}, {nan, 0.0}, {0.5, 0.5}}) {
        audio::setMusicVolume(in);
        EXPECT_EQ(audio::musicVolume(), out) << in;
    }
    for (const auto& [in, out] : {std::pair{3.0, 1.0}, {-1.0, 0.0}, {0.25, 0.25}, {nan, 0.0}}) {
        audio::setSfxVolume(in);
        EXPECT_EQ(audio::sfxVolume(), out) << in;
    }

    // Closed: nothing plays, nothing is scheduled, nothing breaks.
    EXPECT_FALSE(audio::isOpen());
    audio::play(Sfx::Click);
    audio::playWinFanfare();
    EXPECT_EQ(audio::pendingCount(), 0);
    audio::tick();
    audio::startMusic();
    EXPECT_TRUE(audio::musicWanted());
    audio::stopMusic();
    EXPECT_FALSE(audio::musicWanted());
    audio::shutdown();
    EXPECT_FALSE(audio::isOpen());

    // A stored volume reaches the mixer when it opens.
    audio::setMusicVolume(1.7);
    ASSERT_TRUE(audio::init());
    EXPECT_EQ(Mix_VolumeMusic(-1), 128);
    audio::setMusicVolume(0.5);
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
    resetAudio();
}

TEST(Audio, OpensOnTheDummyDriverAndPlaysEveryEffect) {
    resetAudio();
    ASSERT_EQ(paths::assetDir(), TARNWICK_SOURCE_DIR) << "the effects load from the source tree";
    ASSERT_TRUE(audio::init());
    EXPECT_TRUE(audio::isOpen());
    EXPECT_TRUE(audio::init()) << "a second init reports the open mixer";
    EXPECT_EQ(Mix_AllocateChannels(-1), 24);
    for (int i = 0; i < audio::kSfxCount; ++i) {
        silence();
        audio::play(static_cast<Sfx>(i));
        EXPECT_EQ(channelsPlaying(), 1) << audio::sfxFile(static_cast<Sfx>(i));
    }
    silence();

    audio::setSfxVolume(0.5);
    audio::play(Sfx::Pickup);
    bool found = false;
    for (int ch = 0; ch < 24; ++ch) {
        if (!Mix_Playing(ch)) continue;
        EXPECT_EQ(Mix_Volume(ch, -1), 128) << "the channel stays full, the chunk carries it";
        EXPECT_EQ(Mix_VolumeChunk(Mix_GetChunk(ch), -1), 64);
        found = true;
    }
    EXPECT_TRUE(found);
    silence();

    // Effect volume 0 silences everything; so does sound switched off.
    for (const bool off : {false, true}) {
        audio::setSfxVolume(off ? 0.75 : 0.0);
        audio::setEnabled(!off);
        audio::play(Sfx::Click);
        audio::playWinFanfare();
        EXPECT_EQ(channelsPlaying(), 0) << off;
        EXPECT_EQ(audio::pendingCount(), 0) << off;
    }
    audio::setEnabled(true);

    audio::shutdown();
    EXPECT_FALSE(audio::isOpen());
    audio::play(Sfx::Click);
    audio::shutdown();
    resetAudio();
}

TEST(Audio, FanfareIsScheduledAndFiredByTheTick) {
    resetAudio();
    ASSERT_TRUE(audio::init());
    const std::uint32_t start = SDL_GetTicks();
    audio::playWinFanfare();
    const std::uint32_t after = SDL_GetTicks();
    EXPECT_EQ(channelsPlaying(), 3) << "the first chord sounds at once";
    EXPECT_EQ(audio::pendingCount(), 6);

    // Long before (in wrapped arithmetic) nothing is due.
    audio::tickAt(start - 0x40000000u);
    EXPECT_EQ(audio::pendingCount(), 6);
    audio::tickAt(start + 199);
    EXPECT_EQ(audio::pendingCount(), 6);
    EXPECT_EQ(channelsPlaying(), 3);

    audio::tickAt(after + 200);
    EXPECT_EQ(audio::pendingCount(), 3) << "the second chord";
    EXPECT_EQ(channelsPlaying(), 6);
    audio::tickAt(after + 399 - (after - start));
    EXPECT_EQ(audio::pendingCount(), 3);
    audio::tickAt(after + 400);
    EXPECT_EQ(audio::pendingCount(), 0) << "the third chord";
    EXPECT_EQ(channelsPlaying(), 9);
    audio::tick();
    EXPECT_EQ(channelsPlaying(), 9);

    // Shutting down right after a fanfare forgets the notes still to come.
    silence();
    audio::playWinFanfare();
    EXPECT_EQ(audio::pendingCount(), 6);
    audio::shutdown();
    EXPECT_EQ(audio::pendingCount(), 0);
    ASSERT_TRUE(audio::init());
    audio::tickAt(SDL_GetTicks() + 1000);
    EXPECT_EQ(channelsPlaying(), 0);
    resetAudio();
}

TEST(Audio, MusicFollowsTheWishAndTheSoundSwitch) {
    resetAudio();
    ASSERT_TRUE(audio::init());
    EXPECT_EQ(Mix_VolumeMusic(-1), static_cast<int>(0.35 * 128));
    EXPECT_FALSE(Mix_PlayingMusic());
    audio::startMusic();
    EXPECT_TRUE(audio::musicWanted());
    EXPECT_TRUE(Mix_PlayingMusic());
    audio::startMusic();
    EXPECT_TRUE(Mix_PlayingMusic());

    audio::setEnabled(false);
    EXPECT_FALSE(Mix_PlayingMusic());
    EXPECT_FALSE(audio::musicWanted());
    audio::startMusic();
    EXPECT_FALSE(Mix_PlayingMusic()) << "no music while sound is off";
    EXPECT_TRUE(audio::musicWanted());
    audio::setEnabled(true);
    EXPECT_TRUE(Mix_PlayingMusic()) << "switching on honours a wish made while off";

    audio::setEnabled(false);
    audio::setEnabled(true);
    EXPECT_FALSE(Mix_PlayingMusic()) << "switching off withdrew the wish";

    // Away from the window: music pauses (not halted), effects are dropped, a wish made
    // meanwhile waits; coming back resumes the music where it stood.
    audio::startMusic();
    audio::setSuspended(true);
    EXPECT_TRUE(Mix_PausedMusic());
    EXPECT_TRUE(audio::musicWanted());
    audio::play(audio::Sfx::Click);
    EXPECT_EQ(Mix_Playing(-1), 0);
    audio::setSuspended(false);
    EXPECT_FALSE(Mix_PausedMusic());
    EXPECT_TRUE(Mix_PlayingMusic());
    audio::stopMusic();
    audio::setSuspended(true);
    audio::startMusic();
    EXPECT_FALSE(Mix_PlayingMusic()) << "no music starts while away";
    audio::setSuspended(false);
    EXPECT_TRUE(Mix_PlayingMusic());

    audio::stopMusic();
    EXPECT_FALSE(Mix_PlayingMusic());
    EXPECT_FALSE(audio::musicWanted());
    resetAudio();
}

namespace {

// Level of the loudest stretch of a decoded effect or track, measured over 50 ms windows.
struct Levels {
    double peak = 0;       // largest sample magnitude, 1 = full scale
    double loudestDb = 0;  // RMS of the loudest 50 ms window, dBFS
    double meanDb = 0;     // RMS of the whole file, dBFS
    int frames = 0;
    int channels = 0;
    std::vector<double> samples;  // interleaved, -1..1
};

Levels measure(const Mix_Chunk* chunk, int channels) {
    Levels lv;
    lv.channels = channels;
    const auto* pcm = reinterpret_cast<const std::int16_t*>(chunk->abuf);
    const size_t n = chunk->alen / sizeof(std::int16_t);
    lv.frames = static_cast<int>(n / channels);
    lv.samples.resize(n);
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        lv.samples[i] = pcm[i] / 32768.0;
        lv.peak = std::max(lv.peak, std::abs(lv.samples[i]));
        sum += lv.samples[i] * lv.samples[i];
    }
    lv.meanDb = 10 * std::log10(sum / std::max<size_t>(n, 1) + 1e-20);
    const size_t win = 2205 * channels;
    double best = 0;
    for (size_t s = 0; s + win <= n; s += win / 2) {
        double w = 0;
        for (size_t i = s; i < s + win; ++i) w += lv.samples[i] * lv.samples[i];
        best = std::max(best, w / win);
    }
    lv.loudestDb = 10 * std::log10(best + 1e-20);
    return lv;
}

}  // namespace

TEST(AudioAssets, EveryFileLoadsAndIsCleanAndEvenlyLoud) {
    resetAudio();
    ASSERT_TRUE(audio::init());
    int freq = 0, channels = 0;
    Uint16 format = 0;
    ASSERT_TRUE(Mix_QuerySpec(&freq, &format, &channels));
    ASSERT_EQ(format, AUDIO_S16SYS);
    ASSERT_GT(channels, 0);
    const std::string root = TARNWICK_SOURCE_DIR "/";

    double dropMin = 0, dropMax = -200;
    for (int i = 0; i < audio::kSfxCount; ++i) {
        const char* rel = audio::sfxFile(static_cast<Sfx>(i));
        Mix_Chunk* chunk = Mix_LoadWAV((root + rel).c_str());
        ASSERT_NE(chunk, nullptr) << rel << ": " << Mix_GetError();
        const Levels lv = measure(chunk, channels);
        Mix_FreeChunk(chunk);
        EXPECT_LT(lv.peak, 0.95) << rel << " clips or nearly clips";
        EXPECT_GT(lv.loudestDb, -24.0) << rel << " is too quiet";
        EXPECT_LT(lv.loudestDb, -6.0) << rel << " is too loud";
        EXPECT_LT(lv.frames, freq * 2) << rel << " is too long for an effect";
        // An effect starts and ends at rest, so it never clicks on or off.
        EXPECT_LT(std::abs(lv.samples.front()), 0.02) << rel;
        EXPECT_LT(std::abs(lv.samples.back()), 0.02) << rel;
        if (i >= static_cast<int>(Sfx::Drop0)) {
            dropMin = std::min(dropMin == 0 ? lv.loudestDb : dropMin, lv.loudestDb);
            dropMax = std::max(dropMax, lv.loudestDb);
        }
    }
    EXPECT_LT(dropMax - dropMin, 3.0) << "the drops should sound equally loud";

    // The folder holds exactly the effects and the track, and stays small.
    std::set<std::string> expected = {std::filesystem::path(audio::musicFile()).filename()};
    for (int i = 0; i < audio::kSfxCount; ++i)
        expected.insert(std::filesystem::path(audio::sfxFile(static_cast<Sfx>(i))).filename());
    std::set<std::string> present;
    std::uintmax_t bytes = 0;
    for (const auto& e : std::filesystem::directory_iterator(root + "assets/audio")) {
        present.insert(e.path().filename());
        bytes += e.file_size();
    }
    EXPECT_EQ(present, expected);
    EXPECT_LT(bytes, 1024u * 1024u) << "the audio folder should stay well under 2 MB";

    const std::string musicPath = root + audio::musicFile();
    Mix_Music* mus = Mix_LoadMUS(musicPath.c_str());
    ASSERT_NE(mus, nullptr) << Mix_GetError();
    Mix_FreeMusic(mus);

    Mix_Chunk* track = Mix_LoadWAV(musicPath.c_str());
    ASSERT_NE(track, nullptr) << Mix_GetError();
    const Levels lv = measure(track, channels);
    Mix_FreeChunk(track);
    EXPECT_GE(lv.frames, freq * 60) << "the loop lasts at least a minute";
    EXPECT_LT(lv.peak, 0.95);
    EXPECT_GT(lv.meanDb, -32.0);
    EXPECT_LT(lv.meanDb, -12.0);

    // The loop seam: the step from the last frame back to the first must look like any other
    // step in the track, and the level must not dip or jump across it.
    std::vector<double> steps;
    const auto& x = lv.samples;
    const int c = channels;
    for (size_t i = c; i < x.size(); ++i) steps.push_back(std::abs(x[i] - x[i - c]));
    std::sort(steps.begin(), steps.end());
    const double typical = steps[steps.size() * 999 / 1000];
    for (int ch = 0; ch < c; ++ch) {
        const double seam = std::abs(x[ch] - x[x.size() - c + ch]);
        EXPECT_LE(seam, typical) << "click at the loop point, channel " << ch;
    }
    auto rmsOf = [&](size_t from, size_t count) {
        double s = 0;
        for (size_t i = from; i < from + count; ++i) s += x[i] * x[i];
        return 10 * std::log10(s / count + 1e-20);
    };
    const size_t edge = static_cast<size_t>(freq / 4) * c;
    EXPECT_NEAR(rmsOf(0, edge), rmsOf(x.size() - edge, edge), 6.0)
        << "the level jumps at the loop point";
    resetAudio();
}

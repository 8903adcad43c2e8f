// The audio module on SDL's dummy driver: the wrap-safe due test, volumes, every effect.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

#include "platform/audio.h"

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

}  // namespace

TEST(Audio, DueTestVolumesAndEffects) {
    for (const auto& [now, when, due] : {std::tuple{1000u, 1000u, true}, {999u, 1000u, false},
                                         {5u, 0xFFFFFFF0u, true}, {0xFFFFFFF0u, 5u, false}})
        EXPECT_EQ(audio::isDue(now, when), due) << now << " " << when;  // across the 32-bit wrap
    resetAudio();
    for (const auto& [in, out] : {std::pair{1.7, 1.0}, {-0.5, 0.0}, {std::nan(""), 0.0}}) {
        audio::setMusicVolume(in), audio::setSfxVolume(in);
        EXPECT_EQ(std::pair(audio::musicVolume(), audio::sfxVolume()), std::pair(out, out)) << in;
    }
    audio::playWinFanfare();  // closed: nothing is scheduled
    EXPECT_EQ(audio::pendingCount(), 0);
    audio::setMusicVolume(0.5);  // a volume set while closed reaches the mixer on opening
    ASSERT_TRUE(audio::init());
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
    audio::setSfxVolume(0.5);
    for (int i = 0; i < audio::kSfxCount; ++i) {  // every effect file loads and plays
        Mix_HaltChannel(-1);
        audio::play(static_cast<Sfx>(i));
        EXPECT_EQ(Mix_Playing(-1), 1) << audio::sfxFile(static_cast<Sfx>(i));
    }
    Mix_HaltChannel(-1);
    audio::setSfxVolume(0);  // effect volume 0 silences everything
    audio::play(Sfx::Click);
    EXPECT_EQ(Mix_Playing(-1), 0);
    resetAudio();
}

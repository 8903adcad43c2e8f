// Sound effects and the looping background track, played through SDL2_mixer. Every call is
// safe before init, after shutdown and when the audio device could not be opened: it then
// does nothing. Effects can be scheduled a little ahead; the frame loop fires them by
// calling tick() once per frame. Main thread only.
#pragma once

#include <cstdint>

namespace audio {

// The effects the game knows; DropN is the drop sound pitched on step N of the game's scale.
enum class Sfx : int {
    Click = 0,
    Pickup = 1,
    Illegal = 2,
    Drop0 = 3,
    Drop1,
    Drop2,
    Drop3,
    Drop4,
    Drop5,
    Drop6,
    Drop7,
    Drop8,
    Drop9,
    Drop10,
    Drop11,
    Drop12,
    Drop13,
    Drop14,
};

inline constexpr int kSfxCount = 18;

// Asset path of an effect's file relative to the asset directory, e.g.
// "assets/audio/sfx_drop_3.ogg"; empty for a value outside the enum.
const char* sfxFile(Sfx k);
// Asset path of the background track relative to the asset directory.
const char* musicFile();

// Opens the mixer and loads every effect and the track; true when open (also when it
// already was, and when some files were missing), false when there is no audio at all.
bool init();
// Halts and frees everything, forgets scheduled effects and closes the mixer; no effect
// when not open.
void shutdown();
// True between a successful init() and shutdown().
bool isOpen();

// Plays the effect once now at the current effect volume, when open, enabled, audible and
// loaded; if all channels are busy the sound is dropped.
void play(Sfx k);
// A rising three-step chord fanfare: one chord now, the next after 200 ms and 400 ms.
void playWinFanfare();
// The drop sound for a marble colour: Drop0 below 1, Drop14 from 14 on, DropN in between.
Sfx dropForColor(int colorId);

// Clamps to 0..1, stores it and applies it to the mixer when open.
void setMusicVolume(double v);
// Clamps to 0..1 and stores it; it applies from the next effect played.
void setSfxVolume(double v);
// The stored volumes, 0..1.
double musicVolume();
double sfxVolume();

// Asks for music; starts the track looping when open, enabled, loaded and not yet playing.
void startMusic();
// Withdraws the wish for music and halts it when open.
void stopMusic();
// Switches all sound on or off; off also stops the music and withdraws the wish for it,
// on restarts it only when music is still wanted.
void setEnabled(bool on);
// Silences everything while the window is away: pauses the music where it is, cuts the
// effects that sound and drops new ones until lifted; lifting resumes the music. The
// user's switch and the wish for music are left alone.
void setSuspended(bool on);
// True while suspended.
bool isSuspended();
// The user's sound switch.
bool isEnabled();
// True when music has been asked for and not withdrawn since.
bool musicWanted();

// Plays every scheduled effect that is due now, keeping the others in their order.
void tick();
// The same as tick() with an explicit tick count in milliseconds.
void tickAt(std::uint32_t nowMs);
// True when an effect due at dueMs is due at nowMs; safe across the 32-bit wrap of the tick
// count, as long as the two lie less than about 24 days apart.
bool isDue(std::uint32_t nowMs, std::uint32_t dueMs);
// Number of effects scheduled and not yet played.
int pendingCount();

}  // namespace audio

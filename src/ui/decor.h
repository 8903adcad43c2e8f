// The decorations that give the game its character: the mascot with its moods and tricks,
// the marble rain behind the title, fireworks and falling blossoms for celebrations, the
// play screen's combo banner and a text that pops in with a springy wobble.
//
// Everything is drawn each frame from the frame time Ctx::t; only MarbleRain and
// ComboBurst keep state. Random choices come from Mulberry32 generators seeded by the
// caller or the object, so a given seed and time always give the same picture.
// Sizes are logical units; u below is Ctx::ui.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "theme.h"
#include "ui/app.h"
#include "ui/draw.h"

namespace ui {

enum class Mood : int { Idle = 0, Happy = 1, Worried = 2 };

enum class Trick : int {
    None = 0,
    Eyes = 1,     // pupils circle twice
    Nod = 2,      // a quick nod
    Hop = 3,      // a hop with a squash on landing
    Flip = 4,     // a high jump with one full turn
    Spin = 5,     // two turns on the spot, easing out
    Shake = 6,    // shakes its head, calming down
    Tongue = 7,   // sticks its tongue out, squinting
    Wink = 8,     // winks with the right eye
    Bubbles = 9,  // blows four rising bubbles that pop
};

// Seconds a trick lasts; 0 for None and unknown values, so those never play.
double trickDuration(Trick trick);

// The round blob mascot centred at (cx, cy), size units across, in the given body colour.
// (lookX, lookY) in -1..1 is where its pupils look; (0, 0) lets the eyes wander. A trick
// plays while 0 <= trickAge < trickDuration(trick); it breathes and blinks by itself.
void drawMascot(Ctx& c, double cx, double cy, double size, std::uint32_t color, Mood mood,
                double lookX, double lookY, Trick trick, double trickAge);

// Marbles that drop in from the top, sway, bounce off the window's edges and floor and
// burst into sparks when two of them (both older than 0.38 s) touch. At most 14 balls.
class MarbleRain {
public:
    struct Ball {
        double x = 0, y = 0;
        double vx = 0, vy = 0;
        double r = 0;
        int color = 0;  // index into the world's marble colours
        double bornAt = 0;
        double swayPhase = 0, swayFreq = 0, swayAmp = 0;
    };
    struct Spark {
        double x = 0, y = 0;
        double vx = 0, vy = 0;
        double size = 0;
        double bornAt = 0;
        std::uint32_t color = 0;
    };

    // Spawns, moves (by at most 0.064 s per call, however long the frame), collides and
    // retires balls and sparks.
    void update(Ctx& c, const theme::World& world);
    // Blits the balls and sparks through the texture cache.
    void draw(Ctx& c, const theme::World& world);

    const std::vector<Ball>& balls() const { return balls_; }
    const std::vector<Spark>& sparks() const { return sparks_; }
    // Adds a ball as it is, for scripted scenes.
    void addBall(const Ball& b) { balls_.push_back(b); }

private:
    std::vector<Ball> balls_;
    std::vector<Spark> sparks_;
    double lastSpawn_ = -1;
    std::uint32_t seed_ = 12345;
};

// A small solid disc, as a spark is: on the renderer, above what it has drawn so far and
// beneath the canvas; on cr when there is no renderer.
void sparkDisc(cairo_t* cr, double cx, double cy, double r, std::uint32_t rgb, double alpha);
// Five rockets rising and bursting in a loop, deterministic for seed and time.
void drawFireworks(Ctx& c, std::uint32_t seed);
// 22 pink petals drifting down and turning, deterministic for seed and time.
void drawBlossoms(Ctx& c, std::uint32_t seed);

// The banner that bursts out over the field after a big combo: a popping title with a
// glow, a ring, rays and confetti, fading out after 1.6 s.
class ComboBurst {
public:
    // Starts (or restarts) the burst now.
    void trigger(const Ctx& c, const std::string& title, const std::string& sub,
                 std::uint32_t accent);
    // True while less than 1.6 s have passed since the trigger.
    bool active(const Ctx& c) const;
    // Paints the burst for ages 0..1.6 s (at 1.6 it is fully faded); nothing otherwise.
    void draw(Ctx& c);

private:
    std::string title_;
    std::string sub_;
    std::uint32_t accent_ = 0xff5fa3;
    double bornAt_ = -1e9;
    // The title and subtitle with the title's shadow, laid out once per burst and then
    // composited, scaled and faded; the image's (imageW_ / 2, imageTop_) is the title's centre.
    std::shared_ptr<cairo_surface_t> image_;
    std::string imageKey_;
    double imageW_ = 0;
    double imageTop_ = 0;
};

// Text centred at (cx, cy) that pops in with a damped wobble, starting at bornAt plus
// 0.09 s per delayIndex (so consecutive lines follow each other); invisible before that.
void wobbleText(Ctx& c, double cx, double cy, const std::string& text, const TextStyle& st,
                double bornAt, int delayIndex);

}  // namespace ui

// The animated logo of the splash and menu screens. It loops through three phases: the
// letters drop in one after another and bounce to rest on a base line; marbles fall onto
// random letters and each hit knocks its letter spinning off the screen with sparks, two
// rings and a flash; once every letter is gone, a short pause and the drop-in again.
//
// All motion advances by min(Ctx::dt, 0.064) per frame, so a stalled frame slows the
// animation instead of tearing it apart. Random choices come from the object's own seed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/app.h"

namespace ui {

class SplashTitle {
public:
    struct Letter {
        std::string ch;  // one UTF-8 character
        double x = 0, y = 0;  // centre x, base line y
        double vx = 0, vy = 0;
        double rot = 0, rotVel = 0;
        double startAt = 0;  // when it starts to drop in
        double hitAt = 0;
        double pendVx = 0, pendVy = 0, pendRot = 0;  // the knock, applied after the freeze
        std::uint32_t color = 0;
        bool alive = true;
    };
    struct Ball {
        double x = 0, y = 0, vy = 0, r = 0;
        std::uint32_t color = 0;
        double stuckAt = 0;  // 0 while falling
    };
    struct Spark {
        double x = 0, y = 0, vx = 0, vy = 0, r = 0, bornAt = 0;
        std::uint32_t color = 0;
    };
    struct Ring {
        double x = 0, y = 0, bornAt = 0;
        std::uint32_t color = 0;
    };
    struct Boom {
        double x = 0, y = 0, r = 0, bornAt = 0;
        std::uint32_t color = 0;
    };

    // Advances and paints one frame of the title centred at cx on the base line baseY.
    // Marbles start rainH above the base line. A change of text, or of size or position
    // by more than half a unit (a window resize), restarts the drop-in.
    void draw(Ctx& c, double cx, double baseY, double fontSize, double rainH,
              const std::string& text, const std::vector<std::uint32_t>& colors);
    // Restarts the drop-in now; letters take the colours in turn.
    void reset(Ctx& c, double cx, double baseY, double fontSize, const std::string& text,
               const std::vector<std::uint32_t>& colors);

    // 0 drop-in, 1 knock-off, 2 pause before the restart.
    int phase() const { return phase_; }
    double phaseSince() const { return phaseSince_; }
    // When the next marble may drop; 1e9 when none is scheduled.
    double nextBallAt() const { return nextBallAt_; }
    const std::vector<Letter>& letters() const { return letters_; }
    const std::vector<Ball>& balls() const { return balls_; }
    const std::vector<Spark>& sparks() const { return sparks_; }
    const std::vector<Ring>& rings() const { return rings_; }
    const std::vector<Boom>& booms() const { return booms_; }

private:
    void advance(Ctx& c, double rainH, const std::vector<std::uint32_t>& colors);
    void paint(Ctx& c) const;

    std::vector<Letter> letters_;
    std::vector<Ball> balls_;
    std::vector<Spark> sparks_;
    std::vector<Ring> rings_;
    std::vector<Boom> booms_;
    int phase_ = 0;
    double phaseSince_ = -1;
    double nextBallAt_ = 1e9;
    double floorY_ = 0;
    double fontSize_ = 0;
    double letterW_ = 0;
    double cx_ = 0;
    double rainH_ = 0;
    std::uint32_t seed_ = 7919;
    std::string text_;
};

}  // namespace ui

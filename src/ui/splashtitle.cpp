#include "ui/splashtitle.h"

#include <algorithm>
#include <cmath>

#include "core/grid.h"
#include "theme.h"
#include "ui/bubble.h"
#include "ui/decor.h"
#include "ui/draw.h"
#include "ui/gpu.h"

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNone = 1e9;      // nextBallAt_ when no marble is scheduled
constexpr double kFreeze = 0.15;   // a hit letter hangs still this long before it flies
constexpr double kGravity = 1800;  // units per second squared on a letter
// A letter's box reaches this many font sizes above its base line.
constexpr double kLetterTop = 0.85;

bool isSpace(const SplashTitle::Letter& l) { return l.ch == " "; }

bool differs(double a, double b) { return !(std::fabs(a - b) <= 0.5); }

}  // namespace

void SplashTitle::reset(Ctx& c, double cx, double baseY, double fontSize, const std::string& text,
                        const std::vector<std::uint32_t>& colors) {
    const std::vector<std::string> chars = splitUtf8(text);
    letters_.clear();
    balls_.clear();
    sparks_.clear();
    rings_.clear();
    booms_.clear();
    text_ = text;
    fontSize_ = fontSize;
    cx_ = cx;
    floorY_ = baseY;
    letterW_ = 0.62 * fontSize;
    const double n = static_cast<double>(chars.size());
    for (std::size_t i = 0; i < chars.size(); ++i) {
        Letter l;
        l.ch = chars[i];
        l.x = cx - n * 0.62 * fontSize / 2 + (static_cast<double>(i) + 0.5) * letterW_;
        l.y = baseY - 4 * fontSize;
        l.startAt = c.t + 0.11 * static_cast<double>(i);
        l.color = colors.empty() ? 0xff5fa3 : colors[i % colors.size()];
        l.alive = true;
        letters_.push_back(l);
    }
    phase_ = 0;
    phaseSince_ = c.t;
    nextBallAt_ = kNone;
}

void SplashTitle::draw(Ctx& c, double cx, double baseY, double fontSize, double rainH,
                       const std::string& text, const std::vector<std::uint32_t>& colors) {
    if (letters_.empty() || text != text_ || differs(fontSize, fontSize_) || differs(cx, cx_) ||
        differs(baseY, floorY_))
        reset(c, cx, baseY, fontSize, text, colors);
    advance(c, rainH, colors);
    paint(c);
}

void SplashTitle::advance(Ctx& c, double rainH, const std::vector<std::uint32_t>& colors) {
    const double t = c.t;
    const double tau = std::min(c.dt, 0.064);
    const double fs = fontSize_;
    rainH_ = rainH;
    const std::uint32_t frameSeed = seed_;
    seed_ = seed_ * 1664525u + 1013904223u;

    for (Ball& b : balls_) {
        if (b.stuckAt > 0) continue;
        b.vy += 340 * tau;
        b.y += b.vy * tau;
    }
    for (Ball& b : balls_) {
        if (b.stuckAt > 0 && t - b.stuckAt >= kFreeze && b.r > 0) {
            booms_.push_back(Boom{b.x, b.y, b.r, t, b.color});
            b.r = 0;
        }
    }
    const double missLine = floorY_ + fs;
    balls_.erase(std::remove_if(balls_.begin(), balls_.end(),
                                [missLine](const Ball& b) {
                                    return b.r <= 0 || (b.stuckAt <= 0 && b.y - b.r > missLine);
                                }),
                 balls_.end());

    for (Spark& s : sparks_) {
        s.vy += 1400 * tau;
        s.x += s.vx * tau;
        s.y += s.vy * tau;
    }
    sparks_.erase(std::remove_if(sparks_.begin(), sparks_.end(),
                                 [t](const Spark& s) { return t - s.bornAt > 0.85; }),
                  sparks_.end());
    rings_.erase(std::remove_if(rings_.begin(), rings_.end(),
                                [t](const Ring& r) { return t - r.bornAt > 0.6; }),
                 rings_.end());
    booms_.erase(std::remove_if(booms_.begin(), booms_.end(),
                                [t](const Boom& b) { return t - b.bornAt > 0.5; }),
                 booms_.end());

    for (Letter& l : letters_) {
        if (l.alive || t - l.hitAt < kFreeze) continue;
        if (l.vx == 0 && l.vy == 0) {
            l.vx = l.pendVx;
            l.vy = l.pendVy;
            l.rotVel = l.pendRot;
            l.pendVx = l.pendVy = l.pendRot = 0;
        }
        l.x += l.vx * tau;
        l.vy += kGravity * tau;
        l.y += l.vy * tau;
        l.rot += l.rotVel * tau;
    }

    if (phase_ == 0) {
        // A rebound never carries a letter out through the window's top edge: a title
        // close under it bounces lower.
        const double headroom = std::max(floorY_ - kLetterTop * fontSize_, 0.0);
        const double maxRebound = std::sqrt(2 * kGravity * headroom);
        bool settled = true;
        for (Letter& l : letters_) {
            if (t < l.startAt) {
                settled = false;
                continue;
            }
            l.vy += kGravity * tau;
            l.y += l.vy * tau;
            if (l.y >= floorY_) {
                l.y = floorY_;
                if (std::fabs(l.vy) < std::max(2700 * tau, 25.0))
                    l.vy = 0;
                else
                    l.vy = -std::min(0.62 * l.vy, maxRebound);
            }
            if (!(l.y == floorY_ && l.vy == 0)) settled = false;
        }
        const bool late = t - phaseSince_ >= 2.2;
        if (settled || late) {
            if (late) {
                for (Letter& l : letters_) {
                    l.y = floorY_;
                    l.vy = 0;
                }
            }
            phase_ = 1;
            phaseSince_ = t;
            nextBallAt_ = t + 0.35;
        }
    } else if (phase_ == 1) {
        auto inAir = [this] {
            return std::any_of(balls_.begin(), balls_.end(),
                               [](const Ball& b) { return b.stuckAt <= 0 && b.r > 0; });
        };
        if (!inAir() && t >= nextBallAt_) {
            std::vector<std::size_t> targets;
            for (std::size_t i = 0; i < letters_.size(); ++i)
                if (letters_[i].alive && !isSpace(letters_[i])) targets.push_back(i);
            if (!targets.empty()) {
                core::Mulberry32 g(frameSeed);
                const double d1 = g.next();
                const double d2 = g.next();
                const auto pick = [](double d, std::size_t n) {
                    return std::min(static_cast<std::size_t>(std::floor(d * n)), n - 1);
                };
                const Letter& target = letters_[targets[pick(d1, targets.size())]];
                const Letter& tint = letters_[pick(d2, letters_.size())];
                balls_.push_back(Ball{target.x, floorY_ - rainH_, 60, 0.32 * fs, tint.color, 0});
                nextBallAt_ = kNone;
            }
        }

        for (Ball& b : balls_) {
            if (b.stuckAt > 0 || b.r <= 0) continue;
            for (Letter& l : letters_) {
                if (!l.alive || isSpace(l)) continue;
                const double nx = std::clamp(b.x, l.x - 0.6 * letterW_, l.x + 0.6 * letterW_);
                const double ny = std::clamp(b.y, l.y - kLetterTop * fs, l.y + 0.1 * fs);
                if (std::hypot(b.x - nx, b.y - ny) > b.r) continue;

                core::Mulberry32 g(frameSeed);
                const double side = g.next() < 0.5 ? -1.0 : 1.0;
                l.pendVx = side * (260 + 220 * g.next()) + 4 * (nx - l.x);
                l.pendVy = -std::max(3 * b.vy, 1500.0);
                l.pendRot = (8 + 8 * g.next()) * (l.pendVx < 0 ? -1.0 : 1.0);
                l.alive = false;
                l.vx = l.vy = 0;
                l.hitAt = t;

                for (int k = 0; k < 50; ++k) {
                    const double a = g.next();
                    const double bb = g.next();
                    const double cc = g.next();
                    const double ang = 2 * kPi * k / 50 + 0.34 * a - 0.17;
                    const double speed = 380 + 480 * bb;
                    static constexpr std::uint32_t kWhite = 0xffffff;
                    const std::uint32_t col = k % 4 == 0   ? kWhite
                                              : k % 4 == 1 ? 0xffd23d
                                              : k % 4 == 2 ? b.color
                                                           : l.color;
                    sparks_.push_back(Spark{nx, ny, std::cos(ang) * speed,
                                            std::sin(ang) * speed - 160, 6 + 7 * cc, t, col});
                }
                rings_.push_back(Ring{nx, ny, t, 0xffd23d});
                rings_.push_back(Ring{nx, ny, t + 0.04, 0xffffff});
                b.vy = 0;
                b.stuckAt = t;
                nextBallAt_ = t + 0.75;
                break;
            }
        }

        if (!inAir() && nextBallAt_ > 1e8) nextBallAt_ = t + 0.375;

        // Spaces are never hit, so only the visible letters decide when the title is gone.
        bool allGone = true;
        for (const Letter& l : letters_) {
            if (isSpace(l)) continue;
            const bool off = l.x < -2 * fs || l.x > c.w + 2 * fs || l.y > c.h + 2 * fs ||
                             l.y < -3 * fs;
            if (l.alive || !off) {
                allGone = false;
                break;
            }
        }
        if (allGone) {
            phase_ = 2;
            phaseSince_ = t;
        }
    } else if (phase_ == 2) {
        if (t - phaseSince_ >= 0.5) reset(c, cx_, floorY_, fontSize_, text_, colors);
    }
}

void SplashTitle::paint(Ctx& c) const {
    cairo_t* cr = c.cr;
    if (!cr) return;
    const double t = c.t;
    const double fs = fontSize_;
    const theme::MarbleSkin skin = theme::worldForStage(0).marbleSkin;

    // On the renderer a ball is the marble rain's cached sprite; the canvas holds nothing
    // beneath the title that it could hide.
    for (const Ball& b : balls_) {
        if (!(b.r > 0)) continue;
        if (gpuRenderer() != nullptr)
            drawBubble(skin, b.color, b.x, b.y, b.r, 1.0);
        else
            paintBubbleCairo(cr, skin, b.color, b.x, b.y, b.r);
    }
    for (const Boom& b : booms_) {
        const double k = 2 * (t - b.bornAt);
        strokeCircle(cr, b.x, b.y, b.r * (1 + 2.4 * k), std::max(0.3 * b.r * (1 - k), 1.0),
                     b.color, std::clamp(1 - k, 0.0, 1.0));
    }
    for (const Ring& r : rings_) {
        const double a = t - r.bornAt;
        if (a < 0) continue;
        const double u = a / 0.6;
        strokeCircle(cr, r.x, r.y, (0.2 + 1.1 * u) * fs, std::max(0.08 * fs * (1 - u), 1.5),
                     r.color, std::clamp(0.9 * (1 - u), 0.0, 1.0));
    }
    for (const Spark& s : sparks_) {
        const double u = (t - s.bornAt) / 0.85;
        sparkDisc(cr, s.x, s.y, std::max((1 - 0.6 * u) * s.r, 0.0), s.color,
                  std::clamp(1 - u, 0.0, 1.0));
    }

    TextStyle st;
    st.size = fs;
    st.bold = true;
    for (const Letter& l : letters_) {
        if (isSpace(l)) continue;
        double scale = 1.0;
        if (!l.alive) scale = (t - l.hitAt < kFreeze) ? 1 + 0.2 * (t - l.hitAt) / kFreeze : 1.2;
        cairo_save(cr);
        cairo_translate(cr, l.x, l.y - 0.38 * fs);
        cairo_rotate(cr, l.rot);
        cairo_scale(cr, scale, scale);
        st.color = 0x000000;
        st.alpha = 0.28;
        drawTextCentered(cr, 0.03 * fs, 0.04 * fs, l.ch, st);
        st.color = l.color;
        st.alpha = 1.0;
        drawTextCentered(cr, 0, 0, l.ch, st);
        cairo_restore(cr);
    }
}

}  // namespace ui

// The solved screen: records the cleared level in the store when it is built, then
// celebrates it (confetti, fireworks for three stars, the mascot's tricks) and offers the
// next level (or the ending after the last one), a replay and the menu.
#include <SDL.h>

#include <algorithm>
#include <string>

#include "core/grid.h"
#include "core/levels.h"
#include "core/storage.h"
#include "i18n.h"
#include "screens/results.h"
#include "theme.h"
#include "ui/decor.h"
#include "ui/fx.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr int kLastLevel = 99;
constexpr int kConfettiCount = 90;
constexpr std::uint32_t kHeadlineColor = 0xff5fa3;

class SolvedScreen : public Screen {
  public:
    explicit SolvedScreen(const GameState& state) : gs_(state) {
        // A record from outside the campaign must not write progress for a level that
        // does not exist; it still shows, as the nearest real level.
        const bool real = gs_.level >= 0 && gs_.level <= kLastLevel;
        gs_.level = std::clamp(gs_.level, 0, kLastLevel);
        stars_ = core::starsForOrbs(gs_.starOrbs, gs_.starOrbsTotal);
        if (!real) return;
        store::advanceUnlockedLevel(gs_.level + 2);
        store::LevelBest best;
        best.stars = stars_;
        best.moves = gs_.marbles;
        best.elapsedMs = gs_.elapsedMs;
        store::recordBest(gs_.level, best);
        store::SolveEntry solve;
        solve.level = gs_.level;
        solve.marbles = gs_.marbles;
        solve.score = gs_.score;
        solve.elapsedMs = gs_.elapsedMs;
        solve.solvedAt = store::nowMs();
        solve.stars = stars_;
        store::recordSolve(solve);
    }

    void update(Ctx& c) override {
        drawScreenScene(c, theme::stageForLevel(gs_.level),
                        static_cast<std::uint32_t>(gs_.level + 97));
        if (start_ < 0) {
            start_ = c.t;
            burstConfetti(c);
        }
        fx_.update(c);
        fx_.drawGpu(c);
        if (stars_ == 3) drawFireworks(c, static_cast<std::uint32_t>(gs_.level + 21));

        const double columnEnd = drawColumn(c);
        const double age = c.t - start_;
        if (age < 1)
            drawResultMascot(c, Mood::Happy, Trick::Flip, age);
        else
            drawResultMascot(c, Mood::Happy, Trick::Spin, age - 1);

        const auto buttons = resultButtons(c, columnEnd);
        const bool last = gs_.level >= kLastLevel;
        const std::string first =
            last ? i18n::tr("ending.headline")
                 : i18n::tr("solved.nextLevel", {{"n", std::to_string(gs_.level + 2)}});
        if (menuButton(c, buttons[0], first, true)) {
            if (last)
                goTo(ScreenKind::Ending, 0);
            else
                goTo(ScreenKind::Playing, gs_.level + 1);
            return;
        }
        if (menuButton(c, buttons[1], i18n::tr("solved.again"), false)) {
            goTo(ScreenKind::Playing, gs_.level);
            return;
        }
        if (menuButton(c, buttons[2], i18n::tr("solved.toMenu"), false) ||
            c.in.hasKey(SDLK_ESCAPE)) {
            GameState menu;
            menu.kind = ScreenKind::Menu;
            Game::instance().resetTo(menu);
        }
    }

  private:
    // Paint droplets falling in from above the window, staggered over 0.6 s; the same
    // level on the same window size always throws the same pattern.
    void burstConfetti(const Ctx& c) {
        const auto& colors = theme::worldForLevel(gs_.level).marbleColors;
        core::Mulberry32 rnd(static_cast<std::uint32_t>(gs_.level) * 7919u + 5u);
        for (int i = 0; i < kConfettiCount; ++i) {
            const double r1 = rnd.next();
            const double r2 = rnd.next();
            const double r3 = rnd.next();
            const double r4 = rnd.next();
            const double r5 = rnd.next();
            const double r6 = rnd.next();
            const std::uint32_t color =
                colors.empty() ? kHeadlineColor : colors[static_cast<size_t>(i) % colors.size()];
            fx_.droplet(r1 * c.w, -r2 * 0.4 * c.h, (r6 - 0.5) * 120, 60 + 160 * r5, color,
                        c.t + 0.6 * r4, 6 + 8 * r3);
        }
    }

    // The headline, stars and result lines; returns where the column ends.
    double drawColumn(Ctx& c) {
        const double k = resultCompactFactor(c);
        const double cx = c.w / 2;
        const double y0 = c.s(70 * k);
        wobbleText(c, cx, y0, i18n::tr("solved.headline"),
                   resultText(c, c.s(40 * k), kHeadlineColor, true), start_, 0);
        double y = y0 + resultSize(c, 50);
        starRating(c.cr, cx, y, resultSize(c, 44), stars_, 3, std::min(1.0, (c.t - start_) / 0.9));
        y += resultSize(c, 46);
        wobbleText(c, cx, y, i18n::tr("solved.levelLine", {{"n", std::to_string(gs_.level + 1)}}),
                   resultText(c, resultSize(c, 22), kWhite, true), start_, 1);
        y += resultSize(c, 34);
        wobbleText(c, cx, y, i18n::tr("solved.scoreLine", {{"n", std::to_string(gs_.score)}}),
                   resultText(c, resultSize(c, 17), kWhite, false), start_, 2);
        y += resultSize(c, 26);
        wobbleText(c, cx, y, i18n::tr("solved.shotsLine", {{"n", std::to_string(gs_.marbles)}}),
                   resultText(c, resultSize(c, 17), kDimLilac, false), start_, 3);
        y += resultSize(c, 26);
        wobbleText(c, cx, y, i18n::tr("solved.timeLine", {{"time", formatTime(gs_.elapsedMs)}}),
                   resultText(c, resultSize(c, 17), kDimLilac, false), start_, 4);
        y += resultSize(c, 26);
        if (stars_ < 3 && gs_.starOrbsTotal > 0) {
            drawTextCentered(
                c.cr, cx, y,
                i18n::tr("tarnwick.optimumHint", {{"n", std::to_string(gs_.starOrbsTotal)}}),
                resultText(c, resultSize(c, 14), kDimLilac, false));
            y += resultSize(c, 28);
        }
        return y;
    }

    // Leaves for kind on level with a fresh seed; the result screen's record is replaced.
    void goTo(ScreenKind kind, int level) {
        GameState next;
        next.kind = kind;
        if (kind == ScreenKind::Playing) {
            next.level = level;
            next.seed = freshGameSeed();
        }
        Game::instance().replace(next);
    }

    GameState gs_;
    Fx fx_;
    int stars_ = 0;
    double start_ = -1;
};

}  // namespace

std::unique_ptr<Screen> makeSolvedScreen(const GameState& state) {
    return std::make_unique<SolvedScreen>(state);
}

}  // namespace ui

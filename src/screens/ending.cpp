// The ending after the last level: fireworks of sparkles, the mascot's loop of tricks and
// the verdict on the campaign, perfect only when every level holds three stars (or when
// the ending is opened as a preview of the perfect one).
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/grid.h"
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

constexpr int kLevelCount = 100;
constexpr int kStage = 8;
constexpr int kSparkleCount = 140;
constexpr std::uint32_t kGold = 0xffd700;
// The mascot's tricks repeat every 3.6 s: a flip, a spin, then hops.
constexpr double kTrickLoop = 3.6;

class EndingScreen : public Screen {
  public:
    explicit EndingScreen(bool forcePerfect) : forced_(forcePerfect) {
        for (const auto& [level, best] : store::levelBests())
            if (level >= 0 && level < kLevelCount && best.stars > 2) ++perfect_;
    }

    void update(Ctx& c) override {
        drawScreenScene(c, kStage, 3);
        if (start_ < 0) {
            start_ = c.t;
            burstSparkles(c);
        }
        fx_.update(c);
        fx_.drawGpu(c);
        drawBlossoms(c, 5);
        const bool perfect = forced_ || perfect_ >= kLevelCount;
        if (perfect) drawFireworks(c, 33);

        const double k = resultCompactFactor(c);
        const double cx = c.w / 2;
        const double y0 = c.s(110 * k);
        wobbleText(c, cx, y0, i18n::tr("ending.headline"), resultText(c, c.s(38 * k), kGold, true),
                   start_, 0);

        double y = y0 + resultSize(c, 56);
        starRating(c.cr, cx, y, resultSize(c, 40), perfect ? 3 : 2, 3,
                   std::min(1.0, (c.t - start_) / 1.2));
        y += resultSize(c, 52);
        TextStyle verdict = resultText(c, resultSize(c, 17), kWhite, false);
        const double verdictWidth = std::min(c.w - c.s(64), c.s(560));
        verdict.maxWidth = verdictWidth;
        const auto lines =
            wrapText(c.cr, i18n::tr(perfect ? "ending.buddhaPerfect" : "ending.buddhaIncomplete"),
                      verdict, verdictWidth);
        const double lineStep = verdict.size * 1.4;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) y += lineStep;
            drawTextCentered(c.cr, cx, y, lines[i], verdict);
        }
        y += resultSize(c, 60);
        drawTextCentered(c.cr, cx, y,
                         i18n::tr("ending.starsProgress", {{"got", std::to_string(perfect_)},
                                                           {"total", std::to_string(kLevelCount)}}),
                         resultText(c, resultSize(c, 16), kDimLilac, false));

        const double bw = std::min(c.w - c.s(64), c.s(300));
        const double bh = resultSize(c, 50);
        const double top = std::min(c.h - resultSize(c, 90), y + resultSize(c, 50));
        drawMascotLoop(c, top + bh);
        if (menuButton(c, Rect{cx - bw / 2, top, bw, bh}, i18n::tr("ending.back"), true) ||
            c.in.hasKey(SDLK_ESCAPE)) {
            GameState menu;
            menu.kind = ScreenKind::Menu;
            Game::instance().resetTo(menu);
        }
    }

  private:
    // Sparkles flying out from one point above the middle, staggered over 1.2 s.
    void burstSparkles(const Ctx& c) {
        const auto& colors = theme::worldForStage(kStage).marbleColors;
        core::Mulberry32 rnd(4711);
        const double x = c.w / 2;
        const double y = 0.38 * c.h;
        for (int i = 0; i < kSparkleCount; ++i) {
            const double a = 2 * M_PI * rnd.next();
            const double s = 120 + 380 * rnd.next();
            const double size = 5 + 9 * rnd.next();
            const double bornAt = c.t + 1.2 * rnd.next();
            const std::uint32_t color =
                colors.empty() ? kGold : colors[static_cast<size_t>(i) % colors.size()];
            fx_.sparkle(x, y, s * std::cos(a), s * std::sin(a), color, bornAt, size);
        }
    }

    // The mascot stands under the column, whose bottom edge is columnEnd, and never
    // higher than 0.72 of the window.
    void drawMascotLoop(Ctx& c, double columnEnd) {
        const double p = std::fmod(std::max(0.0, c.t - start_), kTrickLoop);
        Trick trick = Trick::Hop;
        double age = p - 2.2;
        if (p < 1) {
            trick = Trick::Flip;
            age = p;
        } else if (p < 2.2) {
            trick = Trick::Spin;
            age = p - 1;
        }
        const double size = std::min(0.18 * c.w, c.s(150));
        const double y = std::max(0.72 * c.h, columnEnd + 0.55 * size);
        drawMascot(c, c.w / 2, y, size, kAccentPink, Mood::Happy, 0, 0, trick, age);
    }

    Fx fx_;
    bool forced_ = false;
    int perfect_ = 0;
    double start_ = -1;
};

}  // namespace

std::unique_ptr<Screen> makeEndingScreen(bool forcePerfect) {
    return std::make_unique<EndingScreen>(forcePerfect);
}

}  // namespace ui

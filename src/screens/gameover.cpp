// The game-over screen of a lost campaign level or arcade run: the result, a new arcade
// record when there is one, and the way back in (retry, level select or high scores, menu).
#include <SDL.h>

#include <algorithm>
#include <string>

#include "i18n.h"
#include "screens/results.h"
#include "theme.h"
#include "ui/decor.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr std::uint32_t kHeadlineColor = 0xff5f6d;
constexpr std::uint32_t kGold = 0xffd700;
// Arcade boards take the look of the third stage.
constexpr int kArcadeStage = 2;

class GameOverScreen : public Screen {
  public:
    explicit GameOverScreen(const GameState& state) : gs_(state) {
        gs_.level = std::clamp(gs_.level, 0, 99);
    }

    void update(Ctx& c) override {
        const int stage = gs_.arcade ? kArcadeStage : theme::stageForLevel(gs_.level);
        drawScreenScene(c, stage, static_cast<std::uint32_t>(gs_.level + 53));

        const double k = resultCompactFactor(c);
        const double cx = c.w / 2;
        const double y0 = c.s(90 * k);
        drawTextCentered(c.cr, cx, y0, i18n::tr("tarnwick.gameOver"),
                         resultText(c, c.s(40 * k), kHeadlineColor, true));
        drawResultMascot(c, Mood::Worried, Trick::None, 1e9);
        const double columnEnd = drawColumn(c, y0 + resultSize(c, 52));

        const auto buttons = resultButtons(c, columnEnd);
        if (menuButton(c, buttons[0], i18n::tr("tarnwick.retry"), true)) {
            GameState again;
            again.kind = ScreenKind::Playing;
            again.level = gs_.level;
            again.arcade = gs_.arcade;
            again.seed = freshGameSeed();
            Game::instance().replace(again);
            return;
        }
        const std::string second = i18n::tr(gs_.arcade ? "menu.highscores" : "menu.levelSelect");
        if (menuButton(c, buttons[1], second, false)) {
            if (gs_.arcade)
                Game::instance().push(kindOnly(ScreenKind::HighScores));
            else
                openLevelSelect();
            return;
        }
        if (menuButton(c, buttons[2], i18n::tr("solved.toMenu"), false) || c.in.hasKey(SDLK_ESCAPE))
            Game::instance().resetTo(kindOnly(ScreenKind::Menu));
    }

  private:
    static GameState kindOnly(ScreenKind kind) {
        GameState s;
        s.kind = kind;
        return s;
    }

    // A level started from the level select left that screen below this one; going back
    // to it must not stack a second copy, or Back would lead from the level select to the
    // level select.
    static void openLevelSelect() {
        Game& game = Game::instance();
        const auto& stack = game.stack();
        if (stack.size() >= 2 && stack[stack.size() - 2].kind == ScreenKind::LevelSelect)
            game.pop();
        else
            game.replace(kindOnly(ScreenKind::LevelSelect));
    }

    // The score block under the headline, starting at y; returns where it ends.
    double drawColumn(Ctx& c, double y) {
        const double cx = c.w / 2;
        if (gs_.arcade && gs_.score >= 1 && gs_.score >= gs_.highScore) {
            drawTextCentered(c.cr, cx, y, i18n::tr("arcade.newHigh"),
                             resultText(c, resultSize(c, 22), kGold, true));
            y += resultSize(c, 38);
        }
        drawTextCentered(c.cr, cx, y, i18n::tr(gs_.arcade ? "arcade.yourScore" : "tarnwick.score"),
                         resultText(c, resultSize(c, 14), kDimLilac, false));
        y += resultSize(c, 28);
        drawTextCentered(c.cr, cx, y, std::to_string(gs_.score),
                         resultText(c, resultSize(c, 34), kWhite, true));
        y += resultSize(c, 34);
        const std::string line =
            gs_.arcade ? i18n::tr("gameover.bestLine", {{"n", std::to_string(gs_.highScore)}})
                       : i18n::tr("gameover.levelLine", {{"n", std::to_string(gs_.level + 1)}});
        drawTextCentered(c.cr, cx, y, line, resultText(c, resultSize(c, 16), kDimLilac, false));
        y += resultSize(c, 26);
        drawTextCentered(c.cr, cx, y,
                         i18n::tr("gameover.shotsTimeLine", {{"n", std::to_string(gs_.marbles)},
                                                             {"time", formatTime(gs_.elapsedMs)}}),
                         resultText(c, resultSize(c, 15), kDimLilac, false));
        if (!gs_.arcade && gs_.starOrbsTotal > 0) {
            y += resultSize(c, 26);
            starRating(c.cr, cx, y, resultSize(c, 26), gs_.starOrbs, gs_.starOrbsTotal, 1.0);
            return y + resultSize(c, 36);
        }
        // Without a star row the last text line needs the same room below it as any other.
        return y + resultSize(c, 26);
    }

    GameState gs_;
};

}  // namespace

std::unique_ptr<Screen> makeGameOverScreen(const GameState& state) {
    return std::make_unique<GameOverScreen>(state);
}

}  // namespace ui

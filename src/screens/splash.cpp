// The splash: the animated title over the menu's landscape, the mascot and the tagline.
// It gives way to the menu after 4.5 s, or at once on any key or click, by replacing its
// own record, so the menu becomes the bottom of the stack and Back never returns here.
#include <algorithm>
#include <memory>

#include "i18n.h"
#include "theme.h"
#include "ui/app.h"
#include "ui/decor.h"
#include "ui/draw.h"
#include "ui/scene.h"
#include "ui/splashtitle.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr double kSplashSeconds = 4.5;

class SplashScreen : public Screen {
  public:
    void update(Ctx& c) override {
        if (start_ < 0) start_ = c.t;
        const double u = c.ui;
        const double W = c.w;
        const double H = c.h;
        const theme::World& world = theme::worldForStage(0);

        drawMenuScene(c);
        rain_.update(c, world);
        rain_.draw(c, world);

        const double T = std::clamp(std::min(H / 7, W / 8.5), 30 * u, 96 * u);
        title_.draw(c, W / 2, 0.44 * H, T, 0.3 * H, "Tarnwick", world.marbleColors);

        drawMascot(c, W / 2, 0.68 * H, std::min(120 * u, 0.18 * W), 0xff5fa3, Mood::Happy, 0, 0,
                   Trick::None, 1e9);

        TextStyle tag;
        tag.size = 16 * u;
        tag.alpha = 0.9;
        tag.maxWidth = W - 48 * u;
        tag.minScale = 0.6;
        const std::string text = i18n::tr("app.tagline");
        double tw = 0;
        double th = 0;
        measureText(c.cr, text, tag, &tw, &th);
        const Rect pill{W / 2 - tw / 2 - 18 * u, 0.8 * H - th / 2 - 9 * u, tw + 36 * u,
                        th + 18 * u};
        fillRoundedRect(c.cr, pill, pill.h / 2, kPanelViolet, 0.5);
        strokeRoundedRect(c.cr, pill, pill.h / 2, 1.2 * u, kWhite, 0.3);
        drawTextCentered(c.cr, W / 2, 0.8 * H, text, tag);

        footer(c, H);

        if (c.in.released || !c.in.keys.empty() || c.t - start_ > kSplashSeconds) {
            GameState menu;
            menu.kind = ScreenKind::Menu;
            Game::instance().replace(menu);
        }
    }

  private:
    double start_ = -1;
    SplashTitle title_;
    MarbleRain rain_;
};

}  // namespace

std::unique_ptr<Screen> makeSplashScreen() {
    return std::make_unique<SplashScreen>();
}

}  // namespace ui

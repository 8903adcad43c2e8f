// The main menu: the landscape with its marble rain, the animated title, the tagline, one
// column of eight buttons built from the store every frame, and the mascot beside them.
// It sits at the bottom of the navigation stack; every entry pushes its screen on top, so
// Back always returns here, and Escape here ends the game.
#include "screens/menu.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "i18n.h"
#include "theme.h"
#include "ui/app.h"
#include "ui/decor.h"
#include "ui/draw.h"
#include "ui/gpu.h"
#include "ui/scene.h"
#include "ui/splashtitle.h"
#include "ui/widgets.h"

namespace ui {
namespace {

constexpr double kArcadeScale = 1.26;  // the arcade button against an ordinary one
constexpr std::uint32_t kMascotPink = 0xff5fa3;

std::string numberText(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", n);
    return buf;
}

std::uint32_t freshSeed() {
    return static_cast<std::uint32_t>(store::nowMs() & 0x7fffffff);
}

// Pushes the entry's screen, or asks the program to end. A new arcade run takes the place
// of whatever game was interrupted, so it goes through the question.
void perform(Ctx& c, MenuAction action, NewGameQuestion& question) {
    GameState s;
    switch (action) {
        case MenuAction::Arcade:
            s.kind = ScreenKind::Playing;
            s.arcade = true;
            s.seed = freshSeed();
            question.request(s);
            return;
        case MenuAction::Resume: {
            const store::SavedGame& g = store::savedGame();
            s.kind = ScreenKind::Playing;
            s.level = g.level;
            s.seed = g.seed;
            s.arcade = g.arcade;
            s.resume = true;
            break;
        }
        case MenuAction::LevelSelect:
            s.kind = ScreenKind::LevelSelect;
            break;
        case MenuAction::ContinueLevel:
            s.kind = ScreenKind::Playing;
            s.level = std::clamp(store::unlockedLevel() - 1, 0, 99);
            s.seed = freshSeed();
            break;
        case MenuAction::Ending:
            s.kind = ScreenKind::Ending;
            break;
        case MenuAction::HighScores:
            s.kind = ScreenKind::HighScores;
            break;
        case MenuAction::Gallery:
            s.kind = ScreenKind::Gallery;
            break;
        case MenuAction::Settings:
            s.kind = ScreenKind::Settings;
            break;
        case MenuAction::About:
            s.kind = ScreenKind::About;
            break;
        case MenuAction::Quit:
            c.quitRequested = true;
            return;
    }
    Game::instance().push(s);
}

class MenuScreen : public Screen {
  public:
    void update(Ctx& c) override {
        const theme::World& world = theme::worldForStage(0);
        drawMenuScene(c);
        profBegin("menu.rain");
        rain_.update(c, world);
        rain_.draw(c, world);
        profEnd("menu.rain");
        question_.hold(c);

        const std::vector<MenuItem> items = menuItems(store::savedGame(), store::unlockedLevel());
        const int n = static_cast<int>(items.size());
        const MenuLayout L = menuLayout(c.w, c.h, c.ui, n);

        profBegin("menu.title");
        const double rainH = std::max(std::min(L.titleBaseY - c.s(6), 0.16 * c.h), 30.0 * c.ui);
        title_.draw(c, c.w / 2, L.titleBaseY, L.titleSize, rainH, "Tarnwick", world.marbleColors);
        profEnd("menu.title");

        profBegin("menu.tag");
        TextStyle tag;
        tag.size = L.tagSize;
        tag.alpha = 0.85;
        tag.maxWidth = c.w - c.s(48);
        drawTextCentered(c.cr, c.w / 2, L.tagY, i18n::tr("app.tagline"), tag);
        profEnd("menu.tag");

        if (c.in.hasKey(SDLK_ESCAPE)) c.quitRequested = true;

        double y = L.firstY;
        for (const MenuItem& item : items) {
            const bool arcade = item.action == MenuAction::Arcade;
            const double bh = arcade ? kArcadeScale * L.buttonH : L.buttonH;
            const Rect r{L.columnX, y, L.columnW, bh};
            const char* label = arcade ? "menu.arcadeBtn" : "menu.btn";
            profBegin(label);
            const bool clicked = arcade ? arcadeStartButton(c, r, item.label, item.sub)
                                        : menuButton(c, r, item.label, false);
            profEnd(label);
            if (clicked) {
                perform(c, item.action, question_);
                return;
            }
            y += bh + L.gap;
        }

        const double m = std::min({0.22 * c.h, 0.16 * c.w, c.s(130)});
        if (L.columnX + L.columnW + 1.4 * m < c.w && m > c.s(50)) {
            const double mx = L.columnX + L.columnW + 0.8 * m;
            const double my = std::min(c.h - 0.55 * m, y + 0.2 * m);
            const double lookX = std::clamp((c.in.mouseX - mx) / (c.w / 2), -1.0, 1.0);
            const double lookY = std::clamp((c.in.mouseY - my) / (c.h / 2), -1.0, 1.0);
            drawMascot(c, mx, my, m, kMascotPink, Mood::Happy, lookX, lookY, Trick::None, 1e9);
        }
        footer(c, c.h);
        question_.ask(c);
    }

  private:
    SplashTitle title_;
    MarbleRain rain_;
    NewGameQuestion question_;
};

}  // namespace

bool NewGameQuestion::request(const GameState& s) {
    if (!store::hasSavedGame()) {
        asking_ = false;
        Game::instance().push(s);
        return true;
    }
    start_ = s;
    asking_ = true;
    return false;
}

void NewGameQuestion::hold(Ctx& c) {
    held_ = c.in;
    if (!asking_) return;
    c.in = Input{};
    c.in.mouseX = -1e9;
    c.in.mouseY = -1e9;
}

bool NewGameQuestion::ask(Ctx& c) {
    using i18n::tr;
    c.in = held_;
    if (!asking_) return false;
    const store::SavedGame& saved = store::savedGame();
    const std::string game = saved.arcade
                                 ? tr("tarnwick.arcade")
                                 : tr("levels.tileLevel", {{"n", numberText(saved.level + 1)}});
    const int answer =
        confirmDialog(c, tr("common.newGame"), tr("common.savedGameLost", {{"game", game}}),
                      tr("common.ok"), tr("common.cancel"));
    if (answer == 0) return false;
    asking_ = false;
    if (answer < 0) return false;
    store::clearGame();
    Game::instance().push(start_);
    return true;
}

std::vector<MenuItem> menuItems(const store::SavedGame& saved, int unlocked) {
    using i18n::tr;
    std::vector<MenuItem> items;
    items.push_back({tr("menu.play"), tr("menu.arcade"), MenuAction::Arcade});
    if (saved.valid) {
        const std::string label = saved.arcade
                                      ? tr("menu.resumeArcade")
                                      : tr("menu.continue", {{"n", numberText(saved.level + 1)}});
        items.push_back({label, "", MenuAction::Resume});
    }
    const bool allCleared = unlocked > 100;
    items.push_back(
        {tr(allCleared ? "menu.allCleared" : "menu.levelSelect"), "", MenuAction::LevelSelect});
    if (!saved.valid) {
        if (!allCleared)
            items.push_back({tr("menu.continue", {{"n", numberText(std::max(unlocked, 1))}}), "",
                             MenuAction::ContinueLevel});
        else
            items.push_back({tr("ending.headline"), "", MenuAction::Ending});
    }
    items.push_back({tr("menu.highscores"), "", MenuAction::HighScores});
    items.push_back({tr("menu.gallery"), "", MenuAction::Gallery});
    items.push_back({tr("menu.settings"), "", MenuAction::Settings});
    items.push_back({tr("menu.about"), "", MenuAction::About});
    items.push_back({tr("menu.quit"), "", MenuAction::Quit});
    return items;
}

MenuLayout menuLayout(double w, double h, double u, int n) {
    MenuLayout L;
    const double rows = std::max(n - 1, 0);
    double T = std::clamp(std::min(h / 8.5, w / 11), 24 * u, 64 * u);
    double g = 9 * u;
    double top = 0;
    double b = 0;
    // Small windows give up title size and gaps first, so the buttons stay easy to hit.
    for (int round = 0; round < 6; ++round) {
        top = 2.05 * T + 36 * u;
        b = (h - top - 58 * u - 16 * u - rows * g) / (rows + kArcadeScale);
        if (b >= 30 * u) break;
        g = std::max(0.8 * g, 4 * u);
        T *= 0.78;
        if (T < 20 * u) {
            T = 20 * u;
            break;
        }
    }
    b = std::clamp(b, 22 * u, 42 * u);
    L.titleSize = T;
    L.gap = g;
    L.top = top;
    L.buttonH = b;
    L.titleBaseY = 36 * u + 0.6 * (top - 36 * u);
    L.tagSize = std::min(15 * u, 0.3 * T);
    L.tagY = top - 0.9 * L.tagSize;
    L.columnW = std::min(0.34 * w, 300 * u);
    L.columnX = (w - L.columnW) / 2;
    const double column = rows * (b + g) + kArcadeScale * b;
    L.firstY = top + std::max(0.0, (h - top - 58 * u - column) / 2);
    return L;
}

std::unique_ptr<Screen> makeMenuScreen() {
    return std::make_unique<MenuScreen>();
}

}  // namespace ui

#include "screens/placeholder.h"

#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ui/draw.h"

namespace ui {
namespace {

struct MenuEntry {
    const char* label;
    GameState state;
};

GameState stateOf(ScreenKind kind) {
    GameState s;
    s.kind = kind;
    return s;
}

std::vector<MenuEntry> menuEntries() {
    GameState arcade = stateOf(ScreenKind::Playing);
    arcade.arcade = true;
    arcade.seed = 12345;
    GameState level = stateOf(ScreenKind::Playing);
    level.seed = 12345;
    return {
        {"LevelSelect", stateOf(ScreenKind::LevelSelect)},
        {"Playing", level},
        {"Arcade", arcade},
        {"HighScores", stateOf(ScreenKind::HighScores)},
        {"Gallery", stateOf(ScreenKind::Gallery)},
        {"Settings", stateOf(ScreenKind::Settings)},
        {"About", stateOf(ScreenKind::About)},
        {"Licenses", stateOf(ScreenKind::Licenses)},
    };
}

class PlaceholderScreen : public Screen {
  public:
    explicit PlaceholderScreen(const GameState& state) : state_(state) {}

    void update(Ctx& ctx) override {
        paintBackdrop(ctx);
        if (state_.kind == ScreenKind::Menu) {
            updateMenu(ctx);
        } else {
            // Everything but the menu: any click or Escape goes back.
            if (ctx.in.hasKey(SDLK_ESCAPE) || ctx.takeClick({0, 0, ctx.w, ctx.h})) leave();
        }
    }

  private:
    // The splash sits at the bottom of the stack, so leaving it means moving on.
    void leave() {
        if (state_.kind == ScreenKind::Splash)
            Game::instance().replace(stateOf(ScreenKind::Menu));
        else
            Game::instance().pop();
    }

    void paintBackdrop(Ctx& ctx) {
        cairo_t* cr = ctx.cr;
        cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, ctx.h);
        cairo_pattern_add_color_stop_rgb(sky, 0, 0.16, 0.09, 0.33);
        cairo_pattern_add_color_stop_rgb(sky, 1, 0.05, 0.02, 0.13);
        cairo_rectangle(cr, 0, 0, ctx.w, ctx.h);
        cairo_set_source(cr, sky);
        cairo_fill(cr);
        cairo_pattern_destroy(sky);

        TextStyle title;
        title.size = ctx.s(54);
        title.bold = true;
        title.maxWidth = ctx.w * 0.9;
        const double titleY = state_.kind == ScreenKind::Menu ? ctx.h * 0.16 : ctx.h * 0.42;
        drawTextCentered(ctx.cr, ctx.w / 2, titleY, screenKindName(state_.kind), title);

        TextStyle note;
        note.size = ctx.s(18);
        note.color = 0xCFC4F2;
        note.maxWidth = ctx.w * 0.9;
        char line[160];
        std::snprintf(line, sizeof line, "%sLevel %d  ·  Seed %u  ·  Stack %zu",
                      state_.arcade ? "Arcade  ·  " : "", state_.level + 1,
                      static_cast<unsigned>(state_.seed), Game::instance().stack().size());
        drawTextCentered(ctx.cr, ctx.w / 2, titleY + ctx.s(52), line, note);
        if (state_.kind != ScreenKind::Menu)
            drawTextCentered(ctx.cr, ctx.w / 2, titleY + ctx.s(84), "Esc / Klick: zurück", note);
    }

    // The menu's stand-in lists every other screen; a number key or a click opens it.
    void updateMenu(Ctx& ctx) {
        const std::vector<MenuEntry> entries = menuEntries();
        const double rowH = ctx.s(44);
        const double rowW = ctx.s(360);
        const double top = ctx.h * 0.16 + ctx.s(110);
        TextStyle label;
        label.size = ctx.s(20);
        label.bold = true;
        label.maxWidth = rowW - ctx.s(20);
        int chosen = -1;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Rect row{ctx.w / 2 - rowW / 2, top + static_cast<double>(i) * rowH * 1.15, rowW,
                           rowH};
            const bool hot = ctx.hover(row);
            fillRoundedRect(ctx.cr, row, rowH / 2, hot ? 0x6A4FD0 : 0x3B2A7A, 0.92);
            char text[64];
            std::snprintf(text, sizeof text, "%zu  %s", i + 1, entries[i].label);
            drawTextCentered(ctx.cr, row.x + row.w / 2, row.y + row.h / 2, text, label);
            if (ctx.takeClick(row)) chosen = static_cast<int>(i);
            if (ctx.in.hasKey(SDLK_1 + static_cast<int>(i))) chosen = static_cast<int>(i);
        }
        if (chosen >= 0) {
            Game::instance().push(entries[static_cast<size_t>(chosen)].state);
        } else if (ctx.in.hasKey(SDLK_ESCAPE)) {
            ctx.quitRequested = true;
        }
    }

    GameState state_;
};

}  // namespace

const char* screenKindName(ScreenKind kind) {
    static constexpr const char* kNames[] = {
        "Splash", "Menu",       "LevelSelect", "Playing",  "Solved", "GameOver",
        "Ending", "HighScores", "Gallery",     "Settings", "About",  "Licenses",
    };
    const int k = static_cast<int>(kind);
    return k >= 0 && k < 12 ? kNames[k] : "?";
}

std::unique_ptr<Screen> makePlaceholderScreen(const GameState& state) {
    return std::make_unique<PlaceholderScreen>(state);
}

}  // namespace ui

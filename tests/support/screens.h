// What the screen tests share: a store of their own, a screen opened over another, and
// clicks on a screen's controls where the latest frame offered them to keyboard focus.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "core/storage.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "ui/app.h"
#include "ui/draw.h"

namespace testsupport {

// A fresh store in a folder of its own with levels 1..unlocked playable; returns the folder.
inline std::string openStore(const std::string& name, int unlocked = 1) {
    const std::string dir = freshDir(name);
    store::openAt(dir);
    store::advanceUnlockedLevel(unlocked);
    return dir;
}

// The navigation stack: below, with top above it (shown from the next frame).
inline void openOver(ui::ScreenKind below, const ui::GameState& top) {
    ui::Game::instance().resetTo({.kind = below});
    ui::Game::instance().push(top);
}

// The kinds on the navigation stack, bottom first.
inline std::vector<ui::ScreenKind> stackKinds() {
    std::vector<ui::ScreenKind> kinds;
    for (const ui::GameState& s : ui::Game::instance().stack()) kinds.push_back(s.kind);
    return kinds;
}

// Control i of the latest frame in the screen's focus order (from the end when negative);
// a rectangle outside the window when there is no such control.
inline ui::Rect control(Headless& h, int i) {
    const auto& slots = h.ctx().focus.slots;
    const int n = static_cast<int>(slots.size());
    if (i < 0) i += n;
    return i < 0 || i >= n ? ui::Rect{-100, -100, 1, 1} : slots[static_cast<size_t>(i)].r;
}

inline void clickOn(Headless& h, const ui::Rect& r, double t) {
    h.click(r.x + r.w / 2, r.y + r.h / 2, t);
}

// The texts one frame at time t draws, in drawing order.
inline std::vector<std::string> textsDrawn(Headless& h, double t) {
    ui::recordDrawnTexts(true);
    h.frame(t);
    std::vector<std::string> texts;
    for (const ui::DrawnText& d : ui::drawnTexts()) texts.push_back(d.text);
    ui::recordDrawnTexts(false);
    return texts;
}
inline bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

}  // namespace testsupport

// A stand-in for a screen that is not built yet: it names its kind and goes back with
// Escape or a click. The menu's stand-in also opens every other screen, so the whole
// stack can be walked before the real screens exist.
#pragma once

#include <memory>

#include "ui/app.h"

namespace ui {

// The display name of a kind ("Menu", "LevelSelect", ...); "?" outside the table.
const char* screenKindName(ScreenKind kind);

// A placeholder for state.kind.
std::unique_ptr<Screen> makePlaceholderScreen(const GameState& state);

}  // namespace ui

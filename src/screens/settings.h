// Where the settings screen puts its controls, so that the screen and whoever drives it
// (the tests, a pointer script) agree on one layout. The screen itself is built by
// makeSettingsScreen (ui/app.h).
#pragma once

#include <vector>

#include "ui/app.h"

namespace ui {

struct SettingsLayout {
    Rect viewport;        // the scrolling area under the header
    double contentH = 0;  // height of everything that scrolls, for the scroll range
    double x = 0;         // the content column
    double cw = 0;
    Rect sound;
    Rect musicVolume;
    Rect sfxVolume;
    Rect aimGuide;
    Rect fullscreen;
    Rect marbleSymbols;
    int columns = 0;          // of the language grid: 3 on a wide column, else 2
    std::vector<Rect> cells;  // "System" first, then every language in catalogue order
    Rect reset;
};

// The layout for a canvas of c's size and scale, a header headerH tall and the content
// scrolled up by scroll; rectangles are in window units and may lie outside the viewport.
SettingsLayout settingsLayout(const Ctx& c, double headerH, double scroll);

}  // namespace ui

// Stand-in until the real screen is built: names its kind and goes back on Escape or a click.
#include "screens/placeholder.h"

namespace ui {

std::unique_ptr<Screen> makeLevelSelectScreen() {
    GameState s;
    s.kind = ScreenKind::LevelSelect;
    return makePlaceholderScreen(s);
}

}  // namespace ui

// Stand-in until the real screen is built: names its kind and goes back on Escape or a click.
#include "screens/placeholder.h"

namespace ui {

std::unique_ptr<Screen> makeSettingsScreen() {
    GameState s;
    s.kind = ScreenKind::Settings;
    return makePlaceholderScreen(s);
}

}  // namespace ui

// The main menu's contents and geometry, apart from its painting so that both can be
// checked for any store state and any window: which eight entries the player sees and
// where the title, the tagline and the button column go.
#pragma once

#include <string>
#include <vector>

#include "core/storage.h"
#include "ui/app.h"

namespace ui {

// What a menu entry does; the numbers are the entries' fixed identities.
enum class MenuAction : int {
    Arcade = 1,         // discard any interrupted game, start an arcade run
    Resume = 2,         // continue the interrupted game
    LevelSelect = 3,    // open the level select
    ContinueLevel = 4,  // start the newest unlocked level afresh
    Ending = 5,         // every level cleared: show the ending again
    HighScores = 6,
    Gallery = 7,
    Settings = 8,
    About = 9,
    Quit = 10,
};

struct MenuItem {
    std::string label;
    std::string sub;  // second line, only on the arcade button
    MenuAction action = MenuAction::Quit;
};

// The eight entries in display order for the stored interrupted game and unlocked count,
// in the current language.
std::vector<MenuItem> menuItems(const store::SavedGame& saved, int unlocked);

// Where the menu's parts go in a w x h window at interface scale u, for n entries of which
// the first is the arcade button (1.26 times as tall as the others).
struct MenuLayout {
    double titleSize = 0;   // font size of the animated title
    double gap = 0;         // vertical space between buttons
    double top = 0;         // height of the title block above the buttons
    double buttonH = 0;     // height of an ordinary button, 22u .. 42u
    double titleBaseY = 0;  // base line of the title
    double tagSize = 0;     // font size of the tagline
    double tagY = 0;        // centre line of the tagline
    double columnX = 0;     // left edge of the button column
    double columnW = 0;
    double firstY = 0;  // top of the first button
};

// Shrinks title and gaps (at most six rounds) until the buttons reach 30u or the title its
// 20u floor, then centres the column in the space between title block and footer.
MenuLayout menuLayout(double w, double h, double u, int n);

// A new game that would take the place of the interrupted one waits for the player's
// word; the menu and the level select share it.
class NewGameQuestion {
  public:
    // Starts s at once (pushes it) when no game is stored and returns true; otherwise
    // keeps s for the question, which the next call of ask puts.
    bool request(const GameState& s);
    bool asking() const { return asking_; }
    // Call first in a frame: while asking, the screen's own controls see no pointer,
    // click, wheel or key, so that the dialog is the only thing the player can reach.
    void hold(Ctx& c);
    // Call last in a frame: gives the frame's input back and, while asking, draws the
    // dialog naming the stored game. OK drops the stored game and pushes the waiting
    // start (true on that frame); Cancel, Escape or a click beside the dialog forgets the
    // start and keeps the stored game.
    bool ask(Ctx& c);

  private:
    bool asking_ = false;
    GameState start_;
    Input held_;
};

}  // namespace ui

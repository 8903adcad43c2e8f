// The shell's shared types: the per-frame context handed to every screen, the input
// snapshot, the navigation records and the Game singleton that owns the stack of records
// and the one live screen built from its top.
//
// The interface is immediate-mode: a screen handles input and paints in one update(Ctx&)
// per frame. Navigation changes the stack of plain records; the live screen is rebuilt
// from the top record at the start of the next frame, so a screen that navigates still
// finishes (and may paint) the frame it is in.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

// A rectangle in logical (window) units. Left and top edges are inside, right and bottom
// edges are not.
struct Rect {
    double x = 0;
    double y = 0;
    double w = 0;
    double h = 0;
    // True when (px, py) lies inside.
    bool contains(double px, double py) const {
        return px >= x && px < x + w && py >= y && py < y + h;
    }
};

// One frame's input, filled fresh every frame by the frame loop.
struct Input {
    double mouseX = 0;  // pointer, logical units
    double mouseY = 0;
    bool mouseDown = false;    // left button held now
    bool pressed = false;      // left button went down this frame
    bool released = false;     // left button went up this frame
    bool doubleClick = false;  // this frame's release came < 0.3 s after the previous one
    bool rightPressed = false;
    bool middleDown = false;
    double wheel = 0;   // vertical wheel steps this frame, positive away from the user
    double dragDx = 0;  // pointer movement since the previous frame
    double dragDy = 0;
    std::vector<int> keys;  // SDL key codes pressed this frame, in event order
    bool ctrl = false;
    bool shift = false;
    double aimRate = 0;       // turn of the aim a game controller asks for, rad/s, + clockwise
    bool padRemoved = false;  // a game controller was unplugged this frame

    // True when key was pressed this frame.
    bool hasKey(int key) const;
};

// Drag-scroll state that outlives a frame; the scroll widgets own its meaning.
struct ScrollDrag {
    bool active = false;
    double moved = 0;
    double velocity = 0;
    double* target = nullptr;
};

// One control offered to keyboard focus in a frame.
struct FocusSlot {
    Rect r;
    bool sideways = false;  // the control uses Left and Right itself (a slider)
};

// Keyboard focus, carried from frame to frame. Controls offer themselves every frame in
// reading order; the keys of a frame act on the order of the frame before, which a screen
// repeats as long as it shows the same controls. A new screen starts on its main control.
struct Focus {
    int index = -1;         // the focused control's place in the order; -1 until chosen
    bool visible = false;   // the ring shows: a key was used since the pointer last moved
    bool activate = false;  // the focused control is activated this frame
    bool nextMain = false;  // the next control offered is the screen's main control
    int main = -1;          // this frame's main control
    int modalFrom = -1;     // this frame's first control of a modal dialog
    int prevMain = -1;
    int prevModalFrom = -1;
    std::vector<FocusSlot> slots;  // this frame's controls
    std::vector<FocusSlot> prev;   // the previous frame's
    double lastX = -1;             // the pointer at the previous frame
    double lastY = -1;
};

// The context of one frame. One object lives for the whole run; the frame loop refreshes
// every field but quitRequested, scrollDrag and away each painted frame.
struct Ctx {
    cairo_t* cr = nullptr;  // the overlay canvas, already scaled to logical units
    double w = 0;           // logical window size
    double h = 0;
    double t = 0;   // seconds since start
    double dt = 0;  // seconds since the previous painted frame, at most 0.1
    Input in;
    bool quitRequested = false;  // set by a screen to end the program after this frame
    bool clickUsed = false;      // a control took this frame's click
    ScrollDrag scrollDrag;
    // The window lost the keyboard focus, or was minimised or hidden, and has not come
    // back yet. Kept across frames (also frames that are not painted) until it returns.
    bool away = false;
    double ui = 1.0;  // layout scale, min(w / 1280, h / 720) clamped to 0.72 .. 2.0

    // v in layout units: v * ui.
    double s(double v) const { return v * ui; }
    // True when the window is small for its scale; screens then use their tighter layout.
    bool compact() const;
    // True once per frame for the first control whose rectangle holds the pointer when
    // the left button is released; consumes the click.
    bool takeClick(const Rect& r);
    // True when the right button went down this frame inside r; consumes nothing.
    bool takeRightClick(const Rect& r) const;
    // True when the pointer is inside r.
    bool hover(const Rect& r) const;

    Focus focus;
    // Offers a control at r to keyboard focus; true when it has the focus this frame.
    // sideways: the control takes Left and Right itself instead of moving focus.
    bool focusable(const Rect& r, bool sideways = false);
    // The whole behaviour of a clickable control: offers it to focus and returns true once
    // when it is clicked (takeClick) or activated by key while focused. A click also moves
    // the focus to it.
    bool takeControl(const Rect& r);
    // Makes the next control offered the one where focus starts on this screen.
    void mainControl() { focus.nextMain = true; }
    // Starts a modal dialog: while it shows, focus stays on controls offered after this.
    void modal() { focus.modalFrom = static_cast<int>(focus.slots.size()); }
};

// Moves and activates focus from this frame's keys against the previous frame's controls;
// navigation keys it uses are taken out of Ctx::in.keys. Runs before the screen.
void focusBeginFrame(Ctx& c);
// Settles where focus is (the main control when none was chosen or it went away) and
// paints the ring when it is visible. Runs after the screen, on its canvas.
void focusEndFrame(Ctx& c);
// Forgets focus: the next frame starts on its screen's main control.
void focusReset(Ctx& c);

// Screen kinds; the numbers are part of crash reports and must not change.
enum class ScreenKind : int {
    Splash = 0,
    Menu = 1,
    LevelSelect = 2,
    Playing = 3,
    Solved = 4,
    GameOver = 5,
    Ending = 6,
    HighScores = 7,
    Gallery = 8,
    Settings = 9,
    About = 10,
    Licenses = 11,
};

// One navigation record. Everything a screen hands to the next travels in here; a default
// record means the splash screen.
struct GameState {
    ScreenKind kind = ScreenKind::Splash;
    int level = 0;  // campaign level index 0..99
    std::uint32_t seed = 0;
    bool arcade = false;
    bool resume = false;  // continue the stored interrupted game
    int marbles = 0;      // shots of a finished game, for the result screens
    int score = 0;
    std::int64_t elapsedMs = 0;
    int starOrbs = 0;
    int starOrbsTotal = 0;
    int highScore = 0;          // arcade: best score of the table after the run
    bool forcePerfect = false;  // ending: show it as if every star was earned
};

// A live screen: handles input and paints itself once per frame.
class Screen {
  public:
    virtual ~Screen() = default;
    virtual void update(Ctx& ctx) = 0;
};

// Factories, one per kind; each screen class is private to its own source file.
std::unique_ptr<Screen> makeSplashScreen();
std::unique_ptr<Screen> makeMenuScreen();
std::unique_ptr<Screen> makeLevelSelectScreen();
std::unique_ptr<Screen> makePlayingScreen(const GameState& state);
std::unique_ptr<Screen> makeSolvedScreen(const GameState& state);
std::unique_ptr<Screen> makeGameOverScreen(const GameState& state);
std::unique_ptr<Screen> makeEndingScreen(bool forcePerfect);
std::unique_ptr<Screen> makeHighScoresScreen();
std::unique_ptr<Screen> makeGalleryScreen();
std::unique_ptr<Screen> makeSettingsScreen();
std::unique_ptr<Screen> makeAboutScreen();
std::unique_ptr<Screen> makeLicensesScreen();

// The crash-report line for a record: "Bildschirm %d, Level %d, Seed %u, %s", at most
// 159 bytes.
std::string crashContextFor(const GameState& state);

// The navigation stack and the live screen. Every operation counts as a change, so the
// next update rebuilds the screen even when the records are equal.
class Game {
  public:
    // The one instance, created on first use with a single splash record.
    static Game& instance();

    Game();
    // Puts s on top.
    void push(const GameState& s);
    // Removes the top record unless it is the only one (then the same screen is rebuilt).
    void pop();
    // Overwrites the top record.
    void replace(const GameState& s);
    // Makes s the only record.
    void resetTo(const GameState& s);
    // Rebuilds the live screen if the stack changed, then runs it for this frame.
    void update(Ctx& ctx);
    // Builds the screen of the top record if the stack changed, without running it. Called
    // at exit: a screen records what the previous one handed on when it is built (a solved
    // level unlocks the next), so quitting in the frame a level is won keeps the win.
    void settle() { ensureScreen(); }

    // The records, bottom first; never empty.
    const std::vector<GameState>& stack() const { return stack_; }
    // The top record.
    const GameState& top() const { return stack_.back(); }
    // Number of screens built so far; lets callers see that a rebuild happened.
    int builds() const { return builds_; }

  private:
    void ensureScreen();

    std::vector<GameState> stack_;
    std::unique_ptr<Screen> screen_;
    int builtSerial_ = -1;
    int serial_ = 0;
    int builds_ = 0;
};

}  // namespace ui

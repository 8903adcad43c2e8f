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

// The context of one frame. One object lives for the whole run; the frame loop refreshes
// every field but quitRequested and scrollDrag each painted frame.
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
};

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

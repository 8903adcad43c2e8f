#include "ui/app.h"

#include <algorithm>
#include <cstdio>

#include "platform/crash.h"

namespace ui {

bool Input::hasKey(int key) const {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

bool Ctx::compact() const {
    return w < 1100 * ui || h < 640 * ui;
}

bool Ctx::takeClick(const Rect& r) {
    if (clickUsed || !in.released || !r.contains(in.mouseX, in.mouseY)) return false;
    clickUsed = true;
    return true;
}

bool Ctx::takeRightClick(const Rect& r) const {
    return in.rightPressed && r.contains(in.mouseX, in.mouseY);
}

bool Ctx::hover(const Rect& r) const {
    return r.contains(in.mouseX, in.mouseY);
}

std::string crashContextFor(const GameState& state) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "Bildschirm %d, Level %d, Seed %u, %s",
                  static_cast<int>(state.kind), state.level + 1, static_cast<unsigned>(state.seed),
                  state.arcade ? "Arcade" : "Level-Modus");
    return buf;
}

Game& Game::instance() {
    static Game game;
    return game;
}

Game::Game() {
    stack_.push_back(GameState{});
}

void Game::push(const GameState& s) {
    stack_.push_back(s);
    ++serial_;
}

void Game::pop() {
    if (stack_.size() >= 2) stack_.pop_back();
    ++serial_;
}

void Game::replace(const GameState& s) {
    stack_.back() = s;
    ++serial_;
}

void Game::resetTo(const GameState& s) {
    stack_.clear();
    stack_.push_back(s);
    ++serial_;
}

void Game::update(Ctx& ctx) {
    const int before = builds_;
    ensureScreen();
    if (builds_ != before) focusReset(ctx);
    if (screen_) screen_->update(ctx);
}

void Game::ensureScreen() {
    if (screen_ && builtSerial_ == serial_) return;
    builtSerial_ = serial_;
    const GameState top = stack_.back();
    platform::setCrashContext(crashContextFor(top).c_str());
    std::unique_ptr<Screen> next;
    switch (top.kind) {
        case ScreenKind::Splash:
            next = makeSplashScreen();
            break;
        case ScreenKind::Menu:
            next = makeMenuScreen();
            break;
        case ScreenKind::LevelSelect:
            next = makeLevelSelectScreen();
            break;
        case ScreenKind::Playing:
            next = makePlayingScreen(top);
            break;
        case ScreenKind::Solved:
            next = makeSolvedScreen(top);
            break;
        case ScreenKind::GameOver:
            next = makeGameOverScreen(top);
            break;
        case ScreenKind::Ending:
            next = makeEndingScreen(top.forcePerfect);
            break;
        case ScreenKind::HighScores:
            next = makeHighScoresScreen();
            break;
        case ScreenKind::Gallery:
            next = makeGalleryScreen();
            break;
        case ScreenKind::Settings:
            next = makeSettingsScreen();
            break;
        case ScreenKind::About:
            next = makeAboutScreen();
            break;
        case ScreenKind::Licenses:
            next = makeLicensesScreen();
            break;
        default:
            return;  // an unknown kind keeps the current screen
    }
    // The old screen goes only now, after its successor exists.
    screen_ = std::move(next);
    ++builds_;
}

}  // namespace ui

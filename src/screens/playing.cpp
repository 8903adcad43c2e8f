// The play screen. Sections, in the order a frame uses them:
//   set-up        construction of a fresh or resumed game, the per-frame layout
//   turn loop     update, input, firing, flight, refill, crushing, the end of a level
//   landing       resolveLanding: pops, drops, orbs, score, descent, win and loss
//   drawing       the field (GPU sprites) and the top bar (cairo)
#include "screens/playing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/flight.h"
#include "core/game.h"
#include "core/levels.h"
#include "core/storage.h"
#include "i18n.h"
#include "platform/audio.h"
#include "theme.h"
#include "ui/app.h"
#include "ui/bubble.h"
#include "ui/decor.h"
#include "ui/draw.h"
#include "ui/fx.h"
#include "ui/gpu.h"
#include "ui/scene.h"
#include "ui/widgets.h"

namespace ui {

namespace {

using core::Point;

constexpr double kPopStagger = 0.045;
constexpr double kSettleTime = 0.33;
constexpr double kAimReach = 4500;  // length of the aim guide's path, interface units
constexpr double kFieldAspect = 0.62;
constexpr double kPi = 3.14159265358979323846;

constexpr int kKeyEscape = 27;
constexpr int kKeySpace = 0x20;
constexpr int kKeyReturn = 13;
constexpr int kKeyP = 0x70;
constexpr int kKeyLeft = 0x40000050;
constexpr int kKeyRight = 0x4000004F;

// An image of part of the top bar kept between frames. The bar's banner changes only with
// the window, the world and the seed, its pills a few times a second at most; laying them
// out afresh every frame would cost milliseconds, compositing the image costs little.
struct CachedLayer {
    cairo_surface_t* surface = nullptr;
    std::string key;
};

// Repaints the layer with paint (a context in logical units) when key differs from the
// one it was painted for, then composites its w x h logical units at the window's corner.
template <class Paint>
void drawCachedLayer(cairo_t* target, CachedLayer& layer, std::string key, double w, double h,
                     Paint paint) {
    const double scale = ui::gpuScale() > 0 ? ui::gpuScale() : 1.0;
    key += " " + std::to_string(scale);
    if (layer.surface == nullptr || layer.key != key) {
        if (layer.surface != nullptr) cairo_surface_destroy(layer.surface);
        const int wPx = std::max(1, static_cast<int>(std::ceil(w * scale)));
        const int hPx = std::max(1, static_cast<int>(std::ceil(h * scale)));
        layer.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wPx, hPx);
        cairo_surface_set_device_scale(layer.surface, scale, scale);
        cairo_t* cr = cairo_create(layer.surface);
        paint(cr);
        cairo_destroy(cr);
        layer.key = key;
    }
    cairo_save(target);
    cairo_set_source_surface(target, layer.surface, 0, 0);
    cairo_rectangle(target, 0, 0, w, h);
    cairo_fill(target);
    cairo_restore(target);
}

struct State {
    PlayView view;
    CachedLayer banner;
    CachedLayer pills;
    bool spinRead = false;
    double forcedSpin = 0;
    bool trickRead = false;
    std::string forcedTrick;
};

State& st() {
    static State s;
    return s;
}

// PLUMBRIX_SPIN turns every resting marble by a fixed angle, to look at the marble skins.
double forcedSpin() {
    State& s = st();
    if (!s.spinRead) {
        s.spinRead = true;
        const char* v = std::getenv("PLUMBRIX_SPIN");
        s.forcedSpin = v ? std::strtod(v, nullptr) : 0.0;
        if (!std::isfinite(s.forcedSpin)) s.forcedSpin = 0.0;
    }
    return s.forcedSpin;
}

// PLUMBRIX_TRICK makes the mascot repeat one trick forever, to look at its animations.
const std::string& forcedTrick() {
    State& s = st();
    if (!s.trickRead) {
        s.trickRead = true;
        const char* v = std::getenv("PLUMBRIX_TRICK");
        s.forcedTrick = v ? v : "";
    }
    return s.forcedTrick;
}

Trick trickNamed(const std::string& name) {
    static const std::pair<const char*, Trick> kNames[] = {
        {"flip", Trick::Flip}, {"spin", Trick::Spin},     {"hop", Trick::Hop},
        {"nod", Trick::Nod},   {"eyes", Trick::Eyes},     {"wink", Trick::Wink},
        {"tongue", Trick::Tongue}, {"bubbles", Trick::Bubbles},
    };
    for (const auto& [n, t] : kNames) {
        if (name == n) return t;
    }
    return Trick::Shake;
}

std::string formatInt(const char* fmt, int a, int b = 0) {
    char buf[64];
    std::snprintf(buf, sizeof buf, fmt, a, b);
    return buf;
}

// The board panel: the world's tint fading out towards the launcher.
constexpr AlphaStop kPanelFade[] = {{0.0, 0.46}, {0.62, 0.40}, {1.0, 0.0}};
constexpr int kPanelStops = static_cast<int>(std::size(kPanelFade));

void paintBoardPanel(cairo_t* cr, void* user) {
    const auto* size = static_cast<const double*>(user);  // tint, logical w, logical h
    const std::uint32_t tint = static_cast<std::uint32_t>(size[0]);
    cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 0, size[2]);
    const double r = ((tint >> 16) & 0xFF) / 255.0;
    const double g = ((tint >> 8) & 0xFF) / 255.0;
    const double b = (tint & 0xFF) / 255.0;
    for (const AlphaStop& stop : kPanelFade)
        cairo_pattern_add_color_stop_rgba(p, stop.at, r, g, b, stop.alpha);
    cairo_set_source(cr, p);
    cairo_rectangle(cr, 0, 0, size[1], size[2]);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

class PlayingScreen : public Screen {
  public:
    explicit PlayingScreen(const GameState& gs);
    void update(Ctx& c) override;

  private:
    // set-up
    void layout(Ctx& c);
    const theme::World& world() const;
    std::uint32_t colorOf(int i) const;
    std::int64_t elapsedMs(const Ctx& c) const;
    Point cellPoint(int r, int col) const;

    // turn loop
    void handleInput(Ctx& c);
    void fireShot();
    void leave();
    core::FlightField flightField(const Ctx& c) const;
    void stepShot(Ctx& c);
    void swallowed(Ctx& c);
    void afterTurn(Ctx& c, const core::TurnEnd& end, bool landed);
    void followPack(Ctx& c, const core::TurnEnd& end);
    int remainingRows() const;
    void autoFill(Ctx& c);
    void checkObstacleCrush(Ctx& c);
    void checkWin(Ctx& c);
    void finish(Ctx& c, bool solved);
    void save(double t);

    // landing
    void resolveLanding(Ctx& c, int row, int col, int color);
    void popCluster(Ctx& c, const std::vector<core::RC>& cluster, int color);
    void dropFloaters(Ctx& c, const std::vector<core::RC>& floaters,
                      const std::vector<int>& colours, bool scored = true);
    void orbSparkles(Ctx& c, const std::vector<int>& orbs);
    void pickTrick(Ctx& c, int total);
    int shotsToDescent() const;

    // drawing
    void drawBoard(Ctx& c);
    void drawBoardPanel(double x, double y, double w, double h, std::uint32_t tint);
    void drawMarbles(Ctx& c);
    void drawAim(Ctx& c);
    int deepestRow() const;
    void drawHud(Ctx& c);
    void drawHudBanner(Ctx& c);
    void drawPills(Ctx& c, double y, double hb, bool wide);
    void paintPills(Ctx& c, double y, double hb, bool wide, const std::string& time);
    void paintHudBanner(const Ctx& c, cairo_t* cr);
    bool roundIconButton(Ctx& c, double x, double y, double d, int icon);
    void drawPauseOverlay(Ctx& c);
    void publish(const Ctx& c);

    GameState gs_;
    core::GameModel game_;  // the rules' state of this game
    std::vector<std::uint32_t> palette_;
    std::vector<core::ResolvedObstacle> allObstacles_;
    std::vector<core::ResolvedObstacle> obstacles_;
    Fx fx_;
    core::Flight shot_;  // the marble in the air, while shotActive_
    bool shotActive_ = false;
    int settleRow_ = -1, settleCol_ = -1;
    double settleSpin_ = 0;
    double settleT_ = 0;
    double aim_ = -kPi / 2;
    bool paused_ = false;
    bool finished_ = false;
    // Clock origin: elapsed play time is t - startT_. It is negative whenever the resumed
    // time exceeds how long the program has run, so "started" needs a flag of its own.
    double startT_ = 0;
    bool clockStarted_ = false;
    double lastT_ = -1.0;  // Ctx::t of the previous frame
    double fillDue_ = -1.0;
    double cheerAt_ = -100.0;
    Trick trick_ = Trick::None;
    ComboBurst combo_;
    std::int64_t resumedMs_ = 0;
    std::int64_t lastElapsed_ = 0;
    int totalRows0_ = 0;
    double hudH_ = 60;
    double fieldTop_ = 0, fieldLeft_ = 0, fieldRight_ = 0, fieldBottom_ = 0;
    double fieldW_ = 0, fieldH_ = 0;
    double R_ = 20;
    double gridW_ = 0;
    double gridX_ = 0;
    double shooterX_ = 0, shooterY_ = 0;
    double splatFloorY_ = 0;
    PlayGeometry geo_;  // all of the above as one record, for the view
    // The pointer position that last aimed the launcher: a pointer resting where it was
    // leaves the keyboard's aim alone.
    double aimMouseX_ = NAN, aimMouseY_ = NAN;
};

// ---- set-up ----------------------------------------------------------------------------

PlayingScreen::PlayingScreen(const GameState& gs) : gs_(gs) {
    const store::SavedGame& saved = store::savedGame();
    if (gs.resume && saved.valid && saved.arcade == gs.arcade) {
        game_ = store::gameModelOf(saved);
        core::resumeGame(game_);
        resumedMs_ = saved.elapsedMs;
        lastElapsed_ = saved.elapsedMs;
    } else {
        game_ = gs.arcade ? core::newArcadeGame(gs.seed) : core::newCampaignGame(gs.level, gs.seed);
        game_.level = gs.level;
    }
    // Configuration and palette follow the requested level, board and counters the save.
    game_.cfg = gs.arcade ? core::arcadeConfig(0) : core::levelConfig(gs.level);
    palette_ = gs.arcade ? theme::worldForStage(game_.cfg.stage).marbleColors
                         : theme::paletteForLevel(gs.level);
    if (palette_.empty()) palette_.push_back(0xffffff);
    totalRows0_ = core::occupiedRows(game_.board) + static_cast<int>(game_.incoming.size());
}

const theme::World& PlayingScreen::world() const {
    return gs_.arcade ? theme::worldForStage(game_.cfg.stage) : theme::worldForLevel(game_.level);
}

std::uint32_t PlayingScreen::colorOf(int i) const {
    const int n = static_cast<int>(palette_.size());
    return palette_[static_cast<size_t>(std::max(i, 0) % n)];
}

std::int64_t PlayingScreen::elapsedMs(const Ctx& c) const {
    return static_cast<std::int64_t>((c.t - startT_) * 1000.0);
}

Point PlayingScreen::cellPoint(int r, int col) const {
    const core::Point p = core::cellCenter(r, col, R_, game_.parity);
    return core::Point{p.x + gridX_, p.y + fieldTop_};
}

void PlayingScreen::layout(Ctx& c) {
    const PlayGeometry g = playLayout(c.w, c.h, c.ui, game_.cfg.rows, game_.cfg.cols);
    geo_ = g;
    hudH_ = g.hudH;
    fieldTop_ = g.fieldTop;
    fieldLeft_ = g.fieldLeft;
    fieldRight_ = g.fieldRight;
    fieldBottom_ = g.fieldBottom;
    fieldW_ = g.fieldW;
    fieldH_ = g.fieldH;
    R_ = g.R;
    gridW_ = g.gridW;
    gridX_ = g.gridX;
    shooterX_ = g.shooterX;
    shooterY_ = g.shooterY;
    splatFloorY_ = g.splatFloorY;

    obstacles_.clear();
    allObstacles_ = stageObstacles(g, game_);
    for (size_t i = 0; i < allObstacles_.size(); ++i) {
        if (!game_.destroyed.count(static_cast<int>(i))) obstacles_.push_back(allObstacles_[i]);
    }
    const int stage = gs_.arcade ? game_.cfg.stage : theme::stageForLevel(game_.level);
    drawScene(c, stage, game_.seed ^ static_cast<std::uint32_t>(game_.level));
}

// ---- turn loop -------------------------------------------------------------------------

void PlayingScreen::update(Ctx& c) {
    if (!clockStarted_) {
        startT_ = c.t - static_cast<double>(resumedMs_) / 1000.0;
        clockStarted_ = true;
    }
    layout(c);
    // A window left for another one, or an unplugged game controller, pauses the game.
    // The whole time since the previous frame is taken off the clock, not just the capped
    // frame time: a hidden window may not be painted for a while.
    if ((c.away || c.in.padRemoved) && !finished_) paused_ = true;
    if (paused_) {
        startT_ += lastT_ < 0 ? c.dt : c.t - lastT_;
    } else if (!finished_) {
        if (shotActive_) stepShot(c);
        if (!gs_.arcade) {
            autoFill(c);
            checkObstacleCrush(c);
            checkWin(c);
        }
    }
    fx_.update(c);
    profBegin("play.board");
    drawBoard(c);
    profEnd("play.board");
    profBegin("play.hud");
    drawHud(c);
    profEnd("play.hud");
    if (paused_) drawPauseOverlay(c);
    if (!finished_) handleInput(c);
    lastT_ = c.t;
    publish(c);
}

void PlayingScreen::handleInput(Ctx& c) {
    const Input& in = c.in;
    if (in.hasKey(kKeyEscape)) {
        leave();
        return;
    }
    if (in.hasKey(kKeyP)) paused_ = !paused_;
    if (paused_) {
        if ((in.released && !c.clickUsed) || in.hasKey(kKeySpace)) paused_ = false;
        return;
    }
    const bool pointerMoved = in.mouseX != aimMouseX_ || in.mouseY != aimMouseY_;
    if (pointerMoved && in.mouseY - shooterY_ < -10) {
        aim_ = std::atan2(in.mouseY - shooterY_, in.mouseX - shooterX_);
        aimMouseX_ = in.mouseX;
        aimMouseY_ = in.mouseY;
    }
    for (int k : in.keys) {
        if (k == kKeyLeft) aim_ -= 0.02;
        if (k == kKeyRight) aim_ += 0.02;
    }
    aim_ += in.aimRate * c.dt;
    aim_ = std::clamp(aim_, -kPi + 0.12, -0.12);

    const bool click = in.released && !c.clickUsed && in.mouseY > hudH_;
    const bool key = in.hasKey(kKeySpace) || in.hasKey(kKeyReturn);
    if ((click || key) && !shotActive_) fireShot();
}

void PlayingScreen::fireShot() {
    shotActive_ = true;
    shot_.carryMs = 0;
    shot_.s.x = shooterX_;
    shot_.s.y = shooterY_;
    shot_.s.vx = std::cos(aim_) * core::kShotSpeed;
    shot_.s.vy = std::sin(aim_) * core::kShotSpeed;
    shot_.s.color = game_.currentColor;
    shot_.spin = 0;
    audio::play(audio::dropForColor(game_.currentColor));
}

void PlayingScreen::leave() {
    save(0);
    Game::instance().pop();
}

core::FlightField PlayingScreen::flightField(const Ctx& c) const {
    core::FlightField f = flightFieldFor(geo_, game_);
    f.lostBelow = c.h + R_;
    return f;
}

// The marble flies in steps of fixed length, so a shot takes the same path at any frame
// rate; a stalled frame still advances it by at most 50 ms.
void PlayingScreen::stepShot(Ctx& c) {
    const double dtMs = std::min(c.dt, 0.05) * 1000.0;
    const core::FlightResult res = core::fly(shot_, dtMs, flightField(c), game_.board, obstacles_);
    for (const core::FlightBounce& b : res.bounces) {
        if (b.obstacle < 0) continue;
        audio::play(b.kind == core::ObstacleKind::Bumper ? audio::Sfx::Pickup : audio::Sfx::Click);
    }
    switch (res.end) {
    case core::FlightEnd::Flying:
        break;
    case core::FlightEnd::Landed:
        shotActive_ = false;
        profBegin("play.landing");
        resolveLanding(c, res.r, res.c, shot_.s.color);
        profEnd("play.landing");
        break;
    case core::FlightEnd::Swallowed:
        swallowed(c);
        break;
    case core::FlightEnd::Lost:
        shotActive_ = false;  // lost: not a shot, nothing changes
        break;
    }
}

// A marble swallowed by a puddle counts as a shot, and the descent it completes comes.
void PlayingScreen::swallowed(Ctx& c) {
    trick_ = Trick::Shake;
    cheerAt_ = c.t;
    audio::play(audio::Sfx::Illegal);
    shotActive_ = false;
    const core::TurnEnd end = core::swallowShot(game_);
    afterTurn(c, end, false);
}

int PlayingScreen::remainingRows() const { return core::occupiedRows(game_.board); }

void PlayingScreen::autoFill(Ctx& c) {
    if (game_.incoming.empty()) return;
    if (core::refillDue(game_) == 0) {
        fillDue_ = -1;
        return;
    }
    if (fillDue_ < 0) {
        fillDue_ = c.t + 0.6;
        return;
    }
    if (fillDue_ > c.t) return;
    fillDue_ = -1;
    const core::TurnEnd end = core::refill(game_);
    if (end.shift > 0) {
        followPack(c, end);
        audio::play(audio::Sfx::Drop0);
        if (!finished_) save(c.t);
    }
}

// The pack moved: the settling marble moves with it, and whatever the new top no longer
// holds falls.
void PlayingScreen::followPack(Ctx& c, const core::TurnEnd& end) {
    if (settleRow_ >= 0) settleRow_ += end.shift;
    if (!end.fallen.empty()) dropFloaters(c, end.fallen, end.fallenColors, false);
    orbSparkles(c, end.freedOrbs);
}

void PlayingScreen::checkObstacleCrush(Ctx& c) {
    for (int i : core::crushObstacles(game_, flightField(c), allObstacles_)) {
        const core::ResolvedObstacle& o = allObstacles_[static_cast<size_t>(i)];
        const std::uint32_t colour = o.kind == core::ObstacleKind::Bumper   ? 0xff5fa3
                                     : o.kind == core::ObstacleKind::Puddle ? 0x3a4a78
                                                                            : 0xa18a72;
        for (int k = 0; k < 18; ++k) {
            const double u1 = game_.rnd.next(), u2 = game_.rnd.next(), u3 = game_.rnd.next();
            const double a = 2 * kPi * k / 18 + 0.4 * u1;
            const double sp = (1 + 1.3 * u2) * R_;
            fx_.sparkle(o.cx, o.cy, std::cos(a) * sp, std::sin(a) * sp - 0.8 * R_, colour, c.t,
                        (0.18 + 0.22 * u3) * R_);
        }
        fx_.shockwave(o.cx, o.cy, colour, c.t, 1.0, R_);
        audio::play(audio::Sfx::Illegal);
        if (!finished_) save(c.t);
    }
}

void PlayingScreen::checkWin(Ctx& c) {
    if (!finished_ && core::levelSolved(game_)) finish(c, true);
}

// Ends the game: a campaign level solved (solved = true) or any game lost.
void PlayingScreen::finish(Ctx& c, bool solved) {
    finished_ = true;
    const std::int64_t elapsed = elapsedMs(c);
    store::clearGame();
    GameState next;
    next.marbles = game_.shots;
    next.score = game_.score;
    next.elapsedMs = elapsed;
    if (gs_.arcade) {
        const std::vector<store::ArcadeHigh>& list = store::recordArcadeHigh(
            store::ArcadeHigh{game_.score, game_.shots, elapsed, store::nowMs()});
        next.kind = ScreenKind::GameOver;
        next.arcade = true;
        next.highScore = list.empty() ? 0 : list.front().score;
    } else {
        next.kind = solved ? ScreenKind::Solved : ScreenKind::GameOver;
        next.level = game_.level;
        next.starOrbs = static_cast<int>(game_.freed.size());
        next.starOrbsTotal = static_cast<int>(game_.starOrbs.size());
        if (solved) audio::playWinFanfare();
    }
    Game::instance().replace(next);
}

void PlayingScreen::save(double t) {
    if (t > 0) lastElapsed_ = static_cast<std::int64_t>((t - startT_) * 1000.0);
    store::SavedGame g = store::savedGameOf(game_, lastElapsed_);
    g.arcade = gs_.arcade;
    store::saveGame(g);
}

// ---- landing ---------------------------------------------------------------------------

void PlayingScreen::resolveLanding(Ctx& c, int row, int col, int color) {
    const core::Placement placed = core::placeMarble(game_, row, col, color);
    settleRow_ = row;
    settleCol_ = col;
    settleSpin_ = shot_.spin;
    settleT_ = c.t;
    const Point at = cellPoint(row, col);
    fx_.shockwave(at.x, at.y, colorOf(color), c.t, 0.5, R_);

    const int popped = placed.popped ? static_cast<int>(placed.cluster.size()) : 0;
    const int dropped = static_cast<int>(placed.floaters.size());
    if (placed.popped) {
        const int total = popped + dropped;
        popCluster(c, placed.cluster, color);
        dropFloaters(c, placed.floaters, placed.floaterColors);
        orbSparkles(c, placed.freedOrbs);
        if (!placed.freedOrbs.empty()) audio::play(audio::Sfx::Pickup);
        audio::play(audio::dropForColor(color));
        if (total > 5) {
            audio::play(audio::Sfx::Pickup);
        } else if (total >= 4) {
            audio::play(audio::Sfx::Click);
        }
        pickTrick(c, total);
        if (total >= 6 || popped >= 5) {
            combo_.trigger(c, formatInt("%d\u00d7 COMBO", total),
                           i18n::tr("tarnwick.comboScore", {{"n", std::to_string(placed.earned)}}),
                           total >= 9 ? 0xffd700 : 0xff5fa3);
        }
    } else {
        audio::play(audio::Sfx::Pickup);
    }

    if (placed.earned > 0) {
        const int n = popped;
        const std::uint32_t tone = n >= 7 ? 0xff3366 : n >= 5 ? 0xff5fa3 : n == 4 ? 0xffb300
                                                                                : 0xffffff;
        fx_.popup(at.x, at.y, formatInt("%d MATCH!  +%d", n, placed.earned), tone, c.t, n >= 5);
    }
    afterTurn(c, core::endTurn(game_, placed.popped), true);
}

// What follows every counted shot: the pack's descent or the arcade's fresh rows with
// their sounds, the save, and the verdict.
void PlayingScreen::afterTurn(Ctx& c, const core::TurnEnd& end, bool landed) {
    if (end.shift > 0) followPack(c, end);
    if (end.rowEntered || (end.descended && game_.arcade)) audio::play(audio::Sfx::Drop0);
    if (end.respawned) audio::play(audio::Sfx::Drop2);
    profBegin("play.save");
    if (!finished_) save(landed ? c.t : 0);
    profEnd("play.save");
    if (end.lost && !finished_) {
        finish(c, false);
        return;
    }
    if (end.won && !finished_) finish(c, true);
}

void PlayingScreen::popCluster(Ctx& c, const std::vector<core::RC>& cluster, int color) {
    const std::uint32_t colour = colorOf(color);
    const int skin = static_cast<int>(world().marbleSkin);
    const int n = cluster.size() <= 6 ? 9 : 6;
    for (size_t i = 0; i < cluster.size(); ++i) {
        const double born = c.t + static_cast<double>(i) * kPopStagger;
        const Point p = cellPoint(cluster[i].r, cluster[i].c);
        fx_.popGhost(p.x, p.y, colour, skin, born, 0.96 * R_, marbleSymbol(color));
        for (int k = 0; k < n; ++k) {
            const double u1 = game_.rnd.next(), u2 = game_.rnd.next(), u3 = game_.rnd.next();
            const double a = 2 * kPi * k / n + 0.5 * u1;
            const double sp = (6 + 8 * u2) * R_;
            fx_.droplet(p.x, p.y, std::cos(a) * sp, std::sin(a) * sp - 3 * R_, colour, born,
                        (0.16 + 0.18 * u3) * R_);
        }
        for (int k = 0; k < 5; ++k) {
            const double u1 = game_.rnd.next(), u2 = game_.rnd.next(), u3 = game_.rnd.next();
            const double a = 2 * kPi * k / 5 + 0.6 * u1;
            const double sp = (0.6 + 1.4 * u2) * R_;
            fx_.sparkle(p.x, p.y, std::cos(a) * sp, std::sin(a) * sp - 0.5 * R_, colour, born,
                        (0.12 + 0.16 * u3) * R_);
        }
        fx_.shockwave(p.x, p.y, colour, born, 0.6, R_);
    }
}

void PlayingScreen::dropFloaters(Ctx& c, const std::vector<core::RC>& floaters,
                                 const std::vector<int>& colours, bool scored) {
    // Groups by colour, largest first; equal sizes keep ascending colour.
    std::vector<std::pair<int, std::vector<size_t>>> groups;
    const std::set<int> distinct(colours.begin(), colours.end());
    for (int colour : distinct) {
        std::vector<size_t> members;
        for (size_t i = 0; i < colours.size(); ++i) {
            if (colours[i] == colour) members.push_back(i);
        }
        groups.emplace_back(colour, std::move(members));
    }
    std::stable_sort(groups.begin(), groups.end(), [](const auto& a, const auto& b) {
        return a.second.size() > b.second.size();
    });
    const int skin = static_cast<int>(world().marbleSkin);
    for (size_t g = 0; g < groups.size(); ++g) {
        const double born = c.t + 0.18 * static_cast<double>(g);
        const std::uint32_t colour = colorOf(groups[g].first);
        double sx = 0, sy = 0;
        for (size_t i : groups[g].second) {
            const Point p = cellPoint(floaters[i].r, floaters[i].c);
            const double u = game_.rnd.next();
            fx_.fallingBubble(p.x, p.y, (u - 0.5) * R_ * 1.6, colour, skin, born, splatFloorY_,
                              0.96 * R_, marbleSymbol(groups[g].first));
            sx += p.x;
            sy += p.y;
        }
        const int size = static_cast<int>(groups[g].second.size());
        const std::string text =
            "+" + std::to_string(size) + " " + (size > 3 ? "CASCADE" : "DROP");
        if (scored) fx_.popup(sx / size, sy / size, text, colour, born, size >= 4);
    }
}

// Gold sparkles from each freed orb's cell.
void PlayingScreen::orbSparkles(Ctx& c, const std::vector<int>& orbs) {
    for (int i : orbs) {
        const core::RC o = game_.starOrbs[static_cast<size_t>(i)];
        const Point p = cellPoint(o.r, o.c);
        for (int k = 0; k < 14; ++k) {
            const double a = 2 * kPi * k / 14;
            const double sp = (1.2 + 1.2 * game_.rnd.next()) * R_;
            fx_.sparkle(p.x, p.y, std::cos(a) * sp, std::sin(a) * sp - 0.6 * R_, 0xffd700, c.t,
                        0.2 * R_);
        }
    }
}

void PlayingScreen::pickTrick(Ctx& c, int total) {
    cheerAt_ = c.t;
    if (total >= 9) {
        trick_ = Trick::Spin;
        return;
    }
    const double u = game_.rnd.next();
    if (total <= 3) {
        trick_ = u < 0.28 ? Trick::Nod : u < 0.5 ? Trick::Eyes : u < 0.76 ? Trick::Wink
                                                                          : Trick::Tongue;
    } else if (total <= 5) {
        trick_ = u < 0.4 ? Trick::Hop : u < 0.7 ? Trick::Flip : Trick::Bubbles;
    } else {
        trick_ = u < 0.7 ? Trick::Flip : Trick::Bubbles;
    }
}

int PlayingScreen::shotsToDescent() const { return core::shotsToDescent(game_); }

// ---- drawing: the field ----------------------------------------------------------------

void PlayingScreen::drawBoardPanel(double x, double y, double w, double h, std::uint32_t tint) {
    if (gpuFillFade(x, y, w, h, tint, kPanelFade, kPanelStops)) return;
    const double scale = gpuScale();
    const int wPx = std::max(1, static_cast<int>(std::lround(w * scale)));
    const int hPx = std::max(1, static_cast<int>(std::lround(h * scale)));
    char key[64];
    std::snprintf(key, sizeof key, "game_.board%06x_%dx%d", tint & 0xffffffu, wPx, hPx);
    double look[3] = {static_cast<double>(tint), w, h};
    SDL_Texture* tex = gpuTexture(key, wPx, hPx, paintBoardPanel, look);
    gpuBlit(tex, x, y, w, h, 1.0);
}

void PlayingScreen::drawBoard(Ctx& c) {
    const theme::World& w = world();
    const double t = c.t;

    // 1. panel
    const double pad = std::max(0.45 * R_, c.s(10));
    const double topPad = std::max(0.28 * R_, c.s(6));
    const double panelX = gridX_ - pad;
    const double panelW = gridW_ + 2 * pad;
    drawBoardPanel(panelX, fieldTop_ - topPad, panelW, fieldBottom_ - (fieldTop_ - topPad),
                   w.boardTint);

    // 2. ceiling bar, at the row the pack hangs from (the space it has come down through
    // is shaded); amber on the shot before a descent
    const double ceilY = fieldTop_ + game_.ceilingRow * core::kSqrt3 * R_;
    if (game_.ceilingRow > 0) {
        gpuFillRect(panelX, fieldTop_ - topPad, panelW, ceilY - (fieldTop_ - topPad),
                    theme::darken(w.boardTint, 0.55), 0.55);
    }
    if (shotsToDescent() == 1) {
        gpuFillRect(panelX, ceilY - c.s(4), panelW, c.s(3), 0xffb300,
                    0.55 + 0.45 * (0.55 + 0.45 * std::sin(6 * t)));
    } else {
        gpuFillRect(panelX, ceilY - c.s(4), panelW, c.s(3), theme::lighten(w.glowColor, 0.4),
                    0.65);
    }

    // 3. danger zone
    const double yd = fieldTop_ + core::cellCenter(game_.cfg.lossRow, 0, R_, game_.parity).y;
    const double p = 0.72 + 0.28 * std::sin(3.2 * t);
    if (fieldBottom_ > yd) gpuFillRect(gridX_, yd, gridW_, fieldBottom_ - yd, 0x5a0018, 0.18 * p);
    gpuFillRect(gridX_, yd - c.s(4), gridW_, c.s(8), 0x5a0018, 0.55 * p);
    gpuFillRect(gridX_, yd - c.s(2), gridW_, c.s(4), 0xff2d55, 0.75 * p);
    const double dashEnd = gridX_ + gridW_ - c.s(3);
    for (double x = gridX_ + c.s(3); x < dashEnd; x += c.s(21)) {
        gpuFillRect(x, yd - c.s(1.5), std::min(c.s(12), dashEnd - x), c.s(3), 0xfff2f5, 0.95 * p);
    }

    // 4. obstacles
    for (const core::ResolvedObstacle& o : obstacles_) {
        const int kind = o.kind == core::ObstacleKind::Bumper   ? 1
                         : o.kind == core::ObstacleKind::Puddle ? 2
                                                                : 0;
        drawObstacle(kind, o.cx, o.cy, o.cr, t);
    }

    // 5. resting marbles, 6. orbs
    drawMarbles(c);
    for (size_t i = 0; i < game_.starOrbs.size(); ++i) {
        if (game_.freed.count(static_cast<int>(i))) continue;
        const core::RC o = game_.starOrbs[i];
        if (o.r < 0 || o.r >= game_.cfg.rows || o.c < 0 || o.c >= game_.cfg.cols) continue;
        if (core::cellAt(game_.board, o.r, o.c) < 0) continue;
        const Point at = cellPoint(o.r, o.c);
        drawStarOrb(at.x, at.y, 0.62 * R_, t);
    }

    // 7. particles, 8. the flying marble
    fx_.drawGpu(c);
    if (shotActive_) {
        drawBubbleSpun(w.marbleSkin, colorOf(shot_.s.color), shot_.s.x, shot_.s.y, 0.96 * R_,
                       shot_.spin, 1.0, marbleSymbol(shot_.s.color));
    }

    // 9. aim guide, 10. launcher
    drawAim(c);
    drawShooter(c.cr, shooterX_, shooterY_, 0.9 * R_, aim_, colorOf(game_.currentColor), w,
                marbleSymbol(game_.currentColor));

    // 11. mascot
    const double m = std::max(std::min(c.s(130), 3.4 * R_), c.s(76));
    const double mx = std::max(shooterX_ - 3.2 * R_ - 0.55 * m, 0.62 * m);
    const double my = shooterY_ - 0.06 * m;
    if (!forcedTrick().empty()) {
        trick_ = trickNamed(forcedTrick());
        cheerAt_ = t - std::fmod(t, trickDuration(trick_) + 0.4);
    }
    const double age = t - cheerAt_;
    if (age < trickDuration(trick_)) {
        drawMascot(c, mx, my, m, 0xff5fa3, Mood::Happy, 0, 0, trick_, age);
    } else {
        const Mood mood = deepestRow() >= game_.cfg.lossRow - 3 ? Mood::Worried : Mood::Idle;
        drawMascot(c, mx, my, m, 0xff5fa3, mood, std::cos(aim_), 0.6 * std::sin(aim_), trick_,
                   age);
    }

    // 12. combo banner, 13. popups
    combo_.draw(c);
    fx_.drawText(c);
}

// Resting marbles, drawn colour by colour: each switch of texture costs the renderer far
// more than the blit itself, so a mixed board drawn row by row would be several times
// slower.
void PlayingScreen::drawMarbles(Ctx& c) {
    const theme::World& w = world();
    const double spin = forcedSpin();
    const double r = 0.96 * R_;
    if (settleRow_ >= 0 && (c.t - settleT_) / kSettleTime >= 1) settleRow_ = -1;
    const std::vector<int> colours = core::colorsOnBoard(game_.board);
    for (int colour : colours) {
        const std::uint32_t rgb = colorOf(colour);
        const int symbol = marbleSymbol(colour);
        for (int row = 0; row < static_cast<int>(game_.board.size()); ++row) {
            for (int col = 0; col < static_cast<int>(game_.board[row].size()); ++col) {
                if (game_.board[row][col] != colour) continue;
                if (row == settleRow_ && col == settleCol_) continue;
                const Point p = cellPoint(row, col);
                drawBubbleSpun(w.marbleSkin, rgb, p.x, p.y, r, spin, 1.0, symbol);
            }
        }
    }
    const int settling = core::cellAt(game_.board, settleRow_, settleCol_);
    if (settleRow_ >= 0 && settling >= 0) {
        const double k = (c.t - settleT_) / kSettleTime;
        const Point p = cellPoint(settleRow_, settleCol_);
        drawBubbleSpun(w.marbleSkin, colorOf(settling), p.x, p.y, r,
                       spin + settleSpin_ * (1 - k) * (1 - k), 1.0, marbleSymbol(settling));
    }
}

// The guide follows the marble's own flight: walls, obstacles, and the cell it will rest
// in (or the puddle that takes it, or where it leaves the field).
void PlayingScreen::drawAim(Ctx& c) {
    if (shotActive_ || paused_ || finished_ || !store::settings().aimGuide) return;
    if (!(std::sin(aim_) < 0)) return;
    core::ShotState start;
    start.x = shooterX_;
    start.y = shooterY_;
    start.vx = std::cos(aim_) * core::kShotSpeed;
    start.vy = std::sin(aim_) * core::kShotSpeed;
    const double reachMs = c.s(kAimReach) / core::kShotSpeed * 1000.0;
    const core::FlightTrace trace =
        core::traceFlight(start, reachMs, flightField(c), game_.board, obstacles_);
    const std::vector<Point>& path = trace.path;
    const double x = path.back().x, y = path.back().y;

    cairo_t* cr = c.cr;
    cairo_save(cr);
    const double dash[2] = {c.s(9), c.s(9)};
    cairo_set_dash(cr, dash, 2, -c.t * c.s(40));
    cairo_set_line_width(cr, c.s(3));
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, path[0].x, path[0].y);
    for (size_t i = 1; i < path.size(); ++i) cairo_line_to(cr, path[i].x, path[i].y);
    setColor(cr, 0xffffff, 0.55);
    cairo_stroke(cr);
    cairo_restore(cr);
    for (size_t i = 1; i + 1 < path.size(); ++i) {
        fillCircle(cr, path[i].x, path[i].y, c.s(4), 0xffffff, 0.6);
    }
    if (trace.result.end == core::FlightEnd::Landed) {
        const double pulse = std::sin(6 * c.t);
        strokeCircle(cr, x, y, (0.78 + 0.1 * pulse) * R_, std::max(c.s(2.5), 0.12 * R_),
                     colorOf(game_.currentColor), 0.7 + 0.2 * pulse);
    }
}

int PlayingScreen::deepestRow() const {
    for (int r = static_cast<int>(game_.board.size()) - 1; r >= 0; --r) {
        const auto& row = game_.board[static_cast<size_t>(r)];
        if (std::any_of(row.begin(), row.end(), [](int v) { return v >= 0; })) return r;
    }
    return 0;
}

// ---- drawing: the top bar --------------------------------------------------------------

void PlayingScreen::drawHudBanner(Ctx& c) {
    const double bannerH = hudH_ + c.s(16);  // room for the shadow under the scallops
    char key[160];
    std::snprintf(key, sizeof key, "%s %.3f %.3f %.3f %u", world().id.c_str(), c.w, hudH_, c.ui,
                  game_.seed);
    drawCachedLayer(c.cr, st().banner, key, c.w, bannerH,
                    [&](cairo_t* cr) { paintHudBanner(c, cr); });
}

void PlayingScreen::paintHudBanner(const Ctx& c, cairo_t* cr) {
    const theme::World& w = world();
    const std::uint32_t base = w.panelTint;
    const std::uint32_t top = w.dark ? theme::lighten(base, 0.18) : theme::lighten(base, 0.32);
    const std::uint32_t bottom = w.dark ? theme::darken(base, 0.25) : theme::darken(base, 0.08);
    const int bulges = std::max(8, static_cast<int>(std::ceil(c.w / c.s(64))));
    const double bw = c.w / bulges;
    const double bulgeR = bw / 2;
    const double body = hudH_ - 0.45 * bulgeR;

    auto bandPath = [&]() {
        cairo_new_path(cr);
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, c.w, 0);
        cairo_line_to(cr, c.w, body);
        for (int i = bulges - 1; i >= 0; --i) {
            const double cx = (i + 0.5) * bw;
            cairo_save(cr);
            cairo_translate(cr, cx, body);
            cairo_scale(cr, 1.0, 0.45);
            cairo_arc(cr, 0, 0, bulgeR, 0, kPi);
            cairo_restore(cr);
        }
        cairo_close_path(cr);
    };

    cairo_save(cr);
    bandPath();
    softShadowFromPath(cr, 0, c.s(3), c.s(8), 0x000000, 0.25);
    cairo_pattern_t* grad = cairo_pattern_create_linear(0, 0, 0, hudH_);
    const auto stop = [grad](double at, std::uint32_t rgb, double a) {
        cairo_pattern_add_color_stop_rgba(grad, at, ((rgb >> 16) & 0xFF) / 255.0,
                                          ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, a);
    };
    stop(0, top, 0.94);
    stop(1, bottom, 0.94);
    bandPath();
    cairo_set_source(cr, grad);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(grad);
    setColor(cr, theme::lighten(base, 0.55), 0.7);
    cairo_set_line_width(cr, std::max(c.s(1.5), 1.0));
    cairo_stroke(cr);

    // gloss over the top of the band
    cairo_pattern_t* gloss = cairo_pattern_create_linear(0, 0, 0, 0.62 * hudH_);
    cairo_pattern_add_color_stop_rgba(gloss, 0, 1, 1, 1, 0.28);
    cairo_pattern_add_color_stop_rgba(gloss, 1, 1, 1, 1, 0.0);
    cairo_rectangle(cr, 0, 0, c.w, 0.62 * hudH_);
    cairo_set_source(cr, gloss);
    cairo_fill(cr);
    cairo_pattern_destroy(gloss);

    // decorative dots, the same on every frame of a game
    core::Mulberry32 dots(game_.seed ^ 0x5bd1e995u);
    const int n = static_cast<int>(c.w / c.s(90)) + 4;
    for (int i = 0; i < n; ++i) {
        const double x = dots.next() * c.w;
        const double y = (0.15 + 0.6 * dots.next()) * body;
        const double r = c.s(2 + 4 * dots.next());
        fillCircle(cr, x, y, r, w.dark ? theme::lighten(base, 0.5) : 0xffffff,
                   0.10 + 0.12 * dots.next());
    }
    cairo_restore(cr);
}

// icon: 0 back chevron, 1 pause, 2 play
bool PlayingScreen::roundIconButton(Ctx& c, double x, double y, double d, int icon) {
    const Rect r{x, y, d, d};
    const bool hot = c.hover(r);
    const theme::World& w = world();
    cairo_t* cr = c.cr;
    const double cx = x + d / 2, cy = y + d / 2;
    const std::uint32_t fill = w.dark ? theme::lighten(w.panelTint, 0.12) : 0xffffff;
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy + c.s(2), d / 2, 0, 2 * kPi);
    setColor(cr, 0x000000, 0.18);
    cairo_fill(cr);
    fillCircle(cr, cx, cy, d / 2, hot ? theme::lighten(fill, 0.15) : fill, hot ? 0.98 : 0.88);
    strokeCircle(cr, cx, cy, d / 2 - c.s(1), std::max(c.s(2), 1.0), 0xff5fa3, hot ? 1.0 : 0.8);
    const std::uint32_t ink = w.dark ? 0xffffff : 0x4a2a6a;
    if (icon == 0) drawChevronIcon(cr, cx - d * 0.03, cy, 0.5 * d, 0, ink, 1.0);
    if (icon == 1) drawPauseIcon(cr, cx, cy, 0.46 * d, ink, 1.0);
    if (icon == 2) drawTriangleIcon(cr, cx + d * 0.04, cy, 0.46 * d, 1, ink, 1.0);
    cairo_restore(cr);
    return c.takeClick(r);
}

void PlayingScreen::drawHud(Ctx& c) {
    const theme::World& w = world();
    cairo_t* cr = c.cr;
    drawHudBanner(c);

    const double hb = c.s(c.compact() ? 34 : 44);
    const double y = (hudH_ - hb) / 2 - c.s(2);
    const bool wide = c.w > c.s(760);

    if (roundIconButton(c, c.s(12), y, hb, 0)) {
        audio::play(audio::Sfx::Click);
        if (finished_) {
            Game::instance().pop();
        } else {
            leave();
        }
    }

    drawPills(c, y, hb, wide);

    // pause button at the right end, the time pill left of it (with the pills)
    const double pauseX = c.w - c.s(12) - hb;
    if (roundIconButton(c, pauseX, y, hb, paused_ ? 2 : 1)) {
        audio::play(audio::Sfx::Click);
        paused_ = !paused_;
    }

    // next marble beside the launcher
    {
        const double nx = shooterX_ + 3.2 * R_;
        const double ny = shooterY_ + 0.1 * R_;
        TextStyle label =
            textStyle(std::max({c.s(11), 0.42 * R_, kMinTextSize}), true, 0xffffff, 0.85);
        drawTextCentered(cr, nx, ny - 1.3 * R_, i18n::tr("tarnwick.next"), label);
        fillCircle(cr, nx, ny, 0.86 * R_, 0x000000, 0.22);
        strokeCircle(cr, nx, ny, 0.86 * R_, std::max(c.s(2), 0.08 * R_), 0xffffff, 0.7);
        paintBubbleCairo(cr, w.marbleSkin, colorOf(game_.nextColor), nx, ny, 0.62 * R_,
                         marbleSymbol(game_.nextColor));
    }

    // progress through the level's rows
    if (!gs_.arcade && totalRows0_ > 0) {
        const double bw = std::min(0.32 * c.w, c.s(240));
        const double bh = c.s(6);
        const Rect track{(c.w - bw) / 2, hudH_ - c.s(9), bw, bh};
        fillRoundedRect(cr, track, bh / 2, 0x000000, 0.28);
        const int left = remainingRows() + static_cast<int>(game_.incoming.size());
        const double frac = std::clamp(1.0 - static_cast<double>(left) / totalRows0_, 0.0, 1.0);
        if (frac > 0) {
            fillRoundedRect(cr, Rect{track.x, track.y, std::max(bw * frac, bh), bh}, bh / 2,
                            0xffd54a, 0.95);
        }
    }
}

// The pills of the top bar: mode, score, shots, stars and time, repainted when what they
// show changes.
void PlayingScreen::drawPills(Ctx& c, double y, double hb, bool wide) {
    const std::string time = formatTime(clockStarted_ ? elapsedMs(c) : 0);
    char key[320];
    std::snprintf(key, sizeof key, "%s %s %.3f %.3f %.3f %d %d %d %d %d %zu %zu %d %s",
                  world().id.c_str(), i18n::currentLanguage().c_str(), c.w, c.ui, hudH_,
                  wide ? 1 : 0, gs_.arcade ? core::arcadeSpeedLevel(game_.shots) : game_.level + 1, game_.score,
                  game_.shots, game_.currentColor, game_.freed.size(), game_.starOrbs.size(), gs_.arcade ? 1 : 0,
                  time.c_str());
    drawCachedLayer(c.cr, st().pills, key, c.w, hudH_, [&](cairo_t* cr) {
        Ctx pc = c;
        pc.cr = cr;
        paintPills(pc, y, hb, wide, time);
    });
}

void PlayingScreen::paintPills(Ctx& c, double y, double hb, bool wide, const std::string& time) {
    const theme::World& w = world();
    cairo_t* cr = c.cr;
    double x = c.s(12) + hb + c.s(8);
    const double gap = c.s(8);
    const std::uint32_t pillFill = w.dark ? theme::darken(w.panelTint, 0.1)
                                          : theme::lighten(w.panelTint, 0.1);
    const std::uint32_t border = theme::lighten(w.glowColor, 0.35);
    const std::uint32_t ink = w.dark ? 0xffffff : 0x4a2a6a;
    const std::uint32_t muted = w.dark ? 0xe8def8 : 0x8a6a9e;
    // A pill as wide as its shown texts plus room for its icon, never under s(56).
    auto pillWidth = [&](const std::string& caption, const std::string& value, double icon) {
        double vw = 0, vh = 0, cw = 0, ch = 0;
        measureText(cr, value, textStyle(hudPillValueSize(hb), true, ink), &vw, &vh);
        if (wide) measureText(cr, caption, textStyle(hudPillCaptionSize(hb), false, ink), &cw, &ch);
        return std::max(std::max(vw, cw) + icon + c.s(22), c.s(56));
    };

    // mode pill
    {
        const std::string caption = i18n::tr(gs_.arcade ? "tarnwick.arcade" : "tarnwick.level");
        const std::string value = std::to_string(
            gs_.arcade ? core::arcadeSpeedLevel(game_.shots) : game_.level + 1);
        const double iw = c.s(24);
        const double pw = pillWidth(caption, value, iw);
        hudPill(c, Rect{x, y, pw, hb}, wide ? caption : "", value, pillFill, border, ink, muted,
                iw);
        const double icx = x + c.s(6) + iw / 2, icy = y + hb / 2;
        if (gs_.arcade) {
            drawShuffleIcon(cr, icx, icy, c.s(16), 0xffd54a, 1.0);
        } else {
            drawStarIcon(cr, icx, icy, c.s(16), true, 0xffd54a, 1.0);
        }
        x += pw + gap;
    }
    // score pill with a small marble
    {
        const std::string caption = i18n::tr("tarnwick.score");
        const std::string value = std::to_string(game_.score);
        const double iw = c.s(24);
        const double pw = pillWidth(caption, value, iw);
        hudPill(c, Rect{x, y, pw, hb}, wide ? caption : "", value, pillFill, border, ink, muted,
                iw);
        paintBubbleCairo(cr, w.marbleSkin, colorOf(game_.currentColor), x + c.s(6) + iw / 2, y + hb / 2,
                         c.s(8), marbleSymbol(game_.currentColor));
        x += pw + gap;
    }
    // shots pill
    {
        const std::string caption = i18n::tr("tarnwick.marbles");
        const std::string value = std::to_string(game_.shots);
        const double pw = pillWidth(caption, value, 0);
        hudPill(c, Rect{x, y, pw, hb}, wide ? caption : "", value, pillFill, border, ink, muted,
                0);
        x += pw + gap;
    }
    // stars freed so far
    if (!gs_.arcade && !game_.starOrbs.empty()) {
        const double size = 0.5 * hb;
        const int n = static_cast<int>(game_.freed.size());
        for (size_t i = 0; i < game_.starOrbs.size(); ++i) {
            drawStarIcon(cr, x + size / 2, y + hb / 2, size, static_cast<int>(i) < n, 0xffd700,
                         1.0);
            x += size + c.s(4);
        }
    }

    {
        const std::string& value = time;
        const double iw = c.s(22);
        const double pw = pillWidth("", value, iw);
        const double px = c.w - c.s(12) - hb - c.s(8) - pw;
        hudPill(c, Rect{px, y, pw, hb}, "", value, pillFill, border, ink, muted, iw);
        drawClockIcon(cr, px + c.s(6) + iw / 2, y + hb / 2, c.s(15), ink, 0.95);
    }

}

void PlayingScreen::drawPauseOverlay(Ctx& c) {
    cairo_t* cr = c.cr;
    veilWindow(c, 0x000000, 0.55);
    TextStyle big = textStyle(c.s(30), true, 0xffffff);
    big.align = Align::Center;
    big.maxWidth = c.w * 0.9;
    big.minScale = 0.6;
    drawTextCentered(cr, c.w / 2, c.h / 2 - c.s(18), i18n::tr("tarnwick.paused"), big);
    TextStyle small = textStyle(c.s(15), false, 0xd8cff0);
    small.align = Align::Center;
    small.maxWidth = c.w * 0.9;
    small.minScale = 0.6;
    drawTextCentered(cr, c.w / 2, c.h / 2 + c.s(24), i18n::tr("tarnwick.tapToResume"), small);
}

void PlayingScreen::publish(const Ctx& c) {
    PlayView& v = st().view;
    v.frame += 1;
    v.arcade = gs_.arcade;
    v.geo = geo_;
    showGame(v, game_);
    v.obstacles = obstacles_;
    v.aim = aim_;
    v.shotActive = shotActive_;
    v.shot = shot_.s;
    v.shotSpin = shot_.spin;
    v.paused = paused_;
    v.finished = finished_;
    v.fillDue = fillDue_;
    v.elapsedMs = clockStarted_ ? elapsedMs(c) : 0;
    v.trick = static_cast<int>(trick_);
    v.cheerAt = cheerAt_;
    v.popups = static_cast<int>(fx_.popups().size());
    v.particles = static_cast<int>(fx_.parts().size());
}

}  // namespace

void showGame(PlayView& v, const core::GameModel& m) {
    v.level = m.level;
    v.rows = m.cfg.rows;
    v.cols = m.cfg.cols;
    v.lossRow = m.cfg.lossRow;
    v.numColors = m.cfg.numColors;
    v.board = m.board;
    v.parity = m.parity;
    v.ceilingRow = m.ceilingRow;
    v.incomingRows = static_cast<int>(m.incoming.size());
    v.starOrbs = m.starOrbs;
    v.freed.assign(m.freed.begin(), m.freed.end());
    v.destroyed.assign(m.destroyed.begin(), m.destroyed.end());
    v.currentColor = m.currentColor;
    v.nextColor = m.nextColor;
    v.shots = m.shots;
    v.score = m.score;
}

core::FlightField flightFieldFor(const PlayGeometry& g, const core::GameModel& m) {
    core::FlightField f;
    f.R = g.R;
    f.gridX = g.gridX;
    f.gridTop = g.fieldTop;
    f.left = g.gridX;
    f.right = g.gridX + g.gridW;
    f.lostBelow = g.h + g.R;
    f.rows = m.cfg.rows;
    f.cols = m.cfg.cols;
    f.parity = m.parity;
    f.ceilingRow = m.ceilingRow;
    return f;
}

std::vector<core::ResolvedObstacle> stageObstacles(const PlayGeometry& g, const core::GameModel& m) {
    if (m.arcade) return {};
    return core::resolveObstacles(core::obstaclesForStage(m.cfg.stage), g.fieldLeft, g.fieldTop,
                                  g.fieldW, g.fieldH, g.R);
}

PlayGeometry playLayout(double w, double h, double ui, int rows, int cols) {
    const auto s = [ui](double v) { return v * ui; };
    const bool compact = w < 1100 * ui || h < 640 * ui;
    PlayGeometry g;
    g.w = w;
    g.h = h;
    g.hudH = compact ? s(52) : s(70);
    const double z = compact ? s(96) : s(124);
    g.fieldBottom = h - z;
    g.fieldTop = g.hudH + s(8);
    const double avail = g.fieldBottom - g.fieldTop;
    double widthLimit = 124, budget = 188;
    if (avail > 200) {
        g.fieldH = avail;
        widthLimit = avail * kFieldAspect;
        budget = avail - 12;
    } else {
        g.fieldH = 200;
    }
    g.fieldW = std::min(w - s(40), widthLimit);
    g.fieldLeft = (w - g.fieldW) / 2;
    g.fieldRight = g.fieldLeft + g.fieldW;
    const int v = std::min(rows, 11);
    const double byWidth = (g.fieldW - 2) / (2.0 * cols + 1);
    const double byHeight = budget / ((v - 1) * std::sqrt(3.0) + 2);
    double R = std::floor(std::min(byWidth, byHeight));
    R = std::min(R, s(38));
    if (!(R >= 11)) R = 11;  // also catches NaN from a degenerate window
    g.R = R;
    g.gridW = core::gridWidth(cols, R);
    g.gridX = g.fieldLeft + (g.fieldW - g.gridW) / 2;
    g.shooterX = w / 2;
    g.shooterY = h - std::max(z / 2, s(56));
    g.splatFloorY = h - s(6);
    return g;
}

const PlayView& playView() {
    return st().view;
}

std::unique_ptr<Screen> makePlayingScreen(const GameState& state) {
    return std::make_unique<PlayingScreen>(state);
}

}  // namespace ui

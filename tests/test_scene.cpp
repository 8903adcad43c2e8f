// The world backgrounds: generation, the day cycle, the rebuild rules and the frames they
// paint through the real renderer pipeline.
#include <SDL.h>
#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/child.h"
#include "support/headless.h"
#include "theme.h"
#include "ui/gpu.h"
#include "ui/scene.h"

namespace {

using testsupport::Frame;
using testsupport::Headless;

// The time at which a seed's own clock shows day phase p (no PLUMBRIX_DAY override).
double timeForPhase(std::uint32_t seed, double p) {
    const double start = (seed % 1000u) / 1000.0;
    return std::fmod(p - start + 2.0, 1.0) * 240.0;
}

// The game's window asks for smooth scaling of textures; the scene's glows and clouds are
// drawn much larger than their textures, so the tests look at them the same way.
class LinearScaling {
  public:
    LinearScaling() : had_(SDL_GetHint(SDL_HINT_RENDER_SCALE_QUALITY) != nullptr) {
        if (had_) prev_ = SDL_GetHint(SDL_HINT_RENDER_SCALE_QUALITY);
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    }
    ~LinearScaling() {
        if (had_) SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, prev_.c_str());
        else SDL_ResetHint(SDL_HINT_RENDER_SCALE_QUALITY);
    }
    LinearScaling(const LinearScaling&) = delete;
    LinearScaling& operator=(const LinearScaling&) = delete;

  private:
    bool had_;
    std::string prev_;
};

Frame sceneFrame(Headless& h, int stage, std::uint32_t seed, double t) {
    h.setUpdate([stage, seed](ui::Ctx& c) { ui::drawScene(c, stage, seed); });
    return h.frame(t);
}

bool overridden() {
    return std::getenv("PLUMBRIX_DAY") != nullptr || std::getenv("PLUMBRIX_FLYER") != nullptr;
}

double luma(std::uint32_t p) {
    return 0.2126 * testsupport::red(p) + 0.7152 * testsupport::green(p) +
           0.0722 * testsupport::blue(p);
}

double meanLuma(const Frame& f) {
    double sum = 0;
    for (std::uint32_t p : f.px) sum += luma(p);
    return f.px.empty() ? 0 : sum / static_cast<double>(f.px.size());
}

// The horizontal extent of a prop's painted body (glows left out), relative to its x.
void propExtent(const ui::Prop& p, double* left, double* right) {
    const double s = p.s;
    switch (p.kind) {
        case ui::PropKind::Lolly: *left = *right = 0.9 * s; break;
        case ui::PropKind::Palm:
            *left = 0.531 * s - 0.14 * s + 0.025 * s;   // the back-most frond
            *right = 0.14 * s + 0.548 * s + 0.025 * s;  // the front-most frond
            if (p.mirror) std::swap(*left, *right);
            break;
        case ui::PropKind::Pine: *left = *right = 0.5 * s; break;
        case ui::PropKind::Bush: *left = 1.1 * s, *right = 1.05 * s; break;
        case ui::PropKind::Coral: *left = 0.37 * s, *right = 0.33 * s; break;
        case ui::PropKind::Planet: *left = *right = 1.55 * s; break;
        case ui::PropKind::Sun: *left = *right = s; break;
    }
}

}  // namespace

TEST(SceneBuild, LandscapeFollowsTheWorld) {
    const double w = 1280, h = 720;
    for (int stage = 0; stage < 10; ++stage) {
        const ui::Scene sc = ui::buildScene(stage, 5, w, h);
        const theme::World& world = theme::worldForStage(stage);
        SCOPED_TRACE(world.id);
        ASSERT_EQ(sc.world, &world);
        EXPECT_EQ(sc.stage, stage);
        EXPECT_EQ(sc.seed, 5u);
        const bool galaxy = world.id == "galaxy";
        EXPECT_EQ(sc.jagged, galaxy);
        EXPECT_EQ(sc.hasRays, !galaxy);
        EXPECT_EQ(sc.far.jagged, galaxy);
        EXPECT_EQ(sc.near.jagged, galaxy);

        // Seven ridge points from 60 left of the window to 60 right of it, in their bands.
        const struct {
            const ui::Ridge& r;
            double base, amp;
        } ridges[] = {{sc.far, galaxy ? 0.58 * h : 0.66 * h, galaxy ? 0.16 * h : 0.05 * h},
                      {sc.near, galaxy ? 0.76 * h : 0.8 * h, galaxy ? 0.12 * h : 0.045 * h}};
        for (const auto& rd : ridges) {
            ASSERT_EQ(rd.r.xs.size(), 7u);
            ASSERT_EQ(rd.r.ys.size(), 7u);
            EXPECT_DOUBLE_EQ(rd.r.xs.front(), -60);
            EXPECT_DOUBLE_EQ(rd.r.xs.back(), w + 60);
            for (int i = 0; i < 7; ++i) {
                // Hills wave round the base; crags alternate peaks and shallow dips.
                const double lo = !galaxy ? rd.base - rd.amp
                                  : i % 2 == 0 ? rd.base - 1.4 * rd.amp : rd.base - 0.15 * rd.amp;
                const double hi = !galaxy ? rd.base + rd.amp
                                  : i % 2 == 0 ? rd.base - 0.6 * rd.amp : rd.base;
                EXPECT_GE(rd.r.ys[i], lo - 1e-9) << i;
                EXPECT_LE(rd.r.ys[i], hi + 1e-9) << i;
            }
        }
        EXPECT_EQ(sc.nearFill, world.boardTint);

        const auto& pal = world.sceneryPalette;
        auto inPalette = [&](std::uint32_t c) {
            return std::find(pal.begin(), pal.end(), c) != pal.end();
        };
        ASSERT_EQ(sc.sky.size(), 2u);
        EXPECT_EQ(sc.sky[0].color, world.glowColor);
        EXPECT_GE(sc.sky[0].x, 0.25 * w);
        EXPECT_LE(sc.sky[0].x, 0.75 * w);
        EXPECT_GE(sc.sky[0].r, 0.5 * h);
        EXPECT_LE(sc.sky[0].r, 0.7 * h);
        EXPECT_TRUE(inPalette(sc.sky[1].color));
        EXPECT_TRUE(inPalette(sc.sky[1].innerColor));

        EXPECT_EQ(sc.stars.size(), galaxy ? 14u : 0u);
        for (const auto& s : sc.stars) {
            EXPECT_LE(s.y, 0.62 * h);
            EXPECT_GE(s.r, 0.8);
            EXPECT_LE(s.r, 2.4);
        }
        EXPECT_EQ(sc.bubbles.size(), world.id == "underwater" ? 9u : 0u);
        for (const auto& b : sc.bubbles) {
            EXPECT_GE(b.x, 10);
            EXPECT_LE(b.x, w - 10);
            EXPECT_GE(b.speed, 26);
            EXPECT_LE(b.speed, 60);
        }
        EXPECT_EQ(sc.motes.size(), 9u);
        for (const auto& m : sc.motes) {
            EXPECT_TRUE(inPalette(m.color));
            EXPECT_GE(m.r, 10);
            EXPECT_LE(m.r, 34);
        }

        auto count = [&](ui::PropKind k) {
            return std::count_if(sc.props.begin(), sc.props.end(),
                                 [k](const ui::Prop& p) { return p.kind == k; });
        };
        EXPECT_EQ(sc.weedX.empty(), world.id != "underwater");
        if (world.id == "candy") {
            ASSERT_EQ(count(ui::PropKind::Lolly), 4);
            for (int i = 0; i < 4; ++i) {  // one per quarter, standing on the near ridge
                const ui::Prop& p = sc.props[i];
                EXPECT_GE(p.x, (i + 0.25) * w / 4);
                EXPECT_LE(p.x, (i + 0.75) * w / 4);
                EXPECT_DOUBLE_EQ(p.y, sc.near.yAt(p.x) + 4);
                EXPECT_GE(p.s, 18);
                EXPECT_LE(p.s, 34);
                EXPECT_EQ(p.color, pal[i]);
            }
        } else if (world.id == "tropical") {
            ASSERT_EQ(count(ui::PropKind::Sun), 1);
            EXPECT_EQ(count(ui::PropKind::Palm), 3);
            EXPECT_EQ(sc.props[0].kind, ui::PropKind::Sun);  // behind the palms
        } else if (world.id == "forest") {
            EXPECT_EQ(count(ui::PropKind::Pine), 5);
            EXPECT_EQ(count(ui::PropKind::Bush), 3);
        } else if (world.id == "underwater") {
            EXPECT_EQ(count(ui::PropKind::Coral), 3);
            for (const std::size_t n : {sc.weedY.size(), sc.weedH.size(), sc.weedW.size(),
                                        sc.weedPhase.size()})
                EXPECT_EQ(n, sc.weedX.size());
        } else {
            ASSERT_EQ(sc.props.size(), 1u);
            EXPECT_EQ(sc.props[0].kind, ui::PropKind::Planet);
            EXPECT_TRUE(inPalette(sc.props[0].color));
        }
    }
}

TEST(SceneBuild, SameKeySameSceneAndPropsStayInside) {
    const ui::Scene a = ui::buildScene(6, 42, 1280, 720), b = ui::buildScene(6, 42, 1280, 720);
    EXPECT_EQ(a.far.ys, b.far.ys);
    EXPECT_EQ(a.near.ys, b.near.ys);
    ASSERT_EQ(a.props.size(), b.props.size());
    for (std::size_t i = 0; i < a.props.size(); ++i) {
        EXPECT_DOUBLE_EQ(a.props[i].x, b.props[i].x);
        EXPECT_DOUBLE_EQ(a.props[i].s, b.props[i].s);
    }
    EXPECT_NE(a.far.ys, ui::buildScene(6, 43, 1280, 720).far.ys);

    // No prop is cut by the left or right window edge, whatever the window's shape.
    const int sizes[][2] = {{1280, 720}, {1920, 1080}, {1024, 768}, {800, 600},
                            {480, 800},  {640, 480},   {2560, 1080}};
    for (const auto& sz : sizes)
        for (int stage = 0; stage < 10; stage += 2)
            for (std::uint32_t seed : {0u, 7u, 1234u, 99999u, 0xFFFFFFFFu}) {
                const ui::Scene sc = ui::buildScene(stage, seed, sz[0], sz[1]);
                SCOPED_TRACE(sc.world->id + " " + std::to_string(sz[0]) + "x" +
                             std::to_string(sz[1]));
                for (const ui::Prop& p : sc.props) {
                    double left = 0, right = 0;
                    propExtent(p, &left, &right);
                    EXPECT_GE(p.x - left, 0);
                    EXPECT_LE(p.x + right, sz[0]);
                }
                for (std::size_t i = 0; i < sc.weedX.size(); ++i) {
                    EXPECT_GE(sc.weedX[i] - 0.12 * sc.weedH[i], -sc.weedW[i]);
                    EXPECT_LE(sc.weedX[i] + 0.12 * sc.weedH[i], sz[0] + sc.weedW[i]);
                }
            }
}

TEST(SceneBuild, RidgeHeightFollowsTheDrawnLine) {
    const ui::Scene crag = ui::buildScene(4, 3, 1000, 600);
    ASSERT_TRUE(crag.far.jagged);
    for (std::size_t i = 0; i < crag.far.xs.size(); ++i)
        EXPECT_NEAR(crag.far.yAt(crag.far.xs[i]), crag.far.ys[i], 1e-9);
    const double midX = (crag.far.xs[2] + crag.far.xs[3]) / 2;
    EXPECT_NEAR(crag.far.yAt(midX), (crag.far.ys[2] + crag.far.ys[3]) / 2, 1e-9);

    const ui::Scene hills = ui::buildScene(0, 3, 1000, 600);
    const ui::Ridge& r = hills.near;
    ASSERT_FALSE(r.jagged);
    EXPECT_NEAR(r.yAt(r.xs.front()), r.ys.front(), 1e-9);
    EXPECT_NEAR(r.yAt(r.xs.back()), r.ys.back(), 1e-9);
    // The smoothed line passes through the midpoints between neighbouring points.
    for (std::size_t i = 0; i + 1 < r.xs.size(); ++i)
        EXPECT_NEAR(r.yAt((r.xs[i] + r.xs[i + 1]) / 2), (r.ys[i] + r.ys[i + 1]) / 2, 1e-6);
    // Continuous: no jumps between neighbouring samples.
    for (double x = -60, prev = r.yAt(-60); x <= 1060; x += 0.5) {
        EXPECT_LT(std::fabs(r.yAt(x) - prev), 1.0) << x;
        prev = r.yAt(x);
    }
    EXPECT_DOUBLE_EQ(r.yAt(-500), r.ys.front());
    EXPECT_DOUBLE_EQ(r.yAt(5000), r.ys.back());
    EXPECT_DOUBLE_EQ(ui::Ridge{}.yAt(10), 0);
}

TEST(SceneDay, PhaseNightSunsetAndSunrise) {
    const struct {
        double (*fn)(double);
        double p, want;
    } cases[] = {{ui::nightAmount, 0.75, 1},     {ui::nightAmount, 0.64, 0.5},
                 {ui::nightAmount, 0.86, 0.5},   {ui::nightAmount, 0.53, 0},
                 {ui::nightAmount, 0.97, 0},     {ui::nightAmount, 0.25, 0},
                 {ui::nightAmount, 0.0, 0},      {ui::sunsetAmount, 0.52, 1},
                 {ui::sunsetAmount, 0.47, 0.5},  {ui::sunsetAmount, 0.57, 0.5},
                 {ui::sunsetAmount, 0.42, 0},    {ui::sunsetAmount, 0.75, 0},
                 {ui::sunriseAmount, 0.02, 1},   {ui::sunriseAmount, 0.07, 0.5},
                 {ui::sunriseAmount, 0.97, 0.5},  // across midnight
                 {ui::sunriseAmount, 0.12, 0},   {ui::sunriseAmount, 0.92, 0},
                 {ui::sunriseAmount, 0.5, 0}};
    for (const auto& k : cases) EXPECT_NEAR(k.fn(k.p), k.want, 1e-9) << k.p;

    // Wrapped into [0, 1), negative ones round instead of going negative.
    for (const auto& [text, want] : {std::pair{"0.75", 0.75}, {"1.52", 0.52}, {"3", 0.0},
                                     {"-0.25", 0.75}, {" 0.5 ", 0.5}}) {
        double p = -1;
        ASSERT_TRUE(ui::parseDayOverride(text, &p)) << text;
        EXPECT_NEAR(p, want, 1e-12) << text;
    }
    double p = -1;
    ASSERT_TRUE(ui::parseDayOverride("-1e-20", &p));
    EXPECT_GE(p, 0);
    EXPECT_LT(p, 1);
    p = 0.3;
    for (const char* bad : {"", "abc", "0.5x", "nan", "inf", "-inf", "1e999"})
        EXPECT_FALSE(ui::parseDayOverride(bad, &p)) << bad;
    EXPECT_FALSE(ui::parseDayOverride(nullptr, &p));
    EXPECT_DOUBLE_EQ(p, 0.3);

    if (overridden()) GTEST_SKIP() << "day phase overridden";
    EXPECT_NEAR(ui::dayPhase(1234, 0), 0.234, 1e-12);
    EXPECT_NEAR(ui::dayPhase(1234, 240), 0.234, 1e-12);
    EXPECT_NEAR(ui::dayPhase(1234, 60), 0.484, 1e-12);
    EXPECT_NEAR(ui::dayPhase(2234, 60), 0.484, 1e-12);  // seeds a thousand apart share a clock
    EXPECT_NEAR(ui::dayPhase(999, 0.24), 0, 1e-12);
    for (double t : {0.0, 1.5, 100.0, 1e6}) {
        EXPECT_GE(ui::dayPhase(77, t), 0);
        EXPECT_LT(ui::dayPhase(77, t), 1);
    }
}

// Runs only in a child process started by SceneDay.EnvironmentOverrides with PLUMBRIX_DAY
// set: whatever the time and seed, the phase is the one given.
TEST(SceneDayChild, FrozenPhase) {
    const char* v = std::getenv("PLUMBRIX_DAY");
    if (v == nullptr) GTEST_SKIP() << "runs in a child process";
    double want = 0;
    ASSERT_TRUE(ui::parseDayOverride(v, &want));
    for (std::uint32_t seed : {0u, 7u, 123456u})
        for (double t : {0.0, 3.0, 59.5, 170.0, 1000.0})
            EXPECT_DOUBLE_EQ(ui::dayPhase(seed, t), want);
    // The sky at the top edge only holds still things, so two frames far apart in time
    // show it alike.
    const LinearScaling linear;
    Headless h(640, 360);
    ASSERT_TRUE(h.ok());
    const Frame a = sceneFrame(h, 0, 5, 3), b = sceneFrame(h, 0, 5, 170);
    for (int x = 0; x < 640; x += 40) EXPECT_EQ(a.at(x, 1), b.at(x, 1)) << x;
}

// Runs only in a child process started with PLUMBRIX_FLYER set: slot 0 flies the named
// kind at 0.14 H from left to right every 6 s and reports where it is twice a second.
TEST(SceneFlyerChild, ForcedFlyer) {
    const char* v = std::getenv("PLUMBRIX_FLYER");
    if (v == nullptr) GTEST_SKIP() << "runs in a child process";
    const std::string name = v;
    const std::string kind = name == "bat" || name == "fish" || name == "star" ? name : "gull";
    const LinearScaling linear;
    Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    // Underwater and galaxy would pick fish and stars themselves; candy proves the override.
    testing::internal::CaptureStderr();
    sceneFrame(h, 0, 9, 3.0);
    sceneFrame(h, 0, 9, 3.2);  // same half second: no second line
    sceneFrame(h, 0, 9, 9.0);  // q = 0.5 again one loop later
    const std::string line = "[flyer] " + kind + " x=640 y=" + (kind == "star" ? "99" : "113") +
                             " W=1280 H=720\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line + line);
    const std::vector<std::string> textures =
        kind == "gull"  ? std::vector<std::string>{"flyer_gull", "flyer_wf", "flyer_wn"}
        : kind == "bat" ? std::vector<std::string>{"flyer_bat", "flyer_batwf", "flyer_batwn"}
        : kind == "fish" ? std::vector<std::string>{"flyer_fish"} : std::vector<std::string>{};
    for (const std::string& t : textures) EXPECT_TRUE(ui::gpuCached(t)) << t;
    const Frame f = sceneFrame(h, 0, 9, 3.0);
    EXPECT_TRUE(
        testsupport::savePng(f, testsupport::artefactDir() + "/scene_flyer_" + kind + ".png"));
    if (kind != "gull") return;
    // The gull is the only near-white thing in this sky: it is drawn where it is reported.
    int inside = 0, outside = 0;
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x) {
            const std::uint32_t p = f.at(x, y);
            if (testsupport::red(p) >= 235 && testsupport::green(p) >= 235 &&
                testsupport::blue(p) >= 235)
                (std::abs(x - 640) < 70 && std::abs(y - 113) < 50 ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
}

TEST(SceneDay, EnvironmentOverrides) {
    if (overridden()) GTEST_SKIP() << "already a child";
    std::string out;
    for (const char* day : {"0.75", "1.52"}) {
        out.clear();
        EXPECT_TRUE(testsupport::runChild("PLUMBRIX_DAY", day, "SceneDayChild.*", &out)) << out;
    }
    for (const char* kind : {"gull", "bat", "fish", "star", "owl"}) {
        out.clear();
        EXPECT_TRUE(testsupport::runChild("PLUMBRIX_FLYER", kind, "SceneFlyerChild.*", &out))
            << out;
    }
}

TEST(SceneFrames, RebuildOnlyWhenTheKeyChanges) {
    const LinearScaling linear;
    Headless h(320, 180);
    ASSERT_TRUE(h.ok());
    sceneFrame(h, 8, 99, 1);  // some other scene first, so the next one is new
    ui::SceneStats before = ui::sceneStats();
    // How many builds and bakes happened since the last call.
    auto since = [&](int builds, int bakes) {
        const ui::SceneStats now = ui::sceneStats();
        EXPECT_EQ(now.builds, before.builds + builds);
        EXPECT_EQ(now.bakes, before.bakes + bakes);
        before = now;
    };
    const Frame a = sceneFrame(h, 0, 5, 1);
    since(1, 1);
    for (const char* t : {"scene", "scene_bake", "scene_dot", "scene_cloud"})
        EXPECT_TRUE(ui::gpuCached(t)) << t;
    // The same key draws from the cache, at the same time and later.
    EXPECT_EQ(testsupport::maxChannelDiff(a, sceneFrame(h, 0, 5, 1)), 0);
    sceneFrame(h, 0, 5, 30);
    since(0, 0);

    // A new seed, stage or size each rebuilds and repaints the landscape.
    const Frame otherSeed = sceneFrame(h, 0, 6, 1);
    since(1, 1);
    int changed = 0;  // the hills moved: the lower part of the window differs
    for (int y = 110; y < 180; ++y)
        for (int x = 0; x < 320; ++x) changed += a.at(x, y) != otherSeed.at(x, y);
    EXPECT_GT(changed, 500);
    sceneFrame(h, 6, 6, 1);
    since(1, 1);
    SDL_SetWindowSize(h.shell().window, 400, 240);
    EXPECT_EQ(sceneFrame(h, 6, 6, 1).w, 400);
    since(1, 1);

    // Only the key counts: going back to an earlier scene builds it again, identically.
    SDL_SetWindowSize(h.shell().window, 320, 180);
    EXPECT_EQ(testsupport::maxChannelDiff(a, sceneFrame(h, 0, 5, 1)), 0);
    // An evicted landscape is repainted from the scene that is still built.
    before = ui::sceneStats();
    ui::gpuDrop("scene");
    EXPECT_EQ(testsupport::maxChannelDiff(a, sceneFrame(h, 0, 5, 1)), 0);
    since(0, 1);
    // A window without area draws and builds nothing.
    ui::Ctx empty;
    ui::drawScene(empty, 3, 3);
    since(0, 0);
}

// The picture of sky, landscape and veils is baked again for a new key or veil, or when
// the light of the day changes what it shows; not while it holds still, and a change too
// small to see is followed over a few frames rather than at once.
TEST(SceneFrames, BakedPictureFollowsKeyAndVisibleLight) {
    if (overridden()) GTEST_SKIP() << "day phase overridden";
    const LinearScaling linear;
    Headless h(320, 180);
    ASSERT_TRUE(h.ok());
    const double noon = timeForPhase(5, 0.3);
    sceneFrame(h, 0, 5, noon);
    int before = ui::sceneStats().rebakes;
    auto rebakes = [&] {
        const int n = ui::sceneStats().rebakes - before;
        before = ui::sceneStats().rebakes;
        return n;
    };
    // Plain day light: a second of frames shows the same bake.
    for (int i = 1; i <= 60; ++i) sceneFrame(h, 0, 5, noon + i / 60.0);
    EXPECT_EQ(rebakes(), 0);
    sceneFrame(h, 0, 6, noon);
    EXPECT_EQ(rebakes(), 1) << "seed";
    sceneFrame(h, 2, 6, noon);
    EXPECT_EQ(rebakes(), 1) << "stage";
    h.setUpdate([](ui::Ctx& c) { ui::drawScreenScene(c, 2, 6); });
    h.frame(noon);
    EXPECT_EQ(rebakes(), 1) << "veil";
    SDL_SetWindowSize(h.shell().window, 400, 200);
    sceneFrame(h, 2, 6, noon);
    EXPECT_EQ(rebakes(), 1) << "size";
    SDL_SetWindowSize(h.shell().window, 320, 180);
    sceneFrame(h, 2, 6, noon);
    EXPECT_EQ(rebakes(), 1);
    // Dusk: the light changes a little every frame; the bake follows at a bounded rate
    // and never drifts visibly from a picture baked for the moment itself.
    const double dusk = timeForPhase(6, 0.6);
    sceneFrame(h, 2, 6, dusk);
    EXPECT_EQ(rebakes(), 1) << "a jump in time";
    Frame followed;
    for (int i = 1; i <= 120; ++i) followed = sceneFrame(h, 2, 6, dusk + i / 60.0);
    const int steps = rebakes();
    EXPECT_GE(steps, 2);
    EXPECT_LE(steps, 8);
    sceneFrame(h, 0, 5, noon);  // elsewhere and back: baked whole for that very moment
    const Frame exact = sceneFrame(h, 2, 6, dusk + 2);
    EXPECT_LE(testsupport::maxChannelDiff(followed, exact), 10);
}

TEST(SceneFrames, MenuAndScreenVariantsAndTheCanvasStaysClean) {
    const LinearScaling linear;
    Headless h(320, 180);
    ASSERT_TRUE(h.ok());
    const Frame plain = sceneFrame(h, 0, 7, 12);
    h.setUpdate([](ui::Ctx& c) { ui::drawMenuScene(c); });
    EXPECT_EQ(testsupport::maxChannelDiff(plain, h.frame(12)), 0);

    const Frame scene = sceneFrame(h, 4, 21, 12);
    bool canvasClean = true;
    h.setUpdate([&](ui::Ctx& c) {
        ui::drawScreenScene(c, 4, 21);
        cairo_surface_t* s = cairo_get_target(c.cr);
        cairo_surface_flush(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        const int stride = cairo_image_surface_get_stride(s);
        for (int i = 0; i < cairo_image_surface_get_height(s) * stride; ++i)
            canvasClean = canvasClean && data[i] == 0;
    });
    const Frame veiled = h.frame(12);
    EXPECT_TRUE(canvasClean);
    // Every pixel is the scene's under the veil 0x1b1030 at 0.55 (the veil is baked into
    // the picture beneath the moving things, which adds one rounding to theirs).
    int worst = 0;
    for (int y = 0; y < 180; y += 3)
        for (int x = 0; x < 320; x += 3) {
            const std::uint32_t want = theme::mix(scene.at(x, y) & 0xFFFFFF, 0x1B1030, 0.55);
            const std::uint32_t got = veiled.at(x, y);
            worst = std::max({worst, std::abs(testsupport::red(got) - testsupport::red(want)),
                              std::abs(testsupport::green(got) - testsupport::green(want)),
                              std::abs(testsupport::blue(got) - testsupport::blue(want))});
        }
    EXPECT_LE(worst, 3);
}

TEST(SceneFrames, SameSeedAndTimeSameFrame) {
    const LinearScaling linear;
    Headless h(320, 180);
    ASSERT_TRUE(h.ok());
    for (int stage = 0; stage < 10; stage += 2)
        for (double t : {0.0, 41.3, 177.7}) {
            SCOPED_TRACE(stage);
            const std::uint32_t seed = 300 + stage;
            const Frame first = sceneFrame(h, stage, seed, t);
            sceneFrame(h, stage == 8 ? 0 : 8, 1, t);  // another scene in between
            EXPECT_EQ(testsupport::maxChannelDiff(first, sceneFrame(h, stage, seed, t)), 0);
            // The comparison has teeth: a moment later things have moved.
            EXPECT_GT(testsupport::pixelsOver(first, sceneFrame(h, stage, seed, t + 0.75), 0), 0);
        }
}

TEST(SceneFrames, DayNightAndTints) {
    if (overridden()) GTEST_SKIP() << "day phase overridden";
    const LinearScaling linear;
    Headless h(640, 360);
    ASSERT_TRUE(h.ok());
    auto at = [&](int stage, double p) { return sceneFrame(h, stage, 40, timeForPhase(40, p)); };
    // Night falls over the whole picture.
    const Frame noon = at(0, 0.25), night = at(0, 0.75);
    EXPECT_LT(meanLuma(night), 0.5 * meanLuma(noon));
    EXPECT_LT(luma(night.at(320, 1)), 0.3 * luma(noon.at(320, 1)));
    // With the sun low on either side, the top edge holds only still things, so its colour
    // shows the sky's light alone: the same at two hours of plain day just outside the
    // tints, redder at sunset, warmer at sunrise.
    const Frame morning = at(0, 0.13), afternoon = at(0, 0.41);
    for (int x = 0; x < 640; x += 32) EXPECT_EQ(morning.at(x, 1), afternoon.at(x, 1)) << x;
    auto warmth = [](std::uint32_t p) { return testsupport::red(p) - testsupport::blue(p); };
    EXPECT_GT(warmth(at(0, 0.52).at(320, 1)), warmth(at(0, 0.4).at(320, 1)) + 20);
    EXPECT_GT(testsupport::red(at(6, 0.02).at(320, 1)),
              testsupport::red(at(6, 0.12).at(320, 1)) + 20);
}

TEST(SceneScreenshots, EveryWorldAtDaySunsetAndNight) {
    if (overridden()) GTEST_SKIP() << "day phase overridden";
    const std::string dir = testsupport::artefactDir() + "/scene";
    std::filesystem::create_directories(dir);
    const struct {
        const char* name;
        double p;
    } phases[] = {
        {"sunrise", 0.02}, {"day", 0.25}, {"sunset", 0.52}, {"dusk", 0.6}, {"night", 0.75}};
    for (const auto& [w, hgt] : {std::pair{1280, 720}, {1024, 768}, {820, 1000}}) {
        const LinearScaling linear;
        Headless h(w, hgt);
        ASSERT_TRUE(h.ok());
        for (int world = 0; world < 5; ++world) {
            const std::uint32_t seed = 11 + 17 * world;
            Frame previous;
            for (const auto& ph : phases) {
                // Every hour on the widescreen window; day, sunset and night on the others.
                if (w != 1280 && ph.p != 0.25 && ph.p != 0.52 && ph.p != 0.75) continue;
                const Frame f = sceneFrame(h, 2 * world, seed, timeForPhase(seed, ph.p));
                const std::string name = dir + "/" + theme::allWorlds()[world].id + "_" +
                                         ph.name + "_" + std::to_string(w) + "x" +
                                         std::to_string(hgt) + ".png";
                EXPECT_TRUE(testsupport::savePng(f, name)) << name;
                EXPECT_EQ(f.w, w);
                if (!previous.empty()) {
                    EXPECT_GT(testsupport::pixelsOver(f, previous, 8), 0);
                }
                previous = f;
            }
        }
    }
}

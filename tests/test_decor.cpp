// Mascot tricks and moods, the marble rain's physics and collisions, fireworks, blossoms,
// the combo burst's windows and the wobbling text; screenshots of the mascot and the
// celebrations.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "core/grid.h"
#include "support/canvas.h"
#include "support/soft_gpu.h"
#include "theme.h"
#include "ui/decor.h"
#include "ui/draw.h"
#include "ui/gpu.h"

using testsupport::Canvas;
using ui::Mood;
using ui::Trick;

namespace {

bool near(std::uint32_t a, std::uint32_t b, int tol = 8) { return testsupport::nearRgb(a, b, tol); }

// All pixels of the canvas, for comparing two pictures.
std::vector<std::uint32_t> snapshot(const Canvas& cv, int w, int h) {
    std::vector<std::uint32_t> px;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px.push_back(cv.pixel(x, y));
    return px;
}

// Topmost row with ink in the column band, or -1.
int topInk(const Canvas& cv, int x0, int x1, int h) {
    for (int y = 0; y < h; ++y)
        for (int x = x0; x < x1; ++x)
            if ((cv.pixel(x, y) >> 24) > 40) return y;
    return -1;
}

constexpr std::uint32_t kPink = 0xff5fa3;

std::vector<std::uint32_t> mascot(Canvas& cv, double t, Mood mood, Trick trick, double age,
                                  double lookX = 0, double lookY = 0) {
    cv.frame(t);
    ui::drawMascot(cv.ctx(), 100, 100, 120, kPink, mood, lookX, lookY, trick, age);
    return snapshot(cv, 200, 200);
}

}  // namespace

TEST(Mascot, TrickDurationsAndWindows) {
    const struct {
        Trick trick;
        double seconds;
    } table[] = {{Trick::Eyes, 1.1}, {Trick::Nod, 0.6},  {Trick::Hop, 0.8},
                 {Trick::Flip, 1.0}, {Trick::Spin, 1.2}, {Trick::Shake, 0.7},
                 {Trick::Tongue, 1.0}, {Trick::Wink, 0.8}, {Trick::Bubbles, 2.0}};
    for (const auto& row : table) EXPECT_DOUBLE_EQ(ui::trickDuration(row.trick), row.seconds);
    EXPECT_DOUBLE_EQ(ui::trickDuration(Trick::None), 0);
    EXPECT_DOUBLE_EQ(ui::trickDuration(static_cast<Trick>(42)), 0);

    Canvas cv(200, 200);
    const auto still = mascot(cv, 0, Mood::Idle, Trick::None, 0);
    for (const auto& row : table) {
        // Before it starts and from its last instant on, a trick leaves the mascot as is.
        EXPECT_EQ(mascot(cv, 0, Mood::Idle, row.trick, -0.01), still);
        EXPECT_EQ(mascot(cv, 0, Mood::Idle, row.trick, row.seconds), still);
        EXPECT_NE(mascot(cv, 0, Mood::Idle, row.trick, row.seconds * 0.45), still)
            << static_cast<int>(row.trick);
    }
    EXPECT_EQ(mascot(cv, 0, Mood::Idle, static_cast<Trick>(42), 0.3), still);
}

TEST(Mascot, MoodsAndTricksShowWhereExpected) {
    Canvas cv(200, 200);
    const double h = 60;  // size 120 at (100, 100); at t = 0 it neither breathes nor blinks
    // Mouth: open and dark when happy, the body colour under a plain smile.
    mascot(cv, 0, Mood::Happy, Trick::None, 0);
    EXPECT_TRUE(near(cv.rgb(100, static_cast<int>(100 + 0.31 * h)), 0x5b2340));
    mascot(cv, 0, Mood::Idle, Trick::None, 0);
    const std::uint32_t idleMouth = cv.rgb(100, static_cast<int>(100 + 0.31 * h));
    EXPECT_FALSE(near(idleMouth, 0x5b2340, 40));
    // Worried brows cut into the top of the eyes.
    const int bx = static_cast<int>(100 - 0.32 * h), by = static_cast<int>(100 - 0.23 * h);
    EXPECT_TRUE(near(cv.rgb(bx, by), 0xffffff, 12));
    mascot(cv, 0, Mood::Worried, Trick::None, 0);
    EXPECT_TRUE(near(cv.rgb(bx, by), theme::darken(kPink, 0.55), 12));

    // Hop and Flip lift the body off the ground.
    mascot(cv, 0, Mood::Idle, Trick::None, 0);
    const int restTop = topInk(cv, 80, 120, 200);
    mascot(cv, 0, Mood::Idle, Trick::Hop, 0.4);
    EXPECT_LT(topInk(cv, 80, 120, 200), restTop - static_cast<int>(0.4 * h));

    // A wink closes the right eye only: far less white there.
    auto whiteIn = [&cv](int x0, int y0) {
        int n = 0;
        for (int y = y0; y < y0 + 24; ++y)
            for (int x = x0; x < x0 + 24; ++x) n += near(cv.rgb(x, y), 0xffffff, 30);
        return n;
    };
    const int lx = static_cast<int>(100 - 0.32 * h) - 12;
    const int rx = static_cast<int>(100 + 0.32 * h) - 12;
    const int ey = static_cast<int>(100 - 0.08 * h) - 12;
    mascot(cv, 0, Mood::Idle, Trick::None, 0);
    const int openLeft = whiteIn(lx, ey), openRight = whiteIn(rx, ey);
    EXPECT_GT(openRight, 60);
    mascot(cv, 0, Mood::Idle, Trick::Wink, 0.4);
    EXPECT_LT(whiteIn(rx, ey), openRight / 4);
    EXPECT_GT(whiteIn(lx, ey), openLeft / 2);

    // The tongue hangs out pink below the mouth.
    mascot(cv, 0, Mood::Happy, Trick::Tongue, 0.5);
    EXPECT_TRUE(near(cv.rgb(104, static_cast<int>(100 + 0.55 * h)), 0xff6b8f, 16));

    // Bubbles rise above the head, where nothing else is drawn.
    mascot(cv, 0, Mood::Idle, Trick::None, 0);
    EXPECT_EQ(cv.inked(0, 0, 200, static_cast<int>(100 - 0.95 * h)), 0);
    mascot(cv, 0, Mood::Idle, Trick::Bubbles, 0.6);
    EXPECT_GT(cv.inked(0, 0, 200, static_cast<int>(100 - 0.95 * h)), 20);

    // Looking somewhere moves the pupils: the picture changes with the gaze.
    EXPECT_NE(mascot(cv, 0, Mood::Idle, Trick::None, 0, 1, 0),
              mascot(cv, 0, Mood::Idle, Trick::None, 0, -1, 0));
}

TEST(MarbleRain, SpawnsMovesBouncesAndBursts) {
    testsupport::SoftGpu gpu(400, 300);
    Canvas cv(400, 300);
    ui::Ctx& c = cv.ctx();
    const theme::World& world = theme::worldForStage(0);
    using Ball = ui::MarbleRain::Ball;
    auto step = [&](ui::MarbleRain& rain, double t, double dt = 1.0 / 60) {
        cv.frame(t, dt);
        rain.update(c, world);
    };

    // The first ball comes after the first frame, with the rain's seeded choices.
    ui::MarbleRain rain;
    step(rain, 10.0);
    step(rain, 10.0 + 1.0 / 60);
    ASSERT_EQ(rain.balls().size(), 1u);
    core::Mulberry32 g(12345u * 1664525u + 1013904223u);  // one update has passed
    EXPECT_NEAR(rain.balls()[0].r, 14 + 12 * g.next(), 1e-9);
    EXPECT_LT(rain.balls()[0].y, 0);  // still above the window
    for (int i = 0; i < 40; ++i) step(rain, 11.0 + i * 0.9, 0.0);
    EXPECT_LE(rain.balls().size(), 14u);  // at most 14, however long it rains

    // A long frame moves a ball by at most 0.064 s.
    ui::MarbleRain slow;
    slow.addBall(Ball{.x = 200, .y = 100, .r = 10, .bornAt = 10});
    step(slow, 10.2, 0.5);
    EXPECT_DOUBLE_EQ(slow.balls()[0].vy, 600 * 0.064);
    EXPECT_DOUBLE_EQ(slow.balls()[0].y, 100 + 600 * 0.064 * 0.064);

    // Walls and floor bounce the ball back with lost speed.
    ui::MarbleRain walls;
    walls.addBall(Ball{.x = 12, .y = 100, .vx = -100, .r = 10, .bornAt = 10});
    walls.addBall(Ball{.x = 200, .y = 289, .vx = 50, .vy = 300, .r = 10, .bornAt = 10});
    step(walls, 10.1, 0.05);
    ASSERT_GE(walls.balls().size(), 2u);
    EXPECT_DOUBLE_EQ(walls.balls()[0].x, 10);
    EXPECT_DOUBLE_EQ(walls.balls()[0].vx, 78);
    EXPECT_DOUBLE_EQ(walls.balls()[1].y, 290);
    EXPECT_DOUBLE_EQ(walls.balls()[1].vy, -0.65 * (300 + 600 * 0.05));
    EXPECT_DOUBLE_EQ(walls.balls()[1].vx, 45);

    // A ball resting on the floor for more than 6 s goes; a young one stays.
    ui::MarbleRain settle;
    settle.addBall(Ball{.x = 100, .y = 290, .r = 10, .bornAt = 3});
    settle.addBall(Ball{.x = 300, .y = 290, .r = 10, .bornAt = 8});
    step(settle, 10);
    std::vector<double> onFloor;
    for (const auto& ball : settle.balls())
        if (ball.y > 0) onFloor.push_back(ball.x);
    EXPECT_EQ(onFloor, std::vector<double>{300});

    // Touching balls pass through each other while young and burst once both are older
    // than 0.38 s: 14 sparks per pair, in the two balls' colours.
    for (const double age : {0.2, 0.5}) {
        ui::MarbleRain pair;
        pair.addBall(Ball{.x = 100, .y = 120, .r = 20, .color = 0, .bornAt = 20 - age});
        pair.addBall(Ball{.x = 130, .y = 120, .r = 20, .color = 1, .bornAt = 20 - age});
        step(pair, 20);
        int near120 = 0;
        for (const auto& ball : pair.balls()) near120 += ball.y > 60;
        EXPECT_EQ(near120, age < 0.38 ? 2 : 0);
        if (age < 0.38) {
            EXPECT_TRUE(pair.sparks().empty());
            continue;
        }
        ASSERT_EQ(pair.sparks().size(), 14u);
        for (std::size_t k = 0; k < 14; ++k)
            EXPECT_EQ(pair.sparks()[k].color, world.marbleColors[k % 2 == 0 ? 1 : 0]);
        // The sparks fly out from the midpoint and vanish after 0.65 s.
        step(pair, 20.3);
        EXPECT_EQ(pair.sparks().size(), 14u);
        gpu.clear();
        pair.draw(c, world);
        EXPECT_GT(ui::gpuDrawCalls(), 0);
        step(pair, 20.7);
        EXPECT_TRUE(pair.sparks().empty());
    }

    // Drawing blits each ball where it is.
    gpu.clear();
    slow.draw(c, world);
    const auto& sb = slow.balls()[0];
    EXPECT_GT(testsupport::alphaOf(gpu.pixel(static_cast<int>(sb.x), static_cast<int>(sb.y))), 150);
    EXPECT_EQ(testsupport::alphaOf(gpu.pixel(20, 20)), 0);
}

TEST(Celebrations, FireworksAndBlossomsAreDeterministic) {
    Canvas cv(640, 360);
    ui::Ctx& c = cv.ctx();
    auto paint = [&](double t, void (*fn)(ui::Ctx&, std::uint32_t), std::uint32_t seed) {
        cv.frame(t);
        fn(c, seed);
        return snapshot(cv, 640, 360);
    };
    for (const double t : {0.5, 1.7, 3.1}) {
        const auto first = paint(t, ui::drawFireworks, 77);
        EXPECT_GT(cv.inked(0, 0, 640, 360), 30);
        EXPECT_EQ(paint(t, ui::drawFireworks, 77), first);
        EXPECT_NE(paint(t, ui::drawFireworks, 78), first);
        const auto petals = paint(t, ui::drawBlossoms, 5);
        EXPECT_GT(cv.inked(0, 0, 640, 360), 200);
        EXPECT_EQ(paint(t, ui::drawBlossoms, 5), petals);
    }
    // Petals come in three soft pinks only.
    paint(2.0, ui::drawBlossoms, 9);
    int pink = 0;
    for (int y = 0; y < 360; y += 2)
        for (int x = 0; x < 640; x += 2)
            if (const auto a = cv.pixel(x, y) >> 24; a >= 215 && a <= 218) {
                const std::uint32_t col = cv.rgb(x, y);
                EXPECT_TRUE(near(col, 0xffd6e8) || near(col, 0xffb3d1) || near(col, 0xfff0f6))
                    << std::hex << col;
                ++pink;
            }
    EXPECT_GT(pink, 20);
}

TEST(Celebrations, ComboBurstWindowsAndWobbleDelay) {
    Canvas cv(800, 600);
    ui::Ctx& c = cv.ctx();
    ui::ComboBurst burst;
    // Ink over the whole canvas after drawing the burst at time t.
    auto burstInk = [&](double t, int minAlpha = 8) {
        cv.frame(t);
        burst.draw(c);
        return cv.inked(0, 0, 800, 600, minAlpha);
    };
    EXPECT_FALSE(burst.active(c));
    EXPECT_EQ(burstInk(0), 0);
    burst.trigger(c, "COMBO x4", "+1200", 0x4dc6ff);
    for (const double t : {0.0, 0.3, 1.0, 1.4}) {
        EXPECT_GT(burstInk(t), 100) << t;
        EXPECT_TRUE(burst.active(c)) << t;
    }
    // At 1.6 s it is over, though drawing still runs (fully faded); later nothing at all.
    EXPECT_EQ(burstInk(1.6, 2), 0);
    EXPECT_FALSE(burst.active(c));
    EXPECT_EQ(burstInk(2.5, 0), 0);
    burst.trigger(c, "AGAIN", "", 0xff5fa3);  // a new trigger restarts it
    EXPECT_TRUE(burst.active(c));
    burst.draw(c);
    EXPECT_GT(cv.inked(0, 0, 800, 600), 50);

    ui::TextStyle st;
    st.size = 30;
    st.bold = true;
    st.color = 0xffffff;
    for (const double t : {0.0, 0.2, 0.26, 0.3}) {  // nothing until the 0.3 s delay is over
        cv.frame(10 + t);
        ui::wobbleText(c, 400, 300, "Solved!", st, 10, 3);
        const int ink = cv.inked(0, 0, 800, 600, 0);
        EXPECT_TRUE(t < 0.3 ? ink == 0 : ink > 10) << t << ": " << ink;
    }
    // It fades in over half a second and then keeps the style's alpha.
    cv.frame(12);
    st.alpha = 0.5;
    ui::wobbleText(c, 400, 300, "\u2588", st, 10, 0);
    EXPECT_NEAR(static_cast<int>(cv.pixel(400, 300) >> 24), 128, 2);
}

TEST(DecorScreenshots, MascotSheetAndCelebrations) {
    Canvas cv(1320, 480);
    ui::Ctx& c = cv.ctx();
    cv.frame(0.37);
    cv.fill(0xffd9e6);
    const Mood moods[] = {Mood::Idle, Mood::Happy, Mood::Worried};
    const std::uint32_t colours[] = {0xff5fa3, 0x4dc6ff, 0x4dd97a};
    for (int i = 0; i < 3; ++i)
        ui::drawMascot(c, 110 + i * 220, 130, 130, colours[i], moods[i], 0, 0, Trick::None, 0);
    const Trick tricks[] = {Trick::Eyes, Trick::Nod,    Trick::Hop,   Trick::Flip, Trick::Spin,
                            Trick::Shake, Trick::Tongue, Trick::Wink, Trick::Bubbles};
    for (int i = 0; i < 9; ++i)
        ui::drawMascot(c, 80 + i * 145, 370, 100, kPink, Mood::Happy, 0.6, -0.3, tricks[i],
                       ui::trickDuration(tricks[i]) * 0.4);
    ASSERT_FALSE(cv.savePng("decor_mascots").empty());

    Canvas party(960, 540);
    party.frame(2.3);
    party.fill(0x241543);
    ui::drawFireworks(party.ctx(), 4242);
    ui::drawBlossoms(party.ctx(), 99);
    ui::ComboBurst burst;
    party.ctx().t = 2.0;
    burst.trigger(party.ctx(), "COMBO x5", "+1500", 0xffd23d);
    party.ctx().t = 2.3;
    burst.draw(party.ctx());
    ui::TextStyle st;
    st.size = 34;
    st.bold = true;
    st.color = 0xffd700;
    ui::wobbleText(party.ctx(), 480, 470, "Level solved!", st, 2.1, 0);
    ASSERT_FALSE(party.savePng("decor_celebrations").empty());
}

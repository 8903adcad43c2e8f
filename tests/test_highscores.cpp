// The high-score screen: rows, medals, dashes and the empty message; leaving it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

#include "core/storage.h"
#include "i18n.h"
#include "support/canvas.h"
#include "support/headless.h"
#include "support/tmpdir.h"
#include "ui/app.h"

using testsupport::Canvas;

namespace {

constexpr std::uint32_t kMedals[3] = {0xffd700, 0xc8d2de, 0xd08a4a};

// What one row shows, read back from pixels.
struct RowLook {
    int fillAlpha = 0;  // the panel behind the row
    bool outlined = false;
    std::uint32_t outline = 0;
    bool whiteText = false;  // a score is drawn in the score column
    int scoreInk = 0;        // anything drawn in the score column
};

// The table's geometry at 1280 x 720, scale 1 (wide: 60-unit header, 44-unit rows).
constexpr double kX0 = (1280 - 560) / 2.0;
constexpr double kRowTop = 60 + 16 + 0.8 * 44;
double rowMid(int i) {
    return kRowTop + i * 44 + 20;
}

RowLook lookOf(const Canvas& cv, int i) {
    RowLook r;
    const int mid = static_cast<int>(rowMid(i));
    r.fillAlpha = static_cast<int>(cv.pixel(static_cast<int>(kX0) + 66, mid) >> 24);
    // Just outside the panel's left edge only an outline leaves colour.
    const int edge = static_cast<int>(kX0) - 1;
    r.outlined = (cv.pixel(edge, mid) >> 24) > 60;
    r.outline = cv.rgb(edge, mid);
    for (int y = mid - 12; y < mid + 12; ++y)
        for (int x = static_cast<int>(kX0) + 90; x < static_cast<int>(kX0) + 160; ++x)
            r.whiteText |=
                (cv.pixel(x, y) >> 24) > 240 && testsupport::nearRgb(cv.rgb(x, y), 0xffffff, 12);
    r.scoreInk = cv.inked(static_cast<int>(kX0) + 90, mid - 12, 70, 24, 120);
    return r;
}

void fillTable(int entries) {
    store::openAt(testsupport::freshDir("highscores-" + std::to_string(entries)));
    for (int i = 0; i < entries; ++i)
        store::recordArcadeHigh({10000 - 700 * i, 40 + i, 60000, store::nowMs()});
}

}  // namespace

TEST(HighScoresScreen, TenRowsMedalsDashesAndTheEmptyMessage) {
    for (int entries : {0, 3, 10}) {
        SCOPED_TRACE(entries);
        fillTable(entries);
        ASSERT_EQ(static_cast<int>(store::arcadeHighs().size()), entries);
        Canvas cv(1280, 720, 1.0);
        auto screen = ui::makeHighScoresScreen();
        cv.frame(0.5);
        screen->update(cv.ctx());
        for (int i = 0; i < 10; ++i) {
            SCOPED_TRACE(i);
            const RowLook r = lookOf(cv, i);
            const bool has = i < entries;
            EXPECT_NEAR(r.fillAlpha, has ? 153 : 77, 3)
                << "panel alpha 0.6 with an entry, else 0.3";
            EXPECT_EQ(r.outlined, has && i < 3) << "outlines only on ranks 1 to 3 with entries";
            EXPECT_TRUE(!r.outlined || testsupport::nearRgb(r.outline, kMedals[i], 8));
            EXPECT_EQ(r.whiteText, has) << "scores in white, dashes in lilac";
            EXPECT_GT(r.scoreInk, 20) << "the score column is never blank";
        }
        // The empty message sits 28 units below the tenth row.
        const int msgY = static_cast<int>(rowMid(9) + 20 + 28);
        EXPECT_EQ(cv.inked(340, msgY - 8, 600, 16, 120) > 100, entries == 0);
        cv.savePng("highscores-" + std::to_string(entries));
    }
}

TEST(HighScoresScreen, EscapeAndTheBackLinkReturnToTheScreenBelow) {
    fillTable(1);
    for (bool useKey : {true, false}) {
        ui::Game::instance().resetTo({.kind = ui::ScreenKind::Menu});
        ui::Game::instance().push({.kind = ui::ScreenKind::HighScores});
        Canvas cv(1280, 720, 1.0);
        auto screen = ui::makeHighScoresScreen();
        cv.frame(0);
        screen->update(cv.ctx());
        ASSERT_EQ(ui::Game::instance().stack().size(), 2u) << "nothing happens by itself";
        cv.frame(0.1);
        useKey ? cv.ctx().in.keys.push_back(SDLK_ESCAPE) : cv.pointer(40, 30, false, false, true);
        screen->update(cv.ctx());
        EXPECT_EQ(ui::Game::instance().top().kind, ui::ScreenKind::Menu) << useKey;
    }
    EXPECT_EQ(store::arcadeHighs().size(), 1u) << "the screen only reads";
}

TEST(HighScoresScreen, ScreenshotsOverTheLandscape) {
    const struct {
        int w, h, entries;
        const char* language;
    } shots[] = {
        {1280, 720, 3, "en"}, {820, 560, 3, "de"}, {1280, 720, 0, "ru"}, {1280, 720, 10, "ja"}};
    for (const auto& shot : shots) {
        fillTable(shot.entries);
        i18n::setLanguage(shot.language);
        testsupport::Headless h(shot.w, shot.h);
        ASSERT_TRUE(h.ok());
        h.start({.kind = ui::ScreenKind::HighScores});
        const testsupport::Frame& f = h.frame(1.0);
        const std::string name = std::string("highscores-") + shot.language;
        ASSERT_TRUE(testsupport::savePng(f, testsupport::artefactDir() + "/" + name + ".png"));
        if (shot.w != 1280 || shot.entries == 0) continue;
        // The gold outline of rank 1 stands out against the darkened landscape.
        const std::uint32_t p = f.at(static_cast<int>(kX0) - 1, static_cast<int>(rowMid(0)));
        EXPECT_GT(testsupport::red(p), 140) << name;
        EXPECT_GT(testsupport::green(p), 110) << name;
        EXPECT_LT(testsupport::blue(p), testsupport::green(p) - 40) << name;
    }
    i18n::setLanguage("en");
}

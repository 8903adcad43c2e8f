// The high-score screen: ten rows of scores and dashes, the empty message, leaving it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/storage.h"
#include "i18n.h"
#include "support/headless.h"
#include "support/screens.h"
#include "ui/app.h"
#include "ui/draw.h"
#include "ui/widgets.h"

TEST(HighScoresScreen, TenRowsScoresDashesAndTheEmptyMessage) {
    i18n::setLanguage("en");
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    for (int entries : {0, 3, 10}) {
        SCOPED_TRACE(entries);
        testsupport::openStore("highscores-" + std::to_string(entries));
        for (int i = 0; i < entries; ++i)  // stored out of order
            store::recordArcadeHigh({1000 + 700 * ((i * 3) % 10), 40 + i, 60000, store::nowMs()});
        h.start({.kind = ui::ScreenKind::HighScores});
        ui::recordDrawnTexts(true);
        const testsupport::Frame& f = h.frame(entries + 1.0);
        std::vector<std::string> scores;
        int dashes = 0;
        bool empty = false;
        for (const ui::DrawnText& d : ui::drawnTexts()) {
            if (!d.text.empty() && d.text.find_first_not_of("0123456789") == std::string::npos &&
                std::stoi(d.text) >= 1000)
                scores.push_back(d.text);
            dashes += d.text == "— — —";
            empty |= d.text == i18n::tr("highscores.empty");
        }
        ui::recordDrawnTexts(false);
        std::vector<std::string> best;
        for (int i = 0; i < entries; ++i) best.push_back(std::to_string(1000 + 700 * (9 - i)));
        if (entries == 3) best = {"5200", "3100", "1000"};
        EXPECT_EQ(scores, best) << "best first";
        EXPECT_EQ(dashes, 10 - entries);
        EXPECT_EQ(empty, entries == 0);
        testsupport::savePng(f, testsupport::artefactDir() + "/highscores-" +
                                    std::to_string(entries) + ".png");
    }
}

TEST(HighScoresScreen, EscapeAndTheBackLinkReturnToTheScreenBelow) {
    testsupport::Headless h(1280, 720);
    ASSERT_TRUE(h.ok());
    double t = 1;
    for (bool useKey : {true, false}) {
        testsupport::openOver(ui::ScreenKind::GameOver, {.kind = ui::ScreenKind::HighScores});
        h.frame(t += 1);
        ASSERT_EQ(ui::Game::instance().stack().size(), 2u) << "nothing happens by itself";
        if (useKey)
            h.key(SDLK_ESCAPE, t += 1);
        else
            testsupport::clickOn(h, ui::backButtonRect(h.ctx()), t += 1);
        EXPECT_EQ(testsupport::stackKinds(), std::vector{ui::ScreenKind::GameOver}) << useKey;
    }
}

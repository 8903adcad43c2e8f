// Language choice from the environment, and a glyph for every character of every catalogue.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <string>

#include "i18n.h"

namespace {

constexpr const char* kVars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// The four locale variables set (nullptr: unset) for the object's life, then put back.
struct LocaleEnv {
    std::optional<std::string> saved[4];
    explicit LocaleEnv(std::array<const char*, 4> values) {
        for (int i = 0; i < 4; ++i) {
            if (const char* v = std::getenv(kVars[i])) saved[i] = v;
            values[i] ? ::setenv(kVars[i], values[i], 1) : ::unsetenv(kVars[i]);
        }
    }
    ~LocaleEnv() {
        for (int i = 0; i < 4; ++i)
            saved[i] ? ::setenv(kVars[i], saved[i]->c_str(), 1) : ::unsetenv(kVars[i]);
        i18n::setLanguage("en");
    }
};

}  // namespace

TEST(I18n, SystemLanguageComesFromTheEnvironment) {
    const struct {
        const char *language, *lcAll, *lcMessages, *lang, *want, *why;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, "en", "nothing set"},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", "de", ""},
        {"xx:fr", nullptr, nullptr, "de_DE.UTF-8", "fr", "the first matching part of LANGUAGE"},
        {nullptr, "C", nullptr, "pt_BR.UTF-8", "pt", "C matches nothing and falls through"},
        {"", "", "sv_SE", "da", "sv", "empty variables are skipped"},
        {nullptr, nullptr, nullptr, "RU_ru.KOI8-R", "ru", "environment tags are lower-cased"},
        {nullptr, nullptr, "sr@latin", nullptr, "en", ""},
        {nullptr, nullptr, "el@euro", nullptr, "el", ""},
        {nullptr, nullptr, "zh-Hans.UTF-8", nullptr, "zh", ""},
        {":_US:.:@x::ko_KR", nullptr, nullptr, nullptr, "ko", "empty tags are skipped"},
        {"english:eng", nullptr, nullptr, "nl_BE", "nl", "codes must match whole, not as prefixes"},
    };
    for (const auto& k : cases) {
        const LocaleEnv env({k.language, k.lcAll, k.lcMessages, k.lang});
        EXPECT_EQ(i18n::detectSystemLanguage(), k.want) << k.why;
    }

    const LocaleEnv env({nullptr, "C", nullptr, "pt_BR.UTF-8"});
    i18n::setLanguage("");
    EXPECT_EQ(i18n::currentLanguage(), "pt");
    EXPECT_EQ(i18n::tr("settings.language"), "Idioma");
}

// The font tool's own check: a glyph for every character of every catalogue in the bundled
// faces (its report is in the build tree).
TEST(I18nCatalog, BundledFontsHaveAGlyphForEveryCharacter) {
    const std::string report = TARNWICK_BINARY_DIR "/font-report.txt";
    const std::string cmd = "/usr/bin/python3 '" TARNWICK_SOURCE_DIR
                            "/tools/make_cjk_font.py' --check > '" + report + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "see " << report;
}

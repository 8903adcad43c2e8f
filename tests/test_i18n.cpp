// Language choice from the environment, and the compiled-in catalogues as data: same keys
// and placeholders, real translations, a glyph for every character in the shipped fonts.
#include <glib.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <regex>
#include <set>
#include <string>

#include "i18n.h"
#include "i18n_catalog.h"

using i18n_data::Catalog;
using i18n_data::kCatalogs;

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

const Catalog& english() { return kCatalogs[1]; }

std::multiset<std::string> placeholders(const std::string& s) {
    std::multiset<std::string> out;
    const std::regex re(R"(\{\{([^}]*)\}\})");
    for (std::sregex_iterator it(s.begin(), s.end(), re), end; it != end; ++it)
        out.insert((*it)[1]);
    return out;
}

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

TEST(I18nCatalog, SameKeysAndPlaceholdersInRealTranslations) {
    ASSERT_EQ(std::string(english().code), "en");
    std::set<std::string> codes;
    for (const Catalog& c : kCatalogs) {
        SCOPED_TRACE(c.code);
        EXPECT_TRUE(codes.insert(c.code).second) << "duplicate code";
        ASSERT_EQ(c.count, i18n_data::kEntryCount);
        int sameAsEnglish = 0;
        for (size_t i = 0; i < c.count; ++i) {
            const std::string key = c.entries[i].key, text = c.entries[i].text;
            EXPECT_EQ(key, english().entries[i].key) << "key order differs at " << i;
            EXPECT_TRUE(!text.empty() && g_utf8_validate_len(text.data(), text.size(), nullptr))
                << key << " is empty or not UTF-8";
            EXPECT_EQ(placeholders(text), placeholders(english().entries[i].text)) << key;
            EXPECT_FALSE(text.front() == ' ' || text.back() == ' ') << key;
            sameAsEnglish += text == english().entries[i].text;
            EXPECT_TRUE(key != "about.musicCredit" || text.find("Tarn at Dusk") != std::string::npos);
        }
        // More than a few texts equal to English means a catalogue was copied, not translated.
        EXPECT_TRUE(&c == &english() || sameAsEnglish <= 8) << sameAsEnglish;
    }
}

// The font tool's own check: a glyph for every character of every catalogue in the bundled
// faces (its report is in the build tree).
TEST(I18nCatalog, BundledFontsHaveAGlyphForEveryCharacter) {
    const std::string report = TARNWICK_BINARY_DIR "/font-report.txt";
    const std::string cmd = "/usr/bin/python3 '" TARNWICK_SOURCE_DIR
                            "/tools/make_cjk_font.py' --check > '" + report + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "see " << report;
}

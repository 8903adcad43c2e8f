// Language choice from the environment, lookup with placeholders, and the compiled-in
// catalogues as data: same keys and placeholders, real translations, a glyph for every
// character in the shipped fonts.
#include <fontconfig/fontconfig.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "i18n.h"
#include "i18n_catalog.h"

using i18n_data::Catalog;
using i18n_data::kCatalogs;

namespace {

constexpr const char* kVars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};

// The four locale variables set (nullptr: unset) for the object's life, then put back.
struct LocaleEnv {
    std::optional<std::string> saved[4];
    explicit LocaleEnv(std::array<const char*, 4> values = {}) {
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

// Code points of a UTF-8 text; empty for a malformed one.
std::u32string decodeUtf8(const std::string& s) {
    if (!g_utf8_validate_len(s.data(), s.size(), nullptr)) return U"";
    glong n = 0;
    gunichar* cps = g_utf8_to_ucs4_fast(s.data(), static_cast<glong>(s.size()), &n);
    const std::u32string out(cps, cps + n);
    g_free(cps);
    return out;
}

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

TEST(I18n, CodesLookupAndPlaceholders) {
    const LocaleEnv env;
    // Stored codes compare exactly; an unknown one gives English.
    for (const auto& [code, want] :
         {std::pair{"de", "SPIELEN"}, {"xx", "PLAY"}, {"DE", "PLAY"}, {"de_DE", "PLAY"}}) {
        i18n::setLanguage(code);
        EXPECT_EQ(i18n::tr("menu.play"), want) << code;
    }
    // Only Arabic and Hebrew run right to left.
    for (const auto& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        EXPECT_EQ(i18n::currentIsRtl(), lang.code == "ar" || lang.code == "he") << lang.code;
    }
    i18n::setLanguage("en");
    EXPECT_EQ(i18n::tr("no.such.key"), "no.such.key");
    EXPECT_EQ(i18n::tr("tarnwick.optimumHint", {{"n", "3"}}), "Free all 3 star orbs for ★★★");
    // A placeholder without a value stays; an inserted value is not expanded again, but a
    // later pair sees what an earlier one inserted; a missing key is filled in like a text.
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"x", "9"}}), "Level {{n}}");
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"n", "{{n}}"}}), "Level {{n}}");
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"n", "{{n}}{{n}}"}, {"n", "7"}}), "Level 77");
    EXPECT_EQ(i18n::tr("missing {{a}} and {{a}}", {{"a", "x"}}), "missing x and x");
    i18n::setLanguage("hu");
    EXPECT_EQ(i18n::tr("levels.tileLevel", {{"n", "5"}}), "5. pálya");
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
            EXPECT_FALSE(decodeUtf8(text).empty()) << key << " is empty or not UTF-8";
            EXPECT_EQ(placeholders(text), placeholders(english().entries[i].text)) << key;
            EXPECT_FALSE(text.front() == ' ' || text.back() == ' ') << key;
            sameAsEnglish += text == english().entries[i].text;
            EXPECT_TRUE(key != "about.musicCredit" || text.find("Tarn at Dusk") != std::string::npos);
        }
        // More than a few texts equal to English means a catalogue was copied, not translated.
        EXPECT_TRUE(&c == &english() || sameAsEnglish <= 8) << sameAsEnglish;
    }
    EXPECT_TRUE(decodeUtf8("\xED\xA0\xBD").empty());  // a surrogate is no character
}

TEST(I18nCatalog, BundledFontsHaveAGlyphForEveryCharacter) {
    // The regular and bold Latin faces, then the Japanese, Chinese and Korean subsets.
    std::vector<FcPattern*> patterns;
    std::vector<FcCharSet*> sets;
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "QuendraCJK-JP.ttf",
                             "QuendraCJK-SC.ttf", "QuendraCJK-KR.ttf"}) {
        const std::string path = TARNWICK_SOURCE_DIR "/assets/fonts/" + std::string(file);
        int count = 0;
        patterns.push_back(
            FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count));
        ASSERT_NE(patterns.back(), nullptr) << file;
        sets.push_back(nullptr);
        ASSERT_EQ(FcPatternGetCharSet(patterns.back(), FC_CHARSET, 0, &sets.back()), FcResultMatch);
        EXPECT_TRUE(sets.size() <= 2 || FcCharSetCount(sets.back()) < 2000u) << file;
    }
    const std::map<std::string, size_t> ownFace = {{"ja", 2}, {"zh", 3}, {"ko", 4}};
    const auto covered = [&](char32_t cp, const std::string& lang) {
        if (FcCharSetHasChar(sets[0], cp)) return true;
        const auto own = ownFace.find(lang);
        for (size_t i = 2; i < sets.size(); ++i)
            if ((own == ownFace.end() || own->second == i) && FcCharSetHasChar(sets[i], cp))
                return true;
        return false;
    };
    int checked = 0;
    for (const Catalog& c : kCatalogs)
        for (size_t i = 0; i <= c.count; ++i) {
            const std::string text = i < c.count ? c.entries[i].text : c.nativeName;
            for (char32_t cp : decodeUtf8(text)) {
                if (cp == U'\n') continue;
                ++checked;
                EXPECT_TRUE(covered(cp, c.code)) << c.code << " " << text << ": " << int(cp);
                // Bold labels in Latin, Greek and Cyrillic keep their own bold glyphs.
                EXPECT_TRUE(cp >= 0x0590 || FcCharSetHasChar(sets[1], cp)) << text << int(cp);
            }
        }
    EXPECT_GT(checked, 20000);
    // A simplified Han character only Chinese uses is not in the Japanese face.
    EXPECT_TRUE(covered(U'关', "zh"));
    EXPECT_FALSE(covered(U'关', "ja"));
    EXPECT_FALSE(covered(U'万', "en"));
    for (FcPattern* p : patterns) FcPatternDestroy(p);
    FcFini();  // fontconfig's configuration, which the leak checker would otherwise report
}

// Language choice from the environment, catalogue switching and text lookup with
// placeholders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "i18n.h"

namespace {

// Clears the four locale variables for one case and puts the previous values back after.
struct LocaleEnv {
    std::map<std::string, std::optional<std::string>> saved;
    LocaleEnv() {
        for (const char* n : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* v = std::getenv(n);
            saved[n] = v ? std::optional<std::string>(v) : std::nullopt;
            ::unsetenv(n);
        }
    }
    ~LocaleEnv() {
        for (const auto& [n, v] : saved)
            v ? ::setenv(n.c_str(), v->c_str(), 1) : ::unsetenv(n.c_str());
        i18n::setLanguage("en");
    }
    LocaleEnv& set(const char* name, const char* value) {  // nullptr: leave unset
        if (value) ::setenv(name, value, 1);
        return *this;
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
        LocaleEnv env;
        env.set("LANGUAGE", k.language).set("LC_ALL", k.lcAll).set("LC_MESSAGES", k.lcMessages);
        env.set("LANG", k.lang);
        EXPECT_EQ(i18n::detectSystemLanguage(), k.want) << k.why;
    }

    LocaleEnv env;
    env.set("LC_ALL", "C").set("LANG", "pt_BR.UTF-8");
    i18n::setLanguage("");
    EXPECT_EQ(i18n::currentLanguage(), "pt");
    EXPECT_EQ(i18n::tr("settings.language"), "Idioma");
}

TEST(I18n, CodesLookupAndPlaceholders) {
    LocaleEnv env;
    // Stored codes compare exactly; an unknown one gives English.
    for (const auto& [code, want] :
         {std::pair{"de", "SPIELEN"}, {"xx", "PLAY"}, {"DE", "PLAY"}, {"de_DE", "PLAY"}}) {
        i18n::setLanguage(code);
        EXPECT_EQ(i18n::tr("menu.play"), want) << code;
    }
    // Every language answers with its own catalogue; only Arabic and Hebrew run right to left.
    ASSERT_EQ(i18n::languages().size(), 22u);
    for (const auto& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        EXPECT_EQ(i18n::currentLanguage(), lang.code);
        EXPECT_EQ(i18n::currentIsRtl(), lang.code == "ar" || lang.code == "he") << lang.code;
        EXPECT_EQ(i18n::tr("settings.headline") != "Settings", lang.code != "en") << lang.code;
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

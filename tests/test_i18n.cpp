// Language choice from the environment, catalogue switching and text lookup with
// placeholders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "i18n.h"

namespace {

// Sets the four locale variables for one case and puts the previous values back afterwards.
class LocaleEnv {
  public:
    LocaleEnv() {
        for (const char* n : kNames) {
            const char* v = std::getenv(n);
            saved_[n] = v ? std::optional<std::string>(v) : std::nullopt;
            unsetenv(n);
        }
    }
    ~LocaleEnv() {
        for (const auto& [n, v] : saved_) {
            if (v)
                setenv(n.c_str(), v->c_str(), 1);
            else
                unsetenv(n.c_str());
        }
        i18n::setLanguage("en");
    }
    LocaleEnv& set(const char* name, const char* value) {
        setenv(name, value, 1);
        return *this;
    }

  private:
    static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace

TEST(I18n, LanguageTableIsInCatalogueOrder) {
    const auto& langs = i18n::languages();
    ASSERT_EQ(langs.size(), 22u);
    EXPECT_EQ(&langs, &i18n::languages()) << "built once and kept";
    const char* codes[] = {"de", "en", "fr", "es", "it", "pt", "nl", "pl", "cs", "hu", "ro",
                           "sv", "da", "fi", "el", "tr", "ru", "ja", "zh", "ko", "ar", "he"};
    for (size_t i = 0; i < langs.size(); ++i) {
        EXPECT_EQ(langs[i].code, codes[i]) << i;
        EXPECT_EQ(langs[i].rtl, langs[i].code == "ar" || langs[i].code == "he") << i;
    }
    EXPECT_EQ(langs[0].nativeName, "Deutsch");
    EXPECT_EQ(langs[8].nativeName, "Čeština");
    EXPECT_EQ(langs[17].nativeName, "日本語");
    EXPECT_EQ(langs[18].englishName, "Chinese (Simplified)");
    EXPECT_EQ(langs[20].nativeName, "العربية");
    EXPECT_EQ(langs[21].englishName, "Hebrew");
}

TEST(I18n, SystemLanguageComesFromTheEnvironment) {
    {
        LocaleEnv env;
        EXPECT_EQ(i18n::detectSystemLanguage(), "en") << "nothing set";
    }
    {
        LocaleEnv env;
        env.set("LANG", "de_DE.UTF-8");
        EXPECT_EQ(i18n::detectSystemLanguage(), "de");
    }
    {
        LocaleEnv env;
        env.set("LANGUAGE", "xx:fr").set("LANG", "de_DE.UTF-8");
        EXPECT_EQ(i18n::detectSystemLanguage(), "fr") << "the first matching part of LANGUAGE";
    }
    {
        LocaleEnv env;
        env.set("LC_ALL", "C").set("LANG", "pt_BR.UTF-8");
        EXPECT_EQ(i18n::detectSystemLanguage(), "pt") << "C matches nothing and falls through";
    }
    {
        LocaleEnv env;
        env.set("LANGUAGE", "").set("LC_ALL", "").set("LC_MESSAGES", "sv_SE").set("LANG", "da");
        EXPECT_EQ(i18n::detectSystemLanguage(), "sv") << "empty variables are skipped";
    }
    {
        LocaleEnv env;
        env.set("LANG", "RU_ru.KOI8-R");
        EXPECT_EQ(i18n::detectSystemLanguage(), "ru") << "environment tags are lower-cased";
    }
    {
        LocaleEnv env;
        env.set("LC_MESSAGES", "sr@latin");
        EXPECT_EQ(i18n::detectSystemLanguage(), "en");
        env.set("LC_MESSAGES", "el@euro");
        EXPECT_EQ(i18n::detectSystemLanguage(), "el");
        env.set("LC_MESSAGES", "zh-Hans.UTF-8");
        EXPECT_EQ(i18n::detectSystemLanguage(), "zh");
    }
    {
        LocaleEnv env;
        env.set("LANGUAGE", ":_US:.:@x::ko_KR");
        EXPECT_EQ(i18n::detectSystemLanguage(), "ko") << "empty tags are skipped";
        env.set("LANGUAGE", "english:eng").set("LANG", "nl_BE");
        EXPECT_EQ(i18n::detectSystemLanguage(), "nl") << "codes must match whole, not as prefixes";
    }

    LocaleEnv env;
    env.set("LC_ALL", "C").set("LANG", "pt_BR.UTF-8");
    i18n::setLanguage("");
    EXPECT_EQ(i18n::currentLanguage(), "pt");
    EXPECT_EQ(i18n::tr("settings.language"), "Idioma");
}

TEST(I18n, CodesMatchExactlyAndFallBackToEnglish) {
    LocaleEnv env;
    i18n::setLanguage("de");
    EXPECT_EQ(i18n::currentLanguage(), "de");
    EXPECT_EQ(i18n::tr("menu.play"), "SPIELEN");
    i18n::setLanguage("xx");
    EXPECT_EQ(i18n::currentLanguage(), "en");
    EXPECT_EQ(i18n::tr("menu.play"), "PLAY");
    i18n::setLanguage("de");
    i18n::setLanguage("DE");
    EXPECT_EQ(i18n::currentLanguage(), "en") << "stored codes compare exactly";
    i18n::setLanguage("de_DE");
    EXPECT_EQ(i18n::currentLanguage(), "en");

    i18n::setLanguage("he");
    EXPECT_TRUE(i18n::currentIsRtl());
    i18n::setLanguage("ar");
    EXPECT_TRUE(i18n::currentIsRtl());
    i18n::setLanguage("ja");
    EXPECT_FALSE(i18n::currentIsRtl());
    EXPECT_EQ(i18n::tr("settings.headline"), "設定");

    // Every language answers with its own catalogue, not English.
    for (const auto& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        EXPECT_EQ(i18n::currentLanguage(), lang.code);
        if (lang.code != "en") {
            EXPECT_NE(i18n::tr("settings.headline"), "Settings") << lang.code;
        }
    }
}

TEST(I18n, LookupAndPlaceholders) {
    LocaleEnv env;
    i18n::setLanguage("en");
    EXPECT_EQ(i18n::tr("no.such.key"), "no.such.key");
    EXPECT_EQ(i18n::tr(""), "");
    EXPECT_EQ(i18n::tr("ending.starsProgress", {{"got", "12"}, {"total", "100"}}),
              "12 of 100 levels with ★★★");
    EXPECT_EQ(i18n::tr("tarnwick.optimumHint", {{"n", "3"}}), "Free all 3 star orbs for ★★★");
    EXPECT_EQ(i18n::tr("tarnwick.optimumHint"), "Free all {{n}} star orbs for ★★★");
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"x", "9"}}), "Level {{n}}")
        << "placeholders without a value stay";
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"n", "{{n}}"}}), "Level {{n}}")
        << "an inserted value is not expanded again";
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"n", "{{n}}{{n}}"}, {"n", "7"}}), "Level 77")
        << "a later pair sees what an earlier one inserted";
    EXPECT_EQ(i18n::tr("gallery.levelLine", {{"n", ""}}), "Level ");
    EXPECT_EQ(i18n::tr("missing {{a}} and {{a}}", {{"a", "x"}}), "missing x and x")
        << "a missing key is filled in like a text";
    EXPECT_EQ(i18n::tr("{{a}}{{b}}", {{"a", "{{b}}"}, {"b", "1"}}), "11");

    i18n::setLanguage("de");
    EXPECT_EQ(i18n::tr("menu.continue", {{"n", "42"}}), "Weiter · Level 42");
    i18n::setLanguage("hu");
    EXPECT_EQ(i18n::tr("levels.tileLevel", {{"n", "5"}}), "5. pálya");
}

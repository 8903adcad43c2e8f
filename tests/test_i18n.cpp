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
    LocaleEnv& set(const char* name, const char* value) {  // nullptr: leave unset
        if (value) setenv(name, value, 1);
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

    i18n::setLanguage("ja");
    EXPECT_EQ(i18n::tr("settings.headline"), "設定");

    // Every language answers with its own catalogue, not English; only Arabic and Hebrew
    // run right to left.
    for (const auto& lang : i18n::languages()) {
        i18n::setLanguage(lang.code);
        EXPECT_EQ(i18n::currentLanguage(), lang.code);
        EXPECT_EQ(i18n::currentIsRtl(), lang.code == "ar" || lang.code == "he") << lang.code;
        EXPECT_EQ(i18n::tr("settings.headline") != "Settings", lang.code != "en") << lang.code;
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

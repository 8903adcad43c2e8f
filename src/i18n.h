// The game's texts in 22 languages. Every visible text is looked up by key when it is drawn,
// so switching the language takes effect on the next frame. Texts may hold named
// placeholders such as {{n}} that the caller fills in. Main thread only.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace i18n {

struct Language {
    std::string code;         // "de", "en", ... as stored in the settings
    std::string nativeName;   // the language's name in itself, for the language picker
    std::string englishName;  // the language's name in English
    bool rtl = false;         // written right to left (Arabic, Hebrew)
};

// The 22 languages in catalogue order; built once and kept for the whole run.
const std::vector<Language>& languages();
// The catalogue code the environment asks for (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, in this
// order); "en" when none of them names a language the game speaks.
std::string detectSystemLanguage();
// Makes the catalogue with exactly this code current; an empty code means the system
// language, an unknown code English.
void setLanguage(const std::string& code);
// The code of the current catalogue; "en" until setLanguage is called.
std::string currentLanguage();
// True when the current language is written right to left.
bool currentIsRtl();
// The current text for key, or the key itself when the catalogue lacks it.
std::string tr(const std::string& key);
// tr(key) with every {{name}} replaced by its value, pair by pair in the given order; an
// inserted value is never expanded again and unknown placeholders stay as they are.
std::string tr(const std::string& key,
               const std::vector<std::pair<std::string, std::string>>& params);

}  // namespace i18n

// The compiled-in catalogues as data: same keys and placeholders everywhere, real
// translations, a glyph for every character in the fonts the game ships, and screens that
// never glue a translated text to other text.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "i18n_catalog.h"

using i18n_data::Catalog;
using i18n_data::kCatalogs;

namespace {

const Catalog& english() { return kCatalogs[1]; }

// Code points of a UTF-8 text; an empty result for a malformed one.
std::vector<char32_t> decodeUtf8(const std::string& s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80         ? 1
                        : (b >> 5) == 6  ? 2
                        : (b >> 4) == 14 ? 3
                        : (b >> 3) == 30 ? 4
                                         : 0;
        if (len == 0 || i + len > s.size()) return {};
        char32_t cp = len == 1 ? b : b & (0x7F >> len);
        for (int k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c >> 6) != 2) return {};
            cp = (cp << 6) | (c & 0x3F);
        }
        const char32_t minFor[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < minFor[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {};
        out.push_back(cp);
        i += len;
    }
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
            if (key == "about.musicCredit") {
                EXPECT_NE(text.find("Tarn at Dusk"), std::string::npos);
            }
        }
        // More than a few texts equal to English means a catalogue was copied, not translated.
        EXPECT_TRUE(&c == &english() || sameAsEnglish <= 8) << sameAsEnglish;
    }
}

TEST(I18nCatalog, BundledFontsHaveAGlyphForEveryCharacter) {
    // The regular and bold Latin faces, then one CJK face per language: Japanese, Chinese
    // and Korean texts are drawn in their own face.
    const std::string dir = TARNWICK_SOURCE_DIR "/assets/fonts/";
    std::vector<FcPattern*> patterns;
    std::vector<FcCharSet*> sets;
    for (const char* file : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "QuendraCJK-JP.ttf",
                             "QuendraCJK-SC.ttf", "QuendraCJK-KR.ttf"}) {
        int count = 0;
        patterns.push_back(FcFreeTypeQuery(reinterpret_cast<const FcChar8*>((dir + file).c_str()),
                                           0, nullptr, &count));
        ASSERT_NE(patterns.back(), nullptr) << file;
        sets.push_back(nullptr);
        ASSERT_EQ(FcPatternGetCharSet(patterns.back(), FC_CHARSET, 0, &sets.back()), FcResultMatch);
        EXPECT_TRUE(sets.size() <= 2 || FcCharSetCount(sets.back()) < 2000u)
            << file << " is no subset";
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
                EXPECT_TRUE(covered(cp, c.code))
                    << c.code << " " << text << ": no glyph for " << int(cp);
                // Bold labels in Latin, Greek and Cyrillic keep their own bold glyphs.
                EXPECT_TRUE(cp >= 0x0590 || FcCharSetHasChar(sets[1], cp))
                    << text << ": no bold " << int(cp);
            }
        }
    EXPECT_GT(checked, 20000);
    // The check can fail: a Han character no text uses is in no file, and a simplified one
    // only Chinese uses is not in the Japanese face.
    EXPECT_TRUE(covered(U'关', "zh"));
    EXPECT_FALSE(covered(U'关', "ja"));
    EXPECT_FALSE(covered(U'万', "en"));
    for (FcPattern* p : patterns) FcPatternDestroy(p);
    FcFini();  // fontconfig's configuration, which the leak checker would otherwise report
}

// A text a player reads is one catalogue entry whose placeholders take the numbers and
// names: each language places its own colon, space and word order, which a label glued to
// ": " and a number cannot do.
TEST(I18nCatalog, NoScreenGluesATranslatedTextToOtherText) {
    int calls = 0;
    const std::regex call(R"((^|[^\w])tr\()");
    for (const char* sub : {"/src/screens", "/src/ui"})
        for (const auto& f :
             std::filesystem::directory_iterator(TARNWICK_SOURCE_DIR + std::string(sub))) {
            if (f.path().extension() != ".cpp") continue;
            std::ifstream in(f.path());
            std::string src(std::istreambuf_iterator<char>(in), {});
            for (std::sregex_iterator it(src.begin(), src.end(), call), end; it != end; ++it) {
                size_t at = static_cast<size_t>(it->position() + it->length());
                for (int depth = 1; at < src.size() && depth > 0; ++at) {  // to the closing ")"
                    if (src[at] == '"')
                        for (++at; at < src.size() && src[at] != '"'; ++at) at += src[at] == '\\';
                    depth += src[at] == '(' ? 1 : src[at] == ')' ? -1 : 0;
                }
                size_t from = static_cast<size_t>(it->position()) + it->str(1).size();
                if (from >= 6 && src.compare(from - 6, 6, "i18n::") == 0) from -= 6;
                while (from > 0 && std::isspace(static_cast<unsigned char>(src[from - 1]))) --from;
                while (at < src.size() && std::isspace(static_cast<unsigned char>(src[at]))) ++at;
                ++calls;
                if ((from > 0 && src[from - 1] == '+') ||
                    (from > 1 && src.compare(from - 2, 2, "+=") == 0) ||
                    (at < src.size() && src[at] == '+'))
                    ADD_FAILURE() << f.path().filename()
                                  << ": a translated text joined to other text at "
                                  << std::count(src.begin(), src.begin() + static_cast<long>(from),
                                                '\n') +
                                         1;
            }
        }
    EXPECT_GT(calls, 60) << "the scan no longer finds the screens' texts";
}

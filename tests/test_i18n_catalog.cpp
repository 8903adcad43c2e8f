// The compiled-in catalogues as data: same keys and placeholders everywhere, real
// translations, and a glyph for every character in the fonts the game ships.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "i18n_catalog.h"

using i18n_data::Catalog;
using i18n_data::kCatalogCount;
using i18n_data::kCatalogs;
using i18n_data::kEntryCount;

namespace {

// More than this many texts equal to English means a catalogue was copied, not translated;
// a few (OK, Arcade, Level) are the natural word in several languages.
constexpr int kMaxSameAsEnglish = 8;

const Catalog& english() {
    return kCatalogs[1];
}

// Code points of a UTF-8 text; an empty result for a malformed one.
std::vector<char32_t> decodeUtf8(const std::string& s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
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

// The {{name}} placeholders of a text with their counts.
std::map<std::string, int> placeholders(const std::string& s) {
    std::map<std::string, int> out;
    for (size_t pos = s.find("{{"); pos != std::string::npos; pos = s.find("{{", pos + 2)) {
        const size_t end = s.find("}}", pos + 2);
        if (end == std::string::npos) break;
        ++out[s.substr(pos + 2, end - pos - 2)];
    }
    return out;
}

std::string hex(char32_t cp) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
}

// The source with its // comments blanked out (string literals are kept whole, so a "//"
// inside one survives).
std::string withoutComments(const std::string& src) {
    std::string out = src;
    bool inString = false;
    for (size_t i = 0; i < out.size(); ++i) {
        if (inString) {
            if (out[i] == '\\') {
                ++i;
            } else if (out[i] == '"') {
                inString = false;
            }
        } else if (out[i] == '"' && (i == 0 || out[i - 1] != '\'')) {
            inString = true;
        } else if (out.compare(i, 2, "//") == 0) {
            while (i < out.size() && out[i] != '\n') out[i++] = ' ';
        }
    }
    return out;
}

struct Glued {
    int calls = 0;                   // translation calls found
    std::vector<std::string> where;  // "file:line" of each one joined to other text
};

// Every call tr(...) or i18n::tr(...) in the C++ sources under dir, and the ones whose
// result is joined to something else with + or +=.
Glued findGluedTexts(const std::string& dir) {
    Glued out;
    auto ident = [](char ch) { return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_'; };
    for (const auto& file : std::filesystem::directory_iterator(dir)) {
        if (file.path().extension() != ".cpp") continue;
        std::stringstream buf;
        buf << std::ifstream(file.path()).rdbuf();
        const std::string src = withoutComments(buf.str());
        for (size_t at = src.find("tr("); at != std::string::npos; at = src.find("tr(", at + 3)) {
            if (at > 0 && ident(src[at - 1])) continue;  // strtol(, ptr( ...
            ++out.calls;
            size_t end = at + 3;
            for (int depth = 1; end < src.size() && depth > 0; ++end) {
                if (src[end] == '"') {
                    for (++end; end < src.size() && src[end] != '"'; ++end)
                        if (src[end] == '\\') ++end;
                } else if (src[end] == '(') {
                    ++depth;
                } else if (src[end] == ')') {
                    --depth;
                }
            }
            size_t before = at >= 6 && src.compare(at - 6, 6, "i18n::") == 0 ? at - 6 : at;
            while (before > 0 && std::isspace(static_cast<unsigned char>(src[before - 1])))
                --before;
            while (end < src.size() && std::isspace(static_cast<unsigned char>(src[end]))) ++end;
            const bool glued = (before > 0 && src[before - 1] == '+') ||
                               (before > 1 && src.compare(before - 2, 2, "+=") == 0) ||
                               (end < src.size() && src[end] == '+');
            if (glued) {
                const auto line = std::count(src.begin(), src.begin() + at, '\n') + 1;
                out.where.push_back(file.path().filename().string() + ":" + std::to_string(line));
            }
        }
    }
    return out;
}

struct BundledFont {
    std::string file;
    std::string family;
    std::string style;
    FcCharSet* charset = nullptr;  // owned by pattern
    FcPattern* pattern = nullptr;
};

}  // namespace

TEST(I18nCatalog, EveryCatalogueHasTheSameKeysAndPlaceholders) {
    ASSERT_EQ(std::string(english().code), "en");
    std::set<std::string> codes;
    for (const Catalog& c : kCatalogs) {
        SCOPED_TRACE(c.code);
        EXPECT_TRUE(codes.insert(c.code).second) << "duplicate code";
        ASSERT_EQ(c.count, kEntryCount);
        EXPECT_FALSE(decodeUtf8(c.nativeName).empty());
        std::set<std::string> keys;
        for (size_t i = 0; i < c.count; ++i) {
            const std::string key = c.entries[i].key;
            const std::string text = c.entries[i].text;
            const std::string enText = english().entries[i].text;
            EXPECT_EQ(key, english().entries[i].key) << "key order differs at " << i;
            EXPECT_TRUE(keys.insert(key).second) << "duplicate key " << key;
            EXPECT_FALSE(text.empty()) << key;
            EXPECT_FALSE(decodeUtf8(text).empty()) << key << " is not valid UTF-8";
            EXPECT_EQ(placeholders(text), placeholders(enText)) << key;
            EXPECT_EQ(text.find("{{ "), std::string::npos) << key;
            EXPECT_EQ(text.front() == ' ' || text.back() == ' ', false) << key;
        }
    }
    EXPECT_EQ(codes.size(), kCatalogCount);
}

TEST(I18nCatalog, TranslationsAreRealAndCarryTheTrackTitle) {
    for (const Catalog& c : kCatalogs) {
        SCOPED_TRACE(c.code);
        int same = 0;
        std::string credit;
        for (size_t i = 0; i < c.count; ++i) {
            if (std::string(c.entries[i].text) == english().entries[i].text) ++same;
            if (std::string(c.entries[i].key) == "about.musicCredit") credit = c.entries[i].text;
        }
        if (&c != &english()) {
            EXPECT_LE(same, kMaxSameAsEnglish);
        }
        EXPECT_NE(credit.find("Tarn at Dusk"), std::string::npos) << credit;
    }
    // A few English texts exactly as the game shows them.
    std::map<std::string, std::string> en;
    for (size_t i = 0; i < english().count; ++i)
        en[english().entries[i].key] = english().entries[i].text;
    EXPECT_EQ(en["menu.play"], "PLAY");
    EXPECT_EQ(en["about.musicCredit"], "Background music “Tarn at Dusk”");
    EXPECT_EQ(en["gallery.empty"], "No solved levels yet.\nClear a level to see it here.");
    EXPECT_EQ(en["tarnwick.optimumHint"], "Free all {{n}} star orbs for ★★★");
    EXPECT_EQ(en["highscores.empty"], "No arcade run played yet. Smash Arcade · Endless!");
    EXPECT_EQ(en["ending.buddhaPerfect"],
              "You have mastered every single level with three stars. The Buddha bows deeply to "
              "you — you have reached the highest status of respect and are now the true "
              "Tarnwick master.");
}

TEST(I18nCatalog, BundledFontsHaveAGlyphForEveryCharacter) {
    const std::string dir = TARNWICK_SOURCE_DIR "/assets/fonts/";
    // The Latin faces, then one CJK face per language: Japanese, Chinese and Korean texts are
    // drawn in their own face, so each of them must find every character there.
    std::vector<BundledFont> fonts = {{"DejaVuSans.ttf", "DejaVu Sans", "Book"},
                                      {"DejaVuSans-Bold.ttf", "DejaVu Sans", "Bold"},
                                      {"QuendraCJK-JP.ttf", "Quendra CJK JP", "Regular"},
                                      {"QuendraCJK-SC.ttf", "Quendra CJK SC", "Regular"},
                                      {"QuendraCJK-KR.ttf", "Quendra CJK KR", "Regular"}};
    const std::map<std::string, size_t> ownFace = {{"ja", 2}, {"zh", 3}, {"ko", 4}};
    for (auto& f : fonts) {
        const std::string path = dir + f.file;
        int count = 0;
        f.pattern =
            FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(path.c_str()), 0, nullptr, &count);
        ASSERT_NE(f.pattern, nullptr) << path;
        FcChar8* family = nullptr;
        FcChar8* style = nullptr;
        ASSERT_EQ(FcPatternGetString(f.pattern, FC_FAMILY, 0, &family), FcResultMatch);
        ASSERT_EQ(FcPatternGetString(f.pattern, FC_STYLE, 0, &style), FcResultMatch);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(family)), f.family) << f.file;
        EXPECT_EQ(std::string(reinterpret_cast<char*>(style)), f.style) << f.file;
        ASSERT_EQ(FcPatternGetCharSet(f.pattern, FC_CHARSET, 0, &f.charset), FcResultMatch);
    }
    // The CJK faces are subsets: none may quietly be the whole font again.
    for (size_t i = 2; i < fonts.size(); ++i)
        EXPECT_LT(FcCharSetCount(fonts[i].charset), 2000u) << fonts[i].file;

    // A character of a text in lang has a glyph in the regular Latin face or in the
    // language's own CJK face (any CJK face for the other languages).
    auto covered = [&](char32_t cp, const std::string& lang) {
        if (FcCharSetHasChar(fonts[0].charset, cp)) return true;
        const auto own = ownFace.find(lang);
        for (size_t i = 2; i < fonts.size(); ++i) {
            if (own != ownFace.end() && own->second != i) continue;
            if (FcCharSetHasChar(fonts[i].charset, cp)) return true;
        }
        return false;
    };
    int checked = 0;
    auto checkText = [&](const std::string& lang, const std::string& where,
                         const std::string& text) {
        for (char32_t cp : decodeUtf8(text)) {
            if (cp == U'\n') continue;
            ++checked;
            EXPECT_TRUE(covered(cp, lang)) << where << ": no glyph for " << hex(cp);
            // Bold labels in Latin, Greek and Cyrillic keep their own bold glyphs.
            if (cp < 0x0590) {
                EXPECT_TRUE(FcCharSetHasChar(fonts[1].charset, cp))
                    << where << ": no bold glyph for " << hex(cp);
            }
        }
    };
    for (const Catalog& c : kCatalogs) {
        checkText(c.code, std::string(c.code) + " name", c.nativeName);
        for (size_t i = 0; i < c.count; ++i)
            checkText(c.code, std::string(c.code) + " " + c.entries[i].key, c.entries[i].text);
    }
    EXPECT_GT(checked, 20000);
    // The kana, Hangul and Han characters come from each language's own face, not from a
    // neighbour's or some system fallback.
    for (char32_t cp : {U'ア', U'ゲ', U'実'}) EXPECT_TRUE(covered(cp, "ja")) << hex(cp);
    for (char32_t cp : {U'关', U'戏'}) EXPECT_TRUE(covered(cp, "zh")) << hex(cp);
    for (char32_t cp : {U'설', U'한'}) EXPECT_TRUE(covered(cp, "ko")) << hex(cp);
    // And the check can fail: a Han character no text uses is in none of the files, and a
    // simplified character only Chinese uses is not in the Japanese face.
    EXPECT_FALSE(covered(U'万', "en"));
    EXPECT_FALSE(covered(U'关', "ja"));
    for (auto& f : fonts) FcPatternDestroy(f.pattern);
    // Releases fontconfig's configuration, which the leak checker would otherwise report.
    FcFini();
}

// A text a player reads is one catalogue entry whose placeholders take the numbers and
// names: each language places its own colon, space and word order, which a label glued to
// ": " and a number cannot do.
TEST(I18nCatalog, NoScreenGluesATranslatedTextToOtherText) {
    int calls = 0;
    for (const char* dir : {"/src/screens", "/src/ui"}) {
        const Glued found = findGluedTexts(TARNWICK_SOURCE_DIR + std::string(dir));
        calls += found.calls;
        for (const std::string& where : found.where)
            ADD_FAILURE() << where << ": a translated text joined to other text";
    }
    EXPECT_GT(calls, 60) << "the scan no longer finds the screens' texts";

    // The scan itself catches the ways texts used to be glued, and passes whole entries.
    const std::string scratch = std::filesystem::temp_directory_path() / "tarnwick-glue-scan";
    std::filesystem::create_directories(scratch);
    std::ofstream(scratch + "/sample.cpp")
        << "auto a = i18n::tr(\"tarnwick.score\") + \": \" + std::to_string(n);\n"
           "auto b = \"\\u2039 \" + tr(\"tarnwick.back\");\n"
           "label += i18n::tr(\"x\", {{\"n\", f(1)}});\n"
           "auto d = i18n::tr(\"solved.scoreLine\", {{\"n\", std::to_string(n)}});\n"
           "long e = std::strtol(s + 1);  // tr(\"no call\") + 1\n";
    const Glued sample = findGluedTexts(scratch);
    std::filesystem::remove_all(scratch);
    EXPECT_EQ(sample.calls, 4);
    EXPECT_EQ(sample.where,
              (std::vector<std::string>{"sample.cpp:1", "sample.cpp:2", "sample.cpp:3"}));
}

// The compiled-in catalogues as data: same keys and placeholders everywhere, real
// translations, and a glyph for every character in the fonts the game ships.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
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
    std::vector<BundledFont> fonts = {{"DejaVuSans.ttf", "DejaVu Sans", "Book"},
                                      {"DejaVuSans-Bold.ttf", "DejaVu Sans", "Bold"},
                                      {"QuendraCJK.ttf", "Quendra CJK", "Regular"}};
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
    // The CJK face is a subset: it must not quietly be the whole font again.
    EXPECT_LT(FcCharSetCount(fonts[2].charset), 2000u);

    auto covered = [&](char32_t cp, bool latinFaces) {
        for (size_t i = 0; i < fonts.size(); ++i) {
            if (!latinFaces && i < 2) continue;
            if (FcCharSetHasChar(fonts[i].charset, cp)) return true;
        }
        return false;
    };
    int checked = 0;
    auto checkText = [&](const std::string& where, const std::string& text) {
        for (char32_t cp : decodeUtf8(text)) {
            if (cp == U'\n') continue;
            ++checked;
            EXPECT_TRUE(covered(cp, true)) << where << ": no glyph for " << hex(cp);
            // Bold labels in Latin, Greek and Cyrillic keep their own bold glyphs.
            if (cp < 0x0590) {
                EXPECT_TRUE(FcCharSetHasChar(fonts[1].charset, cp))
                    << where << ": no bold glyph for " << hex(cp);
            }
        }
    };
    for (const Catalog& c : kCatalogs) {
        checkText(std::string(c.code) + " name", c.nativeName);
        for (size_t i = 0; i < c.count; ++i)
            checkText(std::string(c.code) + " " + c.entries[i].key, c.entries[i].text);
    }
    EXPECT_GT(checked, 20000);
    // The kana and Hangul come from the CJK face, not from some system fallback.
    for (char32_t cp : {U'ア', U'ゲ', U'설', U'한', U'关', U'実'}) EXPECT_TRUE(covered(cp, false));
    // And the check can fail: a Han character no text uses is in none of the three files.
    EXPECT_FALSE(covered(U'万', true));
    for (auto& f : fonts) FcPatternDestroy(f.pattern);
    // Releases fontconfig's configuration, which the leak checker would otherwise report.
    FcFini();
}

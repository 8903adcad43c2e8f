// The compiled-in text catalogues behind i18n: one table of (key, text) pairs per language,
// all with the same keys in the same order and the same placeholders per key.
#pragma once

#include <cstddef>

namespace i18n_data {

struct Entry {
    const char* key;
    const char* text;
};

struct Catalog {
    const char* code;
    const char* nativeName;
    const char* englishName;
    bool rtl;
    const Entry* entries;
    std::size_t count;
};

inline constexpr std::size_t kCatalogCount = 22;
inline constexpr std::size_t kEntryCount = 91;

// Catalogue order: de, en, fr, es, it, pt, nl, pl, cs, hu, ro, sv, da, fi, el, tr, ru, ja,
// zh, ko, ar, he.
extern const Catalog kCatalogs[kCatalogCount];

}  // namespace i18n_data

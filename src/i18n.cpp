#include "i18n.h"

#include <cctype>
#include <cstdlib>
#include <map>

#include "i18n_catalog.h"

namespace i18n {

namespace {

constexpr int kEnglish = 1;

struct State {
    int catalog = kEnglish;
    std::map<std::string, std::string> lookup;
};

State& st() {
    static State s;
    return s;
}

int indexOf(const std::string& code) {
    for (std::size_t i = 0; i < i18n_data::kCatalogCount; ++i)
        if (code == i18n_data::kCatalogs[i].code) return static_cast<int>(i);
    return -1;
}

void rebuildLookup() {
    State& s = st();
    s.lookup.clear();
    const i18n_data::Catalog& c = i18n_data::kCatalogs[s.catalog];
    for (std::size_t i = 0; i < c.count; ++i) s.lookup[c.entries[i].key] = c.entries[i].text;
}

// The language tag of one locale name: everything before the territory, codeset or
// modifier ("pt_BR.UTF-8" and "pt-BR" give "pt"), lower-cased.
std::string tagOf(const std::string& part) {
    std::string tag;
    for (char ch : part) {
        if (ch == '_' || ch == '-' || ch == '.' || ch == '@') break;
        tag += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return tag;
}

}  // namespace

const std::vector<Language>& languages() {
    static const std::vector<Language> list = [] {
        std::vector<Language> out;
        for (const auto& c : i18n_data::kCatalogs)
            out.push_back({c.code, c.nativeName, c.englishName, c.rtl});
        return out;
    }();
    return list;
}

std::string detectSystemLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        const std::string v(value);
        std::size_t start = 0;
        while (start <= v.size()) {
            std::size_t end = v.find(':', start);
            if (end == std::string::npos) end = v.size();
            const std::string tag = tagOf(v.substr(start, end - start));
            if (!tag.empty() && indexOf(tag) >= 0) return tag;
            start = end + 1;
        }
    }
    return "en";
}

void setLanguage(const std::string& code) {
    const std::string target = code.empty() ? detectSystemLanguage() : code;
    const int index = indexOf(target);
    st().catalog = index >= 0 ? index : kEnglish;
    rebuildLookup();
}

std::string currentLanguage() {
    return i18n_data::kCatalogs[st().catalog].code;
}

bool currentIsRtl() {
    return i18n_data::kCatalogs[st().catalog].rtl;
}

std::string tr(const std::string& key) {
    State& s = st();
    if (s.lookup.empty()) rebuildLookup();
    const auto it = s.lookup.find(key);
    return it == s.lookup.end() ? key : it->second;
}

std::string tr(const std::string& key,
               const std::vector<std::pair<std::string, std::string>>& params) {
    std::string result = tr(key);
    for (const auto& [name, value] : params) {
        const std::string pattern = "{{" + name + "}}";
        std::size_t pos = result.find(pattern);
        while (pos != std::string::npos) {
            result.replace(pos, pattern.size(), value);
            pos = result.find(pattern, pos + value.size());
        }
    }
    return result;
}

}  // namespace i18n

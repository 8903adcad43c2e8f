#include "core/json.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/fs_posix.h"

namespace json {

const Value kNull;

namespace {

// parseFile reads no more than this; the game's own documents are a few kilobytes.
constexpr std::int64_t kMaxFileBytes = 64ll << 20;

// strtod in the "C" locale: a player's locale with a decimal comma must not change how
// the game reads its own files.
double strtodC(const char* s, char** end) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr)) return std::strtod(s, end);
    return strtod_l(s, end, c);
}

struct Parser {
    const std::string& s;
    std::size_t i = 0;
    bool ok = true;
    int depth = 0;

    bool atEnd() const { return i >= s.size(); }

    void skipWs() {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
    }

    // A non-hexadecimal digit counts as 0 rather than failing.
    static unsigned hexDigit(char ch) {
        if (ch >= '0' && ch <= '9') return static_cast<unsigned>(ch - '0');
        if (ch >= 'a' && ch <= 'f') return static_cast<unsigned>(ch - 'a' + 10);
        if (ch >= 'A' && ch <= 'F') return static_cast<unsigned>(ch - 'A' + 10);
        return 0;
    }

    unsigned hex4(std::size_t at) const {
        unsigned v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = (v << 4) | hexDigit(s[at + k]);
        return v;
    }

    static void appendUtf8(std::string& out, unsigned cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }

    std::string parseString() {
        std::string out;
        skipWs();
        if (atEnd() || s[i] != '"') {
            ok = false;
            return out;
        }
        ++i;
        for (;;) {
            if (atEnd()) {
                ok = false;
                return out;
            }
            const char ch = s[i++];
            if (ch == '"') return out;
            if (ch != '\\') {
                out.push_back(ch);
                continue;
            }
            if (atEnd()) {
                ok = false;
                return out;
            }
            const char esc = s[i++];
            switch (esc) {
                case '"':
                case '\\':
                case '/':
                    out.push_back(esc);
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u': {
                    if (s.size() - i < 4) {
                        ok = false;
                        return out;
                    }
                    unsigned cp = hex4(i);
                    i += 4;
                    // A high surrogate pairs with a directly following low one; anything
                    // else leaves both halves to stand alone.
                    if (cp >= 0xD800 && cp <= 0xDBFF && s.size() - i >= 6 && s[i] == '\\' &&
                        s[i + 1] == 'u') {
                        const unsigned lo = hex4(i + 2);
                        if (lo >= 0xDC00 && lo <= 0xDFFF) {
                            cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                            i += 6;
                        }
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    ok = false;
                    return out;
            }
        }
    }

    bool literal(const char* word, std::size_t n) {
        if (s.compare(i, n, word) != 0) {
            ok = false;
            return false;
        }
        i += n;
        return true;
    }

    Value parseArray() {
        ++i;  // '['
        Value v{Array{}};
        skipWs();
        if (!atEnd() && s[i] == ']') {
            ++i;
            return v;
        }
        for (;;) {
            v.arr().push_back(parseValue());
            skipWs();
            if (!atEnd() && s[i] == ',') {
                ++i;
                if (!ok) return v;
                continue;
            }
            skipWs();
            if (!atEnd() && s[i] == ']') {
                ++i;
                return v;
            }
            ok = false;
            return v;
        }
    }

    Value parseObject() {
        ++i;  // '{'
        Value v{Object{}};
        skipWs();
        if (!atEnd() && s[i] == '}') {
            ++i;
            return v;
        }
        for (;;) {
            std::string key = parseString();
            if (!ok) return v;
            skipWs();
            if (atEnd() || s[i] != ':') {
                ok = false;
                return v;
            }
            ++i;
            // The last of duplicate keys wins.
            v.obj()[std::move(key)] = parseValue();
            skipWs();
            if (!atEnd() && s[i] == ',') {
                ++i;
                if (!ok) return v;
                continue;
            }
            if (!atEnd() && s[i] == '}') {
                ++i;
                return v;
            }
            ok = false;
            return v;
        }
    }

    Value parseValue() {
        skipWs();
        if (atEnd() || !ok) {
            ok = false;
            return {};
        }
        switch (s[i]) {
            case '"':
                return Value(parseString());
            case '[':
            case '{': {
                if (depth >= kMaxDepth) {
                    ok = false;
                    return {};
                }
                ++depth;
                Value v = s[i] == '[' ? parseArray() : parseObject();
                --depth;
                return v;
            }
            // Only the literal's own bytes are compared; a letter glued to it is left for
            // the caller's separator test.
            case 't':
                return literal("true", 4) ? Value(true) : Value();
            case 'f':
                return literal("false", 5) ? Value(false) : Value();
            case 'n':
                literal("null", 4);
                return {};
            default: {
                const char* start = s.c_str() + i;
                char* end = nullptr;
                const double d = strtodC(start, &end);
                if (end == start) {
                    ok = false;
                    return {};
                }
                i += static_cast<std::size_t>(end - start);
                return Value(d);
            }
        }
    }
};

void dumpString(std::string& out, const std::string& str) {
    out.push_back('"');
    for (const char ch : str) {
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(ch) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(ch));
                    out += buf;
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

void dumpNumber(std::string& out, double d) {
    if (!std::isfinite(d)) {
        out += "null";
        return;
    }
    char buf[40];
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        // Integers, epoch-millisecond time stamps included, stay exact; -0 prints as 0.
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(d));
        out += buf;
        return;
    }
    // to_chars is "%.17g" without the locale: a decimal comma would break the file.
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 17);
    out.append(buf, res.ptr);
}

void dumpValue(std::string& out, const Value& v) {
    switch (v.type()) {
        case Type::Null:
            out += "null";
            break;
        case Type::Bool:
            out += v.asBool(false) ? "true" : "false";
            break;
        case Type::Number:
            dumpNumber(out, v.asNumber(0));
            break;
        case Type::String:
            dumpString(out, v.asString());
            break;
        case Type::Array: {
            out.push_back('[');
            bool first = true;
            for (const Value& e : v.asArray()) {
                if (!first) out.push_back(',');
                first = false;
                dumpValue(out, e);
            }
            out.push_back(']');
            break;
        }
        case Type::Object: {
            out.push_back('{');
            bool first = true;
            for (const auto& [key, member] : v.asObject()) {
                if (!first) out.push_back(',');
                first = false;
                dumpString(out, key);
                out.push_back(':');
                dumpValue(out, member);
            }
            out.push_back('}');
            break;
        }
    }
}

}  // namespace

int Value::asInt(int def) const {
    if (type_ != Type::Number || std::isnan(num_)) return def;
    const double r = std::floor(num_ + 0.5);
    if (r >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(r);
}

const Value& Value::operator[](std::size_t i) const {
    if (type_ != Type::Array || i >= arr_.size()) return kNull;
    return arr_[i];
}

const Value& Value::operator[](const std::string& key) const {
    if (type_ != Type::Object) return kNull;
    const auto it = obj_.find(key);
    return it == obj_.end() ? kNull : it->second;
}

std::size_t Value::size() const {
    if (type_ == Type::Array) return arr_.size();
    if (type_ == Type::Object) return obj_.size();
    return 0;
}

bool Value::has(const std::string& key) const {
    return type_ == Type::Object && obj_.count(key) != 0;
}

std::string Value::dump() const {
    std::string out;
    dumpValue(out, *this);
    return out;
}

Value parse(const std::string& text) {
    Parser p{text};
    Value v = p.parseValue();
    if (!p.ok) return {};
    return v;
}

bool parseFile(const std::string& path, Value* out) {
    std::string text;
    if (platform::fs::readFile(path, &text, kMaxFileBytes) != platform::fs::ReadStatus::Ok)
        return false;
    Value v = parse(text);
    if (v.isNull()) return false;
    if (out) *out = std::move(v);
    return true;
}

bool writeFileAtomic(const std::string& path, const Value& v) {
    return platform::fs::writeFileDurable(path, v.dump(), path + ".tmp");
}

}  // namespace json

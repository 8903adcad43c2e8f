// The game's own small JSON library: a value tree, a parser and a compact writer. Nothing
// here throws: a text that does not parse gives a Null value, and a lookup that misses
// gives the shared null, so chains of lookups are always safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace json {

enum class Type : std::int32_t {
    Null = 0,
    Bool = 1,
    Number = 2,
    String = 3,
    Array = 4,
    Object = 5
};

class Value;
using Array = std::vector<Value>;
// Members sorted by key in byte order; keys are unique.
using Object = std::map<std::string, Value>;

// Documents nested deeper than this (arrays and objects counted) do not parse. The store
// writes four levels at most; the limit keeps hostile files from exhausting the stack.
inline constexpr int kMaxDepth = 256;

// A JSON value that owns its children. Only the member matching the type is meaningful.
class Value {
  public:
    Value() = default;
    Value(bool b) : type_(Type::Bool), bool_(b) {}
    Value(double d) : type_(Type::Number), num_(d) {}
    Value(int i) : type_(Type::Number), num_(i) {}
    Value(long long i) : type_(Type::Number), num_(static_cast<double>(i)) {}
    // std::int64_t and std::uint32_t, so that they do not need a cast.
    Value(long i) : type_(Type::Number), num_(static_cast<double>(i)) {}
    Value(unsigned i) : type_(Type::Number), num_(i) {}
    Value(const char* s) : type_(Type::String), str_(s ? s : "") {}
    Value(std::string s) : type_(Type::String), str_(std::move(s)) {}
    Value(Array a) : type_(Type::Array), arr_(std::move(a)) {}
    Value(Object o) : type_(Type::Object), obj_(std::move(o)) {}

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    bool isBool() const { return type_ == Type::Bool; }
    bool isNumber() const { return type_ == Type::Number; }
    bool isString() const { return type_ == Type::String; }
    bool isArray() const { return type_ == Type::Array; }
    bool isObject() const { return type_ == Type::Object; }

    // The boolean of a Bool, else def.
    bool asBool(bool def) const { return type_ == Type::Bool ? bool_ : def; }
    // The number of a Number, else def.
    double asNumber(double def) const { return type_ == Type::Number ? num_ : def; }
    // A Number rounded half up (2.5 gives 3, -2.5 gives -2), saturated to the int range;
    // def for NaN and for every other type (a Bool or a numeric String is not converted).
    int asInt(int def) const;
    // The text of a String, the elements of an Array, the members of an Object; empty for
    // a value of another type.
    const std::string& asString() const { return str_; }
    const Array& asArray() const { return arr_; }
    const Object& asObject() const { return obj_; }
    // Writable elements and members; meaningful when the value is an Array or an Object.
    Array& arr() { return arr_; }
    Object& obj() { return obj_; }

    // The i-th element of an Array, or the shared null.
    const Value& operator[](std::size_t i) const;
    // The member key of an Object, or the shared null.
    const Value& operator[](const std::string& key) const;
    // Element count of an Array, member count of an Object, 0 otherwise.
    std::size_t size() const;
    // True only for an Object holding key.
    bool has(const std::string& key) const;

    // Compact JSON text without any whitespace; object members in key order. Integral
    // numbers below 1e15 in magnitude print as integers, others with 17 significant
    // digits; NaN and infinities, which JSON cannot express, print as null.
    std::string dump() const;

  private:
    Type type_ = Type::Null;
    bool bool_ = false;
    double num_ = 0;
    std::string str_;
    Array arr_;
    Object obj_;
};

// The one shared Null value, alive for the whole run.
extern const Value kNull;

// The document in text, or a Null value when it is not valid JSON. Text after the first
// complete value is ignored; numbers are read like the C library's strtod in the "C"
// locale, whatever the process locale is.
Value parse(const std::string& text);
// Parses the file at path into *out; false (and *out unchanged) when it cannot be read,
// is larger than 64 MiB, or does not parse to a non-null value.
bool parseFile(const std::string& path, Value* out);
// Replaces the file at path by the dump of v so that it holds either the old or the whole
// new text at any moment (through path + ".tmp"); false when that failed, with the old
// file untouched.
bool writeFileAtomic(const std::string& path, const Value& v);

}  // namespace json

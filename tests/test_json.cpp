// The JSON parser and writer: grammar corners, limits against hostile files, round trips.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "core/json.h"
#include "support/tmpdir.h"

using json::Value;

TEST(JsonParse, GrammarCornersAndFailures) {
    // Input and its parse, dumped ("null" also for failure). Text after the first complete
    // value is ignored; a form feed is no whitespace; whatever strtod takes is taken.
    const std::pair<std::string, std::string> cases[] = {
        {"", "null"}, {"tru", "null"}, {" false ", "false"}, {"truex", "true"}, {"[truex]", "null"},
        {"[\f]", "null"}, {"-0.25e2", "-25"}, {"+7", "7"}, {"0x10", "16"}, {"nan", "null"},
        {"[-Infinity]", "[null]"}, {"-", "null"},
        {" [ 1 , \"x\" , [ ] , { } , null ] ", R"([1,"x",[],{},null])"},
        {"[1,]", "null"}, {"{\"a\":1,}", "null"}, {"[1 2]", "null"}, {"[1,2", "null"},
        {"{a:1}", "null"}, {"{\"a\":}", "null"}, {"{\"a\":1,\"a\":2}", R"({"a":2})"},
        {"[1,2]   and more", "[1,2]"},
        {R"("abc)", "null"}, {R"("\q")", "null"}, {R"("\u12")", "null"}, {"\"\\", "null"}};
    for (const auto& [in, out] : cases) EXPECT_EQ(json::parse(in).dump(), out) << in;
    EXPECT_TRUE(std::isinf(json::parse("1e999").asNumber(0)));

    // Escapes and surrogates, compared as dumped. Lone surrogates stand alone as three
    // bytes; a non-hexadecimal digit counts as 0.
    const std::pair<const char*, std::string> strings[] = {
        {R"("a\"b\\c\/d")", "a\"b\\c/d"}, {R"("\b\f\n\r\t")", "\b\f\n\r\t"},
        {R"("\u00e9\u20AC")", "\xC3\xA9\xE2\x82\xAC"}, {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        {R"("\udbff\udfff")", "\xF4\x8F\xBF\xBF"}, {R"("\ud83dx")", "\xED\xA0\xBDx"},
        {R"("\ud83d\u0041")", "\xED\xA0\xBD" "A"}, {R"("\ude00")", "\xED\xB8\x80"},
        {R"("\u00g9")", "\t"}, {R"("a\u0000b")", std::string("a\0b", 3)},
        {"\"\x01\xFF\"", "\x01\xFF"}};
    for (const auto& [in, out] : strings)
        EXPECT_EQ(json::parse(in).dump(), Value(out).dump()) << in;
}

TEST(JsonParse, NestingDepthIsLimited) {
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    };
    EXPECT_TRUE(json::parse(nested(json::kMaxDepth)).isArray());
    EXPECT_TRUE(json::parse(nested(json::kMaxDepth + 1)).isNull());
    EXPECT_TRUE(json::parse(std::string(2'000'000, '[')).isNull());  // no stack overflow
}

TEST(JsonParse, NumbersIgnoreTheProcessLocale) {
    // A German locale writes a decimal comma; the files must not change with the locale.
    const std::string dir = testsupport::freshDir("json-locale");
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef or the locale sources missing";
    ::setenv("LOCPATH", dir.c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    const double half = json::parse("0.5").asNumber(0);
    const std::string list = Value(json::Array{Value(1.25), Value(-3e-5)}).dump();
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_EQ(half, 0.5);
    EXPECT_EQ(list, "[1.25,-3.0000000000000001e-05]");
}

TEST(JsonValue, AccessorsSaturateAndFallBack) {
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    const std::pair<Value, int> asInt[] = {
        {Value(2.5), 3}, {Value(-2.5), -2}, {Value(true), 7}, {Value("5"), 7}, {Value(3e9), kMax},
        {Value(-3e9), kMin}, {Value(1e300), kMax}, {Value(2147483647.0), kMax},
        {Value(std::numeric_limits<double>::infinity()), kMax}, {Value(std::nan("")), 7}};
    for (const auto& [v, n] : asInt) EXPECT_EQ(v.asInt(7), n) << v.dump();
    EXPECT_EQ(Value("x").asNumber(4), 4);
    EXPECT_EQ(Value(3).asString(), "");
    const Value doc = json::parse(R"({"current_game":{"board":[[1]]}})");
    EXPECT_EQ(doc["current_game"]["board"][0][0].asInt(-1), 1);
    EXPECT_EQ(&doc["nothing"]["board"][3]["x"], &json::kNull);
    EXPECT_TRUE(doc.has("current_game") && !doc.has("board"));
}

TEST(JsonDump, CompactTextAndRoundTrips) {
    // JSON has no spelling for infinities and NaN; null keeps the document valid.
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<Value, std::string> cases[] = {
        {Value(-0.0), "0"}, {Value(0.35), "0.34999999999999998"},
        {Value(1e16), "10000000000000000"},
        {Value(1.5e300), "1.5000000000000001e+300"}, {Value(1733500000123ll), "1733500000123"},
        {Value(inf), "null"}, {Value(std::nan("")), "null"},
        {Value(std::string("\x08\x1f")), "\"\\u0008\\u001f\""},
        {Value("q\"b\\n\nr\rt\t"), "\"q\\\"b\\\\n\\nr\\rt\\t\""},
        {Value(std::string("a\0b", 3)), "\"a\\u0000b\""}};
    for (const auto& [v, text] : cases) EXPECT_EQ(v.dump(), text);

    // Documents in the form the store writes them come back byte for byte.
    const std::string saves =
        R"({"arcade_highscores":[{"achievedAt":1733500000123,"elapsedMs":98765,"marbles":80,)"
        R"("score":5000}],"current_game":{"arcade":false,"board":[[0,1,-1],[-1,2,3]],)"
        R"("currentColor":2,"freedStarOrbs":[0,2],"level":12,"seed":4294967295,)"
        R"("text":"tab\tquote\"back\\nul\u0000end \u00e9\ud83d\ude00","tiny":5e-324,)"
        R"("big":1.7976931348623157e+308,"frac":0.10000000000000001},"unlocked_level":13})";
    const Value v = json::parse(saves);
    ASSERT_TRUE(v.isObject());
    EXPECT_EQ(json::parse(v.dump()).dump(), v.dump());
    EXPECT_EQ(v["current_game"]["seed"].asNumber(0), 4294967295.0);
    EXPECT_EQ(v["current_game"]["tiny"].asNumber(0), 5e-324);
    EXPECT_EQ(v["current_game"]["frac"].asNumber(0), 0.1);
    EXPECT_EQ(json::parse(v.dump())["current_game"]["text"].asString(),
              std::string("tab\tquote\"back\\nul\0end \xC3\xA9\xF0\x9F\x98\x80", 29));
}

// The JSON parser and writer: the corners of the grammar the game relies on, the limits
// that keep hostile files harmless, and round trips through the writer.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>

#include "core/json.h"
#include "support/tmpdir.h"

using json::Value;

namespace {

// Each input with what parsing it gives, dumped; "null" is also what a failure gives.
void expectParses(std::initializer_list<std::pair<std::string, std::string>> cases) {
    for (const auto& [in, out] : cases) EXPECT_EQ(json::parse(in).dump(), out) << in;
}

}  // namespace

TEST(JsonParse, LiteralsNumbersAndFailures) {
    // Only the literal's own bytes count; what follows at top level is not looked at. A form
    // feed or vertical tab is not whitespace. Whatever strtod takes is taken: plus sign,
    // leading point, hexadecimal; "nan" is taken for a misspelt null.
    expectParses({{"", "null"},       {"   \t\r\n", "null"}, {"nul", "null"},
                  {"tru", "null"},    {"true", "true"},      {" false ", "false"},
                  {"null", "null"},   {"truex", "true"},     {"[truex]", "null"},
                  {"[\f]", "null"},   {"{\v}", "null"},      {"42", "42"},
                  {"-0.25e2", "-25"}, {"+7", "7"},           {".5", "0.5"},
                  {"0x10", "16"},     {"nan", "null"},       {"[-Infinity]", "[null]"},
                  {"-", "null"},      {"@", "null"}});
    EXPECT_TRUE(std::isinf(json::parse("1e999").asNumber(0)));
    EXPECT_TRUE(std::isnan(json::parse("NaN").asNumber(0)));
}

TEST(JsonParse, NumbersIgnoreTheProcessLocale) {
    // A German locale writes and reads numbers with a decimal comma; the game's files must
    // not change with the player's locale. The locale is compiled into a scratch directory
    // so that the test does not depend on what the machine has installed.
    const std::string dir = testsupport::freshDir("json-locale");
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef or the locale sources missing";
    ::setenv("LOCPATH", dir.c_str(), 1);
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const double half = json::parse("0.5").asNumber(0);
    const std::string written = Value(0.35).dump();
    const std::string list = Value(json::Array{Value(1.25), Value(-3e-5)}).dump();
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_EQ(half, 0.5);
    EXPECT_EQ(written, "0.34999999999999998");
    EXPECT_EQ(list, "[1.25,-3.0000000000000001e-05]");
}

TEST(JsonParse, ArraysAndObjects) {
    // The last duplicate wins; text after the first complete value is ignored.
    expectParses({{" [ 1 , \"x\" , [ ] , { } , null ] ", R"([1,"x",[],{},null])"},
                  {"[1,]", "null"},
                  {"{\"a\":1,}", "null"},
                  {"[1 2]", "null"},
                  {"[1,2", "null"},
                  {"{\"a\" 1}", "null"},
                  {"{a:1}", "null"},
                  {"{\"a\":}", "null"},
                  {"[", "null"},
                  {"{\"a\":1,\"a\":2}", R"({"a":2})"},
                  {"[1,2]   and more words", "[1,2]"},
                  {"{} trailing", "{}"}});
}

TEST(JsonParse, StringEscapesAndSurrogates) {
    const std::pair<const char*, std::string> cases[] = {
        {R"("a\"b\\c\/d")", "a\"b\\c/d"},
        {R"("\b\f\n\r\t")", "\b\f\n\r\t"},
        {R"("\u00e9")", "\xC3\xA9"},
        {R"("\u20AC")", "\xE2\x82\xAC"},
        {R"("\ud83d\ude00")", "\xF0\x9F\x98\x80"},
        // A lone high surrogate before a plain letter stands alone as three bytes; before an
        // escape that is not a low one, both stand alone; a lone low surrogate too.
        {R"("\ud83dx")",
         "\xED\xA0\xBD"
         "x"},
        {R"("\ud83d\u0041")",
         "\xED\xA0\xBD"
         "A"},
        {R"("\ude00")", "\xED\xB8\x80"},
        {R"("\u00g9")", "\t"},  // a non-hexadecimal digit counts as 0
        {R"("a\u0000b")", std::string("a\0b", 3)},
        {"\"\x01\xFF\"", "\x01\xFF"},  // raw control and high bytes are taken as they are
    };
    // Compared as dumped, so that the type counts as well.
    for (const auto& [in, out] : cases) EXPECT_EQ(json::parse(in).dump(), Value(out).dump()) << in;
    expectParses(
        {{R"("abc)", "null"}, {R"("\q")", "null"}, {R"("\u12")", "null"}, {"\"\\", "null"}});
}

TEST(JsonParse, NestingDepthIsLimited) {
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    };
    EXPECT_TRUE(json::parse(nested(json::kMaxDepth)).isArray());
    EXPECT_TRUE(json::parse(nested(json::kMaxDepth + 1)).isNull());
    // Far deeper than any stack would take without the limit.
    EXPECT_TRUE(json::parse(std::string(2'000'000, '[')).isNull());
    std::string objects;
    for (int i = 0; i < 100'000; ++i) objects += "{\"a\":";
    EXPECT_TRUE(json::parse(objects).isNull());
}

TEST(JsonValue, AccessorsAndLookups) {
    // Out of range and non-finite numbers saturate or fall back instead of misbehaving.
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<Value, int> asInt[] = {
        {Value(2.5), 3}, {Value(-2.5), -2}, {Value(2.4999), 2}, {Value(true), 7}, {Value("5"), 7},
        {Value(1e300), kMax}, {Value(-1e300), kMin}, {Value(inf), kMax}, {Value(std::nan("")), 7},
        {Value(2147483647.0), kMax}, {Value(-2147483648.0), kMin}};
    for (const auto& [v, n] : asInt) EXPECT_EQ(v.asInt(7), n) << v.dump();

    EXPECT_EQ(Value(1).asBool(true), true);
    EXPECT_EQ(Value("x").asNumber(4), 4);
    EXPECT_EQ(Value(3).asString(), "");
    EXPECT_EQ(Value(3).asArray().size(), 0u);

    const Value empty{json::Array{}};
    EXPECT_EQ(&empty[0], &json::kNull);
    EXPECT_EQ(&Value(3)["x"], &json::kNull);
    EXPECT_EQ(Value("abc").size(), 0u);
    const Value doc = json::parse(R"({"current_game":{"board":[[1]]}})");
    EXPECT_EQ(doc["current_game"]["board"][0][0].asInt(-1), 1);
    EXPECT_EQ(&doc["nothing"]["board"][3]["x"], &json::kNull);
    EXPECT_TRUE(doc.has("current_game"));
    EXPECT_FALSE(doc.has("board"));
    EXPECT_FALSE(Value(json::Array{}).has("x"));
}

TEST(JsonDump, CompactTextForEveryType) {
    // JSON has no spelling for infinities and NaN; null keeps the document valid.
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<Value, std::string> cases[] = {
        {Value(), "null"}, {Value(true), "true"}, {Value(3), "3"}, {Value(2.5), "2.5"},
        {Value(-0.0), "0"}, {Value(0.35), "0.34999999999999998"},
        {Value(1e16), "10000000000000000"}, {Value(1e15), "1000000000000000"},
        {Value(999999999999999.0), "999999999999999"}, {Value(1.5e300), "1.5000000000000001e+300"},
        {Value(1733500000123ll), "1733500000123"}, {Value(inf), "null"}, {Value(-inf), "null"},
        {Value(std::nan("")), "null"}, {Value(std::string("\x01")), "\"\\u0001\""},
        {Value(std::string("\x08\x1f")), "\"\\u0008\\u001f\""}, {Value("a/b"), "\"a/b\""},
        {Value("q\"b\\n\nr\rt\t"), "\"q\\\"b\\\\n\\nr\\rt\\t\""}, {Value("Grüße ✓"), "\"Grüße ✓\""},
        {Value(std::string("a\0b", 3)), "\"a\\u0000b\""}};
    for (const auto& [v, text] : cases) EXPECT_EQ(v.dump(), text);
    json::Object o;
    o["b"] = 1;
    o["a"] = json::Array{Value(1), Value("x"), Value()};
    EXPECT_EQ(Value(std::move(o)).dump(), R"({"a":[1,"x",null],"b":1})");
}

TEST(JsonDump, ParseOfDumpGivesTheSameValue) {
    json::Object inner;
    inner["text"] = std::string("tab\tquote\"back\\nul\0end", 22);
    inner["emoji"] = "\xF0\x9F\x98\x80";
    inner["neg"] = -123456789;
    inner["frac"] = 0.1;
    inner["tiny"] = 5e-324;
    inner["big"] = 1.7976931348623157e308;
    json::Object doc;
    doc["inner"] = std::move(inner);
    doc["list"] = json::Array{Value(true), Value(false), Value(), Value(json::Object{})};
    const std::string text = Value(std::move(doc)).dump();
    const Value back = json::parse(text);
    ASSERT_TRUE(back.isObject());
    EXPECT_EQ(back.dump(), text);
    EXPECT_EQ(back["inner"]["text"].asString(), std::string("tab\tquote\"back\\nul\0end", 22));
    EXPECT_EQ(back["inner"]["frac"].asNumber(0), 0.1);
    EXPECT_EQ(back["inner"]["tiny"].asNumber(0), 5e-324);
    EXPECT_EQ(back["inner"]["big"].asNumber(0), 1.7976931348623157e308);
}

TEST(JsonDump, StoreDocumentsComeBackByteForByte) {
    // Documents in the form the store writes them: the writer's output is canonical, so
    // parsing and dumping again must give exactly the same text.
    const std::string settings =
        R"({"aimGuide":true,"fullscreen":false,"language":"pt-BR","maximized":false,)"
        R"("musicVolume":0.34999999999999998,"sfxVolume":0.75,"soundOn":true,"windowH":800,)"
        R"("windowW":1280,"windowX":-1,"windowY":-1})";
    const std::string saves =
        R"({"arcade_highscores":[{"achievedAt":1733500000123,"elapsedMs":98765,"marbles":80,)"
        R"("score":5000}],"current_game":{"arcade":false,"board":[[0,1,-1],[-1,2,3]],)"
        R"("currentColor":2,"destroyedObstacles":[],"elapsedMs":61000,"freedStarOrbs":[0,2],)"
        R"("incomingQueue":[[1,1,2]],"level":12,"nextColor":3,"savedAt":1733500000999,)"
        R"("score":4200,"seed":4294967295,"shotsFired":17,"starOrbPositions":[[1,2],[0,0]]},)"
        R"("level_stars":{"0":{"elapsedMs":61000,"moves":20,"stars":3},"12":{"elapsedMs":0,)"
        R"("moves":45,"stars":1}},"solves_list":[{"elapsedMs":120000,"level":10,"marbles":45,)"
        R"("score":900,"solvedAt":1733500500000,"stars":1}],"unlocked_level":13})";
    for (const std::string& doc : {settings, saves}) {
        const Value v = json::parse(doc);
        ASSERT_TRUE(v.isObject());
        EXPECT_EQ(v.dump(), doc);
    }
    EXPECT_EQ(json::parse(saves)["current_game"]["seed"].asNumber(0), 4294967295.0);
    EXPECT_EQ(json::parse(saves)["arcade_highscores"][0]["achievedAt"].dump(), "1733500000123");
}

TEST(JsonFiles, ParseFileAndAtomicWrite) {
    const std::string dir = testsupport::freshDir("json-files");
    const std::string path = dir + "/doc.json";
    Value v(3);
    EXPECT_FALSE(json::parseFile(dir + "/missing.json", &v));
    EXPECT_EQ(v.asInt(0), 3);

    json::Object o;
    o["k"] = "v";
    ASSERT_TRUE(json::writeFileAtomic(path, Value(std::move(o))));
    EXPECT_EQ(testsupport::readBytes(path), R"({"k":"v"})");
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    ASSERT_TRUE(json::parseFile(path, &v));
    EXPECT_EQ(v["k"].asString(), "v");

    // A file holding only null, or garbage, leaves the target alone.
    ASSERT_TRUE(testsupport::writeBytes(path, "null"));
    EXPECT_FALSE(json::parseFile(path, &v));
    EXPECT_EQ(v["k"].asString(), "v");
    ASSERT_TRUE(testsupport::writeBytes(path, "[1,"));
    EXPECT_FALSE(json::parseFile(path, &v));

    // Replacing a file never goes through a moment without it: the old content stays
    // when the write cannot happen (here: the target's directory does not exist).
    EXPECT_FALSE(json::writeFileAtomic(dir + "/no/such/dir/doc.json", Value(1)));
}

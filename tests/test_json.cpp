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

TEST(JsonParse, LiteralsNumbersAndFailures) {
    EXPECT_TRUE(json::parse("").isNull());
    EXPECT_TRUE(json::parse("   \t\r\n").isNull());
    EXPECT_TRUE(json::parse("nul").isNull());
    EXPECT_TRUE(json::parse("tru").isNull());
    EXPECT_EQ(json::parse("true").asBool(false), true);
    EXPECT_EQ(json::parse(" false ").asBool(true), false);
    EXPECT_TRUE(json::parse("null").isNull());
    // Only the literal's own bytes count; what follows at top level is not looked at.
    EXPECT_EQ(json::parse("truex").asBool(false), true);
    EXPECT_TRUE(json::parse("[truex]").isNull());
    // A form feed or vertical tab is not whitespace.
    EXPECT_TRUE(json::parse("[\f]").isNull());
    EXPECT_TRUE(json::parse("{\v}").isNull());

    EXPECT_DOUBLE_EQ(json::parse("42").asNumber(0), 42);
    EXPECT_DOUBLE_EQ(json::parse("-0.25e2").asNumber(0), -25);
    // Whatever strtod takes is taken: plus sign, leading point, hexadecimal.
    EXPECT_DOUBLE_EQ(json::parse("+7").asNumber(0), 7);
    EXPECT_DOUBLE_EQ(json::parse(".5").asNumber(0), 0.5);
    EXPECT_DOUBLE_EQ(json::parse("0x10").asNumber(0), 16);
    EXPECT_TRUE(std::isinf(json::parse("1e999").asNumber(0)));
    EXPECT_TRUE(std::isnan(json::parse("NaN").asNumber(0)));
    EXPECT_TRUE(json::parse("nan").isNull());  // taken for a misspelt null
    EXPECT_EQ(json::parse("[-Infinity]").dump(), "[null]");
    EXPECT_TRUE(json::parse("-").isNull());
    EXPECT_TRUE(json::parse("@").isNull());
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
    const Value a = json::parse(" [ 1 , \"x\" , [ ] , { } , null ] ");
    ASSERT_TRUE(a.isArray());
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].asInt(0), 1);
    EXPECT_EQ(a[1].asString(), "x");
    EXPECT_TRUE(a[2].isArray());
    EXPECT_EQ(a[2].size(), 0u);
    EXPECT_TRUE(a[3].isObject());
    EXPECT_TRUE(a[4].isNull());

    EXPECT_TRUE(json::parse("[1,]").isNull());
    EXPECT_TRUE(json::parse("{\"a\":1,}").isNull());
    EXPECT_TRUE(json::parse("[1 2]").isNull());
    EXPECT_TRUE(json::parse("[1,2").isNull());
    EXPECT_TRUE(json::parse("{\"a\" 1}").isNull());
    EXPECT_TRUE(json::parse("{a:1}").isNull());
    EXPECT_TRUE(json::parse("{\"a\":}").isNull());
    EXPECT_TRUE(json::parse("[").isNull());

    // The last duplicate wins.
    const Value dup = json::parse("{\"a\":1,\"a\":2}");
    ASSERT_TRUE(dup.isObject());
    EXPECT_EQ(dup.size(), 1u);
    EXPECT_EQ(dup["a"].asInt(0), 2);

    // Text after the first complete value is ignored.
    const Value tail = json::parse("[1,2]   and more words");
    ASSERT_TRUE(tail.isArray());
    EXPECT_EQ(tail.size(), 2u);
    EXPECT_TRUE(json::parse("{} trailing").isObject());
}

TEST(JsonParse, StringEscapesAndSurrogates) {
    EXPECT_EQ(json::parse(R"("a\"b\\c\/d")").asString(), "a\"b\\c/d");
    EXPECT_EQ(json::parse(R"("\b\f\n\r\t")").asString(), "\b\f\n\r\t");
    EXPECT_EQ(json::parse(R"("\u00e9")").asString(), "\xC3\xA9");
    EXPECT_EQ(json::parse(R"("\u20AC")").asString(), "\xE2\x82\xAC");
    EXPECT_EQ(json::parse(R"("\ud83d\ude00")").asString(), "\xF0\x9F\x98\x80");
    // A lone high surrogate before a plain letter stands alone as three bytes.
    EXPECT_EQ(json::parse(R"("\ud83dx")").asString(),
              "\xED\xA0\xBD"
              "x");
    // A high surrogate followed by an escape that is not a low one: both stand alone.
    EXPECT_EQ(json::parse(R"("\ud83d\u0041")").asString(),
              "\xED\xA0\xBD"
              "A");
    // A lone low surrogate.
    EXPECT_EQ(json::parse(R"("\ude00")").asString(), "\xED\xB8\x80");
    // A non-hexadecimal digit counts as 0.
    EXPECT_EQ(json::parse(R"("\u00g9")").asString(), "\t");
    // An escaped zero is a zero byte in the string.
    EXPECT_EQ(json::parse(R"("a\u0000b")").asString(), std::string("a\0b", 3));
    // Raw control and high bytes are taken as they are.
    EXPECT_EQ(json::parse("\"\x01\xFF\"").asString(), "\x01\xFF");

    EXPECT_TRUE(json::parse(R"("abc)").isNull());
    EXPECT_TRUE(json::parse(R"("\q")").isNull());
    EXPECT_TRUE(json::parse(R"("\u12")").isNull());
    EXPECT_TRUE(json::parse("\"\\").isNull());
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
    EXPECT_EQ(Value(2.5).asInt(0), 3);
    EXPECT_EQ(Value(-2.5).asInt(0), -2);
    EXPECT_EQ(Value(2.4999).asInt(0), 2);
    EXPECT_EQ(Value(true).asInt(7), 7);
    EXPECT_EQ(Value("5").asInt(7), 7);
    // Out of range and non-finite numbers saturate or fall back instead of misbehaving.
    EXPECT_EQ(Value(1e300).asInt(0), std::numeric_limits<int>::max());
    EXPECT_EQ(Value(-1e300).asInt(0), std::numeric_limits<int>::min());
    EXPECT_EQ(Value(std::numeric_limits<double>::infinity()).asInt(0),
              std::numeric_limits<int>::max());
    EXPECT_EQ(Value(std::nan("")).asInt(9), 9);
    EXPECT_EQ(Value(2147483647.0).asInt(0), 2147483647);
    EXPECT_EQ(Value(-2147483648.0).asInt(0), -2147483647 - 1);

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
    EXPECT_EQ(Value().dump(), "null");
    EXPECT_EQ(Value(true).dump(), "true");
    EXPECT_EQ(Value(3).dump(), "3");
    EXPECT_EQ(Value(2.5).dump(), "2.5");
    EXPECT_EQ(Value(-0.0).dump(), "0");
    EXPECT_EQ(Value(0.35).dump(), "0.34999999999999998");
    EXPECT_EQ(Value(1e16).dump(), "10000000000000000");
    EXPECT_EQ(Value(1e15).dump(), "1000000000000000");
    EXPECT_EQ(Value(999999999999999.0).dump(), "999999999999999");
    EXPECT_EQ(Value(1.5e300).dump(), "1.5000000000000001e+300");
    EXPECT_EQ(Value(1733500000123ll).dump(), "1733500000123");
    // JSON has no spelling for these; null keeps the document valid.
    EXPECT_EQ(Value(std::numeric_limits<double>::infinity()).dump(), "null");
    EXPECT_EQ(Value(-std::numeric_limits<double>::infinity()).dump(), "null");
    EXPECT_EQ(Value(std::nan("")).dump(), "null");

    EXPECT_EQ(Value(std::string("\x01")).dump(), "\"\\u0001\"");
    EXPECT_EQ(Value(std::string("\x08\x1f")).dump(), "\"\\u0008\\u001f\"");
    EXPECT_EQ(Value("a/b").dump(), "\"a/b\"");
    EXPECT_EQ(Value("q\"b\\n\nr\rt\t").dump(), "\"q\\\"b\\\\n\\nr\\rt\\t\"");
    EXPECT_EQ(Value("Grüße ✓").dump(), "\"Grüße ✓\"");
    EXPECT_EQ(Value(std::string("a\0b", 3)).dump(), "\"a\\u0000b\"");

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

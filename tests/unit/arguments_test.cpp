#include "dispatch/arguments.h"

#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "channel/failure.h"

namespace {

using dispatch::json;

json parse(const char* text) { return json::parse(text); }

std::string failureOf(auto&& f) {
    try {
        f();
    } catch (const channel::Failure& e) {
        return e.message + "/" + e.code;
    }
    return "no failure";
}

TEST(Num, NumbersAndBooleansOnly) {
    json r = parse(R"({"i":3,"f":-0.5,"t":true,"n":false,"s":"3","z":null,"a":[3],"big":18446744073709551615})");
    EXPECT_EQ(dispatch::num(dispatch::arg(r, "i")), 3.0);
    EXPECT_EQ(dispatch::num(dispatch::arg(r, "f")), -0.5);
    EXPECT_EQ(dispatch::num(dispatch::arg(r, "t")), 1.0);
    EXPECT_EQ(dispatch::num(dispatch::arg(r, "n")), 0.0);
    EXPECT_EQ(dispatch::num(dispatch::arg(r, "big")), 18446744073709551615.0);
    for (const char* k : {"s", "z", "a", "missing"}) EXPECT_FALSE(dispatch::num(dispatch::arg(r, k))) << k;
}

TEST(Int32, TruncatesWithinRangeAndRejectsOutside) {
    json r = parse(R"({"a":2.9,"b":-2.9,"c":2147483647.9,"d":-2147483648.9,"s":"7","t":true,
                       "hi":2147483648,"lo":-2147483649,"huge":1e308})");
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "a"), "a"), 2);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "b"), "b"), -2);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "c"), "c"), 2147483647);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "d"), "d"), -2147483648);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "s"), "s"), 0);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "missing"), "m"), 0);
    EXPECT_EQ(dispatch::int32(dispatch::arg(r, "t"), "t"), 1);
    EXPECT_EQ(failureOf([&] { dispatch::int32(dispatch::arg(r, "hi"), "dx"); }),
              "Number out of range for \"dx\"/bad_args");
    EXPECT_NE(failureOf([&] { dispatch::int32(dispatch::arg(r, "lo"), "dy"); }), "no failure");
    EXPECT_NE(failureOf([&] { dispatch::int32(dispatch::arg(r, "huge"), "dy"); }), "no failure");
}

TEST(IntegerRanges, BoundsAreExactAndNonFiniteIsRejected) {
    EXPECT_EQ(dispatch::toInt64(-9223372036854775808.0, "n"), INT64_MIN);
    EXPECT_EQ(dispatch::toInt64(9223372036854774784.0, "n"), 9223372036854774784);
    EXPECT_NE(failureOf([] { dispatch::toInt64(9223372036854775808.0, "count"); }), "no failure");
    EXPECT_NE(failureOf([] { dispatch::toInt64(-1e19, "count"); }), "no failure");
    EXPECT_NE(failureOf([] { dispatch::toInt64(std::nan(""), "count"); }), "no failure");
    EXPECT_NE(failureOf([] { dispatch::toInt64(INFINITY, "count"); }), "no failure");
    EXPECT_EQ(dispatch::toUInt16(65535.5, "code"), 65535);
    EXPECT_EQ(dispatch::toUInt16(-0.5, "code"), 0);
    EXPECT_NE(failureOf([] { dispatch::toUInt16(65536.0, "code"); }), "no failure");
    EXPECT_NE(failureOf([] { dispatch::toUInt16(-1.0, "code"); }), "no failure");
    EXPECT_EQ(dispatch::toInt32(-2147483648.9, "dx"), INT32_MIN);
}

// JSON number texts at the edges of the integer types, through num() and each
// conversion as an operation reads them. None: refused as out of range.
TEST(IntegerRanges, JsonNumbersAtTheEdges) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> i64;
        std::optional<std::int32_t> i32;
        std::optional<std::uint16_t> u16;
    };
    constexpr std::nullopt_t no = std::nullopt;
    const Case cases[] = {
        {"-0", 0, 0, 0},
        {"-0.0", 0, 0, 0},
        {"5e-324", 0, 0, 0},  // the smallest subnormal
        {"-5e-324", 0, 0, 0},
        {"0.9999999999999999", 0, 0, 0},
        {"-0.9999999999999999", 0, 0, 0},
        {"65535.99999", 65535, 65535, 65535},
        {"2147483647.9999", 2147483647, 2147483647, no},
        {"-2147483648.9999", -2147483648LL, INT32_MIN, no},
        {"1e18", 1000000000000000000LL, no, no},
        {"-1e18", -1000000000000000000LL, no, no},
        // An integer of the text becomes the nearest double: 2^63 - 1 reads as 2^63.
        {"9223372036854775807", no, no, no},
        {"9223372036854775808", no, no, no},
        {"-9223372036854775808", INT64_MIN, no, no},
        {"-9223372036854775809", INT64_MIN, no, no},
        {"18446744073709551615", no, no, no},
        {"18446744073709551616", no, no, no},
        {"-18446744073709551616", no, no, no},
        {"1e308", no, no, no},
        {"-1e308", no, no, no},
        {"1.7976931348623157e308", no, no, no},
    };
    for (const auto& c : cases) {
        json v = json::parse(c.text);
        double d = dispatch::num(&v).value();
        auto check = [&](auto expected, auto convert) {
            std::string got = failureOf([&] {
                auto n = convert(d);
                if (!expected || n != *expected) throw channel::Failure{"got " + std::to_string(n), "wrong"};
            });
            EXPECT_EQ(got, expected ? "no failure" : "Number out of range for \"n\"/bad_args") << c.text;
        };
        check(c.i64, [](double x) { return dispatch::toInt64(x, "n"); });
        check(c.i32, [](double x) { return dispatch::toInt32(x, "n"); });
        check(c.u16, [](double x) { return dispatch::toUInt16(x, "n"); });
    }
}

TEST(Point, TopLevelOrNamedObject) {
    auto p = dispatch::point(parse(R"({"x":10,"y":20})"));
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    p = dispatch::point(parse(R"({"x":true,"y":false})"));
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(failureOf([] { dispatch::point(parse(R"({"x":10})")); }), "Missing point/bad_args");
    EXPECT_EQ(failureOf([] { dispatch::point(parse(R"({"x":"1","y":"2"})")); }), "Missing point/bad_args");
    p = dispatch::point(parse(R"({"x":5,"y":6,"from":{"x":1,"y":2}})"), "from");
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    p = dispatch::point(parse(R"({"x":5,"y":6,"from":[1,2]})"), "from");
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    EXPECT_EQ(failureOf([] { dispatch::point(parse(R"({"x":5,"y":6,"from":{"x":1}})"), "from"); }),
              "Missing point/bad_args");
}

TEST(PidOf, NumberOnly) {
    EXPECT_EQ(dispatch::pidOf(parse(R"({"pid":123})")), 123);
    EXPECT_EQ(dispatch::pidOf(parse(R"({"pid":12.7})")), 12);
    EXPECT_EQ(dispatch::pidOf(parse(R"({"pid":0})")), 0);
    EXPECT_FALSE(dispatch::pidOf(parse(R"({"pid":"123"})")));
    EXPECT_FALSE(dispatch::pidOf(parse(R"({"pid":null})")));
    EXPECT_FALSE(dispatch::pidOf(parse(R"({})")));
    EXPECT_EQ(failureOf([] { dispatch::pidOf(parse(R"({"pid":1e12})")); }),
              "Number out of range for \"pid\"/bad_args");
}

TEST(TypedLookups, WrongTypesReadAsAbsent) {
    json r = parse(R"({"s":"a","b":true,"l":["x","y"],"mixed":["x",1],"n":5})");
    EXPECT_EQ(dispatch::string(r, "s"), "a");
    EXPECT_FALSE(dispatch::string(r, "n"));
    EXPECT_EQ(dispatch::boolean(r, "b"), true);
    EXPECT_FALSE(dispatch::boolean(r, "s"));
    EXPECT_EQ(dispatch::stringList(r, "l"), (std::vector<std::string>{"x", "y"}));
    EXPECT_FALSE(dispatch::stringList(r, "mixed"));
    EXPECT_FALSE(dispatch::stringList(r, "s"));
}

}  // namespace

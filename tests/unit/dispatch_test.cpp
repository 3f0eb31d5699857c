#include "dispatch/handle.h"

#include <cfloat>
#include <cmath>

#include <gtest/gtest.h>

#include "channel/json_line.h"
#include "channel/response.h"
#include "fake.h"

namespace {

using nlohmann::json;

json answer(const char* line) {
    auto request = channel::parseRequest(line);
    if (!request) return "dropped";
    return json::parse(channel::respondLine(request->id, request->object));
}

TEST(Dispatch, UnknownNamesAreBadArgsAndTouchNothing) {
    fake::reset();
    for (const char* line : {R"({"id":1})", R"({"id":1,"op":7})", R"({"id":1,"op":"Apps"})",
                             R"({"id":1,"op":" apps"})", R"({"id":1,"op":"ax_pressure"})",
                             R"({"id":1,"op":""})"}) {
        json a = answer(line);
        EXPECT_EQ(a, json::parse(R"({"id":1,"error":"Unknown request","code":"bad_args"})")) << line;
    }
    EXPECT_TRUE(fake::desktop().log.empty());
}

TEST(Dispatch, EachOperationRunsAsOneRequestOfThePlatform) {
    fake::reset();
    answer(R"({"id":1,"op":"display"})");
    EXPECT_EQ(fake::desktop().requestsBegun, 1);
    EXPECT_EQ(fake::desktop().requestsOpen, 0);
    // Closed when the operation throws too.
    json bad = answer(R"({"id":2,"op":"ax_tree"})");
    ASSERT_TRUE(bad.contains("error")) << bad;
    EXPECT_EQ(fake::desktop().requestsBegun, 2);
    EXPECT_EQ(fake::desktop().requestsOpen, 0);
    // An unknown name is no request of the platform.
    answer(R"({"id":3,"op":"nope"})");
    EXPECT_EQ(fake::desktop().requestsBegun, 2);
}

TEST(Response, EnvelopeKeepsIdTokenAndEscapes) {
    auto request = channel::parseRequest(R"({"op":"nope","id":123456789012345678901234567890})");
    ASSERT_TRUE(request);
    EXPECT_EQ(channel::respondLine(request->id, request->object),
              "{\"id\":123456789012345678901234567890,\"error\":\"Unknown request\",\"code\":\"bad_args\"}\n");
    request = channel::parseRequest(R"({"id" : { "a" : [1, -0, 0.10000000000000000000001] } , "op":1})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, R"({"a":[1,-0,0.10000000000000000000001]})");
    request = channel::parseRequest(R"({"op":1})");
    EXPECT_EQ(request->id, "null");
    request = channel::parseRequest(R"({"\u0069d":"x\"y","id2":3})");
    EXPECT_EQ(request->id, R"("x\"y")");
    request = channel::parseRequest(R"({"id":1,"id":2})");
    EXPECT_EQ(request->id, "2");
    request = channel::parseRequest(R"({"nested":{"id":9}})");
    EXPECT_EQ(request->id, "null");
}

TEST(Response, OutputNeverBreaksOnBadUtf8) {
    EXPECT_EQ(channel::dump(json("caf\xc3\xa9 \xff\xfe")), "\"café \xEF\xBF\xBD\xEF\xBF\xBD\"");
    EXPECT_EQ(channel::dump(json("line\nbreak \"q\" \\")), R"("line\nbreak \"q\" \\")");
}

TEST(Parse, GuardsDepthNulAndShape) {
    std::string deep(128, '[');
    EXPECT_TRUE(channel::parseRequest("{\"a\":" + deep.substr(1) + std::string(127, ']') + "}"));
    EXPECT_FALSE(channel::parseRequest("{\"a\":" + deep + std::string(128, ']') + "}"));
    EXPECT_FALSE(channel::parseRequest(std::string("{\"a\":\"x\0y\"}", 11)));
    EXPECT_FALSE(channel::parseRequest("[1]"));
    EXPECT_FALSE(channel::parseRequest("\"s\""));
    EXPECT_FALSE(channel::parseRequest(""));
    EXPECT_FALSE(channel::parseRequest("{\"a\":\"\xff\"}"));
    EXPECT_TRUE(channel::parseRequest("{\"a\":\"[[[[\"}"));
}

TEST(Parse, AnyValueUnderTheSameGuards) {
    std::string deep(128, '[');
    auto array = channel::parseLine("[1,{\"id\":2}]");
    ASSERT_TRUE(array);
    EXPECT_EQ(array->object, json::parse("[1,{\"id\":2}]"));
    EXPECT_EQ(array->id, "null");  // an "id" inside an array is no message's id
    auto huge = channel::parseLine("[1e400, -1e400]");
    ASSERT_TRUE(huge);
    EXPECT_TRUE(std::isinf(huge->object[0].get<double>()) && huge->object[1].get<double>() < 0);
    auto object = channel::parseLine(R"({"id" : "a b","x":1})");
    ASSERT_TRUE(object);
    EXPECT_EQ(object->id, R"("a b")");
    EXPECT_TRUE(channel::parseLine("\"s\""));
    EXPECT_TRUE(channel::parseLine("null"));
    EXPECT_TRUE(channel::parseLine(deep + std::string(128, ']')));
    EXPECT_FALSE(channel::parseLine(deep + "[" + std::string(129, ']')));
    EXPECT_FALSE(channel::parseLine(std::string("[\"x\0y\"]", 7)));
    EXPECT_FALSE(channel::parseLine(""));
    EXPECT_FALSE(channel::parseLine("[\"\xff\"]"));
    EXPECT_FALSE(channel::parseLine("[1] 2"));
}

TEST(Parse, AnIdBeyondDoubleRangeIsKeptButNotABrokenOne) {
    auto request = channel::parseRequest(R"({"op":"nope","id": -1E400 ,"x":1})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "-1E400");
    EXPECT_EQ(request->object.value("x", 0), 1);
    // Two tokens where the id should be: not JSON, whatever the blanks hide.
    for (const char* line : {R"({"id":9 88888888888888888888})", R"({"id":1 2,"op":"nope"})",
                             "{\"id\":1e400\t5}", R"({"id":1e400,"op":"nope","x":tru})", R"({"id":1e400 ])"})
        EXPECT_FALSE(channel::parseRequest(line)) << line;
}

TEST(Parse, NumbersBeyondDoubleRangeReadAsInfinities) {
    auto request = channel::parseRequest(R"({"id":4,"op":"display","junk":1e400,"neg":-1E+400,"a":[2,-1e999,3]})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "4");
    const json& o = request->object;
    EXPECT_EQ(o["id"], 4);
    EXPECT_EQ(o["junk"].get<double>(), INFINITY);
    EXPECT_EQ(o["neg"].get<double>(), -INFINITY);
    EXPECT_EQ(o["a"].size(), 3u);
    EXPECT_EQ(o["a"][0], 2);
    EXPECT_EQ(o["a"][1].get<double>(), -INFINITY);
    EXPECT_EQ(o["a"][2], 3);
    // Where a double ends: the largest one and what still rounds to it are
    // finite; past the halfway point to the next power of two is not.
    auto number = [](const std::string& text) {
        auto r = channel::parseRequest(R"({"n":)" + text + "}");
        return r ? r->object["n"].get<double>() : -1.0;
    };
    EXPECT_EQ(number("1.7976931348623157e308"), DBL_MAX);
    EXPECT_EQ(number("1.7976931348623158e308"), DBL_MAX);
    EXPECT_EQ(number("17976931348623158e292"), DBL_MAX);
    EXPECT_EQ(number("0.00017976931348623158e312"), DBL_MAX);
    EXPECT_EQ(number("1.7976931348623159e308"), INFINITY);
    EXPECT_EQ(number("-1.7976931348623159e308"), -INFINITY);
    EXPECT_EQ(number("1" + std::string(308, '0')), 1e308);
    EXPECT_EQ(number("1" + std::string(309, '0')), INFINITY);
    EXPECT_EQ(number("1" + std::string(309, '0') + ".5e-2"), 1e307);
    EXPECT_EQ(number("0." + std::string(400, '0') + "1e700"), 1e299);
    EXPECT_EQ(number("1e99999999999999999999999"), INFINITY);
    EXPECT_EQ(number("1e308"), 1e308);
    EXPECT_EQ(number("1e-400"), 0.0);
    EXPECT_EQ(number("0e99999"), 0.0);
    EXPECT_EQ(number("-0.000e400"), 0.0);
    // Strings that look like numbers are strings, and digits in them are no tokens.
    request = channel::parseRequest(R"({"s":"1e400","t":"\"1e400","n":1e400,"m":7})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->object["s"], "1e400");
    EXPECT_EQ(request->object["t"], "\"1e400");
    EXPECT_EQ(request->object["n"].get<double>(), INFINITY);
    EXPECT_EQ(request->object["m"], 7);
    // Still broken JSON, whatever the huge number.
    for (const char* line : {R"({"a":1e400 2})", R"({"a":1e400.5})", R"({"a":1e4001e400})", R"({"a":-1e400-})",
                             R"({"a":[1e400,]})", R"({"a" 1e400})", R"({1e400:1})", "1e400",
                             R"({"a":1e400,"b":1e400)"})
        EXPECT_FALSE(channel::parseRequest(line)) << line;
}

TEST(Parse, AHugeNumberInsideTheIdKeepsTheIdRules) {
    auto request = channel::parseRequest(R"({"id":[1, 1e400],"op":"nope","dx":-1e400})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "[1,1e400]");
    EXPECT_TRUE(request->object["id"].is_null());
    EXPECT_EQ(request->object["dx"].get<double>(), -INFINITY);
    request = channel::parseRequest(R"({"id":1e400,"id":2})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "2");
    EXPECT_EQ(request->object["id"], 2);
    request = channel::parseRequest(R"({"id":2,"x":{"id":1e400}})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "2");
    EXPECT_EQ(request->object["x"]["id"].get<double>(), INFINITY);
}

TEST(Dispatch, ArgumentsBeyondDoubleRangeAreOutOfRange) {
    fake::reset();
    EXPECT_EQ(answer(R"({"id":5,"op":"scroll","x":1,"y":1,"dx":1e400})"),
              json::parse(R"({"id":5,"error":"Number out of range for \"dx\"","code":"bad_args"})"));
    EXPECT_EQ(answer(R"({"id":6,"op":"scroll","x":1,"y":1,"dy":-1e400})"),
              json::parse(R"({"id":6,"error":"Number out of range for \"dy\"","code":"bad_args"})"));
    EXPECT_EQ(answer(R"({"id":7,"op":"key","code":1e400})"),
              json::parse(R"({"id":7,"error":"Number out of range for \"code\"","code":"bad_args"})"));
    EXPECT_EQ(answer(R"({"id":8,"op":"focus_info","pid":-1e400})"),
              json::parse(R"({"id":8,"error":"Number out of range for \"pid\"","code":"bad_args"})"));
    EXPECT_TRUE(fake::desktop().input.posted.empty());
    // An argument nobody reads changes nothing.
    EXPECT_TRUE(answer(R"({"id":4,"op":"display","junk":1e400})").contains("result"));
    // A coordinate is any number, as before: an infinite one is a point off every display.
    EXPECT_EQ(answer(R"({"id":9,"op":"at","x":1e400,"y":1})"), json::parse(R"({"id":9,"result":{}})"));
}

TEST(Parse, LoneSurrogateEscapesReadAsReplacementCharacters) {
    auto text = [](const std::string& line) {
        auto request = channel::parseRequest(line);
        return request ? request->object.value("t", std::string("?")) : std::string("dropped");
    };
    EXPECT_EQ(text(R"({"t":"a\ud800b"})"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(text(R"({"t":"\udc00"})"), "\xEF\xBF\xBD");
    EXPECT_EQ(text(R"({"t":"\uD800\uD800\uDC00"})"), "\xEF\xBF\xBD\xF0\x90\x80\x80");  // lone, then a pair
    EXPECT_EQ(text(R"({"t":"\ud83d\ude00"})"), "\xF0\x9F\x98\x80");                    // a pair stays whole
    EXPECT_EQ(text(R"({"t":"x\\ud800"})"), "x\\ud800");  // an escaped backslash, not an escape
    EXPECT_EQ(text(R"({"t":"\ud800)"), "dropped");        // still broken JSON
    // The id is echoed as sent, and an overflowing id after a repair still works.
    auto request = channel::parseRequest(R"({"t":"\udfff","id":1e400})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, "1e400");
    EXPECT_EQ(request->object.value("t", std::string()), "\xEF\xBF\xBD");
    request = channel::parseRequest(R"({"id":"\ud800","op":"nope"})");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, R"("\ud800")");
}

}  // namespace

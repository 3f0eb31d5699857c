// The macOS backend's value conversion and window-list code, run against the
// fake CoreFoundation of fake_cf.cpp: every test also proves that whatever
// the backend created or copied was released again.
// The seam first: CoreGraphics defines kCGNullWindowID as a macro.
#include "platform/platform.h"
#include "platform/macos/cf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "fake_cf.h"

// Handles hold CF references, as in the backend's core.
namespace platform {
void retainRef(HandleKind, void* ref) noexcept {
    if (ref) CFRetain(ref);
}
void releaseRef(HandleKind, void* ref) noexcept {
    if (ref) CFRelease(ref);
}
}  // namespace platform

namespace {

using platform::Value;
using platform::mac::CFOwner;

class Conversion : public ::testing::Test {
protected:
    void SetUp() override { baseline_ = fakecf::live(); }
    void TearDown() override { EXPECT_EQ(fakecf::live(), baseline_) << "CF objects leaked"; }

    // Converts an owned CF value and releases it.
    static Value convert(CFTypeRef owned) {
        CFOwner<CFTypeRef> held(owned);
        return platform::mac::toValue(held.get());
    }
    static CFStringRef str(const char* text) { return platform::mac::makeString(text).release(); }
    template <class T>
    static CFNumberRef num(CFNumberType type, T x) {
        return CFNumberCreate(kCFAllocatorDefault, type, &x);
    }
    static CFDictionaryRef dict(std::initializer_list<std::pair<CFTypeRef, CFTypeRef>> owned) {
        std::vector<const void*> keys, values;
        for (auto& [k, v] : owned) keys.push_back(k), values.push_back(v);
        CFDictionaryRef d = CFDictionaryCreate(kCFAllocatorDefault, keys.data(), values.data(),
                                               static_cast<CFIndex>(keys.size()), &kCFTypeDictionaryKeyCallBacks,
                                               &kCFTypeDictionaryValueCallBacks);
        for (auto& [k, v] : owned) CFRelease(k), CFRelease(v);
        return d;
    }
    static CFArrayRef array(std::initializer_list<CFTypeRef> owned) {
        std::vector<const void*> items(owned.begin(), owned.end());
        CFArrayRef a = CFArrayCreate(kCFAllocatorDefault, items.data(), static_cast<CFIndex>(items.size()),
                                     &kCFTypeArrayCallBacks);
        for (auto* item : owned) CFRelease(item);
        return a;
    }

private:
    long baseline_ = 0;
};

TEST_F(Conversion, StringsSurviveUtf8Intact) {
    EXPECT_EQ(*convert(str("AXButton")).as<std::string>(), "AXButton");
    EXPECT_EQ(*convert(str("")).as<std::string>(), "");
    // Two-, three- and four-byte characters, the last one a surrogate pair.
    EXPECT_EQ(*convert(str("Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80!")).as<std::string>(),
              "Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80!");
    // An embedded NUL is part of the text.
    EXPECT_EQ(*convert(fakecf::utf16(std::u16string(u"a\0b", 3))).as<std::string>(), std::string("a\0b", 3));
}

TEST_F(Conversion, StringFastStorageIsUsedOnlyWhenItCoversTheWholeString) {
    EXPECT_EQ(*convert(fakecf::utf16(u"plain", true)).as<std::string>(), "plain");
    // The 8-bit storage ends at the NUL; the text must not.
    EXPECT_EQ(*convert(fakecf::utf16(std::u16string(u"a\0bc", 4), true)).as<std::string>(),
              std::string("a\0bc", 4));
}

TEST_F(Conversion, LoneSurrogatesBecomeReplacementCharactersAndTheRestSurvives) {
    EXPECT_EQ(*convert(fakecf::utf16(std::u16string(u"ab") + char16_t(0xD83D) + u"cd")).as<std::string>(),
              "ab\xEF\xBF\xBD" "cd");
    EXPECT_EQ(*convert(fakecf::utf16(std::u16string(1, char16_t(0xDE00)) + u"x")).as<std::string>(),
              "\xEF\xBF\xBDx");
    EXPECT_EQ(*convert(fakecf::utf16(std::u16string(u"end") + char16_t(0xD83D))).as<std::string>(),
              "end\xEF\xBF\xBD");
    std::u16string two{char16_t(0xDC00), char16_t(0xDC01)};
    EXPECT_EQ(*convert(fakecf::utf16(two)).as<std::string>(), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(Conversion, MakeStringRefusesInvalidUtf8) {
    EXPECT_FALSE(platform::mac::makeString("bad \xFF byte"));
    EXPECT_FALSE(platform::mac::makeString("cut \xE2\x82"));
    EXPECT_TRUE(platform::mac::makeString(std::string("nul\0inside", 10)));
}

TEST_F(Conversion, NumbersKeepWhetherTheyWereIntegers) {
    Value one = convert(num(kCFNumberSInt32Type, int32_t{1}));
    ASSERT_TRUE(one.as<std::int64_t>());
    EXPECT_EQ(*one.as<std::int64_t>(), 1);
    Value big = convert(num(kCFNumberSInt64Type, std::numeric_limits<int64_t>::min()));
    EXPECT_EQ(*big.as<std::int64_t>(), std::numeric_limits<int64_t>::min());
    Value whole = convert(num(kCFNumberFloat64Type, 1.0));
    ASSERT_TRUE(whole.as<double>()) << "a real that happens to be whole stays real";
    EXPECT_EQ(*whole.as<double>(), 1.0);
    EXPECT_EQ(*convert(num(kCFNumberFloat32Type, 0.5f)).as<double>(), 0.5);
    EXPECT_TRUE(std::isnan(*convert(num(kCFNumberFloat64Type, std::nan(""))).as<double>()));
    Value huge = convert(fakecf::hugeNumber(18446744073709551615.0));
    ASSERT_TRUE(huge.as<double>()) << "beyond 64-bit signed: the magnitude is kept";
    EXPECT_EQ(*huge.as<double>(), 18446744073709551615.0);
}

TEST_F(Conversion, BooleansAreNotNumbers) {
    EXPECT_EQ(*platform::mac::toValue(kCFBooleanTrue).as<bool>(), true);
    EXPECT_EQ(*platform::mac::toValue(kCFBooleanFalse).as<bool>(), false);
}

TEST_F(Conversion, AccessibilityValuesGivePointAndSizeOnly) {
    CGPoint point{12.5, -3};
    Value p = convert(AXValueCreate(kAXValueTypeCGPoint, &point));
    ASSERT_TRUE(p.as<platform::Point>());
    EXPECT_EQ(p.as<platform::Point>()->x, 12.5);
    EXPECT_EQ(p.as<platform::Point>()->y, -3);
    CGSize size{640, 480};
    Value s = convert(AXValueCreate(kAXValueTypeCGSize, &size));
    ASSERT_TRUE(s.as<platform::Size>());
    EXPECT_EQ(s.as<platform::Size>()->width, 640);
    EXPECT_EQ(s.as<platform::Size>()->height, 480);
    CGRect rect{{1, 2}, {3, 4}};
    EXPECT_TRUE(convert(AXValueCreate(kAXValueTypeCGRect, &rect)).as<platform::Other>());
    EXPECT_TRUE(platform::mac::toValue(nullptr).isNone());
}

TEST_F(Conversion, ElementsAreHeldByTheirHandleAndGivenBack) {
    AXUIElementRef element = fakecf::element();
    {
        Value v = platform::mac::toValue(element);
        ASSERT_TRUE(v.as<platform::Element>());
        EXPECT_EQ(v.as<platform::Element>()->get(), element);
        EXPECT_EQ(fakecf::refs(element), 2);
        Value copy = v;  // a copied handle holds its own reference
        EXPECT_EQ(fakecf::refs(element), 3);
    }
    EXPECT_EQ(fakecf::refs(element), 1);
    CFRelease(element);
}

TEST_F(Conversion, EveryElementHandedOutWaitsTheBoundedTime) {
    // Elements alone, inside arrays, nested arrays and dictionaries: the
    // timeout of one element is its own, so each is given the bound.
    AXUIElementRef alone = fakecf::element();
    AXUIElementRef first = fakecf::element();
    AXUIElementRef second = fakecf::element();
    AXUIElementRef nested = fakecf::element();
    AXUIElementRef inDictionary = fakecf::element();
    for (auto* e : {alone, first, second, nested, inDictionary}) ASSERT_LT(fakecf::timeout(e), 0);
    Value single = platform::mac::toValue(alone);
    CFOwner<CFTypeRef> container(array({CFRetain(first), CFRetain(second), array({CFRetain(nested)}),
                                        dict({{str("AXParent"), CFRetain(inDictionary)}})}));
    Value many = platform::mac::toValue(container.get());
    for (auto* e : {alone, first, second, nested, inDictionary}) EXPECT_EQ(fakecf::timeout(e), 2.0f);
    // What holds them is unchanged: an element, and elements at their places.
    EXPECT_EQ(single.as<platform::Element>()->get(), alone);
    auto items = many.as<platform::Array>();
    ASSERT_TRUE(items);
    EXPECT_EQ((*items)[1].as<platform::Element>()->get(), second);
    EXPECT_EQ((*items)[2].as<platform::Array>()->at(0).as<platform::Element>()->get(), nested);
    EXPECT_EQ((*items)[3].find("AXParent")->as<platform::Element>()->get(), inDictionary);
    for (auto* e : {alone, first, second, nested, inDictionary}) CFRelease(e);
}

TEST_F(Conversion, ContainersConvertItemByItem) {
    Value v = convert(array({str("AXPress"), num(kCFNumberSInt32Type, int32_t{7}), CFRetain(kCFBooleanTrue),
                             array({str("nested")})}));
    auto items = v.as<platform::Array>();
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 4u);
    EXPECT_EQ(*(*items)[0].as<std::string>(), "AXPress");
    EXPECT_EQ(*(*items)[1].as<std::int64_t>(), 7);
    EXPECT_EQ(*(*items)[2].as<bool>(), true);
    EXPECT_EQ(*(*items)[3].as<platform::Array>()->at(0).as<std::string>(), "nested");
    EXPECT_TRUE(convert(array({})).as<platform::Array>()->empty());
}

TEST_F(Conversion, DictionariesNeedStringKeys) {
    Value v = convert(dict({{str("kCGWindowLayer"), num(kCFNumberSInt32Type, int32_t{0})},
                            {str("kCGWindowName"), str("Untitled")}}));
    ASSERT_TRUE(v.find("kCGWindowLayer"));
    EXPECT_EQ(*v.find("kCGWindowLayer")->as<std::int64_t>(), 0);
    EXPECT_EQ(*v.find("kCGWindowName")->as<std::string>(), "Untitled");
    // A key of another kind has no form here: the whole dictionary is Other.
    EXPECT_TRUE(convert(dict({{str("a"), str("b")}, {num(kCFNumberSInt32Type, int32_t{1}), str("c")}}))
                    .as<platform::Other>());
}

TEST_F(Conversion, DeepNestingIsCutOffNotRecursedWithoutBound) {
    CFArrayRef nested = array({str("leaf")});
    for (int i = 0; i < 200; ++i) nested = array({nested});
    Value v = convert(nested);
    const Value* at = &v;
    int depth = 0;
    while (auto a = at->as<platform::Array>()) {
        at = &a->at(0);
        ++depth;
    }
    EXPECT_TRUE(at->as<platform::Other>());
    EXPECT_LT(depth, 200);
}

TEST_F(Conversion, ValuesHandedToThePlatformRoundTrip) {
    platform::Dictionary d;
    d.emplace_back("X", Value(std::int64_t{5}));
    d.emplace_back("W", Value(2.5));
    platform::Array a{Value("text"), Value(true), Value(false), Value(platform::Point{1, 2}),
                      Value(platform::Size{3, 4}), Value(std::move(d))};
    CFOwner<CFTypeRef> cf = platform::mac::toCF(Value(a));
    ASSERT_TRUE(cf);
    Value back = platform::mac::toValue(cf.get());
    auto items = back.as<platform::Array>();
    ASSERT_TRUE(items);
    EXPECT_EQ(*(*items)[0].as<std::string>(), "text");
    EXPECT_EQ(*(*items)[1].as<bool>(), true);
    EXPECT_EQ(*(*items)[2].as<bool>(), false);
    EXPECT_EQ((*items)[3].as<platform::Point>()->y, 2);
    EXPECT_EQ((*items)[4].as<platform::Size>()->width, 3);
    EXPECT_EQ(*(*items)[5].find("X")->as<std::int64_t>(), 5);
    EXPECT_EQ(*(*items)[5].find("W")->as<double>(), 2.5);
    // True and false are the platform's own constants.
    EXPECT_EQ(platform::mac::toCF(Value(true)).get(), static_cast<CFTypeRef>(kCFBooleanTrue));
}

TEST_F(Conversion, ValuesWithoutAPlatformFormAreNotConverted) {
    EXPECT_FALSE(platform::mac::toCF(Value()));
    EXPECT_FALSE(platform::mac::toCF(Value(platform::Other{})));
    EXPECT_FALSE(platform::mac::toCF(Value(platform::Element())));
    EXPECT_FALSE(platform::mac::toCF(Value("bad \xFF")));
    // One bad item spoils the container, and what was built for it is released.
    EXPECT_FALSE(platform::mac::toCF(Value(platform::Array{Value("ok"), Value(platform::Other{})})));
}

using WindowList = Conversion;

TEST_F(WindowList, CopiesTheServerListAndReleasesIt) {
    CFDictionaryRef bounds = dict({{str("X"), num(kCFNumberFloat64Type, 10.0)},
                                   {str("Y"), num(kCFNumberFloat64Type, 20.0)},
                                   {str("Width"), num(kCFNumberFloat64Type, 300.0)},
                                   {str("Height"), num(kCFNumberFloat64Type, 200.0)}});
    CFArrayRef list = array({dict({{str("kCGWindowNumber"), num(kCFNumberSInt64Type, int64_t{42})},
                                   {str("kCGWindowAlpha"), num(kCFNumberFloat64Type, 1.0)},
                                   {str("kCGWindowBounds"), bounds}})});
    fakecf::setWindowList(list);
    CFRelease(list);
    Value windows = platform::cgWindowListCopyWindowInfo(17, 0);
    EXPECT_EQ(fakecf::lastWindowListOption(), 17u);
    ASSERT_TRUE(windows.as<platform::Array>());
    const Value& window = windows.as<platform::Array>()->at(0);
    EXPECT_EQ(*window.find("kCGWindowNumber")->as<std::int64_t>(), 42);
    EXPECT_EQ(*window.find("kCGWindowAlpha")->as<double>(), 1.0);
    platform::Rect r;
    ASSERT_TRUE(platform::cgRectMakeWithDictionaryRepresentation(*window.find("kCGWindowBounds"), r));
    EXPECT_EQ(r.origin.x, 10);
    EXPECT_EQ(r.origin.y, 20);
    EXPECT_EQ(r.size.width, 300);
    EXPECT_EQ(r.size.height, 200);
    fakecf::setWindowList(nullptr);
    EXPECT_TRUE(platform::cgWindowListCopyWindowInfo(17, 0).isNone()) << "a failed query is none";
}

TEST_F(WindowList, RectangleDecodingIgnoresEntriesThatAreNotNumbers) {
    platform::Dictionary d{{"X", Value(std::int64_t{1})}, {"Y", Value(2.0)}, {"Width", Value(3.0)},
                           {"Height", Value(std::int64_t{4})}, {"Note", Value(platform::Other{})}};
    platform::Rect r;
    ASSERT_TRUE(platform::cgRectMakeWithDictionaryRepresentation(Value(d), r));
    EXPECT_EQ(r.origin.x, 1);
    EXPECT_EQ(r.size.height, 4);
    platform::Dictionary partial{{"X", Value(1.0)}, {"Y", Value(2.0)}, {"Width", Value("3")}};
    EXPECT_FALSE(platform::cgRectMakeWithDictionaryRepresentation(Value(partial), r));
    EXPECT_FALSE(platform::cgRectMakeWithDictionaryRepresentation(Value(platform::Array{}), r));
}

}  // namespace

#include "ax/text.h"

#include <gtest/gtest.h>

namespace {

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(Prefix, CountsUserPerceivedCharacters) {
    EXPECT_EQ(ax::prefix("", 3), "");
    EXPECT_EQ(ax::prefix("abc", 3), "abc");
    EXPECT_EQ(ax::prefix("abcd", 3), "abc");
    EXPECT_EQ(ax::prefix("abc", 0), "");
    const std::string accented = "e\xcc\x81";                                          // e + combining acute
    const std::string family = "\xf0\x9f\x91\xa8\xe2\x80\x8d\xf0\x9f\x91\xa9\xe2\x80\x8d\xf0\x9f\x91\xa7";  // ZWJ sequence
    const std::string flag = "\xf0\x9f\x87\xab\xf0\x9f\x87\xb7";                       // two regional indicators
    const std::string hangul = "\xe1\x84\x80\xe1\x85\xa1\xe1\x86\xa8";                 // L V T jamo
    EXPECT_EQ(ax::prefix(accented + "x", 1), accented);
    EXPECT_EQ(ax::prefix(family + family, 1), family);
    EXPECT_EQ(ax::prefix(flag + flag + flag, 2), flag + flag);
    EXPECT_EQ(ax::prefix(hangul + "a", 1), hangul);
    EXPECT_EQ(ax::prefix("a\r\nb", 2), "a\r\n");
}

TEST(Prefix, CutsLongTextsAtTheLimit) {
    EXPECT_EQ(ax::prefix(repeat("x", 121), 120), repeat("x", 120));
    EXPECT_EQ(ax::prefix(repeat("\xc3\xa9", 200), 200), repeat("\xc3\xa9", 200));
    EXPECT_EQ(ax::prefix(repeat("\xc3\xa9", 201), 200), repeat("\xc3\xa9", 200));
}

TEST(Prefix, NeverCutsInsideABrokenSequence) {
    // Stray bytes count one each; the valid sequences around them stay whole.
    EXPECT_EQ(ax::prefix("\xff\xfe" "ab", 3), "\xff\xfe" "a");
    EXPECT_EQ(ax::prefix("a\xe2\x82" "b", 2), "a\xe2");
    EXPECT_EQ(ax::prefix("\xc3\xa9\x80\xcc\x81", 2), "\xc3\xa9\x80");
}

}  // namespace

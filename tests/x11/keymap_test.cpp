// Keys and text on X11 without a server: the virtual key table, keysyms of
// characters, UTF-16 decoding, and the typing plans over a core mapping.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <set>

#include "platform/x11/xserver/keymap.h"

namespace {

using namespace platform::x11::keys;

// A mapping of `perKeycode` columns from keycode 8, built from rows given
// for chosen keycodes; the rest hold nothing.
CoreMap mapping(int perKeycode, int maxKeycode, std::vector<std::pair<int, std::vector<Keysym>>> rows) {
    CoreMap map;
    map.minKeycode = 8;
    map.perKeycode = perKeycode;
    map.syms.assign(static_cast<std::size_t>((maxKeycode - 7) * perKeycode), kNoSymbol);
    for (auto& [keycode, syms] : rows)
        for (std::size_t i = 0; i < syms.size(); ++i)
            map.syms[static_cast<std::size_t>((keycode - 8) * perKeycode) + i] = syms[i];
    return map;
}

// A small US-like mapping: letters a-c, 1 with ! shifted, a modifier, and a
// second group on keycode 12.
CoreMap usLike() {
    return mapping(4, 30,
                   {{10, {XK_1, XK_exclam, XK_1, XK_exclam}},
                    {11, {XK_Tab, XK_ISO_Left_Tab}},
                    {12, {XK_c, XK_C, 0x6c3 /* Cyrillic_es */, 0x6e3}},
                    {13, {XK_Shift_L, kNoSymbol}},
                    {20, {XK_exclam}},  // a later key with ! at the plain level
                    {24, {XK_a, XK_A}},
                    {25, {XK_b, XK_B}}});
}

// What the strokes of `plan` type, keysym by keysym, given the mapping and
// each batch's own bindings; kNoSymbol where a stroke would type nothing.
std::vector<Keysym> replay(const CoreMap& map, const std::vector<Batch>& plan) {
    std::vector<Keysym> typed;
    for (const auto& batch : plan)
        for (const auto& stroke : batch.strokes) {
            auto bound = std::find_if(batch.bindings.begin(), batch.bindings.end(),
                                      [&](const Binding& b) { return b.keycode == stroke.keycode; });
            typed.push_back(bound != batch.bindings.end() ? bound->sym
                                                          : map.at(stroke.keycode, stroke.shift ? 1 : 0));
        }
    return typed;
}

TEST(VirtualKeys, NamedKeys) {
    EXPECT_EQ(virtualKeysym(0), XK_a);
    EXPECT_EQ(virtualKeysym(1), XK_s);
    EXPECT_EQ(virtualKeysym(6), XK_z);
    EXPECT_EQ(virtualKeysym(16), XK_y);
    EXPECT_EQ(virtualKeysym(17), XK_t);
    EXPECT_EQ(virtualKeysym(18), XK_1);
    EXPECT_EQ(virtualKeysym(29), XK_0);
    EXPECT_EQ(virtualKeysym(36), XK_Return);
    EXPECT_EQ(virtualKeysym(48), XK_Tab);
    EXPECT_EQ(virtualKeysym(49), XK_space);
    EXPECT_EQ(virtualKeysym(51), XK_BackSpace);
    EXPECT_EQ(virtualKeysym(53), XK_Escape);
    EXPECT_EQ(virtualKeysym(117), XK_Delete);
    EXPECT_EQ(virtualKeysym(115), XK_Home);
    EXPECT_EQ(virtualKeysym(119), XK_End);
    EXPECT_EQ(virtualKeysym(116), XK_Prior);
    EXPECT_EQ(virtualKeysym(121), XK_Next);
    EXPECT_EQ(virtualKeysym(123), XK_Left);
    EXPECT_EQ(virtualKeysym(124), XK_Right);
    EXPECT_EQ(virtualKeysym(125), XK_Down);
    EXPECT_EQ(virtualKeysym(126), XK_Up);
    EXPECT_EQ(virtualKeysym(122), XK_F1);
    EXPECT_EQ(virtualKeysym(111), XK_F12);
    EXPECT_EQ(virtualKeysym(76), XK_KP_Enter);
    EXPECT_EQ(virtualKeysym(82), XK_KP_0);
    EXPECT_EQ(virtualKeysym(92), XK_KP_9);
}

TEST(VirtualKeys, EveryLetterDigitAndFunctionKeyOnce) {
    std::multiset<Keysym> all;
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code)
        if (Keysym s = virtualKeysym(static_cast<std::uint16_t>(code))) all.insert(s);
    for (Keysym s = XK_a; s <= XK_z; ++s) EXPECT_EQ(all.count(s), 1u) << static_cast<char>(s);
    for (Keysym s = XK_0; s <= XK_9; ++s) EXPECT_EQ(all.count(s), 1u) << static_cast<char>(s);
    for (Keysym s = XK_F1; s <= XK_F20; ++s) EXPECT_EQ(all.count(s), 1u) << "F" << s - XK_F1 + 1;
    for (Keysym s = XK_KP_0; s <= XK_KP_9; ++s) EXPECT_EQ(all.count(s), 1u) << "KP " << s - XK_KP_0;
    // No keysym stands for two keys.
    EXPECT_EQ(std::set<Keysym>(all.begin(), all.end()).size(), all.size());
}

TEST(VirtualKeys, CodesWithoutAKey) {
    EXPECT_EQ(virtualKeysym(0x34), kNoSymbol);  // unassigned
    EXPECT_EQ(virtualKeysym(0x3F), kNoSymbol);  // fn
    EXPECT_EQ(virtualKeysym(0x80), kNoSymbol);
    EXPECT_EQ(virtualKeysym(0xFFFF), kNoSymbol);
}

TEST(CodePoints, Utf16Decoding) {
    EXPECT_EQ(codePoints(u""), U"");
    EXPECT_EQ(codePoints(u"h\u00e9\u2713"), U"h\u00e9\u2713");
    EXPECT_EQ(codePoints(u"\U0001F600x"), U"\U0001F600x");
    EXPECT_EQ(codePoints(u"\U0010FFFF"), U"\U0010FFFF");
}

TEST(CodePoints, LoneSurrogatesBecomeReplacementCharacters) {
    const char16_t high = 0xD83D, low = 0xDE00;
    EXPECT_EQ(codePoints(std::u16string{high}), U"\uFFFD");
    EXPECT_EQ(codePoints(std::u16string{low, u'a'}), U"\uFFFDa");
    EXPECT_EQ(codePoints(std::u16string{high, u'a', low}), U"\uFFFDa\uFFFD");
    // The wrong order is two strays, not a pair.
    EXPECT_EQ(codePoints(std::u16string{low, high}), U"\uFFFD\uFFFD");
    // Two highs then a low: the second high pairs.
    EXPECT_EQ(codePoints(std::u16string{high, high, low}), U"\uFFFD\U0001F600");
}

TEST(CodePoints, PairsCutBetweenPiecesAreJoined) {
    const char16_t high = 0xD83D, low = 0xDE00;
    PieceJoiner joiner;
    EXPECT_EQ(joiner.take(std::u16string{u'a', high}), u"a");
    EXPECT_TRUE(joiner.holding());
    EXPECT_EQ(joiner.take(std::u16string{low, u'b'}), (std::u16string{high, low, u'b'}));
    EXPECT_FALSE(joiner.holding());
    // A piece that is only the high half.
    EXPECT_EQ(joiner.take(std::u16string{high}), u"");
    EXPECT_EQ(joiner.take(std::u16string{low}), (std::u16string{high, low}));
    // A held half whose partner never comes is given back alone, once.
    joiner.take(std::u16string{u'x', high});
    EXPECT_EQ(joiner.flush(), std::u16string{high});
    EXPECT_EQ(joiner.flush(), u"");
    // A held half followed by something else stays a stray for the decoder.
    joiner.take(std::u16string{high});
    EXPECT_EQ(codePoints(joiner.take(u"z")), U"\uFFFDz");
}

TEST(TextKeysyms, Latin1IsItselfOthersAreUnicodeKeysyms) {
    EXPECT_EQ(textKeysym(U'a'), XK_a);
    EXPECT_EQ(textKeysym(U' '), XK_space);
    EXPECT_EQ(textKeysym(U'~'), XK_asciitilde);
    EXPECT_EQ(textKeysym(0xA0), XK_nobreakspace);
    EXPECT_EQ(textKeysym(0xB5), XK_mu);
    EXPECT_EQ(textKeysym(0xE9), XK_eacute);
    EXPECT_EQ(textKeysym(0xFF), XK_ydiaeresis);
    EXPECT_EQ(textKeysym(0x100), 0x01000100u);
    EXPECT_EQ(textKeysym(0x3A9), 0x010003A9u);
    EXPECT_EQ(textKeysym(0x2713), 0x01002713u);
    EXPECT_EQ(textKeysym(0x1F600), 0x0101F600u);
    EXPECT_EQ(textKeysym(0xFFFD), 0x0100FFFDu);
}

TEST(TextKeysyms, ControlCharacters) {
    EXPECT_EQ(textKeysym(U'\t'), XK_Tab);
    EXPECT_EQ(textKeysym(U'\r'), XK_Return);
    for (char32_t c : {0x00u, 0x1Bu, 0x1Fu, 0x7Fu, 0x85u, 0x9Fu}) EXPECT_EQ(textKeysym(c), kNoSymbol) << static_cast<std::uint32_t>(c);
    EXPECT_EQ(textKeysym(0x110000), kNoSymbol);
}

TEST(CoreMapLookup, PlainLevelFirstThenShifted) {
    CoreMap map = usLike();
    EXPECT_EQ(map.maxKeycode(), 30);
    EXPECT_EQ(findKey(map, XK_a), (Stroke{24, false}));
    EXPECT_EQ(findKey(map, XK_A), (Stroke{24, true}));
    // "!" is shifted on keycode 10 but plain on keycode 20: plain wins.
    EXPECT_EQ(findKey(map, XK_exclam), (Stroke{20, false}));
    EXPECT_FALSE(findKey(map, XK_A, false));
    // The second group's keysyms are not reachable with Shift alone.
    EXPECT_FALSE(findKey(map, 0x6c3));
    EXPECT_FALSE(findKey(map, kNoSymbol));
    EXPECT_FALSE(findKey(map, XK_z));
}

TEST(CoreMapLookup, OutOfRangeReadsNothing) {
    CoreMap map = usLike();
    EXPECT_EQ(map.at(7, 0), kNoSymbol);
    EXPECT_EQ(map.at(31, 0), kNoSymbol);
    EXPECT_EQ(map.at(24, 4), kNoSymbol);
    EXPECT_EQ(map.at(24, -1), kNoSymbol);
    EXPECT_EQ(CoreMap{}.maxKeycode(), 7);
    EXPECT_FALSE(findKey(CoreMap{}, XK_a));
}

TEST(SpareKeycodes, EmptyKeysNotReservedLongestRunsFirst) {
    CoreMap map = usLike();  // 8..30; used: 10 11 12 13 20 24 25
    // Keycode 15 is reserved (a modifier map entry); 21 holds a keysym only
    // in its second group and is not spare.
    map.syms[static_cast<std::size_t>((21 - 8) * 4 + 2)] = XK_x;
    auto spares = spareKeycodes(map, {15});
    // Runs: 8-9 (2), 14 (1), 16-19 (4), 22-23 (2), 26-30 (5).
    EXPECT_EQ(spares, (std::vector<int>{26, 27, 28, 29, 30, 16, 17, 18, 19, 8, 9, 22, 23, 14}));
}

TEST(SpareKeycodes, Runs) {
    EXPECT_EQ(keycodeRuns({}), (std::vector<std::pair<int, int>>{}));
    EXPECT_EQ(keycodeRuns({30, 8, 9, 31, 9, 12}),
              (std::vector<std::pair<int, int>>{{8, 2}, {12, 1}, {30, 2}}));
}

TEST(TypingPlan, KeysOfTheMappingNeedNoBinding) {
    CoreMap map = usLike();
    std::vector<Keysym> text{XK_a, XK_B, XK_exclam, XK_Tab, XK_c};
    auto plan = planTyping(map, text, {26, 27}, true, true);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_TRUE(plan[0].bindings.empty());
    EXPECT_EQ(plan[0].strokes, (std::vector<Stroke>{{24, false}, {25, true}, {20, false}, {11, false}, {12, false}}));
}

TEST(TypingPlan, EachMissingKeysymBoundOncePerBatch) {
    CoreMap map = usLike();
    const Keysym omega = 0x010003A9, check = 0x01002713;
    std::vector<Keysym> text{omega, XK_a, check, omega, omega};
    auto plan = planTyping(map, text, spareKeycodes(map, {}), true, true);
    ASSERT_EQ(plan.size(), 1u);
    // The longest run of spares is 14-19.
    EXPECT_EQ(plan[0].bindings, (std::vector<Binding>{{14, omega}, {15, check}}));
    EXPECT_EQ(replay(map, plan), text);
}

TEST(TypingPlan, SplitsWhenSparesRunOut) {
    CoreMap map = usLike();
    std::vector<Keysym> text;
    for (Keysym cp = 0x3B1; cp < 0x3B1 + 7; ++cp) text.push_back(0x01000000 + cp);  // 7 Greek letters
    text.insert(text.begin() + 3, XK_a);
    text.push_back(0x010003B1);  // alpha again, after its batch ended
    auto plan = planTyping(map, text, {26, 27, 28}, true, true);
    ASSERT_EQ(plan.size(), 3u);
    for (const auto& batch : plan) {
        EXPECT_LE(batch.bindings.size(), 3u);
        std::set<int> codes;
        for (const auto& b : batch.bindings) codes.insert(b.keycode);
        EXPECT_EQ(codes.size(), batch.bindings.size());
    }
    EXPECT_EQ(plan[2].bindings.size(), 2u);  // the 7th letter and alpha again
    EXPECT_EQ(replay(map, plan), text);
}

TEST(TypingPlan, UnreliableLevelsBindEverything) {
    CoreMap map = usLike();
    std::vector<Keysym> text{XK_a, XK_A, XK_a};
    auto plan = planTyping(map, text, {26, 27}, false, true);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].bindings, (std::vector<Binding>{{26, XK_a}, {27, XK_A}}));
    for (const auto& s : plan[0].strokes) EXPECT_FALSE(s.shift);
    EXPECT_EQ(replay(map, plan), text);
}

TEST(TypingPlan, WithoutShiftShiftedKeysAreBound) {
    CoreMap map = usLike();
    auto plan = planTyping(map, {XK_A, XK_a}, {26}, true, false);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].bindings, (std::vector<Binding>{{26, XK_A}}));
    EXPECT_EQ(plan[0].strokes, (std::vector<Stroke>{{26, false}, {24, false}}));
}

TEST(TypingPlan, WithoutSparesOnlyTheMappingsKeysAreTyped) {
    CoreMap map = usLike();
    auto plan = planTyping(map, {0x010003A9, XK_a, kNoSymbol, XK_b}, {}, true, true);
    EXPECT_EQ(replay(map, plan), (std::vector<Keysym>{XK_a, XK_b}));
    for (const auto& batch : plan) EXPECT_TRUE(batch.bindings.empty());
    EXPECT_TRUE(planTyping(map, {}, {26}, true, true).empty());
}

}  // namespace

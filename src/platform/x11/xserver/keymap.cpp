#include "platform/x11/xserver/keymap.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>
#include <unordered_map>

namespace platform::x11::keys {
namespace {

// kVK_* codes of a US ANSI keyboard and the keysyms of the same keys.
constexpr std::pair<std::uint16_t, Keysym> kVirtualKeys[] = {
    // Letters, digits and punctuation, by position on the ANSI layout.
    {0x00, XK_a}, {0x01, XK_s}, {0x02, XK_d}, {0x03, XK_f}, {0x04, XK_h}, {0x05, XK_g},
    {0x06, XK_z}, {0x07, XK_x}, {0x08, XK_c}, {0x09, XK_v}, {0x0A, XK_section}, {0x0B, XK_b},
    {0x0C, XK_q}, {0x0D, XK_w}, {0x0E, XK_e}, {0x0F, XK_r}, {0x10, XK_y}, {0x11, XK_t},
    {0x12, XK_1}, {0x13, XK_2}, {0x14, XK_3}, {0x15, XK_4}, {0x16, XK_6}, {0x17, XK_5},
    {0x18, XK_equal}, {0x19, XK_9}, {0x1A, XK_7}, {0x1B, XK_minus}, {0x1C, XK_8}, {0x1D, XK_0},
    {0x1E, XK_bracketright}, {0x1F, XK_o}, {0x20, XK_u}, {0x21, XK_bracketleft}, {0x22, XK_i},
    {0x23, XK_p}, {0x25, XK_l}, {0x26, XK_j}, {0x27, XK_apostrophe}, {0x28, XK_k},
    {0x29, XK_semicolon}, {0x2A, XK_backslash}, {0x2B, XK_comma}, {0x2C, XK_slash}, {0x2D, XK_n},
    {0x2E, XK_m}, {0x2F, XK_period}, {0x32, XK_grave},
    // Keys that do not depend on the layout. Command is the key beside the
    // space bar, Super on a PC keyboard; as a flag it means Control (see
    // keyboard.h), because that is what shortcuts use here.
    {0x24, XK_Return}, {0x30, XK_Tab}, {0x31, XK_space}, {0x33, XK_BackSpace}, {0x35, XK_Escape},
    {0x36, XK_Super_R}, {0x37, XK_Super_L}, {0x38, XK_Shift_L}, {0x39, XK_Caps_Lock},
    {0x3A, XK_Alt_L}, {0x3B, XK_Control_L}, {0x3C, XK_Shift_R}, {0x3D, XK_Alt_R},
    {0x3E, XK_Control_R}, {0x6E, XK_Menu}, {0x72, XK_Help}, {0x73, XK_Home}, {0x74, XK_Prior},
    {0x75, XK_Delete}, {0x77, XK_End}, {0x79, XK_Next}, {0x7B, XK_Left}, {0x7C, XK_Right},
    {0x7D, XK_Down}, {0x7E, XK_Up},
    // Function keys.
    {0x7A, XK_F1}, {0x78, XK_F2}, {0x63, XK_F3}, {0x76, XK_F4}, {0x60, XK_F5}, {0x61, XK_F6},
    {0x62, XK_F7}, {0x64, XK_F8}, {0x65, XK_F9}, {0x6D, XK_F10}, {0x67, XK_F11}, {0x6F, XK_F12},
    {0x69, XK_F13}, {0x6B, XK_F14}, {0x71, XK_F15}, {0x6A, XK_F16}, {0x40, XK_F17},
    {0x4F, XK_F18}, {0x50, XK_F19}, {0x5A, XK_F20},
    // Keypad. Clear sits where a PC keypad has Num Lock.
    {0x41, XK_KP_Decimal}, {0x43, XK_KP_Multiply}, {0x45, XK_KP_Add}, {0x47, XK_Clear},
    {0x4B, XK_KP_Divide}, {0x4C, XK_KP_Enter}, {0x4E, XK_KP_Subtract}, {0x51, XK_KP_Equal},
    {0x52, XK_KP_0}, {0x53, XK_KP_1}, {0x54, XK_KP_2}, {0x55, XK_KP_3}, {0x56, XK_KP_4},
    {0x57, XK_KP_5}, {0x58, XK_KP_6}, {0x59, XK_KP_7}, {0x5B, XK_KP_8}, {0x5C, XK_KP_9},
    // Media keys.
    {0x48, XF86XK_AudioRaiseVolume}, {0x49, XF86XK_AudioLowerVolume}, {0x4A, XF86XK_AudioMute},
    // Japanese keyboards.
    {0x5D, XK_yen}, {0x5E, XK_underscore}, {0x5F, XK_KP_Separator}, {0x66, XK_Eisu_toggle},
    {0x68, XK_Hiragana_Katakana},
};

constexpr Keysym kUnicodeKeysyms = 0x01000000;

}  // namespace

Keysym virtualKeysym(std::uint16_t code) {
    static const std::unordered_map<std::uint16_t, Keysym> table(std::begin(kVirtualKeys),
                                                                 std::end(kVirtualKeys));
    auto it = table.find(code);
    return it == table.end() ? kNoSymbol : it->second;
}

std::u32string codePoints(std::u16string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

std::u16string PieceJoiner::take(std::u16string_view piece) {
    std::u16string text = std::move(held_);
    held_.clear();
    text.append(piece);
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
        held_.push_back(text.back());
        text.pop_back();
    }
    return text;
}

std::u16string PieceJoiner::flush() {
    std::u16string text = std::move(held_);
    held_.clear();
    return text;
}

Keysym textKeysym(char32_t cp) {
    if (cp == U'\t') return XK_Tab;
    if (cp == U'\r') return XK_Return;
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return kNoSymbol;
    if (cp < 0x100) return cp;
    if (cp > 0x10FFFF) return kNoSymbol;
    return kUnicodeKeysyms + cp;
}

int CoreMap::maxKeycode() const {
    if (perKeycode <= 0) return minKeycode - 1;
    return minKeycode + static_cast<int>(syms.size() / static_cast<std::size_t>(perKeycode)) - 1;
}

Keysym CoreMap::at(int keycode, int index) const {
    if (keycode < minKeycode || keycode > maxKeycode() || index < 0 || index >= perKeycode)
        return kNoSymbol;
    return syms[static_cast<std::size_t>(keycode - minKeycode) * static_cast<std::size_t>(perKeycode) +
                static_cast<std::size_t>(index)];
}

std::optional<Stroke> findKey(const CoreMap& map, Keysym sym, bool shiftAllowed) {
    if (sym == kNoSymbol) return std::nullopt;
    for (int level = 0; level < (shiftAllowed ? 2 : 1); ++level)
        for (int k = map.minKeycode; k <= map.maxKeycode(); ++k)
            if (map.at(k, level) == sym) return Stroke{k, level == 1};
    return std::nullopt;
}

std::vector<int> spareKeycodes(const CoreMap& map, const std::vector<int>& reserved) {
    std::vector<int> empty;
    for (int k = map.minKeycode; k <= map.maxKeycode(); ++k) {
        if (std::find(reserved.begin(), reserved.end(), k) != reserved.end()) continue;
        bool none = true;
        for (int i = 0; i < map.perKeycode && none; ++i) none = map.at(k, i) == kNoSymbol;
        if (none) empty.push_back(k);
    }
    auto runs = keycodeRuns(empty);
    std::stable_sort(runs.begin(), runs.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::vector<int> out;
    out.reserve(empty.size());
    for (auto [first, count] : runs)
        for (int k = first; k < first + count; ++k) out.push_back(k);
    return out;
}

std::vector<std::pair<int, int>> keycodeRuns(std::vector<int> keycodes) {
    std::sort(keycodes.begin(), keycodes.end());
    keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
    std::vector<std::pair<int, int>> runs;
    for (int k : keycodes) {
        if (!runs.empty() && runs.back().first + runs.back().second == k)
            ++runs.back().second;
        else
            runs.emplace_back(k, 1);
    }
    return runs;
}

std::vector<Batch> planTyping(const CoreMap& map, const std::vector<Keysym>& syms,
                              const std::vector<int>& spares, bool useMapping, bool shiftAllowed) {
    std::vector<Batch> batches;
    auto current = [&]() -> Batch& {
        if (batches.empty()) batches.emplace_back();
        return batches.back();
    };
    for (Keysym sym : syms) {
        if (sym == kNoSymbol) continue;
        if (useMapping) {
            if (auto stroke = findKey(map, sym, shiftAllowed)) {
                current().strokes.push_back(*stroke);
                continue;
            }
        }
        if (spares.empty()) continue;
        Batch* batch = &current();
        auto bound = std::find_if(batch->bindings.begin(), batch->bindings.end(),
                                  [sym](const Binding& b) { return b.sym == sym; });
        if (bound != batch->bindings.end()) {
            batch->strokes.push_back({bound->keycode, false});
            continue;
        }
        if (batch->bindings.size() == spares.size()) {
            batches.emplace_back();
            batch = &batches.back();
        }
        int keycode = spares[batch->bindings.size()];
        batch->bindings.push_back({keycode, sym});
        batch->strokes.push_back({keycode, false});
    }
    return batches;
}

}  // namespace platform::x11::keys

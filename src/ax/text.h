// Cutting texts by user-perceived characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ax {

// The first `limit` extended grapheme clusters of a UTF-8 text; the whole text
// when it has no more. A byte that is not part of valid UTF-8 counts as one
// character of its own, so a cut never falls inside a sequence.
std::string prefix(std::string_view text, std::size_t limit);

// A text prepared for comparing without regard to case: composed (NFC) and
// case-folded, so "É" written with a combining accent matches "é". A text
// that is not valid UTF-8 is folded byte by byte for ASCII letters only.
std::string folded(std::string_view text);

}  // namespace ax

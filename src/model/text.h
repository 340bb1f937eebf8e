// Text helpers shared by the layers: trimming, canonical equality, upper- and lower-casing.
#pragma once

#include <string>
#include <string_view>

namespace vesk::text {

// True for Unicode white space and line breaks (separators Zs/Zl/Zp, U+0009–U+000D, U+0085).
bool isWhitespaceOrNewline(char32_t c);

// Removes white space and line breaks from both ends. Invalid UTF-8 is returned unchanged.
std::string trimmed(std::string_view s);

// Equality under Unicode canonical equivalence (e.g. "é" precomposed equals "e" + U+0301).
bool canonicallyEqual(std::string_view a, std::string_view b);

// Full Unicode upper-casing ("ß" becomes "SS").
std::string uppercased(std::string_view s);

// ASCII lower-casing: only A–Z change, every other byte (UTF-8 included) stays as it is. For texts
// whose case is ASCII by definition: schemes, host names, identifiers.
constexpr char asciiLowercased(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }
std::string asciiLowercased(std::string_view s);

bool isValidUtf8(std::string_view s);

// The number of Unicode code points; invalid bytes count one each.
std::size_t codePointCount(std::string_view s);

// The first `limit` code points of `s` (all of it when shorter), counted as codePointCount does,
// so a character is never cut in two. Reads no further than it keeps.
std::string_view firstCodePoints(std::string_view s, std::size_t limit);

// A text for one line of a list: line breaks, tabs and other control characters become blanks, and after `limit` code
// points the rest is cut and "…" appended. Laying out a huge text costs the main loop seconds,
// so what is shown is bounded whatever is stored. Invalid UTF-8 is shown with U+FFFD.
std::string shownOnOneLine(std::string_view s, std::size_t limit);

}  // namespace vesk::text

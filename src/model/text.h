// Unicode text helpers shared by the model: trimming, canonical equality, upper-casing.
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

bool isValidUtf8(std::string_view s);

}  // namespace vesk::text

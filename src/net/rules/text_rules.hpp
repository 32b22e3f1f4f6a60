#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cv {

// Small whole-text checks for values that arrive from the server or from the
// shell's own file name. All of them compare ASCII only.

// Exactly 64 characters, each 0-9 or a-f (lower case only).
bool isLowerHexSha256(std::string_view text);

// 1 to maxDigits decimal digits, the first one 1-9 (no sign, no leading zero).
bool isPositiveDecimal(std::string_view text, std::size_t maxDigits);

// Whether a positive decimal (as above) is at most max: a shorter one always
// is, one as long as max compares byte-wise like a number.
bool isDecimalAtMost(std::string_view decimal, std::uint64_t max);

// 1 to maxLength characters, each a-z, A-Z, 0-9, '_' or '-'.
bool isPlainIdentifier(std::string_view text, std::size_t maxLength);

// The package digits of a setup file name: the leftmost "_Setup_pc" (any
// letter case) followed by 1 to 10 digits without a leading zero, an optional
// copy suffix " (N)" or "(N)" (N without a leading zero) and ".exe" (any
// letter case) that ends the name. Nothing when no occurrence reaches the end.
std::optional<std::wstring> setupFileNameDigits(std::wstring_view fileName);

}  // namespace cv

#include "net/rules/text_rules.hpp"

namespace cv {

namespace {

constexpr std::size_t kSha256HexLength = 64;
constexpr std::size_t kPackageDigitsLimit = 10;

template <typename Char>
bool isDigit(Char c) {
  return c >= Char('0') && c <= Char('9');
}

template <typename Char>
bool isNonZeroDigit(Char c) {
  return c >= Char('1') && c <= Char('9');
}

// ASCII-only lower case; every other character is left as it is.
wchar_t asciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// `lowerText` must be lower case already.
bool equalsIgnoringAsciiCase(std::wstring_view text, std::wstring_view lowerText) {
  if (text.size() != lowerText.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != lowerText[i]) return false;
  }
  return true;
}

// A copy suffix followed by the extension, or the extension alone:
// "( ?\([1-9][0-9]*\))?\.exe" over the whole of `rest`.
bool isCopySuffixAndExtension(std::wstring_view rest) {
  constexpr std::wstring_view kExtension = L".exe";
  if (equalsIgnoringAsciiCase(rest, kExtension)) return true;

  std::size_t i = 0;
  if (i < rest.size() && rest[i] == L' ') ++i;
  if (i >= rest.size() || rest[i] != L'(') return false;
  ++i;
  if (i >= rest.size() || !isNonZeroDigit(rest[i])) return false;
  ++i;
  while (i < rest.size() && isDigit(rest[i])) ++i;
  if (i >= rest.size() || rest[i] != L')') return false;
  ++i;
  return equalsIgnoringAsciiCase(rest.substr(i), kExtension);
}

}  // namespace

bool isLowerHexSha256(std::string_view text) {
  if (text.size() != kSha256HexLength) return false;
  for (const char c : text) {
    if (!isDigit(c) && !(c >= 'a' && c <= 'f')) return false;
  }
  return true;
}

bool isPositiveDecimal(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits || !isNonZeroDigit(text[0])) return false;
  for (const char c : text) {
    if (!isDigit(c)) return false;
  }
  return true;
}

bool isDecimalAtMost(std::string_view decimal, std::uint64_t max) {
  const std::string limit = std::to_string(max);
  return decimal.size() < limit.size() || decimal <= limit;
}

bool isPlainIdentifier(std::string_view text, std::size_t maxLength) {
  if (text.empty() || text.size() > maxLength) return false;
  for (const char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!letter && !isDigit(c) && c != '_' && c != '-') return false;
  }
  return true;
}

std::optional<std::wstring> setupFileNameDigits(std::wstring_view fileName) {
  constexpr std::wstring_view kMarker = L"_setup_pc";
  for (std::size_t start = 0; start + kMarker.size() <= fileName.size(); ++start) {
    if (!equalsIgnoringAsciiCase(fileName.substr(start, kMarker.size()), kMarker)) continue;

    const std::size_t digitsBegin = start + kMarker.size();
    if (digitsBegin >= fileName.size() || !isNonZeroDigit(fileName[digitsBegin])) continue;
    std::size_t digitsEnd = digitsBegin + 1;
    while (digitsEnd < fileName.size() && isDigit(fileName[digitsEnd])) ++digitsEnd;
    // What follows the digits never starts with a digit, so a shorter run
    // cannot match either: too many digits rule out this occurrence.
    if (digitsEnd - digitsBegin > kPackageDigitsLimit) continue;

    if (isCopySuffixAndExtension(fileName.substr(digitsEnd))) {
      return std::wstring(fileName.substr(digitsBegin, digitsEnd - digitsBegin));
    }
  }
  return std::nullopt;
}

}  // namespace cv

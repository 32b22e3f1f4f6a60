// The strict UTF-8 / wide conversions for builds without the Win32 converters
// (the channel toolkit on Linux). They fail exactly where the Windows build's
// do: any malformed, overlong or surrogate-encoding UTF-8, and any wide text
// that is not a sequence of whole code points; nothing is ever replaced.
// Wide text is UTF-16 where wchar_t has 16 bits and UTF-32 where it has 32.
#include "platform/text.hpp"
#include "core/messages.hpp"

#include <cstdint>

#include "core/error.hpp"

namespace cv {

namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool isSurrogate(std::uint32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void appendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void appendWide(std::wstring& out, std::uint32_t c) {
  if (kWideIsUtf16 && c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

// One code point from UTF-8 at text[i], advancing i; false for anything that
// is not the shortest encoding of a scalar value.
bool decodeUtf8(const std::string& text, std::size_t& i, std::uint32_t& c) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    ++i;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, c = lead & 0x07;
  } else {
    return false;
  }
  if (text.size() - i < length) return false;
  for (std::size_t k = 1; k < length; ++k) {
    const unsigned char next = byte(i + k);
    if ((next & 0xC0) != 0x80) return false;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || isSurrogate(c)) return false;
  i += length;
  return true;
}

}  // namespace

std::string toUtf8(const std::wstring& text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = static_cast<std::uint32_t>(text[i]);
    if (kWideIsUtf16) c &= 0xFFFF;
    if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
      const std::uint32_t low = static_cast<std::uint32_t>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    ensure(!isSurrogate(c) && c <= 0x10FFFF, InvalidInput, msg::kInvalidUnicode);
    appendUtf8(result, c);
  }
  return result;
}

std::wstring toWide(const std::string& text) {
  std::wstring result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    std::uint32_t c = 0;
    ensure(decodeUtf8(text, i, c), InvalidInput, "Invalid UTF-8");
    appendWide(result, c);
  }
  return result;
}

}  // namespace cv

#pragma once

// What every fuzz target shares: reading its input, turning bytes into the
// wide text the shell sees on Windows, and stopping on a broken invariant.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"

// A broken invariant ends the run at once, so libFuzzer keeps the input.
#define FUZZ_REQUIRE(condition)                                                   \
  do {                                                                            \
    if (!(condition)) ::zrq::fuzz::invariantBroken(#condition, __FILE__, __LINE__); \
  } while (false)

namespace zrq::fuzz {

[[noreturn]] inline void invariantBroken(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", condition, file, line);
  std::fflush(stderr);
  __builtin_trap();
}

// Reads fixed-size fields from the front of the input; a field past the end
// reads as zero, so every input is usable.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint16_t u16() { return static_cast<std::uint16_t>(number(2)); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(number(4)); }
  std::uint64_t u64() { return number(8); }

  // Up to (not including) the next `separator`, which is consumed.
  std::string_view until(char separator) {
    const std::string_view rest = remaining();
    const std::size_t end = rest.find(separator);
    const std::string_view field = rest.substr(0, end);
    at_ += field.size() + (end == std::string_view::npos ? 0 : 1);
    return field;
  }

  std::string_view rest() {
    const std::string_view all = remaining();
    at_ = size_;
    return all;
  }

 private:
  std::string_view remaining() const {
    return {reinterpret_cast<const char*>(data_) + at_, size_ - at_};
  }
  std::uint64_t number(int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint64_t>(byte()) << (8 * i);
    return value;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// UTF-8 to one wide character per code point, as the Windows build would hold
// the text; each byte that is not part of a well-formed sequence becomes a lone
// surrogate (0xDC00 + byte), which the shell's conversions refuse. So every byte
// string maps to some wide text, valid or not.
inline std::wstring wideFromBytes(std::string_view bytes) {
  std::wstring text;
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  while (i < bytes.size()) {
    const unsigned char lead = at(i);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2
                                       : lead >= 0xE0 && lead <= 0xEF   ? 3
                                       : lead >= 0xF0 && lead <= 0xF4   ? 4
                                                                        : 0;
    std::uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    bool ok = length != 0 && bytes.size() - i >= length;
    for (std::size_t k = 1; ok && k < length; ++k) {
      ok = (at(i + k) & 0xC0) == 0x80;
      c = (c << 6) | (at(i + k) & 0x3F);
    }
    const std::uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
    ok = ok && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    if (ok) {
      text.push_back(static_cast<wchar_t>(c));
      i += length;
    } else {
      text.push_back(static_cast<wchar_t>(0xDC00 + lead));
      ++i;
    }
  }
  return text;
}

// The input split at every NUL byte (NUL never occurs inside a command-line
// argument or a path).
inline std::vector<std::string_view> fieldsAtNul(std::string_view bytes) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = bytes.find('\0', start);
    fields.push_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

inline std::wstring asciiLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

inline std::wstring asciiUpper(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

inline std::wstring widenAscii(std::string_view text) { return std::wstring(text.begin(), text.end()); }

inline bool isOneOf(const char* message, std::initializer_list<const char*> allowed) {
  for (const char* text : allowed) {
    if (std::string_view(message) == text) return true;
  }
  return false;
}

// A package id as the shell holds it: taken from `field` when that is one
// (1 to 10 digits, no leading zero, at most 4294967295), "1234" otherwise.
inline std::string packageIdOr1234(std::string_view field) {
  const bool digits = !field.empty() && field.size() <= 10 && field[0] >= '1' && field[0] <= '9' &&
                      field.find_first_not_of("0123456789") == std::string_view::npos;
  if (!digits || (field.size() == 10 && field > "4294967295")) return "1234";
  return std::string(field);
}

}  // namespace zrq::fuzz

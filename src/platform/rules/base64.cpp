#include "platform/rules/base64.hpp"

namespace cv {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<unsigned char> bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t at = 0; at < text.size(); at += 4) {
    const bool last = at + 4 == text.size();
    const std::size_t padding =
        last ? (text[at + 3] == '=') + (text[at + 2] == '=' && text[at + 3] == '=') : 0;
    unsigned long group = 0;
    for (std::size_t i = 0; i < 4; ++i) {
      const int value = i < 4 - padding ? valueOf(text[at + i]) : 0;
      if (value < 0) return std::nullopt;
      group = group << 6 | static_cast<unsigned long>(value);
    }
    // Bits that the padding leaves unused must be zero.
    if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0)) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<unsigned char>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<unsigned char>(group >> 8 & 0xFF));
    if (padding < 1) bytes.push_back(static_cast<unsigned char>(group & 0xFF));
  }
  return bytes;
}

std::string encodeBase64(const std::vector<unsigned char>& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t count = bytes.size() - at < 3 ? bytes.size() - at : 3;
    unsigned long group = static_cast<unsigned long>(bytes[at]) << 16;
    if (count > 1) group |= static_cast<unsigned long>(bytes[at + 1]) << 8;
    if (count > 2) group |= bytes[at + 2];
    text.push_back(kAlphabet[group >> 18 & 63]);
    text.push_back(kAlphabet[group >> 12 & 63]);
    text.push_back(count > 1 ? kAlphabet[group >> 6 & 63] : '=');
    text.push_back(count > 2 ? kAlphabet[group & 63] : '=');
  }
  return text;
}

}  // namespace cv

#include "platform/sha256.hpp"

namespace cv {

std::string toHex(const std::vector<unsigned char>& bytes) {
  static const char alphabet[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    text.push_back(alphabet[byte >> 4]);
    text.push_back(alphabet[byte & 0x0F]);
  }
  return text;
}

}  // namespace cv

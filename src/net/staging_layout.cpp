#include "net/staging_layout.hpp"

namespace cv {

namespace {

bool isLowerHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }
bool isUpperHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }
bool isDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring keptPartialName(const std::string& sha256, std::uint64_t size) {
  return std::wstring(sha256.begin(), sha256.end()) + L"-" + std::to_wstring(size);
}

bool isKeptPartialName(const std::wstring& name) {
  constexpr std::size_t kDigest = 64;
  // A size is 1 to 15 digits without a leading zero, as descriptors give it.
  if (name.size() < kDigest + 2 || name.size() > kDigest + 16 || name[kDigest] != L'-') return false;
  for (std::size_t i = 0; i < kDigest; ++i)
    if (!isLowerHexDigit(name[i])) return false;
  if (name[kDigest + 1] == L'0') return false;
  for (std::size_t i = kDigest + 1; i < name.size(); ++i)
    if (!isDecimalDigit(name[i])) return false;
  return true;
}

bool isAttemptDirectoryName(const std::wstring& name) {
  if (name.size() != 36) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
    if (hyphen ? name[i] != L'-' : !isUpperHexDigit(name[i])) return false;
  }
  return true;
}

bool isPackageFileName(const std::wstring& name) {
  if (name.size() < 4) return false;
  const std::wstring tail = name.substr(name.size() - 4);
  return tail[0] == L'.' && (tail[1] | 0x20) == L'm' && (tail[2] | 0x20) == L's' &&
         (tail[3] | 0x20) == L'i';
}

}  // namespace cv

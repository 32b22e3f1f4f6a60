#include "net/rules/staging_layout.hpp"

#include "platform/locations.hpp"

namespace cv {

namespace {

bool isLowerHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'); }
bool isUpperHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F'); }
bool isDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The "<owner>-" in front of a kept name, empty for the earlier form.
std::wstring ownerOf(const std::wstring& name) {
  constexpr std::size_t kDescriptorPart = 64 + 2;  // the digest, "-" and a digit at least
  const std::size_t dash = name.find(L'-');
  if (dash == std::wstring::npos || name.size() - dash < kDescriptorPart + 1) return {};
  return name.substr(0, dash + 1);
}

bool isOwner(const std::wstring& owner) {
  if (owner == L"shell") return true;
  if (owner.empty() || owner.size() > 10 || owner[0] == L'0') return false;
  for (wchar_t c : owner)
    if (!isDecimalDigit(c)) return false;
  return true;
}

bool isDescriptorPart(const std::wstring& name) {
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

}  // namespace

std::wstring installerFileName(InstallerKind kind) {
  return kind == InstallerKind::Msi ? L"original.msi" : L"original.exe";
}

std::wstring keptPartialName(const std::string& owner, const std::string& sha256, std::uint64_t size) {
  return std::wstring(owner.begin(), owner.end()) + L"-" + std::wstring(sha256.begin(), sha256.end()) +
         L"-" + std::to_wstring(size);
}

bool isKeptPartialName(const std::wstring& name) {
  const std::wstring owner = ownerOf(name);
  if (owner.empty()) return isDescriptorPart(name);
  return isOwner(owner.substr(0, owner.size() - 1)) && isDescriptorPart(name.substr(owner.size()));
}

bool isEarlierPartialOf(const std::wstring& name, const std::wstring& current) {
  const std::wstring owner = ownerOf(current);
  return name != current && !owner.empty() && isKeptPartialName(name) && ownerOf(name) == owner;
}

StagingRules stagingRulesFor(bool elevated) {
  if (elevated) return {false, false, false};
  return {true, true, true};
}

std::vector<std::wstring> elevatedStagingChain(const std::wstring& programData,
                                               const std::wstring& userSid) {
  const std::wstring sdk = programData + L"\\" + kSdkDirectoryName;
  const std::wstring own = sdk + L"\\" + userSid;
  return {sdk, own, own + L"\\" + kStagingDirectoryName};
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

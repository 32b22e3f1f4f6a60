#include "platform/process_identity.hpp"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/handles.hpp"
#include "platform/rules/owner_rules.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

std::optional<std::wstring> sidText(PSID sid) {
  LPWSTR text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return std::nullopt;
  const LocalMemory owner(text);
  return std::wstring(text);
}

std::vector<BYTE> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  ::GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  return buffer;
}

ProcessIdentity readProcessIdentity() {
  ProcessIdentity identity;
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return identity;
  const KernelHandle token(raw);
  const std::vector<BYTE> user = tokenInformation(token.get(), TokenUser);
  if (!user.empty()) identity.user = sidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
  const std::vector<BYTE> owner = tokenInformation(token.get(), TokenOwner);
  if (!owner.empty())
    identity.defaultOwner = sidText(reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner);
  std::optional<bool> isElevated;
  std::optional<int> elevationType;
  const std::vector<BYTE> elevation = tokenInformation(token.get(), TokenElevation);
  if (elevation.size() >= sizeof(TOKEN_ELEVATION))
    isElevated = reinterpret_cast<const TOKEN_ELEVATION*>(elevation.data())->TokenIsElevated != 0;
  const std::vector<BYTE> type = tokenInformation(token.get(), TokenElevationType);
  if (type.size() >= sizeof(TOKEN_ELEVATION_TYPE))
    elevationType = static_cast<int>(*reinterpret_cast<const TOKEN_ELEVATION_TYPE*>(type.data()));
  identity.elevated = seams::elevated().value_or(
      isElevatedToken(isElevated, elevationType, identity.defaultOwner));
  return identity;
}

}  // namespace

const ProcessIdentity& processIdentity() {
  static const ProcessIdentity identity = readProcessIdentity();
  return identity;
}

std::optional<std::wstring> ownerOf(const std::wstring& path) {
  DWORD size = 0;
  ::GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> descriptor(size);
  if (!::GetFileSecurityW(path.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), size,
                          &size))
    return std::nullopt;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!::GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted)) return std::nullopt;
  return sidText(owner);
}

std::optional<std::wstring> ownerOfOpenFile(void* handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                        nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const LocalMemory held(descriptor);
  return sidText(owner);
}

}  // namespace cv

#include "platform/rules/owner_rules.hpp"

namespace cv {

namespace {

// Protected DACL: full access for SYSTEM and the owner, inherited by everything inside.
constexpr wchar_t kOwnerOnlyDacl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;OW)";

// The SECURITY_INFORMATION values, kept here so the rule needs no Windows header.
constexpr unsigned long kOwnerInformation = 0x00000001;
constexpr unsigned long kDaclInformation = 0x00000004;
constexpr unsigned long kProtectedDaclInformation = 0x80000000;

constexpr wchar_t kSystemSid[] = L"S-1-5-18";
constexpr wchar_t kAdministratorsSid[] = L"S-1-5-32-544";

bool differs(const std::optional<std::wstring>& a, const std::optional<std::wstring>& b) {
  return a && b && !a->empty() && !b->empty() && *a != *b;
}

}  // namespace

DirectorySecurity protectedDirectorySecurity(const std::optional<std::wstring>& currentOwner,
                                             const std::optional<std::wstring>& user) {
  DirectorySecurity security;
  security.sddl = kOwnerOnlyDacl;
  security.information = kDaclInformation | kProtectedDaclInformation;
  if (differs(currentOwner, user)) {
    security.sddl = L"O:" + *user + security.sddl;
    security.information |= kOwnerInformation;
  }
  return security;
}

std::optional<std::wstring> creatorOwnerOverride(const std::optional<std::wstring>& defaultOwner,
                                                 const std::optional<std::wstring>& user) {
  if (differs(defaultOwner, user)) return user;
  return std::nullopt;
}

bool isElevatedToken(std::optional<bool> tokenIsElevated, std::optional<int> elevationType,
                     const std::optional<std::wstring>& defaultOwner) {
  constexpr int kTokenElevationTypeFull = 2;
  if (tokenIsElevated.value_or(false) || elevationType == kTokenElevationTypeFull) return true;
  return defaultOwner == std::wstring(kAdministratorsSid);
}

bool isAdministrativeOwner(const std::wstring& owner, const std::optional<std::wstring>& alsoTrusted) {
  return owner == kSystemSid || owner == kAdministratorsSid || (alsoTrusted && owner == *alsoTrusted);
}

}  // namespace cv

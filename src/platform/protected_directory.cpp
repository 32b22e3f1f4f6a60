#include "platform/protected_directory.hpp"

#include <windows.h>
#include <sddl.h>

#include "app/error.hpp"
#include "platform/create_directories.hpp"
#include "platform/handles.hpp"
#include "platform/owner_rules.hpp"
#include "platform/path_ancestry.hpp"
#include "platform/process_identity.hpp"

namespace cv {

namespace {

bool isReparsePoint(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

LocalMemory securityDescriptor(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ensure(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr) != FALSE,
         SystemFailure, "Directory ACL unavailable");
  return LocalMemory(descriptor);
}

bool apply(const std::wstring& path, const DirectorySecurity& security) {
  const LocalMemory descriptor = securityDescriptor(security.sddl);
  return ::SetFileSecurityW(path.c_str(), security.information, descriptor.get()) != FALSE;
}

}  // namespace

void createProtectedDirectory(const std::wstring& path) {
  for (const std::wstring& candidate : selfAndAncestors(path))
    ensure(!isReparsePoint(candidate), SystemFailure, "Reparse directory rejected");

  createDirectories(path);

  const DirectorySecurity accessRuleOnly = protectedDirectorySecurity(std::nullopt, std::nullopt);
  const DirectorySecurity security =
      protectedDirectorySecurity(ownerOf(path), processIdentity().user);
  bool applied = apply(path, security);
  // Should Windows refuse the new owner, the access rule alone is still worth having.
  if (!applied && security.information != accessRuleOnly.information)
    applied = apply(path, accessRuleOnly);
  ensure(applied, SystemFailure, "Directory ACL failed");

  // The directory may have been swapped for a link while it was being made.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  ensure(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
         SystemFailure, "Reparse directory rejected");
}

}  // namespace cv

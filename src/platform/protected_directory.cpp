#include "platform/protected_directory.hpp"
#include "core/messages.hpp"

#include <windows.h>
#include <sddl.h>

#include "core/error.hpp"
#include "platform/create_directories.hpp"
#include "platform/handles.hpp"
#include "platform/rules/owner_rules.hpp"
#include "platform/rules/path_ancestry.hpp"
#include "platform/process_identity.hpp"
#include "platform/test_seams.hpp"
#include "platform/unfollowed_file.hpp"

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
         SystemFailure, msg::kDirectoryAclUnavailable);
  return LocalMemory(descriptor);
}

bool apply(const std::wstring& path, const DirectorySecurity& security) {
  const LocalMemory descriptor = securityDescriptor(security.sddl);
  return ::SetFileSecurityW(path.c_str(), security.information, descriptor.get()) != FALSE;
}

constexpr wchar_t kAdministratorsOnly[] = L"O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

}  // namespace

void createAdministratorsDirectory(const std::wstring& path) {
  const LocalMemory descriptor = securityDescriptor(kAdministratorsOnly);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  if (!::CreateDirectoryW(path.c_str(), &attributes)) {
    ensure(::GetLastError() == ERROR_ALREADY_EXISTS, SystemFailure, msg::kDirectoryAclFailed);
  }
  const FileHandle directory = openUnfollowed(
      path, READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      OPEN_EXISTING, true);
  BY_HANDLE_FILE_INFORMATION information{};
  ensure(directory.valid() && ::GetFileInformationByHandle(directory.get(), &information) != FALSE,
         SystemFailure, msg::kDirectoryAclFailed);
  ensure(!(information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT), SystemFailure,
         msg::kReparseDirectoryRejected);
  ensure((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, SystemFailure,
         msg::kDirectoryAclFailed);
  // Wine names the user as every file's owner; a test build told it runs
  // elevated takes that for the Administrators an elevated run creates as.
  const std::optional<std::wstring> alsoTrusted =
      seams::elevated().value_or(false) ? processIdentity().user : std::nullopt;
  const std::optional<std::wstring> owner = ownerOfOpenFile(directory.get());
  ensure(owner && isAdministrativeOwner(*owner, alsoTrusted), SystemFailure, msg::kDirectoryAclFailed);
}

void createProtectedDirectory(const std::wstring& path) {
  for (const std::wstring& candidate : selfAndAncestors(path))
    ensure(!isReparsePoint(candidate), SystemFailure, msg::kReparseDirectoryRejected);

  createDirectories(path);

  const DirectorySecurity accessRuleOnly = protectedDirectorySecurity(std::nullopt, std::nullopt);
  const DirectorySecurity security =
      protectedDirectorySecurity(ownerOf(path), processIdentity().user);
  bool applied = apply(path, security);
  // Should Windows refuse the new owner, the access rule alone is still worth having.
  if (!applied && security.information != accessRuleOnly.information)
    applied = apply(path, accessRuleOnly);
  ensure(applied, SystemFailure, msg::kDirectoryAclFailed);

  // The directory may have been swapped for a link while it was being made.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  ensure(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
         SystemFailure, msg::kReparseDirectoryRejected);
}

}  // namespace cv

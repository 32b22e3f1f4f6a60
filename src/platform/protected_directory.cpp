#include "platform/protected_directory.hpp"

#include <windows.h>
#include <sddl.h>

#include "app/error.hpp"
#include "platform/create_directories.hpp"
#include "platform/handles.hpp"
#include "platform/path_ancestry.hpp"

namespace cv {

namespace {

// Protected DACL: full access for SYSTEM and the owner, inherited by everything inside.
constexpr wchar_t kOwnerOnlySddl[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;OW)";

bool isReparsePoint(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

void createProtectedDirectory(const std::wstring& path) {
  for (const std::wstring& candidate : selfAndAncestors(path))
    ensure(!isReparsePoint(candidate), SystemFailure, "Reparse directory rejected");

  createDirectories(path);

  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ensure(::ConvertStringSecurityDescriptorToSecurityDescriptorW(kOwnerOnlySddl, SDDL_REVISION_1,
                                                                &descriptor, nullptr) != FALSE,
         SystemFailure, "Directory ACL unavailable");
  const LocalMemory descriptorMemory(descriptor);
  ensure(::SetFileSecurityW(path.c_str(),
                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                            descriptor) != FALSE,
         SystemFailure, "Directory ACL failed");

  // The directory may have been swapped for a link while it was being made.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  ensure(attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT),
         SystemFailure, "Reparse directory rejected");
}

}  // namespace cv

#include "platform/new_file.hpp"

#include <sddl.h>

#include <optional>

#include "platform/rules/owner_rules.hpp"
#include "platform/process_identity.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

// Normally none, so the file takes the owner the system gives it and the
// directory's access rule. In an elevated run that owner would be the
// Administrators group, and the player could not read the file afterwards;
// it is then created as the player's.
// Wine makes every file the user's whatever it is asked, so test builds note
// the owner given.
LocalMemory ownerDescriptor() {
  const ProcessIdentity& identity = processIdentity();
  const std::optional<std::wstring> owner =
      creatorOwnerOverride(identity.defaultOwner, identity.user);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (owner && !::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                   (L"O:" + *owner).c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    descriptor = nullptr;
  seams::note(seams::Noted::NewFileOwner, descriptor != nullptr ? owner->c_str() : nullptr);
  return LocalMemory(descriptor);
}

}  // namespace

FileHandle createNewFile(const std::wstring& path) {
  return openOwnFile(path, GENERIC_WRITE, CREATE_NEW);
}

FileHandle openOwnFile(const std::wstring& path, unsigned long access, unsigned long disposition,
                       unsigned long flags) {
  const LocalMemory owner = ownerDescriptor();
  SECURITY_ATTRIBUTES asOwner{sizeof(asOwner), owner.get(), FALSE};
  return FileHandle(::CreateFileW(path.c_str(), access, 0, owner.valid() ? &asOwner : nullptr,
                                  disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
}

}  // namespace cv

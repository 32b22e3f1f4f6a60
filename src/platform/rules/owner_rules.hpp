#pragma once

#include <optional>
#include <string>

namespace cv {

// SIDs in their string form ("S-1-5-21-..."), as Windows writes them.

// The security update for a protected directory: the owner-only access rule,
// and the owner too when the directory's owner is not the user the process
// runs as. An elevated run creates directories owned by the Administrators
// group, whom the owner-rights entry would then admit instead of the player.
struct DirectorySecurity {
  std::wstring sddl;
  unsigned long information = 0;  // the SECURITY_INFORMATION flags to apply
};

// An owner that could not be read, or a user that is not known, changes nothing.
DirectorySecurity protectedDirectorySecurity(const std::optional<std::wstring>& currentOwner,
                                             const std::optional<std::wstring>& user);

// The owner to give a file the process creates, when objects it creates would
// otherwise belong to someone else (the process token's default owner is not
// its user, as in an elevated run); none when they are the user's anyway.
std::optional<std::wstring> creatorOwnerOverride(const std::optional<std::wstring>& defaultOwner,
                                                 const std::optional<std::wstring>& user);

// Whether the process runs with an administrator's full rights: the token says
// it is elevated (TokenElevation) or of the full type (TokenElevationType 2),
// or, where neither can be read or UAC is off, the objects it creates belong
// to the Administrators group.
bool isElevatedToken(std::optional<bool> tokenIsElevated, std::optional<int> elevationType,
                     const std::optional<std::wstring>& defaultOwner);

// Owners of a directory only SYSTEM and Administrators could have made:
// those two ("S-1-5-18", "S-1-5-32-544"), and alsoTrusted when given.
bool isAdministrativeOwner(const std::wstring& owner, const std::optional<std::wstring>& alsoTrusted);

}  // namespace cv

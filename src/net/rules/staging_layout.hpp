#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/rules/installer_descriptor.hpp"

namespace cv {

// The protected staging area, SDK root \ "temp":
//   <attempt id> \ <file>     the verified download of that run (the installer
//                             "original.exe" or "original.msi", or a newer shell)
//   partial \ <owner>-<sha256>-<sizeBytes>
//                             the bytes received so far of a download that did not
//                             finish, named by what it is for (the package id, or
//                             "shell" for a newer shell) and its descriptor
// An elevated run stages instead where only SYSTEM and Administrators can write:
//   <ProgramData> \ CorvaneSDK \ <the player's SID> \ temp \ <attempt id> \ <file>
inline constexpr wchar_t kStagingDirectoryName[] = L"temp";
inline constexpr wchar_t kKeptPartialDirectoryName[] = L"partial";
inline constexpr char kShellPartialOwner[] = "shell";

// The file name of a run's installer: "original.exe", or "original.msi" for a package.
std::wstring installerFileName(InstallerKind kind);

// "<owner>-<sha256>-<sizeBytes>", from the descriptor's own texts.
std::wstring keptPartialName(const std::string& owner, const std::string& sha256, std::uint64_t size);
// Also the "<sha256>-<sizeBytes>" of earlier shells, which no run continues.
bool isKeptPartialName(const std::wstring& name);
// Another kept download of the same owner: an earlier descriptor of the same
// package (or shell), which a new one replaces.
bool isEarlierPartialOf(const std::wstring& name, const std::wstring& current);

// What a run may do with the staging area. The player's own programs can
// write wherever the player can; a run "as administrator" must not let them
// steer it, so it stages in its own place and takes nothing from earlier runs.
struct StagingRules {
  bool reuseVerifiedCopies;
  bool keepPartials;
  bool cleanUp;
};
StagingRules stagingRulesFor(bool elevated);

// The directories of an elevated run's staging area below ProgramData, in the
// order they are made: CorvaneSDK, the player's SID, temp.
std::vector<std::wstring> elevatedStagingChain(const std::wstring& programData,
                                               const std::wstring& userSid);

// 36 upper-case hexadecimal digits and hyphens in groups 8-4-4-4-12.
bool isAttemptDirectoryName(const std::wstring& name);

// A package for Windows Installer (".msi", any letter case).
bool isPackageFileName(const std::wstring& name);

}  // namespace cv

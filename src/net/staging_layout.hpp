#pragma once

#include <cstdint>
#include <string>

namespace cv {

// The protected staging area, SDK root \ "temp":
//   <attempt id> \ <file>          the verified download of that run (the installer
//                                  "original.exe" or "original.msi", or a newer shell)
//   partial \ <sha256>-<sizeBytes> the bytes received so far of a download that did
//                                  not finish, named by its descriptor
inline constexpr wchar_t kStagingDirectoryName[] = L"temp";
inline constexpr wchar_t kKeptPartialDirectoryName[] = L"partial";

// "<sha256>-<sizeBytes>", from the descriptor's own texts.
std::wstring keptPartialName(const std::string& sha256, std::uint64_t size);
bool isKeptPartialName(const std::wstring& name);

// 36 upper-case hexadecimal digits and hyphens in groups 8-4-4-4-12.
bool isAttemptDirectoryName(const std::wstring& name);

// A package for Windows Installer (".msi", any letter case).
bool isPackageFileName(const std::wstring& name);

}  // namespace cv

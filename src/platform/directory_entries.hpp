#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// One entry of a directory, as its listing describes it (links are not followed).
struct DirectoryEntry {
  std::wstring name;
  bool directory = false;
  bool reparsePoint = false;       // a symbolic link, junction or mount point
  std::uint64_t size = 0;
  std::uint64_t lastWriteTime = 0; // 100-ns intervals since 1601 (FILETIME)
};

// The entries of a directory but "." and ".."; empty when it cannot be listed.
// Win32 only.
std::vector<DirectoryEntry> directoryEntries(const std::wstring& directory);

// Now, in the units of DirectoryEntry::lastWriteTime. Win32 only.
std::uint64_t currentFileTime();

}  // namespace cv

#pragma once

#include <cstdint>
#include <string>

#include "platform/handles.hpp"

namespace cv {

// Where a download keeps the bytes of a transfer that broke off, for the
// next run to continue: the kept downloads' directory, and whose they are
// (the package id, or "shell"). No directory: nothing is kept.
struct KeptPlace {
  std::wstring directory;
  std::string owner;
};

// The file a download writes into: the kept file named by the descriptor, or,
// when that cannot be had, the target itself, which is not kept.
struct DownloadSlot {
  FileHandle handle;  // read, write and delete access, no sharing
  std::wstring path;
  bool kept = false;
  bool created = false;  // the kept file is new: nothing of it was there
  std::uint64_t length = 0;
};

// The kept file for this descriptor, opened without following a link and used
// only when it is a plain file with no second name, reached exactly where it
// should be: a link, a hard link or a directory swapped for a junction is
// left alone, and so is a file another shell holds. An invalid handle when it
// cannot be used.
DownloadSlot openKeptSlot(const KeptPlace& place, const std::wstring& name);

// A new target file; Error(-9, "无法创建安装文件") when it cannot be made.
DownloadSlot openTargetSlot(const std::wstring& target);

// Removes the kept files of the same owner's other descriptors (an earlier
// installer of the same package): at most one stays per package. Those in use
// by another shell, and anything that is not a plain kept file, stay.
void removeEarlierPartials(const KeptPlace& place, const std::wstring& name) noexcept;

// Free space on the volume of path for need more bytes (and the margin).
bool enoughFreeSpace(const std::wstring& path, std::uint64_t need);

// The file's length through its handle; 0 when it cannot be read.
std::uint64_t handleLength(HANDLE file);

}  // namespace cv

#pragma once

// Files and directories opened without following a link at the end of their
// path, and judged by the handle rather than by the path, which a program of
// the player's could re-point between a look and a use. Win32 only.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/handles.hpp"

namespace cv {

// CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT (and FILE_FLAG_BACKUP_SEMANTICS
// for a directory): a link is opened as itself, never its target.
FileHandle openUnfollowed(const std::wstring& path, unsigned long access, unsigned long share,
                          unsigned long disposition, bool directory,
                          SECURITY_ATTRIBUTES* attributes = nullptr);

// The path by which the system reaches the handle's file or directory, every
// link on the way resolved, in its usual "C:\..." form; nothing when unknown.
std::optional<std::wstring> finalPathOf(HANDLE handle);

// The final path of a directory that is no link itself: the base the paths
// meant inside it are compared with. Nothing for a link or a missing one.
std::optional<std::wstring> finalPathOfDirectory(const std::wstring& path);

// Whether the handle's object is the one meant: no reparse point, a directory
// or a file as asked, a file with no second name (one link), and reached at
// exactly expectedFinalPath (letter case aside), so that no link on the way
// led elsewhere.
bool isPlainEntryAt(HANDLE handle, const std::wstring& expectedFinalPath, bool directory);

// Which file a handle holds: the same volume and file index is the same file,
// whatever its name now.
struct FileIdentity {
  std::uint32_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity& other) const {
    return volume == other.volume && index == other.index;
  }
};
std::optional<FileIdentity> identityOf(HANDLE handle);

// Deletes the open object (the handle was opened with DELETE access).
bool deleteThroughHandle(HANDLE handle);

// Deletes what is at path only when it is the plain entry meant at
// expectedFinalPath (see isPlainEntryAt), through a handle to it: never a
// link's target, never through a directory that was swapped for a link.
bool deleteEntryAt(const std::wstring& path, const std::wstring& expectedFinalPath, bool directory);

}  // namespace cv

#pragma once

// Files the shell creates and fills itself. Win32 only.
#include <string>

#include "platform/handles.hpp"

namespace cv {

// A new file at path, opened for writing by this handle alone (GENERIC_WRITE,
// no sharing, CREATE_NEW: it fails when anything is there already). In an
// elevated run the file is created as the player's, not the Administrators',
// so a later normal run (and the game) can still read it. Invalid on failure,
// with the system's error left for GetLastError.
FileHandle createNewFile(const std::wstring& path);

// The same for a file this handle alone may also read or open again: access,
// disposition and flags as CreateFileW takes them (CREATE_NEW, OPEN_ALWAYS,
// FILE_FLAG_OPEN_REPARSE_POINT, ...). Only a file it creates gets the player
// as its owner.
FileHandle openOwnFile(const std::wstring& path, unsigned long access, unsigned long disposition,
                       unsigned long flags = 0);

}  // namespace cv

#pragma once

// Who the process runs as, and who owns a file. Win32 only.
#include <optional>
#include <string>

namespace cv {

struct ProcessIdentity {
  std::optional<std::wstring> user;          // the token's user
  std::optional<std::wstring> defaultOwner;  // owner given to objects it creates
  bool elevated = false;                     // an administrator's full rights
};

// Read once from the process token; a value that cannot be read stays empty.
const ProcessIdentity& processIdentity();

// The owner of a file or directory; empty when it cannot be read.
std::optional<std::wstring> ownerOf(const std::wstring& path);
// The same for a file or directory held open (a HANDLE with READ_CONTROL).
std::optional<std::wstring> ownerOfOpenFile(void* handle);

}  // namespace cv

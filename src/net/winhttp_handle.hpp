#pragma once

// WinHTTP handle ownership. Win32 only.
#include <windows.h>
#include <winhttp.h>

#include "platform/unique_handle.hpp"

namespace cv {

struct WinHttpHandleTraits {
  using Handle = HINTERNET;
  static Handle invalid() { return nullptr; }
  static void close(Handle handle) { ::WinHttpCloseHandle(handle); }
};
using WinHttpHandle = UniqueHandle<WinHttpHandleTraits>;

}  // namespace cv

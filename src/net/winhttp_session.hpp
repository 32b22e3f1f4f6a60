#pragma once

// The WinHTTP session of one request, on every Windows the shell supports.
// Win32 only.
#include <string>

#include "net/winhttp_handle.hpp"

namespace cv {

// The timeouts of every session, the proxy search's included.
struct SessionTimeouts {
  int resolveMs, connectMs, sendMs, receiveMs;
};

// WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY where Windows offers it (8.1 and later).
// Windows 7 and 8.0 refuse that access type; there the session is opened the
// way browsers on those systems route this URL by the user's Internet Options
// (automatic detection or a configuration script first, then a fixed proxy
// server, else WinHTTP's default), decided once per host for the life of the
// process, and it offers TLS 1.1 and 1.2 as well.
// The timeouts are set on the session. Throws Error(-7, "网络连接失败，请重试")
// when no session can be opened; Error(-7, "网络初始化失败") when that older
// WinHTTP cannot be asked for TLS 1.1 and 1.2 (before any request) or when the
// timeouts cannot be set.
WinHttpHandle openHttpSession(const wchar_t* userAgent, const std::wstring& url,
                              const std::wstring& host, const SessionTimeouts& timeouts);

}  // namespace cv

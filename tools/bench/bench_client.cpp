// zrq-bench-client: the Windows side of the benchmark, run inside the bench prefix.
//
//   get URL FILE     the reference download: one WinHTTP GET read in 64 KiB
//                    pieces, each written with WriteFile and hashed with
//                    BCryptHashData, then FlushFileBuffers. Nothing else.
//                    Prints {"bytes":N,"sha256":"..."}.
//   window MS [CLASS] waits for the setup window (or a window of CLASS) to be
//                    visible; prints {"visibleAt":S}, S in Unix seconds (Wine's
//                    clock is the host's).
//   cancel MS        waits for the window, clicks its button; prints {"clickedAt":S}.
//   hold MS          keeps a small window open for MS: Wine's desktop process
//                    then stays up between runs instead of ending and restarting
//                    as each shell comes and goes.
#include <windows.h>
#include <bcrypt.h>
#include <winhttp.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

constexpr DWORD kReadSize = 64 * 1024;

double unixNow() {
  FILETIME ft;
  ::GetSystemTimePreciseAsFileTime(&ft);
  ULONGLONG ticks = (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return double(ticks - 116444736000000000ULL) / 1e7;
}

int fail(const char* what) {
  std::printf("{\"failedAt\":\"%s\",\"error\":%lu}\n", what, ::GetLastError());
  return 1;
}

int get(const wchar_t* url, const wchar_t* path) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256], object[2048];
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = object;
  parts.dwUrlPathLength = 2048;
  if (!::WinHttpCrackUrl(url, 0, 0, &parts)) return fail("crack");

  HINTERNET session = ::WinHttpOpen(L"zrq-bench", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  if (!session) return fail("open");
  HINTERNET connection = ::WinHttpConnect(session, host, parts.nPort, 0);
  if (!connection) return fail("connect");
  HINTERNET request = ::WinHttpOpenRequest(connection, L"GET", object, nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           WINHTTP_FLAG_SECURE);
  if (!request) return fail("request");
  if (!::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0))
    return fail("send");
  if (!::WinHttpReceiveResponse(request, nullptr)) return fail("receive");

  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
      ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) != 0)
    return fail("hash");
  HANDLE file = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail("create");

  std::vector<unsigned char> buffer(kReadSize);
  unsigned long long total = 0;
  for (;;) {
    DWORD got = 0;
    if (!::WinHttpReadData(request, buffer.data(), kReadSize, &got)) return fail("read");
    if (got == 0) break;
    DWORD written = 0;
    if (!::WriteFile(file, buffer.data(), got, &written, nullptr) || written != got)
      return fail("write");
    if (::BCryptHashData(hash, buffer.data(), got, 0) != 0) return fail("hashdata");
    total += got;
  }
  if (!::FlushFileBuffers(file)) return fail("flush");
  unsigned char digest[32];
  if (::BCryptFinishHash(hash, digest, sizeof(digest), 0) != 0) return fail("finish");
  ::CloseHandle(file);
  ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(algorithm, 0);
  ::WinHttpCloseHandle(request);
  ::WinHttpCloseHandle(connection);
  ::WinHttpCloseHandle(session);

  std::printf("{\"bytes\":%llu,\"sha256\":\"", total);
  for (unsigned char b : digest) std::printf("%02x", b);
  std::printf("\"}\n");
  return 0;
}

HWND waitVisible(DWORD timeoutMs, const wchar_t* windowClass = L"ZRQUnifiedSetup") {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    HWND window = ::FindWindowW(windowClass, nullptr);
    if (window && ::IsWindowVisible(window)) return window;
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(1);
  }
}

int window(DWORD timeoutMs, const wchar_t* windowClass) {
  if (!waitVisible(timeoutMs, windowClass)) return fail("window");
  std::printf("{\"visibleAt\":%.6f}\n", unixNow());
  return 0;
}

int cancel(DWORD timeoutMs) {
  HWND window = waitVisible(timeoutMs);
  if (!window) return fail("window");
  HWND button = ::FindWindowExW(window, nullptr, L"Button", nullptr);
  if (!button) return fail("button");
  const double at = unixNow();
  if (!::PostMessageW(button, BM_CLICK, 0, 0)) return fail("click");
  std::printf("{\"clickedAt\":%.6f}\n", at);
  return 0;
}

int hold(DWORD ms) {
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"STATIC", L"zrq-bench",
                                  WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                  nullptr);
  if (!window) return fail("hold");
  std::printf("{\"holding\":true}\n");
  std::fflush(stdout);
  ::SetTimer(nullptr, 0, ms, nullptr);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER) break;
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"get") == 0) return get(argv[2], argv[3]);
  if ((argc == 3 || argc == 4) && std::wcscmp(argv[1], L"window") == 0)
    return window(std::wcstoul(argv[2], nullptr, 10), argc == 4 ? argv[3] : L"ZRQUnifiedSetup");
  if (argc == 3 && std::wcscmp(argv[1], L"cancel") == 0) return cancel(std::wcstoul(argv[2], nullptr, 10));
  if (argc == 3 && std::wcscmp(argv[1], L"hold") == 0) return hold(std::wcstoul(argv[2], nullptr, 10));
  std::fprintf(stderr, "usage: zrq-bench-client get URL FILE | window MS | cancel MS | hold MS\n");
  return 2;
}

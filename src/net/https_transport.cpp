#include "net/https_transport.hpp"

#include <vector>

#include "app/error.hpp"
#include "net/request_url.hpp"
#include "net/winhttp_handle.hpp"
#include "net/winhttp_session.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

constexpr wchar_t kUserAgent[] = L"ZRQSetup/1.0";
constexpr wchar_t kExtraHeaders[] =
    L"Content-Type: application/json\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n";
constexpr int kResolveTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
constexpr int kSendTimeoutMs = 10000;
constexpr int kReceiveTimeoutMs = 10000;
constexpr DWORD kReadChunk = 65536;

std::wstring component(const wchar_t* text, DWORD length) {
  return text ? std::wstring(text, length) : std::wstring();
}

RequestUrl crackUrl(const std::wstring& url) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUserNameLength = static_cast<DWORD>(-1);
  parts.dwPasswordLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  ensure(::WinHttpCrackUrl(url.c_str(), 0, 0, &parts) != FALSE, NetworkFailure, "下载地址无效");

  RequestUrl result;
  result.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  result.host = component(parts.lpszHostName, parts.dwHostNameLength);
  result.userName = component(parts.lpszUserName, parts.dwUserNameLength);
  result.password = component(parts.lpszPassword, parts.dwPasswordLength);
  result.requestPath = component(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.dwExtraInfoLength != 0) {
    result.requestPath += component(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  }
  result.port = parts.nPort;
  return result;
}

void setDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  ensure(::WinHttpSetOption(handle, option, &value, sizeof(value)) != FALSE, NetworkFailure,
         "网络初始化失败");
}

}  // namespace

void httpsRequest(const std::string& url, const std::string& body, bool requireTrustedHost,
                  const DataSink& onData, const Checkpoint& checkpoint) {
  const std::wstring wideUrl = toWide(url);
  const RequestUrl target = crackUrl(wideUrl);
  checkRequestUrl(target, requireTrustedHost);

  // Declared in opening order, so every early exit closes them newest first.
  WinHttpHandle session =
      openHttpSession(kUserAgent, wideUrl, target.host,
                      {kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, kReceiveTimeoutMs});

  WinHttpHandle connection(::WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
  ensure(connection.valid(), NetworkFailure, "网络连接失败，请重试");

  WinHttpHandle request(::WinHttpOpenRequest(connection.get(), body.empty() ? L"GET" : L"POST",
                                             target.requestPath.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             WINHTTP_FLAG_SECURE));
  ensure(request.valid(), NetworkFailure, "网络连接失败，请重试");
  setDwordOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY,
                 WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
  // Without this a server that accepts the request but never answers holds us for 90 s.
  setDwordOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, kReceiveTimeoutMs);

  checkpoint();
  const DWORD bodyLength = static_cast<DWORD>(body.size());
  ensure(::WinHttpSendRequest(request.get(), kExtraHeaders, static_cast<DWORD>(-1L),
                              body.empty() ? WINHTTP_NO_REQUEST_DATA
                                           : const_cast<char*>(body.data()),
                              bodyLength, bodyLength, 0) != FALSE,
         NetworkFailure, "网络请求失败，请重试");
  ensure(::WinHttpReceiveResponse(request.get(), nullptr) != FALSE, NetworkFailure,
         "网络响应失败，请重试");

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  const bool statusRead =
      ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX) != FALSE;
  ensure(statusRead && status == 200, NetworkFailure, "下载不可用或地址过期，请重试");

  std::vector<char> buffer(kReadChunk);
  for (;;) {
    checkpoint();
    DWORD read = 0;
    ensure(::WinHttpReadData(request.get(), buffer.data(), kReadChunk, &read) != FALSE,
           NetworkFailure, "下载中断，请重试");
    if (read == 0) break;
    onData(buffer.data(), read);
  }

  request.reset();
  connection.reset();
  session.reset();
}

}  // namespace cv

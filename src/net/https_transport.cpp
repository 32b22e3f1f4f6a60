#include "net/https_transport.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <optional>
#include <vector>

#include "core/error.hpp"
#include "net/rules/request_url.hpp"
#include "net/winhttp_handle.hpp"
#include "net/winhttp_session.hpp"
#include "platform/test_seams.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

constexpr wchar_t kUserAgent[] = L"ZRQSetup/1.0";
constexpr wchar_t kExtraHeaders[] =
    L"Content-Type: application/json\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n";
constexpr int kResolveTimeoutMs = 5000;
constexpr int kConnectTimeoutMs = 5000;
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
  ensure(::WinHttpCrackUrl(url.c_str(), 0, 0, &parts) != FALSE, NetworkFailure, msg::kBadUrl);

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
         msg::kNetworkSetupFailed);
}

std::wstring requestHeaders(const RequestOptions& options) {
  std::wstring headers = kExtraHeaders;
  if (options.rangeStart) headers += L"Range: bytes=" + std::to_wstring(*options.rangeStart) + L"-\r\n";
  return headers;
}

// One header's value; nothing when the answer has none. Text that is not ASCII
// is kept as '?' so that it can never match what a caller expects.
std::optional<std::string> headerValue(HINTERNET request, DWORD query, DWORD index) {
  DWORD size = 0;
  DWORD at = index;
  if (::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                            &size, &at) != FALSE ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return std::nullopt;
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  at = index;
  if (::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                            &at) == FALSE)
    return std::nullopt;
  value.resize(size / sizeof(wchar_t));
  std::string narrow;
  for (wchar_t c : value) narrow += c > 0 && c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// A second header joins the first, so that the pair never passes for one.
std::optional<std::string> joinedHeader(HINTERNET request, DWORD query) {
  std::optional<std::string> joined;
  for (DWORD index = 0; index < 2; ++index) {
    const std::optional<std::string> value = headerValue(request, query, index);
    if (!value) break;
    joined = joined ? *joined + ", " + *value : *value;
  }
  return joined;
}

ResponseHead responseHead(HINTERNET request, DWORD status) {
  ResponseHead head;
  head.status = status;
  head.contentRange = joinedHeader(request, WINHTTP_QUERY_CONTENT_RANGE);
  head.contentEncoding = joinedHeader(request, WINHTTP_QUERY_CONTENT_ENCODING);
  return head;
}

}  // namespace

void checkRequestTarget(const std::string& url, bool requireTrustedHost) {
  checkRequestUrl(crackUrl(toWide(url)), requireTrustedHost);
}

void httpsRequest(const std::string& url, const std::string& body, bool requireTrustedHost,
                  const DataSink& onData, const Checkpoint& checkpoint,
                  const RequestOptions& options) {
  const std::wstring wideUrl = toWide(url);
  const RequestUrl target = crackUrl(wideUrl);
  checkRequestUrl(target, requireTrustedHost);

  // A test build may shorten both, for hosts that stall every request.
  const std::optional<unsigned> forced = seams::transferTimeoutMs();
  const int sendMs = forced ? static_cast<int>(*forced) : kSendTimeoutMs;
  const int receiveMs = forced ? static_cast<int>(*forced) : kReceiveTimeoutMs;

  // Declared in opening order, so every early exit closes them newest first.
  WinHttpHandle session = openHttpSession(kUserAgent, wideUrl, target.host,
                                          {kResolveTimeoutMs, kConnectTimeoutMs, sendMs, receiveMs});

  WinHttpHandle connection(::WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
  ensure(connection.valid(), NetworkFailure, msg::kConnectFailed);

  WinHttpHandle request(::WinHttpOpenRequest(connection.get(), body.empty() ? L"GET" : L"POST",
                                             target.requestPath.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             WINHTTP_FLAG_SECURE));
  ensure(request.valid(), NetworkFailure, msg::kConnectFailed);
  setDwordOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY,
                 WINHTTP_OPTION_REDIRECT_POLICY_NEVER);
  // Without this a server that accepts the request but never answers holds us for 90 s.
  setDwordOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, receiveMs);

  checkpoint();
  const DWORD bodyLength = static_cast<DWORD>(body.size());
  const std::wstring headers = requestHeaders(options);
  ensure(::WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1L),
                              body.empty() ? WINHTTP_NO_REQUEST_DATA
                                           : const_cast<char*>(body.data()),
                              bodyLength, bodyLength, 0) != FALSE,
         NetworkFailure, msg::kRequestFailed);
  ensure(::WinHttpReceiveResponse(request.get(), nullptr) != FALSE, NetworkFailure,
         msg::kResponseFailed);

  DWORD status = 0;
  DWORD statusSize = sizeof(status);
  const bool statusRead =
      ::WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                            WINHTTP_NO_HEADER_INDEX) != FALSE;
  if (options.onHead) {
    ensure(statusRead, NetworkFailure, msg::kNotAvailable);
    if (!options.onHead(responseHead(request.get(), status))) return;
  } else {
    ensure(statusRead && status == 200, NetworkFailure, msg::kNotAvailable);
  }

  std::vector<char> buffer(kReadChunk);
  for (;;) {
    checkpoint();
    DWORD read = 0;
    ensure(::WinHttpReadData(request.get(), buffer.data(), kReadChunk, &read) != FALSE,
           NetworkFailure, msg::kDownloadBroken);
    if (read == 0) break;
    onData(buffer.data(), read);
  }

  request.reset();
  connection.reset();
  session.reset();
}

}  // namespace cv

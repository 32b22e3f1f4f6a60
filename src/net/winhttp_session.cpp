#include "net/winhttp_session.hpp"
#include "core/messages.hpp"

#include <optional>

#include "core/error.hpp"
#include "net/rules/proxy_choice.hpp"
#include "platform/handles.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

constexpr DWORD kLegacySecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 |
                                         WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                                         WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

HINTERNET openAutomatic(const wchar_t* userAgent) {
  if (seams::pretendsAbsent("WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY")) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return ::WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                       WINHTTP_NO_PROXY_BYPASS, 0);
}

// Windows 7 and 8.0 offer only SSL 3 and TLS 1.0 unless asked for more. A
// WinHTTP that refuses the request cannot offer TLS 1.1 or 1.2 at all, and the
// file host accepts nothing older than TLS 1.2.
bool offerTls12(HINTERNET session) {
  if (seams::pretendsAbsent("WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2")) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  DWORD protocols = kLegacySecureProtocols;
  return ::WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                            sizeof(protocols)) != FALSE;
}

bool setTimeouts(HINTERNET session, const SessionTimeouts& timeouts) {
  return ::WinHttpSetTimeouts(session, timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs,
                              timeouts.receiveMs) != FALSE;
}

// Takes ownership of a string WinHTTP allocated; empty for null.
std::wstring takeString(LPWSTR text) {
  const GlobalMemory owner(text);
  return text != nullptr ? std::wstring(text) : std::wstring();
}

UserProxySettings readUserSettings() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  const bool read = ::WinHttpGetIEProxyConfigForCurrentUser(&config) != FALSE;
  UserProxySettings settings;
  settings.autoConfigUrl = takeString(config.lpszAutoConfigUrl);
  settings.proxy = takeString(config.lpszProxy);
  settings.bypass = takeString(config.lpszProxyBypass);
  if (!read) return UserProxySettings();
  settings.autoDetect = config.fAutoDetect != FALSE;
  return settings;
}

// The automatic search for one URL, in a session of its own with the same
// timeouts; nothing when it finds nothing or cannot run.
std::optional<DiscoveredProxy> discoverProxy(const wchar_t* userAgent, const std::wstring& url,
                                             const UserProxySettings& settings,
                                             const SessionTimeouts& timeouts) {
  const WinHttpHandle session(::WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                            WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.valid() || !setTimeouts(session.get(), timeouts)) return std::nullopt;

  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (settings.autoDetect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (!settings.autoConfigUrl.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = settings.autoConfigUrl.c_str();
  }
  // The script's server may ask for the user's credentials, as it would of a browser.
  options.fAutoLogonIfChallenged = TRUE;

  WINHTTP_PROXY_INFO info{};
  const bool found = ::WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info) != FALSE;
  DiscoveredProxy discovered;
  discovered.proxy = takeString(info.lpszProxy);
  discovered.bypass = takeString(info.lpszProxyBypass);
  if (!found) return std::nullopt;
  discovered.direct = info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY;
  return discovered;
}

// Read once: the Internet Options do not change under a running shell.
const UserProxySettings& userSettings() {
  static const UserProxySettings settings = readUserSettings();
  return settings;
}

HINTERNET openLegacy(const wchar_t* userAgent, const std::wstring& url, const std::wstring& host,
                     const SessionTimeouts& timeouts) {
  static ProxyRoutes routes;
  const ProxyChoice choice = routes.routeFor(host, [&] {
    const UserProxySettings& settings = userSettings();
    std::optional<DiscoveredProxy> discovered;
    if (wantsProxyDiscovery(settings))
      discovered = discoverProxy(userAgent, url, settings, timeouts);
    return chooseProxy(settings, discovered);
  });
  switch (choice.route) {
    case ProxyRoute::Named:
      return ::WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY, choice.proxy.c_str(),
                           choice.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : choice.bypass.c_str(),
                           0);
    case ProxyRoute::Direct:
      return ::WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0);
    case ProxyRoute::SessionDefault:
      break;
  }
  return ::WinHttpOpen(userAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                       WINHTTP_NO_PROXY_BYPASS, 0);
}

}  // namespace

WinHttpHandle openHttpSession(const wchar_t* userAgent, const std::wstring& url,
                              const std::wstring& host, const SessionTimeouts& timeouts) {
  WinHttpHandle session(openAutomatic(userAgent));
  const bool legacy = !session.valid();
  if (legacy) session.reset(openLegacy(userAgent, url, host, timeouts));
  ensure(session.valid(), NetworkFailure, msg::kConnectFailed);
  // No request is sent that could only fail in the handshake: a WinHTTP that
  // cannot be asked for TLS 1.1 and 1.2 offers the file host only TLS 1.0. Like
  // every other option that cannot be set, it is a failed initialisation.
  if (legacy) ensure(offerTls12(session.get()), NetworkFailure, msg::kNetworkSetupFailed);
  ensure(setTimeouts(session.get(), timeouts), NetworkFailure, msg::kNetworkSetupFailed);
  return session;
}

}  // namespace cv

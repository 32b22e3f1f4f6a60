#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace cv {

// The user's Internet Options, as browsers on Windows 7 and 8.0 read them.
struct UserProxySettings {
  bool autoDetect = false;     // "Automatically detect settings" (WPAD)
  std::wstring autoConfigUrl;  // "Use automatic configuration script" (PAC)
  std::wstring proxy;          // "Use a proxy server", e.g. "host:8080" or "https=host:8080"
  std::wstring bypass;         // its exceptions, e.g. "<local>;*.example.com"
};

// What WinHTTP's automatic proxy search said for one URL.
struct DiscoveredProxy {
  bool direct = false;  // the script or the detected configuration says DIRECT
  std::wstring proxy;
  std::wstring bypass;
};

enum class ProxyRoute {
  SessionDefault,  // leave the request as the session opened it
  Direct,          // no proxy
  Named,           // through the proxy below
};

struct ProxyChoice {
  ProxyRoute route = ProxyRoute::SessionDefault;
  std::wstring proxy;
  std::wstring bypass;
};

// Whether the settings ask for the automatic search (detection or a script).
bool wantsProxyDiscovery(const UserProxySettings& settings);

// As a browser decides: what the automatic search found when it found
// anything; otherwise the fixed proxy server; otherwise the session's own.
ProxyChoice chooseProxy(const UserProxySettings& settings,
                        const std::optional<DiscoveredProxy>& discovered);

// The route of each host, decided once for the life of the process: the
// automatic search may take seconds (detection, a script's download) and would
// give the same answer again, but a script may name different proxies for
// different hosts. Host names are compared without regard to ASCII letter case.
class ProxyRoutes {
 public:
  using Decide = std::function<ProxyChoice()>;

  // The remembered route, or decide()'s, remembered from then on. The lock is
  // not held while deciding.
  ProxyChoice routeFor(const std::wstring& host, const Decide& decide);

 private:
  std::mutex lock_;
  std::map<std::wstring, ProxyChoice> routes_;
};

}  // namespace cv

#include "net/rules/proxy_choice.hpp"

namespace cv {

bool wantsProxyDiscovery(const UserProxySettings& settings) {
  return settings.autoDetect || !settings.autoConfigUrl.empty();
}

ProxyChoice chooseProxy(const UserProxySettings& settings,
                        const std::optional<DiscoveredProxy>& discovered) {
  ProxyChoice choice;
  if (discovered && wantsProxyDiscovery(settings)) {
    if (discovered->direct || discovered->proxy.empty()) {
      choice.route = ProxyRoute::Direct;
    } else {
      choice.route = ProxyRoute::Named;
      choice.proxy = discovered->proxy;
      choice.bypass = discovered->bypass;
    }
    return choice;
  }
  if (!settings.proxy.empty()) {
    choice.route = ProxyRoute::Named;
    choice.proxy = settings.proxy;
    choice.bypass = settings.bypass;
  }
  return choice;
}

ProxyChoice ProxyRoutes::routeFor(const std::wstring& host, const Decide& decide) {
  std::wstring key = host;
  for (wchar_t& unit : key) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  {
    const std::lock_guard<std::mutex> hold(lock_);
    const auto known = routes_.find(key);
    if (known != routes_.end()) return known->second;
  }
  const ProxyChoice decided = decide();
  const std::lock_guard<std::mutex> hold(lock_);
  return routes_.emplace(std::move(key), decided).first->second;
}

}  // namespace cv

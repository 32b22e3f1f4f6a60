#include "net/proxy_choice.hpp"

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

}  // namespace cv

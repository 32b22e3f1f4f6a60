#include "net/rules/endpoints.hpp"

#include "build_config.hpp"

namespace cv {

std::string fileHostBaseUrl() { return std::string("https://") + build::kFileHost; }

std::string gameConfigPath(const std::string& packageId) {
  return "pc/config/" + packageId + ".json";
}

std::string checkEndpointUrl() {
  return std::string("https://") + build::kCheckHost + kCheckTarget;
}

const std::string& trustedDownloadHosts() {
  static const std::string hosts = downloadHostName(build::kFileHost);
  return hosts;
}

std::string downloadHostName(const std::string& hostAndPort) {
  std::string host = hostAndPort;
  const auto colon = host.rfind(':');
  // Only a colon after the name (or after "]") starts a port; "::1" alone is an address.
  if (colon != std::string::npos &&
      (host.find(':') == colon || (colon > 0 && host[colon - 1] == ']'))) {
    host.erase(colon);
  }
  for (char& c : host) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return host;
}

}  // namespace cv

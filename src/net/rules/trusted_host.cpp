#include "net/rules/trusted_host.hpp"

#include "net/rules/endpoints.hpp"
#include "net/https_transport.hpp"
#include "platform/text.hpp"

namespace cv {

bool hostInList(std::wstring host, const std::string& hosts) {
  for (wchar_t& unit : host) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  std::string::size_type start = 0;
  while (start <= hosts.size()) {
    auto end = hosts.find(';', start);
    if (end == std::string::npos) end = hosts.size();
    if (end > start && toWide(hosts.substr(start, end - start)) == host) return true;
    start = end + 1;
  }
  return false;
}

bool isTrustedDownloadHost(std::wstring host) {
  return hostInList(std::move(host), trustedDownloadHosts());
}

}  // namespace cv

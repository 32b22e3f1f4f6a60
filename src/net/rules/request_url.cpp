#include "net/rules/request_url.hpp"
#include "core/messages.hpp"

#include "net/rules/endpoints.hpp"
#include "net/rules/rule_error.hpp"
#include "net/rules/trusted_host.hpp"

namespace cv {

void checkRequestUrl(const RequestUrl& url, bool requireTrustedHost) {
  checkRequestUrlAgainst(url, requireTrustedHost ? &trustedDownloadHosts() : nullptr);
}

void checkRequestUrlAgainst(const RequestUrl& url, const std::string* trustedHosts) {
  ensureRule(url.userName.empty() && url.password.empty() &&
                 url.requestPath.find(L'#') == std::wstring::npos,
             NetworkFailure, msg::kBadUrl, "url", "a URL without a user name, a password or a \"#\"");
  ensureRule(url.https, NetworkFailure, msg::kHttpsRequired, "url", "an https URL");
  if (trustedHosts) {
    ensureRule(hostInList(url.host, *trustedHosts), NetworkFailure, msg::kUntrustedHost, "url",
               "a URL on the file host itself (no other host, no subdomain)");
  }
}

}  // namespace cv

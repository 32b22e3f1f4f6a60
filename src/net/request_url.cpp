#include "net/request_url.hpp"

#include "net/endpoints.hpp"
#include "net/rule_error.hpp"
#include "net/trusted_host.hpp"

namespace cv {

void checkRequestUrl(const RequestUrl& url, bool requireTrustedHost) {
  checkRequestUrlAgainst(url, requireTrustedHost ? &trustedDownloadHosts() : nullptr);
}

void checkRequestUrlAgainst(const RequestUrl& url, const std::string* trustedHosts) {
  ensureRule(url.userName.empty() && url.password.empty() &&
                 url.requestPath.find(L'#') == std::wstring::npos,
             NetworkFailure, "下载地址无效", "url", "a URL without a user name, a password or a \"#\"");
  ensureRule(url.https, NetworkFailure, "下载必须使用HTTPS", "url", "an https URL");
  if (trustedHosts) {
    ensureRule(hostInList(url.host, *trustedHosts), NetworkFailure, "下载来源未获授权", "url",
               "a URL on the file host itself (no other host, no subdomain)");
  }
}

}  // namespace cv

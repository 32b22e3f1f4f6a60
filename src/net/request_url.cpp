#include "net/request_url.hpp"

#include "app/error.hpp"
#include "net/https_transport.hpp"

namespace cv {

void checkRequestUrl(const RequestUrl& url, bool requireTrustedHost) {
  ensure(url.userName.empty() && url.password.empty() &&
             url.requestPath.find(L'#') == std::wstring::npos,
         NetworkFailure, "下载地址无效");
  ensure(url.https, NetworkFailure, "下载必须使用HTTPS");
  if (requireTrustedHost) {
    ensure(isTrustedDownloadHost(url.host), NetworkFailure, "下载来源未获授权");
  }
}

}  // namespace cv

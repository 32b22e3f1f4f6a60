#pragma once

#include <string>

namespace cv {

// The parts of a request URL that decide whether it may be fetched.
struct RequestUrl {
  bool https = false;
  std::wstring host;
  std::wstring userName;
  std::wstring password;
  std::wstring requestPath;  // path followed by the query, as sent
  unsigned short port = 0;
};

// Throws Error(-7, ...) for user information or "#", then a scheme other than
// HTTPS, then (only when asked) a host that is not a trusted download host.
void checkRequestUrl(const RequestUrl& url, bool requireTrustedHost);
// The same rules against the given trusted download hosts (";"-separated), or
// without a host check when there are none.
void checkRequestUrlAgainst(const RequestUrl& url, const std::string* trustedHosts);

}  // namespace cv

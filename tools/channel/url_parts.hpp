#pragma once

#include <optional>
#include <string>

#include "net/rules/request_url.hpp"

namespace zrq::channel {

// A URL split into the parts the shell's URL rules judge, plus the decoded
// path a static file host maps to a file.
struct UrlParts {
  cv::RequestUrl request;   // scheme, host, user information, path + query, port
  std::string host;         // UTF-8
  std::string decodedPath;  // "/pc/installers/My Game.exe"
};

// Nothing when the text is not a URL at all (the shell's "下载地址无效").
std::optional<UrlParts> splitUrl(const std::string& url);

// Throws the shell's Error for a URL it would refuse; with trustedHosts, also
// for a host that is not the file host (as for every download).
void checkUrlAsShell(const std::string& url, const std::string* trustedHosts);

// The file under root that a static host serves for this URL path: nothing
// for a path that is empty, ends in "/", or has "." or ".." segments.
std::optional<std::string> treePathFor(const std::string& root, const std::string& decodedPath);

}  // namespace zrq::channel

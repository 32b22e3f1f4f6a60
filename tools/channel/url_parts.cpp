#include "url_parts.hpp"

#include "core/messages.hpp"
#include "net/rules/rule_error.hpp"

#include <memory>

#include <curl/curl.h>

#include "core/error.hpp"
#include "platform/text.hpp"

namespace zrq::channel {

namespace {

struct UrlHandleDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::optional<std::string> part(CURLU* url, CURLUPart which, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, which, &text, flags) != CURLUE_OK || text == nullptr) return std::nullopt;
  std::string copy(text);
  curl_free(text);
  return copy;
}

}  // namespace

std::optional<UrlParts> splitUrl(const std::string& url) {
  std::unique_ptr<CURLU, UrlHandleDeleter> handle(curl_url());
  if (!handle) return std::nullopt;
  // No scheme guessing and no normalisation of what the shell sends as it is.
  if (curl_url_set(handle.get(), CURLUPART_URL, url.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS) != CURLUE_OK) {
    return std::nullopt;
  }
  UrlParts out;
  const auto scheme = part(handle.get(), CURLUPART_SCHEME);
  const auto host = part(handle.get(), CURLUPART_HOST);
  if (!scheme || !host) return std::nullopt;
  out.host = *host;
  out.request.https = *scheme == "https";
  out.request.host = cv::toWide(*host);
  out.request.userName = cv::toWide(part(handle.get(), CURLUPART_USER).value_or(""));
  out.request.password = cv::toWide(part(handle.get(), CURLUPART_PASSWORD).value_or(""));
  std::string path = part(handle.get(), CURLUPART_PATH).value_or("/");
  out.decodedPath = part(handle.get(), CURLUPART_PATH, CURLU_URLDECODE).value_or(path);
  if (const auto query = part(handle.get(), CURLUPART_QUERY)) path += "?" + *query;
  if (const auto fragment = part(handle.get(), CURLUPART_FRAGMENT)) path += "#" + *fragment;
  out.request.requestPath = cv::toWide(path);
  const auto port = part(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
  out.request.port = port ? static_cast<unsigned short>(std::stoul(*port)) : 0;
  return out;
}

void checkUrlAsShell(const std::string& url, const std::string* trustedHosts) {
  const std::optional<UrlParts> parts = splitUrl(url);
  cv::ensureRule(parts.has_value(), cv::NetworkFailure, cv::msg::kBadUrl, "url",
                 "an absolute URL: scheme, host and path");
  cv::checkRequestUrlAgainst(parts->request, trustedHosts);
}

std::optional<std::string> treePathFor(const std::string& root, const std::string& decodedPath) {
  if (decodedPath.size() < 2 || decodedPath[0] != '/' || decodedPath.back() == '/') {
    return std::nullopt;
  }
  std::size_t start = 1;
  while (start <= decodedPath.size()) {
    std::size_t slash = decodedPath.find('/', start);
    if (slash == std::string::npos) slash = decodedPath.size();
    const std::string segment = decodedPath.substr(start, slash - start);
    if (segment.empty() || segment == "." || segment == ".." ||
        segment.find('\0') != std::string::npos || segment.find('\\') != std::string::npos) {
      return std::nullopt;
    }
    start = slash + 1;
  }
  return root + decodedPath;
}

}  // namespace zrq::channel

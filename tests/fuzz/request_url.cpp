// The URL rules and the trusted-host check. Input: a flag byte (HTTPS,
// whether a trusted host is required, whether to judge against the build's
// file host or the given list), then host, user name, password, request path
// and a host list, separated by NUL bytes. Beside not crashing: a URL is
// refused with Error(-7) and the message of the first rule it breaks (user
// information or "#", then the scheme, then the host); a host is trusted
// exactly when, lowered in A-Z only, it is a whole non-empty entry of the
// list, so its letter case never matters; the download host made from a
// configured "host:port" is the lowered host without the port.
#include <string>

#include "fuzz_support.hpp"
#include "net/rules/endpoints.hpp"
#include "net/rules/request_url.hpp"
#include "net/rules/trusted_host.hpp"
#include "platform/text.hpp"

namespace {

using namespace zrq::fuzz;

// The entries as the list spells them; an entry holds no ';'.
bool isWholeEntry(const std::wstring& host, const std::string& hosts) {
  if (host.empty() || host.find(L';') != std::wstring::npos) return false;
  return (L";" + cv::toWide(hosts) + L";").find(L";" + asciiLower(host) + L";") != std::wstring::npos;
}

void checkDownloadHostName(const std::string& configured) {
  const std::string host = cv::downloadHostName(configured);
  std::string lowered = configured;
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  FUZZ_REQUIRE(lowered.compare(0, host.size(), host) == 0);
  FUZZ_REQUIRE(host.size() == lowered.size() || lowered[host.size()] == ':');
  // A name with one colon loses its port; a bracketed address keeps its brackets.
  if (configured.find(':') == configured.rfind(':') && configured.find(':') != std::string::npos) {
    FUZZ_REQUIRE(host.find(':') == std::string::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t flags = input.byte();
  const auto fields = fieldsAtNul(input.rest());
  const auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string_view(); };

  cv::RequestUrl url;
  url.https = flags & 1;
  url.host = wideFromBytes(field(0));
  url.userName = wideFromBytes(field(1));
  url.password = wideFromBytes(field(2));
  url.requestPath = wideFromBytes(field(3));
  std::string hosts(field(4));
  try {
    cv::toWide(hosts);
  } catch (const cv::Error&) {
    hosts.clear();  // the list is the build's own text, never malformed
  }
  const bool requireTrust = flags & 2;
  const std::string& list = flags & 4 ? hosts : cv::trustedDownloadHosts();

  const bool trusted = cv::hostInList(url.host, list);
  FUZZ_REQUIRE(trusted == isWholeEntry(url.host, list));
  FUZZ_REQUIRE(cv::hostInList(asciiUpper(url.host), list) == trusted);
  FUZZ_REQUIRE(cv::hostInList(asciiLower(url.host), list) == trusted);

  const char* expected = nullptr;
  if (!url.userName.empty() || !url.password.empty() || url.requestPath.find(L'#') != std::wstring::npos) {
    expected = "下载地址无效";
  } else if (!url.https) {
    expected = "下载必须使用HTTPS";
  } else if (requireTrust && !trusted) {
    expected = "下载来源未获授权";
  }
  try {
    cv::checkRequestUrlAgainst(url, requireTrust ? &list : nullptr);
    FUZZ_REQUIRE(expected == nullptr);
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(expected != nullptr);
    FUZZ_REQUIRE(error.code == -7 && std::string(error.what()) == expected);
  }

  checkDownloadHostName(std::string(field(0)));
  return 0;
}

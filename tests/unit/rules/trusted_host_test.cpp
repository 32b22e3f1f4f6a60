#include "net/rules/trusted_host.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "net/rules/endpoints.hpp"
#include "net/https_transport.hpp"
#include "net/rules/request_url.hpp"

namespace cv {
namespace {

TEST(TrustedHost, MatchesWholeEntriesIgnoringLetterCase) {
  const std::string hosts = "files.example.com";
  EXPECT_TRUE(hostInList(L"files.example.com", hosts));
  EXPECT_TRUE(hostInList(L"FILES.Example.COM", hosts));
  EXPECT_FALSE(hostInList(L"cdn.files.example.com", hosts));
  EXPECT_FALSE(hostInList(L"example.com", hosts));
  EXPECT_FALSE(hostInList(L"files.example.com.evil.test", hosts));
  EXPECT_FALSE(hostInList(L"files.example.com:443", hosts));
  EXPECT_FALSE(hostInList(L"files.example.com.", hosts));
  EXPECT_FALSE(hostInList(L"", hosts));
}

TEST(TrustedHost, WalksEverySemicolonSeparatedEntryAndSkipsEmptyOnes) {
  const std::string hosts = ";a.test;;b.test;";
  EXPECT_TRUE(hostInList(L"a.test", hosts));
  EXPECT_TRUE(hostInList(L"B.TEST", hosts));
  EXPECT_FALSE(hostInList(L"", hosts));
  EXPECT_FALSE(hostInList(L"a.test;b.test", hosts));
  EXPECT_FALSE(hostInList(L"x", ""));
}

TEST(TrustedHost, LowerCasesOnlyAsciiLetters) {
  // U+0130 (capital I with dot) must not fold to "i".
  EXPECT_FALSE(hostInList(L"f\u0130les.example.com", "files.example.com"));
}

TEST(TrustedHost, DownloadHostDropsThePortAndLowerCases) {
  EXPECT_EQ(downloadHostName("Files.ZRQ.test"), "files.zrq.test");
  EXPECT_EQ(downloadHostName("files.zrq.test:8443"), "files.zrq.test");
  EXPECT_EQ(downloadHostName("127.0.0.1:8443"), "127.0.0.1");
  EXPECT_EQ(downloadHostName("[::1]:8443"), "[::1]");
  EXPECT_EQ(downloadHostName("::1"), "::1");
}

TEST(TrustedHost, TheBuildsFileHostIsTheOnlyTrustedDownloadHost) {
  const std::string base = fileHostBaseUrl();
  ASSERT_EQ(base.rfind("https://", 0), 0u);
  EXPECT_NE(base.back(), '/');
  EXPECT_EQ(trustedDownloadHosts().find(';'), std::string::npos);
  const std::string host = trustedDownloadHosts();
  EXPECT_TRUE(isTrustedDownloadHost(std::wstring(host.begin(), host.end())));
  EXPECT_FALSE(isTrustedDownloadHost(L"sub." + std::wstring(host.begin(), host.end())));
}

TEST(TrustedHost, CheckEndpointIsHttpsWithTheFixedPathAndQuery) {
  const std::string url = checkEndpointUrl();
  const std::string tail = cv::kCheckTarget;
  EXPECT_EQ(url.rfind("https://", 0), 0u);
  ASSERT_GT(url.size(), tail.size() + 8);
  EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
}

// --- URL rules, in their order ---

RequestUrl trustedUrl() {
  RequestUrl url;
  url.https = true;
  const std::string host = trustedDownloadHosts();
  url.host.assign(host.begin(), host.end());
  url.requestPath = L"/pc/a.exe?x=1";
  url.port = 443;
  return url;
}

void expectUrlRefused(const RequestUrl& url, bool requireTrustedHost, const char* message) {
  try {
    checkRequestUrl(url, requireTrustedHost);
    ADD_FAILURE() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -7);
    EXPECT_STREQ(error.what(), message);
  }
}

TEST(RequestUrlRules, AcceptsHttpsToAnyHostUnlessTrustIsRequired) {
  RequestUrl url = trustedUrl();
  EXPECT_NO_THROW(checkRequestUrl(url, true));
  url.host = L"check.elsewhere.test";
  EXPECT_NO_THROW(checkRequestUrl(url, false));
  expectUrlRefused(url, true, "下载来源未获授权");
  url.requestPath.clear();
  EXPECT_NO_THROW(checkRequestUrl(url, false));
}

TEST(RequestUrlRules, UserInformationOrFragmentComesBeforeTheSchemeCheck) {
  RequestUrl url = trustedUrl();
  url.https = false;
  expectUrlRefused(url, true, "下载必须使用HTTPS");
  url.requestPath += L"#top";
  expectUrlRefused(url, true, "下载地址无效");

  url = trustedUrl();
  url.userName = L"u";
  expectUrlRefused(url, false, "下载地址无效");
  url = trustedUrl();
  url.password = L"p";
  expectUrlRefused(url, false, "下载地址无效");
}

}  // namespace
}  // namespace cv

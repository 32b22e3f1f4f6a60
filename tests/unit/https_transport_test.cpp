#include "net/https_transport.hpp"

#include <string>

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "net/rules/endpoints.hpp"

namespace cv {
namespace {

// The transport refuses bad URLs before it opens anything.

void expectRequestRefused(const std::string& url, bool requireTrustedHost, int code,
                          const char* message) {
  SCOPED_TRACE(url);
  int checkpoints = 0;
  int chunks = 0;
  try {
    httpsRequest(
        url, std::string(), requireTrustedHost, [&](const char*, unsigned long) { ++chunks; },
        [&] { ++checkpoints; });
    ADD_FAILURE() << "request went through";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, code);
    EXPECT_STREQ(error.what(), message);
  }
  EXPECT_EQ(checkpoints, 0);
  EXPECT_EQ(chunks, 0);
}

TEST(HttpsRequestUrl, RefusesBadUrlsBeforeAnyNetworkUse) {
  const std::string host = trustedDownloadHosts();
  expectRequestRefused("", false, -7, "下载地址无效");
  expectRequestRefused("not a url", false, -7, "下载地址无效");
  expectRequestRefused("https://" + host + "/a.json#x", false, -7, "下载地址无效");
  expectRequestRefused("https://" + host + "/a.json?q=1#x", false, -7, "下载地址无效");
  expectRequestRefused("https://user:pw@" + host + "/a.json", false, -7, "下载地址无效");
  expectRequestRefused("https://user@" + host + "/a.json", false, -7, "下载地址无效");
  expectRequestRefused("http://" + host + "/a.json", false, -7, "下载必须使用HTTPS");
  expectRequestRefused("http://" + host + "/a.json#x", false, -7, "下载地址无效");
  expectRequestRefused("https://sub." + host + "/a.exe", true, -7, "下载来源未获授权");
  expectRequestRefused("https://other.invalid/a.exe", true, -7, "下载来源未获授权");
  expectRequestRefused("https://\xff.test/", false, -1, "Invalid UTF-8");
}

}  // namespace
}  // namespace cv

#include "url_parts.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace zrq::channel {
namespace {

template <typename Call>
std::string shellMessage(Call&& call) {
  try {
    call();
  } catch (const cv::Error& error) {
    return error.what();
  }
  return "accepted";
}

TEST(UrlParts, SplitsWhatTheShellsRulesJudge) {
  const auto url = splitUrl("https://Files.Example.com:8443/pc/a%20b.exe?v=1");
  ASSERT_TRUE(url);
  EXPECT_TRUE(url->request.https);
  EXPECT_EQ(url->host, "Files.Example.com");
  EXPECT_EQ(url->request.port, 8443);
  EXPECT_EQ(url->request.requestPath, L"/pc/a%20b.exe?v=1");
  EXPECT_EQ(url->decodedPath, "/pc/a b.exe");
  EXPECT_EQ(splitUrl("https://h.test/x")->request.port, 443);
  EXPECT_FALSE(splitUrl("https://h.test/x#top")->request.requestPath.find(L'#') ==
               std::wstring::npos);
  EXPECT_EQ(splitUrl("https://u:p@h.test/")->request.userName, L"u");
  EXPECT_FALSE(splitUrl("not a url"));
  EXPECT_FALSE(splitUrl(""));
}

TEST(UrlParts, TheShellsMessagesForUrlsItRefuses) {
  const std::string hosts = "files.example.com";
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://FILES.example.com/a.exe", &hosts); }),
            "accepted");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://files.example.com:8443/a", &hosts); }),
            "accepted");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://cdn.example.com/a.exe", nullptr); }),
            "accepted");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://cdn.example.com/a.exe", &hosts); }),
            "下载来源未获授权");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://sub.files.example.com/a", &hosts); }),
            "下载来源未获授权");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("http://files.example.com/a.exe", &hosts); }),
            "下载必须使用HTTPS");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("http://files.example.com/a#b", &hosts); }),
            "下载地址无效");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("https://u@files.example.com/a", &hosts); }),
            "下载地址无效");
  EXPECT_EQ(shellMessage([&] { checkUrlAsShell("", &hosts); }), "下载地址无效");
}

TEST(UrlParts, TreePathsStayInsideTheTree) {
  EXPECT_EQ(treePathFor("/srv/t", "/pc/i/a b.exe"), "/srv/t/pc/i/a b.exe");
  for (const char* bad : {"", "/", "/pc/", "/pc/../etc/passwd", "/pc/./a", "/pc//a", "pc/a",
                          "/pc/a\\b"}) {
    EXPECT_EQ(treePathFor("/srv/t", bad), std::nullopt) << bad;
  }
}

}  // namespace
}  // namespace zrq::channel

// The rules outside the documents' tables (tests/rules) name what they judged
// too; the channel toolkit shows that name and the rule's limit beside the
// message a player sees.
#include "net/rules/rule_error.hpp"

#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "core/limits.hpp"
#include "net/rules/game_config.hpp"
#include "net/rules/json_body.hpp"
#include "net/rules/request_url.hpp"
#include "net/rules/setup_file_name.hpp"

namespace cv {
namespace {

using nlohmann::json;

template <typename Call>
RuleError ruleFrom(Call&& call) {
  try {
    call();
  } catch (const RuleError& error) {
    return error;
  }
  ADD_FAILURE() << "no RuleError";
  return RuleError(0, "", "", "");
}

TEST(RuleFields, CheckAnswerFileNameAndBodySizeAreNamed) {
  EXPECT_EQ(ruleFrom([] { evaluateCheckResponse({{"code", 1}, {"data", {{"packageId", 1}}}}, "1"); })
                .field,
            "data.packageId");
  EXPECT_EQ(ruleFrom([] { packageIdFromFileName(L"Game_Setup_pc0.exe"); }).field, "file name");
  EXPECT_EQ(ruleFrom([] { packageIdFromFileName(L"Game_Setup_pc4294967296.exe"); }).field,
            "package id");
  std::string body(kJsonBodyLimit, ' ');
  const RuleError tooBig = ruleFrom([&] { appendJsonChunk(body, "x", 1); });
  EXPECT_EQ(tooBig.field, "document size");
  EXPECT_EQ(tooBig.code, NetworkFailure);
}

TEST(RuleFields, UrlRulesAgainstGivenHostsOrNone) {
  RequestUrl url;
  url.https = true;
  url.host = L"Files.Example.COM";
  url.requestPath = L"/a.exe";
  const std::string hosts = "files.example.com";
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, &hosts));
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, nullptr));
  url.host = L"cdn.example.com";
  EXPECT_NO_THROW(checkRequestUrlAgainst(url, nullptr));
  const RuleError other = ruleFrom([&] { checkRequestUrlAgainst(url, &hosts); });
  EXPECT_STREQ(other.what(), "下载来源未获授权");
  EXPECT_EQ(other.code, NetworkFailure);
  url.https = false;
  EXPECT_STREQ(ruleFrom([&] { checkRequestUrlAgainst(url, nullptr); }).what(), "下载必须使用HTTPS");
}

}  // namespace
}  // namespace cv

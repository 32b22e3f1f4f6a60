#include "problem.hpp"
#include "core/messages.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"
#include "net/rules/rule_error.hpp"

namespace zrq::channel {
namespace {

using nlohmann::json;

template <typename Throw>
Problem problemFrom(Throw&& raise, const json* doc = nullptr) {
  try {
    raise();
  } catch (...) {
    return problemFromException(std::current_exception(), doc, "fallback");
  }
  ADD_FAILURE() << "nothing thrown";
  return {};
}

TEST(Problem, ARuleNamesItsFieldLimitValueAndThePlayersMessage) {
  const json doc = {{"installer", {{"sizeBytes", "0123"}}}};
  const Problem problem = problemFrom(
      [] { throw cv::RuleError(-5, "安装器大小无效", "installer.sizeBytes", "a decimal"); }, &doc);
  EXPECT_EQ(problem.field, "installer.sizeBytes");
  EXPECT_EQ(problem.limit, "a decimal");
  EXPECT_EQ(problem.found, "the string \"0123\" (4 bytes)");
  EXPECT_EQ(problem.player, "安装器大小无效");
  EXPECT_EQ(problem.text(), "installer.sizeBytes must be a decimal, found: the string \"0123\" "
                            "(4 bytes); the player sees \"安装器大小无效\"");
  EXPECT_EQ(problem.toJson()["playerMessage"], "安装器大小无效");
}

TEST(Problem, LibraryErrorsAreTheShellsGeneralFailure) {
  const Problem missing = problemFrom([] { json::object().at("gameId"); });
  EXPECT_EQ(missing.field, "fallback");
  EXPECT_NE(missing.found.find("gameId"), std::string::npos);
  EXPECT_EQ(missing.player, cv::msg::kUnexpectedFailure);
  const Problem plain = problemFrom([] { throw cv::Error(-7, "游戏暂不可用，请稍后重试"); });
  EXPECT_EQ(plain.player, "游戏暂不可用，请稍后重试");
  EXPECT_EQ(plain.limit, "");
}

TEST(Problem, LongValuesAreQuotedShortAndStillValidText) {
  std::string text(31, 'a');  // so the cut at 60 bytes falls inside a character
  for (int i = 0; i < 33; ++i) text += "游";
  const std::string described = describeValue(text);
  EXPECT_NE(described.find("..."), std::string::npos);
  EXPECT_NE(described.find("(130 bytes)"), std::string::npos);
  const std::string quoted =
      described.substr(described.find('"'), described.find("...") - described.find('"'));
  EXPECT_EQ(json::parse(quoted).get<std::string>(), text.substr(0, 58));
  EXPECT_EQ(describeValue(5), "the number 5");
  EXPECT_EQ(describeValue(json::array({1})), "the array [1]");
}

TEST(Problem, MembersAreFoundByDottedPath) {
  const json doc = {{"a", {{"b", 1}}}, {"c", 2}};
  ASSERT_NE(memberAt(doc, "a.b"), nullptr);
  EXPECT_EQ(*memberAt(doc, "a.b"), 1);
  EXPECT_EQ(memberAt(doc, "a.x"), nullptr);
  EXPECT_EQ(memberAt(doc, "c.d"), nullptr);
  EXPECT_EQ(memberAt(json::array(), "a"), nullptr);
}

}  // namespace
}  // namespace zrq::channel

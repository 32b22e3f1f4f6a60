#include "app/rules/command_line.hpp"

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {
namespace {

LaunchOptions parse(std::vector<std::wstring> rest) {
  rest.insert(rest.begin(), L"C:\\dl\\Game_Setup_pc1.exe");
  return parseCommandLine(rest);
}

void expectRejected(std::vector<std::wstring> rest, const char* message) {
  try {
    parse(rest);
    FAIL() << "accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.code, -1);
    if (message) {
      EXPECT_STREQ(error.what(), message);
    }
  }
}

TEST(CommandLine, NoArgumentsGivesDefaults) {
  const LaunchOptions options = parse({});
  EXPECT_TRUE(options.updateReadyEvent.empty());
  EXPECT_EQ(options.updateTarget, 0u);
  EXPECT_EQ(options.updateHops, 0u);
}

TEST(CommandLine, ReadsAllThreeOptionsInAnyOrderAndLaterOnesWin) {
  const LaunchOptions options = parse({L"--update-hops", L"1", L"--update-ready", L"--update-target",
                                       L"--update-target", L"4294967295", L"--update-hops", L"3"});
  EXPECT_EQ(options.updateReadyEvent, L"--update-target");
  EXPECT_EQ(options.updateTarget, 4294967295u);
  EXPECT_EQ(options.updateHops, 3u);
}

TEST(CommandLine, EmptyReadyValueMeansNoHandover) {
  EXPECT_TRUE(parse({L"--update-ready", L""}).updateReadyEvent.empty());
}

TEST(CommandLine, RejectsUnknownArgumentsAndMissingValues) {
  expectRejected({L"/S"}, "启动参数无效");
  expectRejected({L"--bogus"}, "启动参数无效");
  expectRejected({L"--UPDATE-HOPS", L"1"}, "启动参数无效");
  expectRejected({L"--update-target"}, "启动参数无效");
  expectRejected({L"--update-hops", L"1", L"--update-hops"}, "启动参数无效");
  expectRejected({L"--update-ready"}, "启动参数无效");
  expectRejected({L"1234"}, "启动参数无效");
}

TEST(CommandLine, RejectsMalformedNumbers) {
  for (const wchar_t* value : {L"", L"-1", L"+1", L"0x10", L"1 ", L" 1", L"4294967296", L"１"}) {
    SCOPED_TRACE(testing::Message() << "value index");
    expectRejected({L"--update-target", value}, "更新参数无效");
  }
  expectRejected({L"--update-hops", L"18446744073709551615"}, "更新参数无效");
  // Beyond 64 bits: rejected all the same.
  expectRejected({L"--update-target", L"18446744073709551616"}, nullptr);
  expectRejected({L"--update-target", L"99999999999999999999999"}, nullptr);
}

TEST(CommandLine, HopsAboveThreeAreRejected) {
  EXPECT_EQ(parse({L"--update-hops", L"3"}).updateHops, 3u);
  expectRejected({L"--update-hops", L"4"}, "更新次数无效");
  expectRejected({L"--update-hops", L"4294967295"}, "更新次数无效");
}

TEST(ExitCode, FollowsTheResultCode) {
  EXPECT_EQ(exitCodeFor(0), 0);
  EXPECT_EQ(exitCodeFor(-10), 2);
  for (int code : {-1, -3, -5, -7, -9, -11, 1}) EXPECT_EQ(exitCodeFor(code), 1);
}

}  // namespace
}  // namespace cv

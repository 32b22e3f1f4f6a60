#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "range_rule.hpp"
#include "tail_sample.hpp"

namespace zrq::channel {
namespace {

// The rule itself is the shell's (its table is tests/unit/rules/download_sink_test.cpp);
// what the probe adds is where it asks from, and nothing past the file's end.
TEST(RangeRule, TheProbeAsksFromTheMiddleByTheShellsRule) {
  EXPECT_EQ(rangeProbeStart(1), 0u);
  EXPECT_EQ(rangeProbeStart(786487), 393243u);
  EXPECT_TRUE(shellContinuesWith(5, 10, 206, std::string("bytes 5-9/10")));
  EXPECT_FALSE(shellContinuesWith(5, 10, 206, std::string("bytes 5-8/10")));
  EXPECT_FALSE(shellContinuesWith(10, 10, 206, std::string("bytes 10-9/10")));
  EXPECT_FALSE(shellContinuesWith(5, 10, -1, std::string("bytes 5-9/10")));
}

TEST(RangeRule, AnAnswerNotContinuedIsNamedForTheOperator) {
  EXPECT_EQ(describeRangeAnswer(200, std::nullopt),
            "status 200 (the whole file: the host ignores ranges)");
  EXPECT_EQ(describeRangeAnswer(206, std::string("bytes 0-9/10")),
            "status 206 with Content-Range \"bytes 0-9/10\"");
  EXPECT_EQ(describeRangeAnswer(206, std::nullopt), "status 206 without Content-Range");
}

// Bytes that differ from their neighbours', so that a shifted range differs.
std::string fileOf(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

void stream(const std::string& bytes, std::size_t chunk,
            const std::function<void(const char*, unsigned long)>& to) {
  for (std::size_t at = 0; at < bytes.size(); at += chunk) {
    to(bytes.data() + at, static_cast<unsigned long>(std::min(chunk, bytes.size() - at)));
  }
}

TEST(TailSample, TheRightBytesMatchHoweverCutAndAtMostTheLimitIsHeld) {
  const std::string file = fileOf(1000);
  for (std::size_t fileChunk : {1, 499, 500, 501, 1000}) {
    for (std::size_t bodyChunk : {1, 64, 500}) {
      TailSample tail(500, file.size(), 4096);
      stream(file, fileChunk, [&](const char* d, unsigned long n) { tail.take(d, n); });
      stream(file.substr(500), bodyChunk,
             [&](const char* d, unsigned long n) { tail.compare(d, n); });
      EXPECT_TRUE(tail.allMatched() && tail.matched() == 500) << fileChunk << "/" << bodyChunk;
    }
  }
  TailSample bounded(500, file.size(), 64);
  stream(file, 333, [&](const char* d, unsigned long n) { bounded.take(d, n); });
  stream(file.substr(500), 100, [&](const char* d, unsigned long n) { bounded.compare(d, n); });
  EXPECT_EQ(bounded.length(), 64u);
  EXPECT_TRUE(bounded.allMatched());
}

TEST(TailSample, AnotherRangeAShortBodyOrOneChangedByteIsCaught) {
  const std::string file = fileOf(1000);
  std::string changed = file.substr(500);
  changed[321] ^= 1;
  struct Case {
    std::string body;
    bool differs;
    std::uint64_t matched;
  };
  for (const Case& body : {Case{file.substr(0, 500), true, 0}, Case{changed, true, 321},
                           Case{file.substr(500, 300), false, 300}}) {
    TailSample tail(500, file.size(), 4096);
    stream(file, 128, [&](const char* d, unsigned long n) { tail.take(d, n); });
    stream(body.body, 100, [&](const char* d, unsigned long n) { tail.compare(d, n); });
    EXPECT_FALSE(tail.allMatched());
    EXPECT_EQ(tail.differs(), body.differs);
    EXPECT_EQ(tail.matched(), body.matched);
  }
}

}  // namespace
}  // namespace zrq::channel

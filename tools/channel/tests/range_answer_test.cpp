#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "range_rule.hpp"
#include "tail_sample.hpp"

namespace zrq::channel {
namespace {

TEST(RangeRule, ProbeAsksForTheSecondHalfWithTheExactContentRange) {
  EXPECT_EQ(rangeProbeStart(1), 0u);
  EXPECT_EQ(rangeProbeStart(2), 1u);
  EXPECT_EQ(rangeProbeStart(786487), 393243u);
  EXPECT_EQ(expectedContentRange(0, 1), "bytes 0-0/1");
  EXPECT_EQ(expectedContentRange(500000000000000, 999999999999999),
            "bytes 500000000000000-999999999999998/999999999999999");
}

TEST(RangeRule, OnlyA206WithExactlyTheAskedRangeIsContinued) {
  EXPECT_TRUE(shellContinuesWith(5, 10, 206, std::string("bytes 5-9/10")));
  EXPECT_TRUE(shellContinuesWith(0, 1, 206, std::string("bytes 0-0/1")));
  struct Case {
    long status;
    std::optional<std::string> contentRange;
  };
  for (const Case& answer : {Case{200, std::nullopt}, Case{200, std::string("bytes 5-9/10")},
                             Case{206, std::nullopt}, Case{206, std::string("")},
                             Case{206, std::string("bytes 0-9/10")},
                             Case{206, std::string("bytes 5-8/10")},
                             Case{206, std::string("bytes 5-9/11")},
                             Case{206, std::string("bytes 5-9/*")},
                             Case{206, std::string("Bytes 5-9/10")},
                             Case{206, std::string("bytes  5-9/10")},
                             Case{206, std::string("bytes 05-9/10")},
                             Case{206, std::string("bytes 5-9/10, bytes 5-9/10")},
                             Case{416, std::string("bytes */10")}}) {
    EXPECT_FALSE(shellContinuesWith(5, 10, answer.status, answer.contentRange))
        << answer.status << " " << answer.contentRange.value_or("(none)");
  }
  EXPECT_FALSE(shellContinuesWith(10, 10, 206, std::string("bytes 10-9/10")));
}

TEST(RangeRule, AnAnswerNotContinuedIsNamedForTheOperator) {
  EXPECT_EQ(describeRangeAnswer(200, std::nullopt),
            "status 200 (the whole file: the host ignores ranges)");
  EXPECT_EQ(describeRangeAnswer(206, std::string("bytes 0-9/10")),
            "status 206 with Content-Range \"bytes 0-9/10\"");
  EXPECT_EQ(describeRangeAnswer(206, std::nullopt), "status 206 without Content-Range");
  EXPECT_EQ(describeRangeAnswer(416, std::string("bytes */10")),
            "status 416 with Content-Range \"bytes */10\"");
  // A hostile header is shown short and as valid UTF-8.
  const std::string described = describeRangeAnswer(206, "\xff" + std::string(200, 'x'));
  const auto open = described.find('"');
  const auto close = described.rfind('"');
  EXPECT_EQ(nlohmann::json::parse(described.substr(open, close - open + 1)).get<std::string>(),
            "\xef\xbf\xbd" + std::string(79, 'x'));
  EXPECT_EQ(described.substr(close + 1), "...");
}

// A file whose bytes differ from their neighbours' (i % 251), so that a shifted
// range differs from the asked one.
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

TEST(TailSample, TheSampledBytesMatchTheirRangeHoweverTheStreamsAreCut) {
  const std::string file = fileOf(1000);
  for (std::size_t fileChunk : {1, 7, 499, 500, 501, 1000}) {
    for (std::size_t bodyChunk : {1, 3, 64, 500}) {
      TailSample tail(500, file.size(), 4096);
      stream(file, fileChunk, [&](const char* d, unsigned long n) { tail.take(d, n); });
      EXPECT_EQ(tail.length(), 500u);
      stream(file.substr(500), bodyChunk,
             [&](const char* d, unsigned long n) { tail.compare(d, n); });
      EXPECT_TRUE(tail.allMatched()) << fileChunk << "/" << bodyChunk;
      EXPECT_EQ(tail.matched(), 500u);
    }
  }
}

TEST(TailSample, AnotherRangeAShortBodyOrOneChangedByteIsCaught) {
  const std::string file = fileOf(1000);
  const auto sampled = [&file] {
    TailSample tail(500, file.size(), 4096);
    stream(file, 128, [&](const char* d, unsigned long n) { tail.take(d, n); });
    return tail;
  };
  TailSample fromZero = sampled();
  stream(file.substr(0, 500), 100, [&](const char* d, unsigned long n) { fromZero.compare(d, n); });
  EXPECT_TRUE(fromZero.differs());

  TailSample shortBody = sampled();
  stream(file.substr(500, 300), 100,
         [&](const char* d, unsigned long n) { shortBody.compare(d, n); });
  EXPECT_FALSE(shortBody.differs());
  EXPECT_FALSE(shortBody.allMatched());
  EXPECT_EQ(shortBody.matched(), 300u);

  std::string changed = file.substr(500);
  changed[321] ^= 1;
  TailSample oneByte = sampled();
  stream(changed, 100, [&](const char* d, unsigned long n) { oneByte.compare(d, n); });
  EXPECT_TRUE(oneByte.differs());
  EXPECT_EQ(oneByte.matched(), 321u);
}

TEST(TailSample, HoldsAtMostItsLimitAndAOneByteFileWhole) {
  const std::string file = fileOf(10000);
  TailSample bounded(5000, file.size(), 64);
  stream(file, 333, [&](const char* d, unsigned long n) { bounded.take(d, n); });
  EXPECT_EQ(bounded.length(), 64u);
  stream(file.substr(5000), 1000, [&](const char* d, unsigned long n) { bounded.compare(d, n); });
  EXPECT_TRUE(bounded.allMatched());
  EXPECT_EQ(bounded.matched(), 64u);

  TailSample one(rangeProbeStart(1), 1, 64);
  one.take("z", 1);
  EXPECT_FALSE(one.allMatched());
  one.compare("z", 1);
  EXPECT_TRUE(one.allMatched());
}

}  // namespace
}  // namespace zrq::channel

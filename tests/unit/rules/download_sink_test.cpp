#include "net/rules/download_sink.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "download_doubles.hpp"
#include "expect_error.hpp"
#include "net/rules/free_space.hpp"
#include "net/rules/range_answer.hpp"
#include "net/rules/retry_policy.hpp"
#include "platform/sha256.hpp"

namespace cv {
namespace {

using testing::errorFrom;

constexpr std::uint64_t kMiB = 1048576;
const std::string kBody = "the installer body";
const std::string kBodySha256 = "ac73b94394395df91a544750e95345602cf76a08b0c9df7afa9f0ade3e68e682";

// A sink over an in-memory "file", recording every progress report.
struct SinkHarness {
  explicit SinkHarness(std::uint64_t expected) : sink(expected, file, digest, &run) {}

  void feed(const std::string& chunk) {
    sink(chunk.data(), static_cast<unsigned long>(chunk.size()));
  }

  testing::MemoryFile file;
  testing::RecordingRun run;
  std::string& written = file.bytes;
  bool& writerFails = file.fails;
  std::vector<std::uint64_t>& reports = run.progress;
  Sha256 digest;
  DownloadSink sink;
};

TEST(DownloadSink, ExactBodyInChunksIsWrittenReportedAndVerified) {
  SinkHarness harness(kBody.size());
  harness.feed(kBody.substr(0, 4));
  harness.feed(kBody.substr(4, 10));
  harness.feed(kBody.substr(14));
  EXPECT_EQ(harness.written, kBody);
  EXPECT_EQ(harness.reports, (std::vector<std::uint64_t>{4, 14, kBody.size()}));
  EXPECT_EQ(harness.sink.bytesWritten(), kBody.size());
  EXPECT_NO_THROW(harness.sink.verify(kBodySha256));
}

TEST(DownloadSink, ChunkPassingTheExpectedSizeIsRefusedBeforeItIsWritten) {
  SinkHarness harness(kBody.size());
  harness.feed(kBody.substr(0, 10));
  const Error error = errorFrom([&] { harness.feed(kBody.substr(10) + "!"); });
  EXPECT_EQ(error.code, BadData);
  EXPECT_STREQ(error.what(), "安装文件大小不匹配");
  EXPECT_EQ(harness.written, kBody.substr(0, 10));
  EXPECT_EQ(harness.reports, (std::vector<std::uint64_t>{10}));
  EXPECT_EQ(harness.sink.bytesWritten(), 10u);
}

TEST(DownloadSink, ShortEmptyOrWrongBodiesFailVerification) {
  SinkHarness shortBody(kBody.size());
  shortBody.feed(kBody.substr(0, kBody.size() - 1));
  Error error = errorFrom([&] { shortBody.sink.verify(kBodySha256); });
  EXPECT_EQ(error.code, BadData);
  EXPECT_STREQ(error.what(), "安装文件校验失败，请重试");

  SinkHarness emptyBody(kBody.size());
  error = errorFrom([&] { emptyBody.sink.verify(kBodySha256); });
  EXPECT_STREQ(error.what(), "安装文件校验失败，请重试");

  std::string altered = kBody;
  altered[3] ^= 1;
  SinkHarness wrongBody(kBody.size());
  wrongBody.feed(altered);
  error = errorFrom([&] { wrongBody.sink.verify(kBodySha256); });
  EXPECT_EQ(error.code, BadData);
  EXPECT_STREQ(error.what(), "安装文件校验失败，请重试");
}

TEST(DownloadSink, KeptBytesAreCountedAndHashedButNotWrittenAgain) {
  SinkHarness harness(kBody.size());
  harness.sink.adopt(kBody.data(), 6);
  harness.feed(kBody.substr(6));
  EXPECT_EQ(harness.written, kBody.substr(6));
  EXPECT_EQ(harness.reports, (std::vector<std::uint64_t>{6, kBody.size()}));
  EXPECT_TRUE(harness.sink.complete());
  EXPECT_NO_THROW(harness.sink.verify(kBodySha256));

  SinkHarness tooLong(4);
  const Error error = errorFrom([&] { tooLong.sink.adopt(kBody.data(), 5); });
  EXPECT_STREQ(error.what(), "安装文件大小不匹配");
  EXPECT_EQ(tooLong.sink.bytesWritten(), 0u);
}

TEST(DownloadSink, IncompleteWriteFailsWithoutCountingTheChunk) {
  SinkHarness harness(kBody.size());
  harness.writerFails = true;
  const Error error = errorFrom([&] { harness.feed(kBody); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "写入安装文件失败");
  EXPECT_TRUE(harness.reports.empty());
  EXPECT_EQ(harness.sink.bytesWritten(), 0u);
}

TEST(DownloadRules, FreeSpaceMustCoverTheFileAndOneMebibyte) {
  EXPECT_TRUE(hasRoomForDownload(1000 + kMiB, 1000));
  EXPECT_FALSE(hasRoomForDownload(1000 + kMiB - 1, 1000));
  constexpr std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
  // size + margin would wrap around in 64 bits.
  EXPECT_FALSE(hasRoomForDownload(max - 1, max - 10));
  EXPECT_TRUE(hasRoomForDownload(max, max - kMiB));
  EXPECT_FALSE(hasRoomForDownload(max, max - kMiB + 1));
}

TEST(DownloadRules, RangeAnswerIsTakenOnlyWhenItIsExactlyTheRestAskedFor) {
  using V = RangeVerdict;
  const std::optional<std::uint64_t> whole;
  const std::optional<std::string> none;
  struct Case {
    std::optional<std::uint64_t> from;
    unsigned long status;
    std::optional<std::string> contentRange;
    RangeVerdict verdict;
  };
  const Case cases[] = {
      {whole, 200, none, V::FromStart},
      {whole, 206, std::string("bytes 0-999/1000"), V::Unavailable},
      {400, 206, std::string("bytes 400-999/1000"), V::Append},
      {999, 206, std::string("bytes 999-999/1000"), V::Append},
      {400, 200, none, V::FromStart},
      {400, 206, none, V::Untrusted},
      {400, 206, std::string("bytes 400-998/1000"), V::Untrusted},
      {400, 206, std::string("bytes 0400-999/1000"), V::Untrusted},
      {400, 206, std::string("bytes 400-999/*"), V::Untrusted},
      {400, 204, none, V::Untrusted},
      {400, 206, std::string(""), V::Untrusted},
      {400, 206, std::string("Bytes 400-999/1000"), V::Untrusted},
      {400, 206, std::string("bytes  400-999/1000"), V::Untrusted},
      {400, 206, std::string("bytes 400-999/1001"), V::Untrusted},
      {400, 206, std::string("bytes 0-999/1000"), V::Untrusted},
      {400, 206, std::string("bytes 400-999/1000, bytes 400-999/1000"), V::Untrusted},
      {0, 206, std::string("bytes 0-999/1000"), V::Append},
      {400, 416, std::string("bytes */400"), V::HostShorter},
      {400, 503, none, V::Unavailable},
      {400, 302, none, V::Unavailable},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(judgeRangeAnswer(c.from, 1000, c.status, c.contentRange), c.verdict)
        << (c.from ? *c.from : -1) << " " << c.status << " " << c.contentRange.value_or("-");
  }
  EXPECT_EQ(expectedContentRange(999999999999998, 999999999999999),
            "bytes 999999999999998-999999999999998/999999999999999");
}

std::vector<std::optional<unsigned>> pausesAfter(RetryPolicy& policy, std::vector<bool> newBytes) {
  std::vector<std::optional<unsigned>> pauses;
  for (bool brought : newBytes) pauses.push_back(policy.afterFailure(brought));
  return pauses;
}

TEST(DownloadRules, WaitsDoubleToEightSecondsAndTheFifthFailureInARowGivesUp) {
  using P = std::vector<std::optional<unsigned>>;
  RetryPolicy fresh;
  EXPECT_EQ(pausesAfter(fresh, {false, false, false, false, false}),
            (P{1000, 2000, 4000, 8000, std::nullopt}));
  // A request that brought new bytes is followed at once and starts a new row.
  RetryPolicy progressing;
  EXPECT_EQ(pausesAfter(progressing, {true, false, false, true, false, false, false, false, false}),
            (P{0, 1000, 2000, 0, 1000, 2000, 4000, 8000, std::nullopt}));
  RetryPolicy alwaysSomething;
  EXPECT_EQ(pausesAfter(alwaysSomething, std::vector<bool>(20, true)), P(20, 0u));
}

TEST(DownloadRules, AWaitSleepsInSlicesAndEndsAtTheCheckpointThatThrows) {
  std::vector<unsigned> slept;
  const auto sleep = [&](unsigned ms) { slept.push_back(ms); };
  int checks = 0;
  waitCancellably(120, [&] { ++checks; }, sleep);
  EXPECT_EQ(slept, (std::vector<unsigned>{50, 50, 20}));
  EXPECT_EQ(checks, 4);  // before each slice and at the end

  slept.clear();
  checks = 0;
  const Error error = errorFrom([&] {
    waitCancellably(8000, [&] {
      if (++checks == 3) throw Error(Cancelled, "Extraction cancelled");
    }, sleep);
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_EQ(slept, (std::vector<unsigned>{50, 50}));
}

}  // namespace
}  // namespace cv

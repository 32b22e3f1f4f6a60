#include "net/rules/resumable_download.hpp"
#include "core/messages.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "download_doubles.hpp"
#include "expect_error.hpp"
#include "net/rules/range_answer.hpp"
#include "platform/sha256.hpp"

namespace cv {
namespace {

using testing::errorFrom;

constexpr char kBroken[] = "下载中断，请重试";
constexpr char kRefused[] = "网络请求失败，请重试";

std::string bodyOf(std::size_t size) {
  std::string body(size, '\0');
  for (std::size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return body;
}

std::string digestOf(const std::string& bytes) {
  Sha256 digest;
  digest.update(bytes.data(), static_cast<unsigned long>(bytes.size()));
  return toHex(digest.finish());
}

// One answer of the scripted host: a status and Content-Range, then `body`
// in chunks, then (when set) a transport failure instead of the body's end.
struct Reply {
  unsigned long status = 200;
  std::optional<std::string> contentRange;
  std::string body;
  const char* failure = nullptr;  // a -7 message
  bool failsBeforeHead = false;
  std::optional<std::string> contentEncoding;
};

// A file in memory and a host that answers from a script; records what the
// download asked, waited and showed.
struct Harness {
  explicit Harness(std::string whole, std::string promisedSha256 = "")
      : body(std::move(whole)),
        download(body.size(), promisedSha256.empty() ? digestOf(body) : promisedSha256, memory,
                 run_, [this](unsigned ms) { waits.push_back(ms); }) {}

  void run() {
    download.run([this](std::optional<std::uint64_t> from, const HeadCheck& onHead,
                        const DataSink& onData) {
      asked.push_back(from);
      ASSERT_LT(next, replies.size()) << "more requests than scripted";
      const Reply& reply = replies[next++];
      if (reply.failsBeforeHead) throw Error(NetworkFailure, reply.failure);
      if (!onHead(ResponseHead{reply.status, reply.contentRange, reply.contentEncoding})) return;
      for (std::size_t at = 0; at < reply.body.size(); at += 1000)
        onData(reply.body.data() + at, static_cast<unsigned long>(std::min<std::size_t>(1000, reply.body.size() - at)));
      if (reply.failure) throw Error(NetworkFailure, reply.failure);
    });
  }

  // Whether the bar only ever went back to 0.
  bool progressFallsOnlyToZero() const {
    for (std::size_t i = 1; i < progress.size(); ++i)
      if (progress[i] < progress[i - 1] && progress[i] != 0) return false;
    return true;
  }

  std::string body;
  testing::MemoryFile memory;
  testing::RecordingRun run_;
  std::string& file = memory.bytes;
  std::vector<Reply> replies;
  std::size_t next = 0;
  std::vector<std::optional<std::uint64_t>> asked;
  std::vector<unsigned> waits;
  std::vector<std::uint64_t>& progress = run_.progress;
  std::vector<DownloadPhase>& phases = run_.phases;
  ResumableDownload download;
};

using Asked = std::vector<std::optional<std::uint64_t>>;
const std::optional<std::uint64_t> kWhole;

// The end-to-end tests show drops, hosts that ignore ranges or keep failing,
// and kept bytes continued; these are the answers a test host hardly gives.
TEST(ResumableDownload, NoAnswerButExactlyTheRestIsSplicedAndTheWholeFileIsAskedForNext) {
  const std::string other = bodyOf(20000).substr(7, 10000);
  const std::pair<std::optional<std::string>, std::optional<std::string>> answers[] = {
      {std::nullopt, std::nullopt},
      {std::string("bytes 0-5999/10000"), std::nullopt},
      {std::string("bytes 4000-9999/10001"), std::nullopt},
      {expectedContentRange(4000, 10000), std::string("gzip")},
  };
  for (const auto& [range, coding] : answers) {
    Harness h(bodyOf(10000));
    h.replies = {{200, std::nullopt, h.body.substr(0, 4000), kBroken},
                 {206, range, other.substr(4000), nullptr, false, coding},
                 {200, std::nullopt, h.body.substr(0, 5000), kBroken},
                 {200, std::nullopt, h.body, nullptr, false, std::string("Identity")}};
    h.run();
    EXPECT_EQ(h.file, h.body) << range.value_or("none");
    // Once a host answered a range wrongly, this run asks it for no other.
    EXPECT_EQ(h.asked, (Asked{kWhole, 4000, kWhole, kWhole}));
    EXPECT_TRUE(h.progressFallsOnlyToZero());
  }
}

TEST(ResumableDownload, BytesNotWorthKeepingAreMarkedSoAndNeverAskedForAgain) {
  Harness shorter(bodyOf(10000));
  shorter.replies = {{200, std::nullopt, shorter.body.substr(0, 4000), kBroken},
                     {416, std::string("bytes */3000"), ""}};
  expectError([&] { shorter.run(); }, BadData, msg::kVerifyFailed);
  EXPECT_TRUE(shorter.download.provedWrong());

  // A compressed body is not the file: what of it arrived is not continued.
  Harness coded(bodyOf(10000));
  coded.replies = {{200, std::nullopt, coded.body.substr(0, 4000), nullptr, false, std::string("gzip")}};
  expectError([&] { coded.run(); }, BadData, msg::kVerifyFailed);
  EXPECT_TRUE(coded.download.provedWrong());
  EXPECT_TRUE(coded.waits.empty());

  Harness refused(bodyOf(10000));
  refused.replies = {{200, std::nullopt, refused.body.substr(0, 4000), kBroken},
                     {503, std::nullopt, ""}, {503, std::nullopt, ""}, {503, std::nullopt, ""},
                     {503, std::nullopt, ""}, {0, std::nullopt, "", kRefused, true}};
  expectError([&] { refused.run(); }, NetworkFailure, kRefused);
  EXPECT_FALSE(refused.download.provedWrong());
  EXPECT_EQ(refused.waits, (std::vector<unsigned>{1000, 2000, 4000, 8000}));
}

TEST(ResumableDownload, AFileCompleteBeforeAnyFurtherRequestIsVerifiedWithoutOne) {
  Harness brokenAfterTheEnd(bodyOf(10000));
  brokenAfterTheEnd.replies = {{200, std::nullopt, brokenAfterTheEnd.body, kBroken}};
  brokenAfterTheEnd.run();
  EXPECT_EQ(brokenAfterTheEnd.download.requests(), 1u);

  Harness keptWhole(bodyOf(5000));
  keptWhole.download.adoptKept(keptWhole.body.data(), 5000);
  keptWhole.run();
  EXPECT_TRUE(keptWhole.asked.empty());
  EXPECT_EQ(keptWhole.download.continuedFrom(), 5000u);

  // Kept whole but changed: downloaded afresh, from byte 0.
  Harness keptChanged(bodyOf(5000));
  const std::string changed = "x" + keptChanged.body.substr(1);
  keptChanged.download.adoptKept(changed.data(), 5000);
  keptChanged.file = changed;
  keptChanged.replies = {{200, std::nullopt, keptChanged.body}};
  keptChanged.run();
  EXPECT_EQ(keptChanged.file, keptChanged.body);
  EXPECT_EQ(keptChanged.asked, (Asked{kWhole}));
  EXPECT_EQ(keptChanged.download.continuedFrom(), 0u);
}

// A body spliced from pieces whose digest fails is asked for once more from
// byte 0; a body of one piece, or a second spliced failure, counts as wrong.
TEST(ResumableDownload, ASplicedBodyThatFailsItsDigestIsFetchedWholeOnce) {
  const std::string body = bodyOf(10000);
  const std::string changed = body.substr(0, 4000) + std::string(6000, 'x');
  const struct {
    const char* name;
    std::size_t kept;  // bytes kept by an earlier run
    std::vector<Reply> replies;
    Asked asked;
    bool succeeds;
  } cases[] = {
      {"kept bytes, then whole", 4000, {{206, expectedContentRange(4000, 10000), changed.substr(4000)},
                                       {200, std::nullopt, body}}, {4000, kWhole}, true},
      {"a range after a break", 0, {{200, std::nullopt, body.substr(0, 4000), kBroken},
                                    {206, expectedContentRange(4000, 10000), changed.substr(4000)},
                                    {200, std::nullopt, body}}, {kWhole, 4000, kWhole}, true},
      {"one piece", 0, {{200, std::nullopt, changed}}, {kWhole}, false},
      {"spliced twice", 4000, {{206, expectedContentRange(4000, 10000), changed.substr(4000)},
                               {200, std::nullopt, body.substr(0, 4000), kBroken},
                               {206, expectedContentRange(4000, 10000), changed.substr(4000)}},
       {4000, kWhole, 4000}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(body);
    h.download.adoptKept(body.data(), static_cast<unsigned long>(c.kept));
    h.file = body.substr(0, c.kept);
    h.replies = c.replies;
    if (c.succeeds) {
      h.run();
      EXPECT_EQ(h.file, body);
    } else {
      expectError([&] { h.run(); }, BadData, msg::kVerifyFailed);
      EXPECT_TRUE(h.download.provedWrong());
    }
    EXPECT_EQ(h.asked, c.asked);
  }
}

}  // namespace
}  // namespace cv

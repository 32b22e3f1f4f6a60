#include "net/resumable_download.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/error.hpp"
#include "expect_error.hpp"
#include "net/range_answer.hpp"
#include "platform/sha256.hpp"

namespace cv {
namespace {

using testing::errorFrom;

constexpr char kBroken[] = "下载中断，请重试";
constexpr char kRefused[] = "网络请求失败，请重试";
constexpr char kBodyWrong[] = "安装文件校验失败，请重试";

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

Reply partial(const std::string& whole, std::uint64_t from) {
  return {206, expectedContentRange(from, whole.size()), whole.substr(from)};
}

// A file in memory and a host that answers from a script; records what the
// download asked, waited and showed.
struct Harness {
  explicit Harness(std::string whole, std::string promisedSha256 = "")
      : body(std::move(whole)),
        download(body.size(), promisedSha256.empty() ? digestOf(body) : promisedSha256,
                 DownloadFile{[this](const char* data, unsigned long length) {
                                file.append(data, length);
                                return true;
                              },
                              [this] { file.clear(); }},
                 DownloadEvents{[this](std::uint64_t held) { progress.push_back(held); },
                                [this](DownloadPhase phase) { phases.push_back(phase); },
                                [this](unsigned ms) { waits.push_back(ms); }}) {}

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
  std::string file;
  std::vector<Reply> replies;
  std::size_t next = 0;
  std::vector<std::optional<std::uint64_t>> asked;
  std::vector<unsigned> waits;
  std::vector<std::uint64_t> progress;
  std::vector<DownloadPhase> phases;
  ResumableDownload download;
};

using Asked = std::vector<std::optional<std::uint64_t>>;
const std::optional<std::uint64_t> kWhole;

TEST(ResumableDownload, ABrokenBodyIsContinuedFromWhereItStopped) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body.substr(0, 4000), kBroken}, partial(h.body, 4000)};
  h.run();
  EXPECT_EQ(h.file, h.body);
  EXPECT_EQ(h.asked, (Asked{kWhole, 4000}));
  EXPECT_EQ(h.waits, (std::vector<unsigned>{1000}));
  EXPECT_EQ(h.phases, (std::vector<DownloadPhase>{DownloadPhase::Transferring, DownloadPhase::Waiting,
                                                  DownloadPhase::Transferring}));
  EXPECT_EQ(h.download.requests(), 2u);
  EXPECT_EQ(h.download.continuedFrom(), 0u);
  EXPECT_EQ(h.progress.back(), 10000u);
  EXPECT_TRUE(h.progressFallsOnlyToZero());
}

TEST(ResumableDownload, ABodyEndingEarlyCountsAsBrokenAndEveryNewByteStartsANewRow) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body.substr(0, 2000)},
               {206, expectedContentRange(2000, 10000), h.body.substr(2000, 3000), kBroken},
               {0, std::nullopt, "", kRefused, true},
               partial(h.body, 5000)};
  h.run();
  EXPECT_EQ(h.file, h.body);
  EXPECT_EQ(h.asked, (Asked{kWhole, 2000, 5000, 5000}));
  EXPECT_EQ(h.waits, (std::vector<unsigned>{1000, 1000, 2000}));
}

TEST(ResumableDownload, AFailureAfterTheLastByteLeavesNothingToAskFor) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body, kBroken}};
  h.run();
  EXPECT_EQ(h.file, h.body);
  EXPECT_EQ(h.download.requests(), 1u);
  EXPECT_TRUE(h.waits.empty());
}

TEST(ResumableDownload, AHostThatIgnoresRangesSendsTheWholeFileAgain) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body.substr(0, 6000), kBroken}, {200, std::nullopt, h.body}};
  h.run();
  EXPECT_EQ(h.file, h.body);
  EXPECT_EQ(h.asked, (Asked{kWhole, 6000}));
  EXPECT_NE(std::find(h.progress.begin(), h.progress.end(), 0u), h.progress.end());
  EXPECT_TRUE(h.progressFallsOnlyToZero());
}

TEST(ResumableDownload, AnUntrustedRangeIsNeverSplicedAndTheNextRequestAsksForTheWholeFile) {
  const std::string other = bodyOf(20000).substr(7, 10000);
  for (const std::optional<std::string>& range :
       {std::optional<std::string>(), std::optional<std::string>("bytes 0-5999/10000"),
        std::optional<std::string>("bytes 4000-9999/10001")}) {
    Harness h(bodyOf(10000));
    h.replies = {{200, std::nullopt, h.body.substr(0, 4000), kBroken},
                 {206, range, other.substr(4000)},
                 {200, std::nullopt, h.body.substr(0, 5000), kBroken},
                 {200, std::nullopt, h.body}};
    h.run();
    EXPECT_EQ(h.file, h.body) << range.value_or("none");
    // Once a host answered a range wrongly, this run asks it for no other.
    EXPECT_EQ(h.asked, (Asked{kWhole, 4000, kWhole, kWhole}));
  }
}

TEST(ResumableDownload, AHostThatKeepsFailingEndsWithTheLastFailureAndKeepsTheBytes) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body.substr(0, 4000), kBroken}};
  for (int i = 0; i < 3; ++i) h.replies.push_back({0, std::nullopt, "", kRefused, true});
  h.replies.push_back({503, std::nullopt, ""});
  const Error error = errorFrom([&] { h.run(); });
  EXPECT_EQ(error.code, NetworkFailure);
  EXPECT_STREQ(error.what(), "下载不可用或地址过期，请重试");
  EXPECT_EQ(h.download.requests(), 5u);
  EXPECT_EQ(h.waits, (std::vector<unsigned>{1000, 2000, 4000, 8000}));
  EXPECT_FALSE(h.download.provedWrong());
  EXPECT_EQ(h.file, h.body.substr(0, 4000));
}

TEST(ResumableDownload, AFailureBeforeAnyByteStandsAtOnce) {
  Harness refused(bodyOf(10000));
  refused.replies = {{0, std::nullopt, "", kRefused, true}};
  const Error error = errorFrom([&] { refused.run(); });
  EXPECT_STREQ(error.what(), kRefused);
  EXPECT_TRUE(refused.waits.empty());

  Harness empty(bodyOf(10000));
  empty.replies = {{200, std::nullopt, ""}};
  expectError([&] { empty.run(); }, BadData, kBodyWrong);
  EXPECT_TRUE(empty.waits.empty());
  EXPECT_EQ(empty.download.requests(), 1u);
}

TEST(ResumableDownload, ABodyProvedWrongIsNeverContinued) {
  Harness longer(bodyOf(10000));
  longer.replies = {{200, std::nullopt, longer.body.substr(0, 4000), kBroken},
                    {206, expectedContentRange(4000, 10000), longer.body.substr(4000) + "!"}};
  expectError([&] { longer.run(); }, BadData, "安装文件大小不匹配");
  EXPECT_TRUE(longer.download.provedWrong());

  Harness shorter(bodyOf(10000));
  shorter.replies = {{200, std::nullopt, shorter.body.substr(0, 4000), kBroken},
                     {416, std::string("bytes */3000"), ""}};
  expectError([&] { shorter.run(); }, BadData, kBodyWrong);
  EXPECT_TRUE(shorter.download.provedWrong());
  EXPECT_EQ(shorter.waits.size(), 1u);

  // A compressed body is not the file: what of it arrived is not continued.
  Harness coded(bodyOf(10000));
  coded.replies = {{200, std::nullopt, coded.body.substr(0, 4000), nullptr, false, std::string("gzip")}};
  expectError([&] { coded.run(); }, BadData, kBodyWrong);
  EXPECT_TRUE(coded.download.provedWrong());
  EXPECT_TRUE(coded.waits.empty());
  Harness codedRange(bodyOf(10000));
  codedRange.replies = {{200, std::nullopt, codedRange.body.substr(0, 4000), kBroken},
                        {206, expectedContentRange(4000, 10000), "zz", nullptr, false, std::string("GZIP")},
                        {200, std::nullopt, codedRange.body, nullptr, false, std::string("Identity")}};
  codedRange.run();
  EXPECT_EQ(codedRange.file, codedRange.body);
  EXPECT_EQ(codedRange.asked, (Asked{kWhole, 4000, kWhole}));

  Harness digest(bodyOf(10000), std::string(64, 'a'));
  digest.replies = {{200, std::nullopt, digest.body.substr(0, 4000), kBroken}, partial(digest.body, 4000)};
  expectError([&] { digest.run(); }, BadData, kBodyWrong);
  EXPECT_TRUE(digest.download.provedWrong());
}

TEST(ResumableDownload, KeptBytesAreContinuedWithARangeRequest) {
  Harness h(bodyOf(10000));
  h.download.adoptKept(h.body.data(), 3000);
  h.file = h.body.substr(0, 3000);
  h.replies = {partial(h.body, 3000)};
  h.run();
  EXPECT_EQ(h.file, h.body);
  EXPECT_EQ(h.asked, (Asked{3000}));
  EXPECT_EQ(h.download.continuedFrom(), 3000u);
  EXPECT_EQ(h.download.requests(), 1u);
}

TEST(ResumableDownload, AWholeKeptFileIsUsedWhenItsDigestMatchesAndReplacedWhenNot) {
  Harness right(bodyOf(5000));
  right.download.adoptKept(right.body.data(), 5000);
  right.run();
  EXPECT_TRUE(right.asked.empty());
  EXPECT_EQ(right.download.continuedFrom(), 5000u);

  Harness wrong(bodyOf(5000));
  const std::string changed = std::string(1, 'x') + wrong.body.substr(1);
  wrong.download.adoptKept(changed.data(), 5000);
  wrong.file = changed;
  wrong.replies = {{200, std::nullopt, wrong.body}};
  wrong.run();
  EXPECT_EQ(wrong.file, wrong.body);
  EXPECT_EQ(wrong.asked, (Asked{kWhole}));
  EXPECT_EQ(wrong.download.continuedFrom(), 0u);
}

TEST(ResumableDownload, ACancelDuringTheWaitEndsTheDownloadAsACancel) {
  Harness h(bodyOf(10000));
  h.replies = {{200, std::nullopt, h.body.substr(0, 4000), kBroken}};
  ResumableDownload cancelling(
      h.body.size(), digestOf(h.body),
      DownloadFile{[](const char*, unsigned long) { return true; }, [] {}},
      DownloadEvents{[](std::uint64_t) {}, [](DownloadPhase) {},
                     [](unsigned) { throw Error(Cancelled, "Extraction cancelled"); }});
  const Error error = errorFrom([&] {
    cancelling.run([&](std::optional<std::uint64_t>, const HeadCheck& onHead, const DataSink& onData) {
      onHead(ResponseHead{200, std::nullopt});
      onData(h.body.data(), 4000);
      throw Error(NetworkFailure, kBroken);
    });
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_FALSE(cancelling.provedWrong());
  EXPECT_EQ(cancelling.requests(), 1u);
}

}  // namespace
}  // namespace cv

#include "net/verified_download.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "app/error.hpp"
#include "app/run_state.hpp"
#include "net/download_sink.hpp"
#include "platform/locations.hpp"
#include "platform/scope_guard.hpp"
#include "platform/sha256.hpp"
#include "platform/text.hpp"
#include "platform_test_support.hpp"

namespace cv {
namespace {

using testing::errorFrom;

constexpr std::uint64_t kMiB = 1048576;
const std::string kBody = "the installer body";
const std::string kBodySha256 = "ac73b94394395df91a544750e95345602cf76a08b0c9df7afa9f0ade3e68e682";

// A sink over an in-memory "file", recording every progress report.
struct SinkHarness {
  explicit SinkHarness(std::uint64_t expected)
      : sink(expected, write, digest, progress) {}

  void feed(const std::string& chunk) {
    sink(chunk.data(), static_cast<unsigned long>(chunk.size()));
  }

  std::string written;
  bool writerFails = false;
  std::vector<std::uint64_t> reports;
  Sha256 digest;
  ChunkWriter write = [this](const char* data, unsigned long length) {
    if (writerFails) return false;
    written.append(data, length);
    return true;
  };
  ProgressCallback progress = [this](std::uint64_t count) { reports.push_back(count); };
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

TEST(DownloadRules, SizeTextIsStrictDecimal) {
  EXPECT_EQ(parseSizeBytes("1"), 1u);
  EXPECT_EQ(parseSizeBytes("999999999999999"), 999999999999999u);
  EXPECT_EQ(parseSizeBytes("18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
  EXPECT_THROW(parseSizeBytes("18446744073709551616"), std::out_of_range);
  for (const char* bad : {"", "-1", "+1", " 1", "1a"})
    EXPECT_THROW(parseSizeBytes(bad), std::invalid_argument) << bad;
}

nlohmann::json descriptorFor(const std::string& size) {
  return {{"type", "exe"},
          {"url", "https://files.zrq.test/pc/installer.exe"},
          {"sha256", kBodySha256},
          {"sizeBytes", size}};
}

const ProgressCallback ignoreProgress = [](std::uint64_t) {};
const Checkpoint cancelled = [] { throw Error(Cancelled, "Extraction cancelled"); };

// Opening with share mode 0 only succeeds when no handle to the file is left open.
bool openExclusively(const std::wstring& path) {
  HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

TEST(DownloadToFile, RefusesTooLittleSpaceOrAnExistingFileBeforeTheTransfer) {
  testing::ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"original.exe");
  Error error = errorFrom(
      [&] { downloadToFile(descriptorFor("999999999999999"), target, ignoreProgress, cancelled); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "磁盘空间不足");
  EXPECT_FALSE(std::filesystem::exists(target));

  // An existing file is left as it was.
  testing::writeBytes(target, "earlier");
  error =
      errorFrom([&] { downloadToFile(descriptorFor("7"), target, ignoreProgress, cancelled); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "无法创建安装文件");
  EXPECT_EQ(testing::readBytes(target), "earlier");
}

// Cancelled before the request: the file exists, closed, for the session to remove.
TEST(DownloadVerified, PublishesSizeAndStageThenHonoursCancellation) {
  const std::wstring staging =
      (std::filesystem::path(sdkRootDirectory()) / L"temp" / toWide(newAttemptId())).wstring();
  const std::wstring target = staging + L"\\original.exe";
  auto cleanup = onScopeExit([&] {
    std::error_code ignored;
    std::filesystem::remove_all(staging, ignored);
  });
  RunState state;
  state.cancelRequested.store(true);
  const Error error = errorFrom([&] { downloadVerified(descriptorFor("18"), staging, target, state); });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_TRUE(std::filesystem::is_directory(staging));
  EXPECT_EQ(state.totalBytes.load(), 18u);
  EXPECT_EQ(state.downloadedBytes.load(), 0u);
  EXPECT_EQ(state.currentStage(), Stage::Downloading);
  EXPECT_TRUE(openExclusively(target));
}

}  // namespace
}  // namespace cv

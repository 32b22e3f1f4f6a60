#include "net/verified_download.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "core/error.hpp"
#include "core/messages.hpp"
#include "session/run_download.hpp"
#include "net/rules/download_sink.hpp"
#include "net/rules/staging_layout.hpp"
#include "platform/locations.hpp"
#include "platform/scope_guard.hpp"
#include "platform/sha256.hpp"
#include "platform/text.hpp"
#include "download_doubles.hpp"
#include "platform_test_support.hpp"

namespace cv {
namespace {

using testing::errorFrom;

const std::string kBodySha256 = "ac73b94394395df91a544750e95345602cf76a08b0c9df7afa9f0ade3e68e682";

InstallerDescriptor descriptorFor(const std::string& size) {
  InstallerDescriptor descriptor;
  descriptor.url = "https://files.zrq.test/pc/installer.exe";
  descriptor.sha256 = kBodySha256;
  descriptor.size = std::stoull(size);
  return descriptor;
}

// A run whose Cancel comes at its first checkpoint.
struct CancelledRun : testing::RecordingRun {
  CancelledRun() { onCheckpoint = [] { throw Error(Cancelled, msg::kCancelled); }; }
};

TEST(DownloadToFile, RefusesTooLittleSpaceOrAnExistingFileBeforeTheTransfer) {
  testing::ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"original.exe");
  const std::wstring kept = scratch.file(L"partial");
  CancelledRun run;
  Error error = errorFrom([&] {
    downloadToFile(descriptorFor("999999999999999"), target, KeptPlace{kept, "1234"}, run);
  });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "磁盘空间不足");
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(kept));

  // An existing file is left as it was.
  testing::writeBytes(target, "earlier");
  error = errorFrom([&] { downloadToFile(descriptorFor("7"), target, KeptPlace{kept, "1234"}, run); });
  EXPECT_EQ(error.code, SystemFailure);
  EXPECT_STREQ(error.what(), "无法创建安装文件");
  EXPECT_EQ(testing::readBytes(target), "earlier");
}

// The body "the installer body" kept up to "the inst".
TEST(DownloadToFile, KeptBytesAreHashedBackBeforeTheRequestAndACancelRemovesThem) {
  testing::ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"original.exe");
  const std::wstring keptDirectory = scratch.file(L"partial");
  std::filesystem::create_directories(keptDirectory);
  const std::wstring keptFile = keptDirectory + L"\\" + keptPartialName("1234", kBodySha256, 18);
  testing::writeBytes(keptFile, "the inst");

  // The second checkpoint is the one before the request.
  testing::RecordingRun run;
  run.onCheckpoint = [&] {
    if (run.checks == 2) throw Error(Cancelled, msg::kCancelled);
  };
  const Error error = errorFrom([&] {
    downloadToFile(descriptorFor("18"), target, KeptPlace{keptDirectory, "1234"}, run);
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_EQ(run.progress, (std::vector<std::uint64_t>{8}));
  EXPECT_EQ(run.phases, (std::vector<DownloadPhase>{DownloadPhase::CheckingKept, DownloadPhase::Transferring}));
  EXPECT_EQ(run.last.continuedFrom, 8u);
  EXPECT_FALSE(std::filesystem::exists(keptFile));
  EXPECT_FALSE(std::filesystem::exists(keptDirectory));
  EXPECT_FALSE(std::filesystem::exists(target));
}

// A Cancel while kept bytes are hashed back stops the run but keeps them: they
// are an earlier run's, whole as far as they go, for the next run.
TEST(DownloadToFile, ACancelDuringTheHashOfKeptBytesKeepsThem) {
  testing::ScratchDirectory scratch;
  const std::wstring keptDirectory = scratch.file(L"partial");
  std::filesystem::create_directories(keptDirectory);
  const std::wstring keptFile = keptDirectory + L"\\" + keptPartialName("1234", kBodySha256, 18);
  testing::writeBytes(keptFile, "the inst");
  CancelledRun run;
  const Error error = errorFrom([&] {
    downloadToFile(descriptorFor("18"), scratch.file(L"original.exe"), KeptPlace{keptDirectory, "1234"},
                   run);
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_EQ(testing::readBytes(keptFile), "the inst");
}

// Another shell downloading the same file holds it: this one downloads on its own.
TEST(DownloadToFile, AKeptFileInUseIsLeftToItsHolder) {
  testing::ScratchDirectory scratch;
  const std::wstring target = scratch.file(L"original.exe");
  const std::wstring keptDirectory = scratch.file(L"partial");
  std::filesystem::create_directories(keptDirectory);
  const std::wstring keptFile = keptDirectory + L"\\" + keptPartialName("1234", kBodySha256, 18);
  testing::writeBytes(keptFile, "the inst");
  HANDLE holder = ::CreateFileW(keptFile.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  auto release = onScopeExit([&] { ::CloseHandle(holder); });

  CancelledRun run;
  const Error error = errorFrom([&] {
    downloadToFile(descriptorFor("18"), target, KeptPlace{keptDirectory, "1234"}, run);
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_EQ(run.last.continuedFrom, 0u);
  release.dismiss();
  ::CloseHandle(holder);
  EXPECT_EQ(testing::readBytes(keptFile), "the inst");
  EXPECT_FALSE(std::filesystem::exists(target));
}

// Cancelled before the request: nothing of the download is left.
TEST(DownloadVerified, PublishesSizeAndStageThenHonoursCancellation) {
  const StagingArea area{sdkRootDirectory() + L"\\temp", stagingRulesFor(false), false};
  const std::wstring staging =
      (std::filesystem::path(area.temp) / toWide(newAttemptId())).wstring();
  const std::wstring target = staging + L"\\original.exe";
  auto cleanup = onScopeExit([&] {
    std::error_code ignored;
    std::filesystem::remove_all(staging, ignored);
  });
  RunState state;
  state.cancelRequested.store(true);
  DownloadReport report;
  RunDownload run(state, report);
  const Error error = errorFrom([&] {
    downloadVerified(descriptorFor("18"), StagedDownload{area, staging, target, "1234"}, run);
  });
  EXPECT_EQ(error.code, Cancelled);
  EXPECT_TRUE(std::filesystem::is_directory(staging));
  EXPECT_EQ(state.totalBytes.load(), 18u);
  EXPECT_EQ(state.downloadedBytes.load(), 0u);
  EXPECT_EQ(state.currentStage(), Stage::Downloading);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(sdkRootDirectory()) / L"temp" / L"partial" /
                                       (keptPartialName("1234", kBodySha256, 18))));
}

}  // namespace
}  // namespace cv

#include "net/verified_download.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <filesystem>
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

const std::string kBodySha256 = "ac73b94394395df91a544750e95345602cf76a08b0c9df7afa9f0ade3e68e682";

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

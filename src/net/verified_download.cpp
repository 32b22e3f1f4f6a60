#include "net/verified_download.hpp"

#include <windows.h>

#include "app/error.hpp"
#include "app/run_state.hpp"
#include "platform/handles.hpp"
#include "platform/locations.hpp"
#include "platform/new_file.hpp"
#include "platform/path.hpp"
#include "platform/protected_directory.hpp"
#include "platform/sha256.hpp"

namespace cv {

namespace {

std::uint64_t expectedSize(const nlohmann::json& descriptor) {
  return parseSizeBytes(descriptor.at("sizeBytes").get<std::string>());
}

bool enoughFreeSpace(const std::wstring& target, std::uint64_t size) {
  const std::wstring directory = parentPath(target);
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr)) return false;
  return hasRoomForDownload(available.QuadPart, size);
}

}  // namespace

void downloadToFile(const nlohmann::json& descriptor, const std::wstring& target,
                    const ProgressCallback& onProgress, const Checkpoint& checkpoint) {
  const std::uint64_t size = expectedSize(descriptor);
  ensure(enoughFreeSpace(target, size), SystemFailure, "磁盘空间不足");

  // Closed exactly once: by reset() after the flush, or here when anything throws.
  FileHandle file = createNewFile(target);
  ensure(file.valid(), SystemFailure, "无法创建安装文件");

  Sha256 digest(L"SHA256");
  const ChunkWriter write = [&file](const char* data, unsigned long length) {
    DWORD written = 0;
    return ::WriteFile(file.get(), data, length, &written, nullptr) != FALSE && written == length;
  };
  DownloadSink sink(size, write, digest, onProgress);

  const std::string url = descriptor.at("url").get<std::string>();
  httpsRequest(url, "", true, [&sink](const char* data, unsigned long length) { sink(data, length); },
               checkpoint);

  sink.verify(descriptor.at("sha256").get<std::string>());
  ensure(::FlushFileBuffers(file.get()) != FALSE, SystemFailure, "安装文件保存失败");
  file.reset();
}

void downloadVerified(const nlohmann::json& descriptor, const std::wstring& stagingDirectory,
                      const std::wstring& target, RunState& state) {
  createProtectedDirectory(joinPath(sdkRootDirectory(), L"temp"));
  createProtectedDirectory(stagingDirectory);

  state.totalBytes.store(expectedSize(descriptor));
  state.publish(Stage::Downloading);

  const Checkpoint checkpoint = [&state] { state.throwIfCancelled(); };
  downloadToFile(
      descriptor, target, [&state](std::uint64_t written) { state.downloadedBytes.store(written); },
      checkpoint);

  state.publish(Stage::Verifying);
  state.throwIfCancelled();
  // Not used further; reading it still refuses a publisherSha256 that is not a string.
  const std::string publisherSha256 = descriptor.value("publisherSha256", std::string());
  (void)publisherSha256;
  state.throwIfCancelled();
}

}  // namespace cv

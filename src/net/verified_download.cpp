#include "net/verified_download.hpp"

#include <windows.h>

#include <optional>
#include <vector>

#include "app/error.hpp"
#include "app/run_state.hpp"
#include "net/resumable_download.hpp"
#include "net/retry_policy.hpp"
#include "net/staging_layout.hpp"
#include "platform/directory_entries.hpp"
#include "platform/file_io.hpp"
#include "platform/handles.hpp"
#include "platform/locations.hpp"
#include "platform/new_file.hpp"
#include "platform/path.hpp"
#include "platform/protected_directory.hpp"
#include "platform/sha256.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

constexpr DWORD kReadBackChunk = 1 << 20;

std::uint64_t expectedSize(const nlohmann::json& descriptor) {
  return parseSizeBytes(descriptor.at("sizeBytes").get<std::string>());
}

bool enoughFreeSpace(const std::wstring& target, std::uint64_t size) {
  const std::wstring directory = parentPath(target);
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr)) return false;
  return hasRoomForDownload(available.QuadPart, size);
}

// Every file a download writes is created or opened here: read and write
// access, no sharing, so that nobody else touches it while it grows.
FileHandle openDownloadFile(const std::wstring& path, DWORD disposition) {
  return openOwnFile(path, GENERIC_READ | GENERIC_WRITE, disposition);
}

// A plain file's length; nothing for a missing file, a directory or a link.
std::optional<std::uint64_t> plainFileLength(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
    return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::uint64_t handleLength(HANDLE file) {
  LARGE_INTEGER length{};
  return ::GetFileSizeEx(file, &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
}

// Reads length bytes from the current position to onData; false when the
// file holds fewer or cannot be read.
bool readBack(HANDLE file, std::uint64_t length, const DataSink& onData, const Checkpoint& checkpoint) {
  std::vector<char> buffer(kReadBackChunk);
  while (length > 0) {
    checkpoint();
    const DWORD want = length < kReadBackChunk ? static_cast<DWORD>(length) : kReadBackChunk;
    DWORD got = 0;
    if (!::ReadFile(file, buffer.data(), want, &got, nullptr) || got == 0) return false;
    onData(buffer.data(), got);
    length -= got;
  }
  return true;
}

bool emptyFile(HANDLE file) {
  return ::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// The file a download writes into: the kept file named by the descriptor, or,
// when that cannot be had (another shell downloads the same file), the target
// itself, which is not kept.
struct DownloadSlot {
  FileHandle handle;
  std::wstring path;
  bool kept = false;
};

DownloadSlot openSlot(const std::wstring& keptDirectory, const std::wstring& keptPath,
                      const std::wstring& target) {
  DownloadSlot slot;
  try {
    createProtectedDirectory(keptDirectory);
    slot.handle = openDownloadFile(keptPath, OPEN_ALWAYS);
  } catch (const std::exception&) {
  }
  if (slot.handle.valid()) {
    slot.path = keptPath;
    slot.kept = true;
    return slot;
  }
  slot.handle = openDownloadFile(target, CREATE_NEW);
  ensure(slot.handle.valid(), SystemFailure, "无法创建安装文件");
  slot.path = target;
  return slot;
}

// Feeds the bytes a kept file already holds into the download's digest, so
// that the download continues from their end. False when the file cannot be
// read back whole, or is longer than the download: it is then emptied, and
// the download starts from nothing.
bool continueKept(ResumableDownload& download, HANDLE file, std::uint64_t size,
                  const DownloadHooks& hooks) {
  const std::uint64_t length = handleLength(file);
  if (length == 0) return true;
  if (length <= size) {
    hooks.onPhase(DownloadPhase::CheckingKept);
    const DataSink adopt = [&download](const char* data, unsigned long count) {
      download.adoptKept(data, count);
    };
    if (readBack(file, length, adopt, hooks.checkpoint)) return true;
  }
  ensure(emptyFile(file), SystemFailure, "写入安装文件失败");
  return false;
}

unsigned retryWaitMs(unsigned ms) { return seams::retryWaitMs().value_or(ms); }

// A plain file with the descriptor's size and digest in an earlier run's
// staging directory, hashed under a handle that keeps writers out.
std::optional<VerifiedFile> findVerifiedCopy(const std::wstring& temp, const std::wstring& name,
                                             std::uint64_t size, const std::string& sha256,
                                             const DownloadHooks& hooks) {
  for (const DirectoryEntry& entry : directoryEntries(temp)) {
    if (!entry.directory || entry.reparsePoint || !isAttemptDirectoryName(entry.name)) continue;
    const std::wstring directory = joinPath(temp, entry.name);
    const std::wstring candidate = joinPath(directory, name);
    if (plainFileLength(candidate) != size) continue;
    FileHandle handle(::CreateFileW(candidate.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid() || handleLength(handle.get()) != size) continue;

    hooks.onPhase(DownloadPhase::CheckingCopy);
    hooks.onProgress(0);
    Sha256 digest;
    std::uint64_t hashed = 0;
    const DataSink hash = [&](const char* data, unsigned long length) {
      digest.update(data, length);
      hashed += length;
      hooks.onProgress(hashed);
    };
    if (readBack(handle.get(), size, hash, hooks.checkpoint) && toHex(digest.finish()) == sha256)
      return VerifiedFile{candidate, directory, true, std::move(handle)};
    hooks.onProgress(0);
  }
  return std::nullopt;
}

}  // namespace

void downloadToFile(const nlohmann::json& descriptor, const std::wstring& target,
                    const std::wstring& keptDirectory, const DownloadHooks& hooks,
                    DownloadReport& report) {
  const std::uint64_t size = expectedSize(descriptor);
  const std::string sha256 = descriptor.at("sha256").get<std::string>();
  const std::string url = descriptor.at("url").get<std::string>();
  const std::wstring keptPath = joinPath(keptDirectory, keptPartialName(sha256, size));
  const std::uint64_t kept = plainFileLength(keptPath).value_or(0);
  ensure(enoughFreeSpace(target, kept <= size ? size - kept : size), SystemFailure, "磁盘空间不足");
  ensure(::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES, SystemFailure,
         "无法创建安装文件");
  // The address is the same for every request: refused once, it is refused for good.
  checkRequestTarget(url, true);

  DownloadSlot slot = openSlot(keptDirectory, keptPath, target);
  const DownloadFile file{
      [&slot](const char* data, unsigned long length) {
        DWORD written = 0;
        return ::WriteFile(slot.handle.get(), data, length, &written, nullptr) != FALSE &&
               written == length;
      },
      [&slot] { ensure(emptyFile(slot.handle.get()), SystemFailure, "写入安装文件失败"); }};
  const DownloadEvents events{hooks.onProgress, hooks.onPhase, [&hooks](unsigned ms) {
                                waitCancellably(retryWaitMs(ms), hooks.checkpoint,
                                                [](unsigned slice) { ::Sleep(slice); });
                              }};
  const Transfer transfer = [&](std::optional<std::uint64_t> rangeStart, const HeadCheck& onHead,
                                const DataSink& onData) {
    httpsRequest(url, "", true, onData, hooks.checkpoint, RequestOptions{rangeStart, onHead});
  };

  std::optional<ResumableDownload> download;
  download.emplace(size, sha256, file, events);
  try {
    if (slot.kept && !continueKept(*download, slot.handle.get(), size, hooks)) {
      download.emplace(size, sha256, file, events);
      hooks.onProgress(0);
    }
    download->run(transfer);
    ensure(::FlushFileBuffers(slot.handle.get()) != FALSE, SystemFailure, "安装文件保存失败");
  } catch (const Error& error) {
    report = {download->requests(), download->continuedFrom()};
    // Kept are only bytes of the file that a later run can continue.
    const bool discard =
        error.code == Cancelled || download->provedWrong() || download->bytesHeld() == 0;
    slot.handle.reset();
    if (discard) ::DeleteFileW(slot.path.c_str());
    if (slot.kept) removeEmptyDirectoryQuietly(keptDirectory);
    throw;
  }
  report = {download->requests(), download->continuedFrom()};
  slot.handle.reset();
  if (slot.kept) {
    ensure(::MoveFileExW(keptPath.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE,
           SystemFailure, "安装文件保存失败");
    removeEmptyDirectoryQuietly(keptDirectory);
  }
}

VerifiedFile downloadVerified(const nlohmann::json& descriptor, const std::wstring& stagingDirectory,
                              const std::wstring& target, RunState& state, DownloadReport& report) {
  const std::wstring temp = joinPath(sdkRootDirectory(), kStagingDirectoryName);
  createProtectedDirectory(temp);

  const std::uint64_t size = expectedSize(descriptor);
  state.totalBytes.store(size);
  state.publish(Stage::Downloading);

  const DownloadHooks hooks{
      [&state](std::uint64_t held) { state.downloadedBytes.store(held); },
      [&state](DownloadPhase phase) { state.publish(phase); },
      [&state] { state.throwIfCancelled(); }};
  const std::string sha256 = descriptor.at("sha256").get<std::string>();
  std::optional<VerifiedFile> verified = findVerifiedCopy(temp, fileName(target), size, sha256, hooks);
  if (verified) {
    report = {0, size};
  } else {
    createProtectedDirectory(stagingDirectory);
    downloadToFile(descriptor, target, joinPath(temp, kKeptPartialDirectoryName), hooks, report);
    FileHandle guard(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ensure(guard.valid(), SystemFailure, "安装文件保存失败");
    verified = VerifiedFile{target, stagingDirectory, false, std::move(guard)};
  }

  state.publish(Stage::Verifying);
  state.throwIfCancelled();
  // Not used further; reading it still refuses a publisherSha256 that is not a string.
  const std::string publisherSha256 = descriptor.value("publisherSha256", std::string());
  (void)publisherSha256;
  state.throwIfCancelled();
  return std::move(*verified);
}

}  // namespace cv

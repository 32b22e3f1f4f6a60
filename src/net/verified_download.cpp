#include "net/verified_download.hpp"
#include "core/messages.hpp"

#include <windows.h>

#include <optional>

#include "core/error.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "net/rules/resumable_download.hpp"
#include "net/rules/retry_policy.hpp"
#include "net/rules/staging_layout.hpp"
#include "net/verified_copy.hpp"
#include "platform/file_io.hpp"
#include "platform/rules/path.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {

bool emptyFile(HANDLE file) {
  return ::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

// The slot's file as the download writes it.
class SlotFile final : public DownloadTarget {
 public:
  explicit SlotFile(const DownloadSlot& slot) : slot_(slot) {}
  bool append(const char* data, unsigned long length) override {
    DWORD written = 0;
    return ::WriteFile(slot_.handle.get(), data, length, &written, nullptr) != FALSE &&
           written == length;
  }
  void empty() override { ensure(emptyFile(slot_.handle.get()), SystemFailure, msg::kWriteFailed); }

 private:
  const DownloadSlot& slot_;
};

// Feeds the bytes a kept file already holds into the download's digest, so
// that the download continues from their end. False when the file cannot be
// read back whole, or is longer than the download: it is then emptied, and
// the download starts from nothing.
bool continueKept(ResumableDownload& download, HANDLE file, std::uint64_t length,
                  std::uint64_t size, DownloadObserver& observer) {
  if (length == 0) return true;
  if (length <= size) {
    observer.phase(DownloadPhase::CheckingKept);
    const DataSink adopt = [&download](const char* data, unsigned long count) {
      download.adoptKept(data, count);
    };
    if (readBack(file, length, adopt, observer)) return true;
  }
  ensure(emptyFile(file), SystemFailure, msg::kWriteFailed);
  return false;
}

unsigned retryWaitMs(unsigned ms) { return seams::retryWaitMs().value_or(ms); }

// The file to write: the kept one when it can be had and the disk holds the
// rest, otherwise the target, when the disk holds all of it.
DownloadSlot openSlot(const KeptPlace& kept, const std::wstring& keptName,
                      const std::wstring& target, std::uint64_t size) {
  DownloadSlot slot = openKeptSlot(kept, keptName);
  if (!slot.kept) {
    ensure(enoughFreeSpace(target, size), SystemFailure, msg::kDiskFull);
    return openTargetSlot(target);
  }
  const std::uint64_t usable = slot.length <= size ? slot.length : 0;
  if (!enoughFreeSpace(slot.path, size - usable)) {
    if (slot.created) deleteThroughHandle(slot.handle.get());
    slot.handle.reset();
    removeEmptyDirectoryQuietly(kept.directory);
    throw Error(SystemFailure, msg::kDiskFull);
  }
  if (slot.created) removeEarlierPartials(kept, keptName);
  return slot;
}

// The downloaded file, held from here to its start: the plain file at
// meant, and the very file the download wrote.
FileHandle holdDownloaded(const std::wstring& target, const std::wstring& meant,
                          const FileIdentity& written) {
  FileHandle guard = openUnfollowed(target, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, false);
  ensure(guard.valid() && isPlainEntryAt(guard.get(), meant, false) &&
             identityOf(guard.get()) == written,
         SystemFailure, msg::kSaveFailed);
  return guard;
}

}  // namespace

DownloadResult downloadToFile(const InstallerDescriptor& descriptor, const std::wstring& target,
                              const KeptPlace& kept, DownloadObserver& observer) {
  const std::uint64_t size = descriptor.size;
  const std::string& sha256 = descriptor.sha256;
  const std::string& url = descriptor.url;
  ensure(::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES, SystemFailure,
         msg::kCannotCreateFile);
  // The address is the same for every request: refused once, it is refused for good.
  checkRequestTarget(url, true);

  const std::wstring keptName = keptPartialName(kept.owner, sha256, size);
  DownloadSlot slot = openSlot(kept, keptName, target, size);
  SlotFile file(slot);
  const Wait wait = [&observer](unsigned ms) {
    waitCancellably(retryWaitMs(ms), [&observer] { observer.checkpoint(); },
                    [](unsigned slice) { ::Sleep(slice); });
  };
  const Checkpoint checkpoint = [&observer] { observer.checkpoint(); };
  const Transfer transfer = [&](std::optional<std::uint64_t> rangeStart, const HeadCheck& onHead,
                                const DataSink& onData) {
    httpsRequest(url, "", true, onData, checkpoint, RequestOptions{rangeStart, onHead});
  };

  std::optional<ResumableDownload> download;
  download.emplace(size, sha256, file, observer, wait);
  bool checkingKept = false;
  try {
    if (slot.kept) {
      checkingKept = true;
      const bool continued = continueKept(*download, slot.handle.get(), slot.length, size, observer);
      checkingKept = false;
      if (!continued) {
        download.emplace(size, sha256, file, observer, wait);
        observer.held(0);
      }
    }
    download->run(transfer);
    ensure(::FlushFileBuffers(slot.handle.get()) != FALSE, SystemFailure, msg::kSaveFailed);
  } catch (const Error& error) {
    observer.report({download->requests(), download->continuedFrom()});
    // Kept are only bytes of the file that a later run can continue; a Cancel
    // while the bytes kept before are checked leaves them for the next run.
    const bool keep = !download->provedWrong() &&
                      (checkingKept || (error.code != Cancelled && download->bytesHeld() > 0));
    if (!keep) deleteThroughHandle(slot.handle.get());
    slot.handle.reset();
    if (slot.kept) removeEmptyDirectoryQuietly(kept.directory);
    throw;
  }
  const DownloadReport report{download->requests(), download->continuedFrom()};
  observer.report(report);
  const std::optional<FileIdentity> written = identityOf(slot.handle.get());
  ensure(written.has_value(), SystemFailure, msg::kSaveFailed);
  slot.handle.reset();
  if (slot.kept) {
    ensure(::MoveFileExW(slot.path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH) != FALSE,
           SystemFailure, msg::kSaveFailed);
    removeEmptyDirectoryQuietly(kept.directory);
  }
  return {*written, report};
}

VerifiedFile downloadVerified(const InstallerDescriptor& descriptor, const StagedDownload& download,
                              DownloadObserver& observer) {
  const StagingArea& area = download.area;
  createStagingArea(area);
  const std::uint64_t size = descriptor.size;
  observer.started(size);
  const std::string& sha256 = descriptor.sha256;
  // Paths inside the area are compared with the system's own path to it.
  const std::optional<std::wstring> base = finalPathOfDirectory(area.temp);
  ensure(base.has_value(), SystemFailure, msg::kReparseDirectoryRejected);
  const std::wstring name = fileName(download.target);
  std::optional<VerifiedFile> verified;
  if (area.rules.reuseVerifiedCopies) {
    verified = findVerifiedCopy(area.temp, *base, name, size, sha256, observer);
  }
  if (verified) {
    observer.report({0, size});
  } else {
    createStagingDirectory(area, download.directory);
    const KeptPlace kept = area.rules.keepPartials
                               ? KeptPlace{joinPath(area.temp, kKeptPartialDirectoryName),
                                           download.keptOwner}
                               : KeptPlace{};
    const DownloadResult result = downloadToFile(descriptor, download.target, kept, observer);
    const std::wstring meant = joinPath(joinPath(*base, fileName(download.directory)), name);
    verified = VerifiedFile{meant, parentPath(meant), false,
                            holdDownloaded(download.target, meant, result.written)};
  }

  observer.verifying();
  observer.checkpoint();
  // Not used further; reading it still refuses a publisherSha256 that is not a string.
  if (!descriptor.publisherSha256.is_null()) (void)descriptor.publisherSha256.get<std::string>();
  observer.checkpoint();
  return std::move(*verified);
}

}  // namespace cv

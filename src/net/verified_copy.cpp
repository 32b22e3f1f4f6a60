#include "net/verified_copy.hpp"

#include <vector>

#include "net/download_slot.hpp"
#include "net/rules/staging_layout.hpp"
#include "platform/directory_entries.hpp"
#include "platform/rules/path.hpp"
#include "platform/sha256.hpp"
#include "platform/unfollowed_file.hpp"

namespace cv {

namespace {

constexpr DWORD kReadBackChunk = 1 << 20;

}  // namespace

bool readBack(HANDLE file, std::uint64_t length, const DataSink& onData, DownloadObserver& observer) {
  std::vector<char> buffer(kReadBackChunk);
  while (length > 0) {
    observer.checkpoint();
    const DWORD want = length < kReadBackChunk ? static_cast<DWORD>(length) : kReadBackChunk;
    DWORD got = 0;
    if (!::ReadFile(file, buffer.data(), want, &got, nullptr) || got == 0) return false;
    onData(buffer.data(), got);
    length -= got;
  }
  return true;
}

std::optional<VerifiedFile> findVerifiedCopy(const std::wstring& temp, const std::wstring& base,
                                             const std::wstring& name, std::uint64_t size,
                                             const std::string& sha256, DownloadObserver& observer) {
  for (const DirectoryEntry& entry : directoryEntries(temp)) {
    if (!entry.directory || entry.reparsePoint || !isAttemptDirectoryName(entry.name)) continue;
    const std::wstring candidate = joinPath(joinPath(temp, entry.name), name);
    const std::wstring meant = joinPath(joinPath(base, entry.name), name);
    FileHandle handle = openUnfollowed(candidate, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, false);
    if (!handle.valid() || !isPlainEntryAt(handle.get(), meant, false) ||
        handleLength(handle.get()) != size) {
      continue;
    }
    observer.phase(DownloadPhase::CheckingCopy);
    observer.held(0);
    Sha256 digest;
    std::uint64_t hashed = 0;
    const DataSink hash = [&](const char* data, unsigned long length) {
      digest.update(data, length);
      hashed += length;
      observer.held(hashed);
    };
    if (readBack(handle.get(), size, hash, observer) && toHex(digest.finish()) == sha256)
      return VerifiedFile{meant, parentPath(meant), true, std::move(handle)};
    observer.held(0);
  }
  return std::nullopt;
}

}  // namespace cv

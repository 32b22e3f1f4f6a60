#include "net/accepted_signatures.hpp"

#include <windows.h>

#include "net/rules/accepted_signature_record.hpp"
#include "platform/file_io.hpp"
#include "platform/locations.hpp"
#include "platform/named_mutex.hpp"
#include "platform/rules/path.hpp"
#include "platform/protected_directory.hpp"
#include "platform/scope_guard.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

// Held only to read and replace one small file.
constexpr DWORD kRecordLockWaitMs = 2000;

std::wstring recordsDirectory() { return joinPath(sdkRootDirectory(), L"signatures"); }

std::optional<std::int64_t> readRecord(const std::wstring& file, const std::string& path) {
  if (!pathExists(file)) return std::nullopt;
  return readAcceptedSignature(readFileBounded(file, kAcceptedSignatureLimit), path);
}

}  // namespace

std::optional<std::int64_t> newestAcceptedSignature(const std::string& path) noexcept {
  try {
    const std::string name = acceptedSignatureFileName(path);
    if (name.empty()) return std::nullopt;
    return readRecord(joinPath(recordsDirectory(), toWide(name)), path);
  } catch (...) {
    return std::nullopt;
  }
}

void recordAcceptedSignature(const std::string& path, std::int64_t signedAt) noexcept {
  try {
    const std::string name = acceptedSignatureFileName(path);
    if (name.empty()) return;
    const std::wstring directory = recordsDirectory();
    createProtectedDirectory(directory);
    const std::wstring file = joinPath(directory, toWide(name));
    // Two shells that accept the same path at once must not lower its record.
    KernelHandle lock = createNamedMutex(L"Local\\ZRQSignatureRecords", "Signature record lock");
    if (!acquireMutexWithin(lock.get(), kRecordLockWaitMs)) return;
    auto release = onScopeExit([&] { ::ReleaseMutex(lock.get()); });
    std::optional<std::int64_t> current;
    try {
      current = readRecord(file, path);
    } catch (...) {
      // Unreadable: replaced by this one.
    }
    if (!current || *current < signedAt) writeFileAtomic(file, acceptedSignatureText(path, signedAt));
  } catch (...) {
  }
}

}  // namespace cv

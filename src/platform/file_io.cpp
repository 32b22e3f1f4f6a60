#include "platform/file_io.hpp"
#include "core/messages.hpp"

#include <windows.h>

#include <system_error>

#include "core/error.hpp"
#include "platform/create_directories.hpp"
#include "platform/handles.hpp"
#include "platform/new_file.hpp"
#include "platform/rules/path.hpp"
#include "platform/replace_retry.hpp"
#include "platform/scope_guard.hpp"
#include "platform/test_seams.hpp"
#include "platform/text.hpp"

namespace cv {

namespace {

bool isAbsence(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

[[noreturn]] void failWith(DWORD error, const char* operation) {
  throw std::system_error(static_cast<int>(error), std::system_category(), operation);
}

// Test builds: Wine renames over open files; Windows refuses while another
// handle does not share deletion.
DWORD sharingSeam(const std::wstring& target) {
  if (!seams::windowsSharingOnReplace()) return ERROR_SUCCESS;
  const FileHandle probe(::CreateFileW(target.c_str(), DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const DWORD error = probe.valid() ? ERROR_SUCCESS : ::GetLastError();
  return error == ERROR_SHARING_VIOLATION ? error : ERROR_SUCCESS;
}

bool replaceFile(const std::wstring& source, const std::wstring& target) {
  for (unsigned retry = 0;; ++retry) {
    DWORD error = sharingSeam(target);
    if (error == ERROR_SUCCESS) {
      if (::MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
      error = ::GetLastError();
    }
    if (!isTransientReplaceFailure(error) || retry == kReplaceRetries) return false;
    ::Sleep(kReplaceRetryDelayMs);
  }
}

}  // namespace

void writeFileAtomic(const std::wstring& path, const std::string& content) {
  const std::wstring parent = parentPath(path);
  // A bare file name lives in the current directory, which needs no creating.
  if (!parent.empty()) createDirectories(parent);

  // Content is written in one call; a DWORD must be able to carry its length.
  ensure(content.size() <= MAXDWORD, SystemFailure, msg::kAtomicWriteFailed);

  const std::wstring temporary = path + L"." + toWide(newAttemptId()) + L".tmp";
  FileHandle file = createNewFile(temporary);
  ensure(file.valid(), SystemFailure, msg::kAtomicCreateFailed);
  auto removeTemporary = onScopeExit([&] { ::DeleteFileW(temporary.c_str()); });

  const DWORD length = static_cast<DWORD>(content.size());
  DWORD written = 0;
  const bool wrote = ::WriteFile(file.get(), content.data(), length, &written, nullptr) != FALSE;
  const bool flushed = ::FlushFileBuffers(file.get()) != FALSE;
  file.reset();

  ensure(wrote && flushed && written == length, SystemFailure, msg::kAtomicWriteFailed);
  ensure(replaceFile(temporary, path), SystemFailure, msg::kAtomicWriteFailed);
  removeTemporary.dismiss();
}

std::string readFileBounded(const std::wstring& path, std::uint32_t limit) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ensure(file.valid(), SystemFailure, msg::kReadFailed);

  LARGE_INTEGER end{};
  const bool positioned = ::SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END) != FALSE;
  ensure(positioned && end.QuadPart >= 0 && end.QuadPart <= static_cast<LONGLONG>(limit),
         SystemFailure, "File exceeds limit");

  const DWORD size = static_cast<DWORD>(end.QuadPart);
  std::string bytes(size, '\0');
  ensure(::SetFilePointerEx(file.get(), LARGE_INTEGER{}, nullptr, FILE_BEGIN) != FALSE,
         SystemFailure, msg::kShortRead);
  DWORD total = 0;
  while (total < size) {
    DWORD got = 0;
    const bool read = ::ReadFile(file.get(), &bytes[total], size - total, &got, nullptr) != FALSE;
    ensure(read && got > 0, SystemFailure, msg::kShortRead);
    total += got;
  }
  return bytes;
}

bool pathExists(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  const DWORD error = ::GetLastError();
  if (isAbsence(error)) return false;
  failWith(error, "exists");
}

bool removeFile(const std::wstring& path) {
  if (::DeleteFileW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (isAbsence(error)) return false;
  failWith(error, "remove");
}

void removeFileQuietly(const std::wstring& path) noexcept { ::DeleteFileW(path.c_str()); }

void removeEmptyDirectoryQuietly(const std::wstring& path) noexcept {
  ::RemoveDirectoryW(path.c_str());
}

}  // namespace cv

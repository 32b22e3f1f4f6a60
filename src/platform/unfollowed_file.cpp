#include "platform/unfollowed_file.hpp"

#include <vector>

#include "platform/rules/path.hpp"

namespace cv {

namespace {

constexpr DWORD kAnySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

FileHandle openUnfollowed(const std::wstring& path, unsigned long access, unsigned long share,
                          unsigned long disposition, bool directory,
                          SECURITY_ATTRIBUTES* attributes) {
  const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (directory ? FILE_FLAG_BACKUP_SEMANTICS : 0) |
                      FILE_ATTRIBUTE_NORMAL;
  return FileHandle(::CreateFileW(path.c_str(), access, share, attributes, disposition, flags, nullptr));
}

std::optional<std::wstring> finalPathOf(HANDLE handle) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(),
                                                     static_cast<DWORD>(buffer.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return withoutLongPathPrefix(std::wstring(buffer.data(), length));
    buffer.resize(length + 1);
  }
}

std::optional<std::wstring> finalPathOfDirectory(const std::wstring& path) {
  const FileHandle directory = openUnfollowed(path, FILE_READ_ATTRIBUTES, kAnySharing,
                                              OPEN_EXISTING, true);
  BY_HANDLE_FILE_INFORMATION information{};
  if (!directory.valid() || !::GetFileInformationByHandle(directory.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  return finalPathOf(directory.get());
}

bool isPlainEntryAt(HANDLE handle, const std::wstring& expectedFinalPath, bool directory) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(handle, &information)) return false;
  if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return false;
  if (((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != directory) return false;
  if (!directory && information.nNumberOfLinks != 1) return false;
  const std::optional<std::wstring> reached = finalPathOf(handle);
  return reached && samePathIgnoringCase(*reached, expectedFinalPath);
}

std::optional<FileIdentity> identityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION information{};
  if (!::GetFileInformationByHandle(handle, &information)) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) |
                          information.nFileIndexLow};
}

bool deleteThroughHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != FALSE;
}

bool deleteEntryAt(const std::wstring& path, const std::wstring& expectedFinalPath, bool directory) {
  const FileHandle entry = openUnfollowed(path, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                          kAnySharing, OPEN_EXISTING, directory);
  return entry.valid() && isPlainEntryAt(entry.get(), expectedFinalPath, directory) &&
         deleteThroughHandle(entry.get());
}

}  // namespace cv

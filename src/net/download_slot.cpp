#include "net/download_slot.hpp"
#include "core/messages.hpp"

#include "core/error.hpp"
#include "net/rules/free_space.hpp"
#include "net/rules/staging_layout.hpp"
#include "platform/directory_entries.hpp"
#include "platform/new_file.hpp"
#include "platform/rules/path.hpp"
#include "platform/protected_directory.hpp"
#include "platform/unfollowed_file.hpp"

namespace cv {

namespace {

constexpr DWORD kSlotAccess = GENERIC_READ | GENERIC_WRITE | DELETE;

}  // namespace

std::uint64_t handleLength(HANDLE file) {
  LARGE_INTEGER length{};
  return ::GetFileSizeEx(file, &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
}

bool enoughFreeSpace(const std::wstring& path, std::uint64_t need) {
  const std::wstring directory = parentPath(path);
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr)) return false;
  return hasRoomForDownload(available.QuadPart, need);
}

DownloadSlot openKeptSlot(const KeptPlace& place, const std::wstring& name) {
  DownloadSlot slot;
  if (place.directory.empty()) return slot;
  try {
    createProtectedDirectory(place.directory);
  } catch (const std::exception&) {
    return slot;
  }
  const std::optional<std::wstring> base = finalPathOfDirectory(place.directory);
  if (!base) return slot;
  slot.path = joinPath(place.directory, name);
  const bool existed = ::GetFileAttributesW(slot.path.c_str()) != INVALID_FILE_ATTRIBUTES;
  slot.handle = openOwnFile(slot.path, kSlotAccess, OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT);
  if (!slot.handle.valid()) return slot;
  // Opening never changed what is there: a file that is not the plain kept
  // file is closed untouched.
  if (!isPlainEntryAt(slot.handle.get(), joinPath(*base, name), false)) {
    slot.handle.reset();
    return slot;
  }
  slot.kept = true;
  slot.created = !existed;
  slot.length = handleLength(slot.handle.get());
  return slot;
}

DownloadSlot openTargetSlot(const std::wstring& target) {
  DownloadSlot slot;
  slot.handle = openOwnFile(target, kSlotAccess, CREATE_NEW, 0);
  ensure(slot.handle.valid(), SystemFailure, msg::kCannotCreateFile);
  slot.path = target;
  slot.created = true;
  return slot;
}

void removeEarlierPartials(const KeptPlace& place, const std::wstring& name) noexcept {
  try {
    const std::optional<std::wstring> base = finalPathOfDirectory(place.directory);
    if (!base) return;
    for (const DirectoryEntry& entry : directoryEntries(place.directory)) {
      if (entry.directory || entry.reparsePoint || !isEarlierPartialOf(entry.name, name)) continue;
      deleteEntryAt(joinPath(place.directory, entry.name), joinPath(*base, entry.name), false);
    }
  } catch (...) {
  }
}

}  // namespace cv

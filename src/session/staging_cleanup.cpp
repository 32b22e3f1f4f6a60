#include "session/staging_cleanup.hpp"

#include <windows.h>

#include <string>

#include "net/rules/staging_layout.hpp"
#include "platform/directory_entries.hpp"
#include "platform/locations.hpp"
#include "platform/rules/path.hpp"
#include "platform/rules/path_ancestry.hpp"
#include "platform/unfollowed_file.hpp"
#include "session/rules/staging_cleanup_rules.hpp"

namespace cv {

namespace {

// Every delete goes through a handle to the entry that was meant, checked to
// be no link and to lie exactly at base \ ... (the system's own path to
// "temp"): never through a link, nor through a directory that was swapped for
// one after it was listed.
void removeStagingDirectory(const std::wstring& directory, const std::wstring& meant,
                            const std::vector<DirectoryEntry>& contents) {
  for (const DirectoryEntry& file : contents) {
    if (file.directory || file.reparsePoint) continue;
    deleteEntryAt(joinPath(directory, file.name), joinPath(meant, file.name), false);
  }
  // Fails while anything is left in it.
  deleteEntryAt(directory, meant, true);
}

void cleanKeptPartials(const std::wstring& directory, const std::wstring& meant,
                       std::uint64_t now) {
  for (const DirectoryEntry& file : directoryEntries(directory)) {
    if (isStaleKeptPartial(file, now))
      deleteEntryAt(joinPath(directory, file.name), joinPath(meant, file.name), false);
  }
}

void cleanStagingDirectories(const std::wstring& temp, const std::wstring& base, std::uint64_t now) {
  const std::wstring ownDirectory = parentPath(executablePath());
  for (const DirectoryEntry& entry : directoryEntries(temp)) {
    const std::wstring directory = joinPath(temp, entry.name);
    const std::wstring meant = joinPath(base, entry.name);
    if (!entry.directory || entry.reparsePoint || samePathIgnoringCase(directory, ownDirectory) ||
        samePathIgnoringCase(meant, ownDirectory)) {
      continue;
    }
    if (entry.name == kKeptPartialDirectoryName) {
      cleanKeptPartials(directory, meant, now);
      continue;
    }
    if (!isAttemptDirectoryName(entry.name)) continue;
    const std::vector<DirectoryEntry> contents = directoryEntries(directory);
    if (isStaleStagingDirectory(entry, contents, now)) removeStagingDirectory(directory, meant, contents);
  }
}

}  // namespace

void cleanStagingArea() noexcept {
  try {
    const std::wstring temp = joinPath(sdkRootDirectory(), kStagingDirectoryName);
    for (const std::wstring& path : selfAndAncestors(temp)) {
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return;
    }
    const std::optional<std::wstring> base = finalPathOfDirectory(temp);
    if (!base) return;
    cleanStagingDirectories(temp, *base, currentFileTime());
  } catch (...) {
  }
}

}  // namespace cv

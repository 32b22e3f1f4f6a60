#include "session/rules/staging_cleanup_rules.hpp"

#include "net/rules/staging_layout.hpp"

namespace cv {

bool olderThan(std::uint64_t lastWriteTime, std::uint64_t now, std::uint64_t age) {
  return lastWriteTime < now && now - lastWriteTime > age;
}

bool isStaleStagingDirectory(const DirectoryEntry& directory,
                             const std::vector<DirectoryEntry>& contents, std::uint64_t now) {
  if (!directory.directory || directory.reparsePoint || !isAttemptDirectoryName(directory.name))
    return false;
  if (contents.empty()) return olderThan(directory.lastWriteTime, now, kStagingKeptFor);
  for (const DirectoryEntry& entry : contents) {
    if (entry.directory || entry.reparsePoint || isPackageFileName(entry.name)) return false;
    if (!olderThan(entry.lastWriteTime, now, kStagingKeptFor)) return false;
  }
  return true;
}

bool isStaleKeptPartial(const DirectoryEntry& file, std::uint64_t now) {
  return !file.directory && !file.reparsePoint && isKeptPartialName(file.name) &&
         olderThan(file.lastWriteTime, now, kKeptPartialKeptFor);
}

}  // namespace cv

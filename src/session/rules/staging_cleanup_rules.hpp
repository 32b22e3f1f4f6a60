#pragma once

#include <cstdint>
#include <vector>

#include "platform/directory_entries.hpp"

namespace cv {

// File times count 100-ns intervals.
inline constexpr std::uint64_t kFileTimeHour = 36000000000ull;
inline constexpr std::uint64_t kStagingKeptFor = 24 * kFileTimeHour;
inline constexpr std::uint64_t kKeptPartialKeptFor = 14 * 24 * kFileTimeHour;

// Written more than age before now (a time in the future is never old).
bool olderThan(std::uint64_t lastWriteTime, std::uint64_t now, std::uint64_t age);

// Whether an entry of the staging area is an earlier run's staging directory
// that may go, given what it holds: an attempt directory, no link, holding
// nothing but plain files, none of them a package (Windows Installer may ask
// for it again on a repair), each written more than 24 hours ago; an empty
// one written more than 24 hours ago.
bool isStaleStagingDirectory(const DirectoryEntry& directory,
                             const std::vector<DirectoryEntry>& contents, std::uint64_t now);

// Whether an entry of the kept-partial directory is a kept download written
// more than 14 days ago.
bool isStaleKeptPartial(const DirectoryEntry& file, std::uint64_t now);

}  // namespace cv

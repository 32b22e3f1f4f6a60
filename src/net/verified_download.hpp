#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/download_progress.hpp"
#include "net/download_slot.hpp"
#include "net/rules/installer_descriptor.hpp"
#include "net/https_transport.hpp"
#include "net/staging_area.hpp"
#include "platform/handles.hpp"
#include "platform/unfollowed_file.hpp"

namespace cv {

// What a download wrote, and how it went.
struct DownloadResult {
  FileIdentity written;
  DownloadReport report;
};

// Downloads the descriptor's url into a new file at target, checking the size
// per chunk and the SHA-256 at the end; the file is flushed and closed on
// success. With a kept place the bytes arrive in its directory's file
// <owner>-<sha256>-<size> first, which outlives a broken connection or a
// killed run and is continued from its end by the next download of the same
// file; a cancellation or a body proved wrong removes it. The observer hears
// the report before a failure propagates.
DownloadResult downloadToFile(const InstallerDescriptor& descriptor, const std::wstring& target,
                              const KeptPlace& kept, DownloadObserver& observer);

// The verified file a run starts: the one it downloaded, or a copy an earlier
// run verified. guard was opened without following a link, at exactly path,
// and keeps writers and deleters out (read access, sharing reading only)
// from the verification until it is closed, once the file has been started;
// path is what the start names.
struct VerifiedFile {
  std::wstring path;
  std::wstring directory;
  bool reused = false;
  FileHandle guard;
};

// One run's download: its own directory in the staging area, the file's path
// there, and whose kept bytes it may continue.
struct StagedDownload {
  const StagingArea& area;
  std::wstring directory;
  std::wstring target;
  std::string keptOwner;
};

// Makes the run's directory, tells the observer the download's course (its
// start, the bytes held, the phases, the verification, the report) and stops
// at its checkpoints. Where the area's rules
// allow it, a copy with target's file name and the descriptor's size and
// digest in an earlier run's staging directory is used instead of a download,
// and the bytes of a broken transfer are kept.
VerifiedFile downloadVerified(const InstallerDescriptor& descriptor, const StagedDownload& download,
                              DownloadObserver& observer);

}  // namespace cv

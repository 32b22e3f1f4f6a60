#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "app/run_state.hpp"
#include "net/download_report.hpp"
#include "net/download_sink.hpp"
#include "net/https_transport.hpp"
#include "platform/handles.hpp"

namespace cv {

struct DownloadHooks {
  ProgressCallback onProgress;                 // bytes of the file held so far
  std::function<void(DownloadPhase)> onPhase;
  Checkpoint checkpoint;                       // before every request, read and wait slice
};

// Downloads the descriptor's url into a new file at target, checking the size
// per chunk and the SHA-256 at the end; the file is flushed and closed on
// success. The bytes arrive in keptDirectory \ <sha256>-<size> first, which
// outlives a broken connection or a killed run and is continued from its end
// by the next download of the same file; a cancellation or a body proved
// wrong removes it. report says how many requests it took and what it continued.
void downloadToFile(const nlohmann::json& descriptor, const std::wstring& target,
                    const std::wstring& keptDirectory, const DownloadHooks& hooks,
                    DownloadReport& report);

// The verified file a run starts: the one it downloaded, or a copy an earlier
// run verified. guard keeps writers out (read access, sharing reading only)
// until it is closed, once the file has been started.
struct VerifiedFile {
  std::wstring path;
  std::wstring directory;
  bool reused = false;
  FileHandle guard;
};

// Makes the protected staging directories, publishes Downloading/Verifying and
// the byte counters in the run state, and honours cancellation. A copy with
// target's file name and the descriptor's size and digest in an earlier run's
// staging directory is used instead of a download.
VerifiedFile downloadVerified(const nlohmann::json& descriptor, const std::wstring& stagingDirectory,
                              const std::wstring& target, RunState& state, DownloadReport& report);

}  // namespace cv

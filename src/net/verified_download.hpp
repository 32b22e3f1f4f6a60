#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "net/download_sink.hpp"
#include "net/https_transport.hpp"

namespace cv {

class RunState;

// Streams the descriptor's url into a new file at target, checking the size per
// chunk and the SHA-256 at the end; the file is flushed and closed on success.
void downloadToFile(const nlohmann::json& descriptor, const std::wstring& target,
                    const ProgressCallback& onProgress, const Checkpoint& checkpoint);

// Makes the protected staging directories, publishes Downloading/Verifying and
// the byte counters in the run state, and honours cancellation.
void downloadVerified(const nlohmann::json& descriptor, const std::wstring& stagingDirectory,
                      const std::wstring& target, RunState& state);

}  // namespace cv

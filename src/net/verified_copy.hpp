#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "net/verified_download.hpp"

namespace cv {

// A plain file named name, with the descriptor's size and digest, in an
// earlier run's staging directory of temp (whose final path is base): hashed
// under a handle that keeps writers out and was opened without following a
// link, at exactly the path it was listed at.
std::optional<VerifiedFile> findVerifiedCopy(const std::wstring& temp, const std::wstring& base,
                                             const std::wstring& name, std::uint64_t size,
                                             const std::string& sha256, DownloadObserver& observer);

// Reads length bytes from the file's current position to onData; false when
// it holds fewer or cannot be read.
bool readBack(HANDLE file, std::uint64_t length, const DataSink& onData, DownloadObserver& observer);

}  // namespace cv

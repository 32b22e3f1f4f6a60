#pragma once

#include <cstdint>

namespace cv {

// Whether free bytes hold a download of fileSize and the margin
// (core/limits.hpp: kDownloadSpaceMargin) on top.
bool hasRoomForDownload(std::uint64_t freeBytes, std::uint64_t fileSize);

}  // namespace cv

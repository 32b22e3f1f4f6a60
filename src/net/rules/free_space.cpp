#include "net/rules/free_space.hpp"

#include "core/limits.hpp"

namespace cv {

bool hasRoomForDownload(std::uint64_t freeBytes, std::uint64_t fileSize) {
  return freeBytes >= fileSize && freeBytes - fileSize >= kDownloadSpaceMargin;
}

}  // namespace cv

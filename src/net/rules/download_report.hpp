#pragma once

#include <cstdint>

namespace cv {

// How a run came by its verified file, for the attempt log.
struct DownloadReport {
  unsigned requests = 0;            // requests made for the file in this run
  std::uint64_t continuedFrom = 0;  // bytes an earlier run kept or verified, that this run used
};

}  // namespace cv

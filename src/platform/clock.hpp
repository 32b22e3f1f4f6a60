#pragma once

#include <cstdint>

namespace cv {

// The machine's clock as Unix time in seconds.
std::int64_t unixTimeNow();

}  // namespace cv

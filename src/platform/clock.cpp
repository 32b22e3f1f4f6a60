#include "platform/clock.hpp"

#include <windows.h>

namespace cv {

std::int64_t unixTimeNow() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  // 100-ns intervals since 1601-01-01; the Unix epoch is 11644473600 s later.
  const std::uint64_t ticks = static_cast<std::uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
  return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

}  // namespace cv

#pragma once

#include <functional>
#include <optional>

#include "core/limits.hpp"
#include "net/https_transport.hpp"

namespace cv {

// After a download broke off, the rest is asked for at once when the request
// that broke brought bytes beyond any the run had before (a dropped connection
// mid-transfer costs no more than a new one); after requests that bring
// nothing it waits 1, 2, 4, then 8 s, and gives up at the fifth such request
// in a row.

inline constexpr unsigned kFailuresInARowToGiveUp = 5;

class RetryPolicy {
 public:
  // After a failed request: how long to wait before the next (0: at once), or
  // nothing when the run gives up.
  std::optional<unsigned> afterFailure(bool broughtNewBytes);

 private:
  unsigned failuresInARow_ = 0;
};

// Sleeps for ms milliseconds in slices of at most kWaitSliceMs (through
// sleep), calling the checkpoint before each slice and at the end, so that a
// cancellation ends the wait within one slice.
inline constexpr unsigned kWaitSliceMs = 50;
void waitCancellably(unsigned ms, const Checkpoint& checkpoint,
                     const std::function<void(unsigned ms)>& sleep);

}  // namespace cv

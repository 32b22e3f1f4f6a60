#include "net/retry_policy.hpp"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

namespace cv {

std::optional<unsigned> RetryPolicy::afterFailure(bool broughtNewBytes) {
  failuresInARow_ = broughtNewBytes ? 1 : failuresInARow_ + 1;
  if (failuresInARow_ >= kFailuresInARowToGiveUp) return std::nullopt;
  const std::size_t step = std::min<std::size_t>(failuresInARow_ - 1, std::size(kRetryWaitsMs) - 1);
  return kRetryWaitsMs[step];
}

void waitCancellably(unsigned ms, const Checkpoint& checkpoint) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    checkpoint();
    const Clock::time_point now = Clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(kWaitSliceMs)));
  }
}

}  // namespace cv

#include "net/rules/retry_policy.hpp"

#include <algorithm>
#include <iterator>

namespace cv {

std::optional<unsigned> RetryPolicy::afterFailure(bool broughtNewBytes) {
  if (broughtNewBytes) {
    failuresInARow_ = 0;
    return 0u;
  }
  if (++failuresInARow_ >= kFailuresInARowToGiveUp) return std::nullopt;
  const std::size_t step = std::min<std::size_t>(failuresInARow_ - 1, std::size(kRetryWaitsMs) - 1);
  return kRetryWaitsMs[step];
}

void waitCancellably(unsigned ms, const Checkpoint& checkpoint,
                     const std::function<void(unsigned ms)>& sleep) {
  for (unsigned left = ms; left > 0;) {
    checkpoint();
    const unsigned slice = std::min(left, kWaitSliceMs);
    sleep(slice);
    left -= slice;
  }
  checkpoint();
}

}  // namespace cv

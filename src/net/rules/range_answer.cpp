#include "net/rules/range_answer.hpp"

namespace cv {

std::string expectedContentRange(std::uint64_t rangeStart, std::uint64_t size) {
  return "bytes " + std::to_string(rangeStart) + "-" + std::to_string(size - 1) + "/" +
         std::to_string(size);
}

RangeVerdict judgeRangeAnswer(std::optional<std::uint64_t> rangeStart, std::uint64_t size,
                              unsigned long status, const std::optional<std::string>& contentRange) {
  if (status == 200) return RangeVerdict::FromStart;
  // Without a range asked for, 200 is the only file answer, as for every request.
  if (!rangeStart) return RangeVerdict::Unavailable;
  if (status == 206) {
    const bool exact = *rangeStart < size && contentRange &&
                       *contentRange == expectedContentRange(*rangeStart, size);
    return exact ? RangeVerdict::Append : RangeVerdict::Untrusted;
  }
  // A static host answers 416 exactly when its file holds no byte at rangeStart.
  if (status == 416) return RangeVerdict::HostShorter;
  if (status >= 200 && status < 300) return RangeVerdict::Untrusted;
  return RangeVerdict::Unavailable;
}

}  // namespace cv

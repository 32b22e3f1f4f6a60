#include "tail_sample.hpp"

#include <algorithm>

namespace zrq::channel {

TailSample::TailSample(std::uint64_t start, std::uint64_t size, std::size_t limit)
    : start_(start),
      length_(start < size ? static_cast<std::size_t>(std::min<std::uint64_t>(limit, size - start))
                           : 0) {
  bytes_.reserve(length_);
}

void TailSample::take(const char* data, unsigned long length) {
  const std::uint64_t chunkEnd = seen_ + length;
  const std::uint64_t wantedEnd = start_ + length_;
  const std::uint64_t from = std::max(seen_, start_ + taken_);
  if (from < chunkEnd && from < wantedEnd) {
    const std::uint64_t to = std::min(chunkEnd, wantedEnd);
    bytes_.append(data + (from - seen_), static_cast<std::size_t>(to - from));
    taken_ = bytes_.size();
  }
  seen_ = chunkEnd;
}

void TailSample::compare(const char* data, unsigned long length) {
  if (differs_) return;
  const std::size_t count =
      static_cast<std::size_t>(std::min<std::uint64_t>(length, taken_ - matched_));
  const char* mine = bytes_.data() + matched_;
  const auto mismatch = std::mismatch(data, data + count, mine);
  matched_ += static_cast<std::uint64_t>(mismatch.first - data);
  if (mismatch.first != data + count) differs_ = true;
}

}  // namespace zrq::channel

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zrq::channel {

// A bounded piece of a file from an offset on, taken from the file's bytes as
// they stream past, then held against another body that claims to be those
// bytes (the answer to a range request). Holds at most `limit` bytes, however
// large the file.
class TailSample {
 public:
  // The bytes [start, start + min(limit, size - start)) of a file of size bytes.
  TailSample(std::uint64_t start, std::uint64_t size, std::size_t limit);

  std::uint64_t start() const { return start_; }
  std::size_t length() const { return length_; }

  // The whole file from byte 0, chunk by chunk in order.
  void take(const char* data, unsigned long length);
  // The other body from its first byte, chunk by chunk in order; bytes past
  // length() are not looked at.
  void compare(const char* data, unsigned long length);

  // Bytes of the other body equal to the file's, up to the first that differs.
  std::uint64_t matched() const { return matched_; }
  bool differs() const { return differs_; }
  // Every sampled byte arrived and was equal.
  bool allMatched() const { return !differs_ && taken_ == length_ && matched_ == length_; }

 private:
  std::uint64_t start_;
  std::size_t length_;
  std::uint64_t seen_ = 0;   // bytes of the file streamed past
  std::size_t taken_ = 0;    // of them, kept
  std::uint64_t matched_ = 0;
  bool differs_ = false;
  std::string bytes_;
};

}  // namespace zrq::channel

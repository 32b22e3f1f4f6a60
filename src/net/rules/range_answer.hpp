#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cv {

// What a download does with the answer to one of its requests, decided from
// the status and the Content-Range header before any of the body is read.
enum class RangeVerdict {
  Append,       // 206 for exactly the bytes asked for: they follow the kept ones
  FromStart,    // 200: the whole file from byte 0, replacing whatever was kept
  Untrusted,    // another answer to a range request: none of it is used, the
                // next request asks for the whole file
  HostShorter,  // 416: the host's file ends before the bytes already kept, so it
                // is not the file described
  Unavailable,  // not a file answer at all (as for a request without a range)
};

// The answer to a request that asked for the bytes from rangeStart on (none:
// the whole file) of a file of size bytes. A 206 is taken only with the
// Content-Range "bytes <rangeStart>-<size-1>/<size>", character for character.
RangeVerdict judgeRangeAnswer(std::optional<std::uint64_t> rangeStart, std::uint64_t size,
                              unsigned long status, const std::optional<std::string>& contentRange);

// The Content-Range a 206 must carry for those bytes.
std::string expectedContentRange(std::uint64_t rangeStart, std::uint64_t size);

}  // namespace cv

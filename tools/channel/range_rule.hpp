#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zrq::channel {

// How the shell takes the answer to a request for the bytes of a file from an
// offset on, when it continues a download that broke off.

// The offset probe asks for: the middle of the file (0 for a one-byte file).
std::uint64_t rangeProbeStart(std::uint64_t size);

// The Content-Range a 206 must carry for the bytes from start on of a file of
// size bytes: "bytes <start>-<size-1>/<size>".
std::string expectedContentRange(std::uint64_t start, std::uint64_t size);

// True when the shell appends the answer's body to the bytes it kept: status
// 206 and exactly the expected Content-Range, character for character.
bool shellContinuesWith(std::uint64_t start, std::uint64_t size, long status,
                        const std::optional<std::string>& contentRange);

// An answer the shell does not continue with, as an operator is told of it:
// "status 200 (the whole file: the host ignores ranges)".
std::string describeRangeAnswer(long status, const std::optional<std::string>& contentRange);

}  // namespace zrq::channel

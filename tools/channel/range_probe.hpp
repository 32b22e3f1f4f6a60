#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "report.hpp"
#include "tail_sample.hpp"

namespace zrq::channel {

// How much of a range answer's body probe holds against the file: all of it
// up to this size, then the first this many bytes.
constexpr std::size_t kRangeSampleBytes = 1048576;

// For a described file that arrived whole and verified, with sample taken from
// its bytes: asks the host once more, as the shell does to continue a download
// that broke off, for the bytes from sample.start() on, and judges the answer
// by the shell's rule and against the sample. Records the exchange as
// facts["range"]; an answer the shell would not continue with becomes a
// warning of the entry. True when the shell would continue.
bool probeRangeAnswer(const std::string& caFile, const std::string& what, const std::string& url,
                      std::uint64_t size, TailSample& sample, Entry& entry,
                      nlohmann::json& facts);

}  // namespace zrq::channel

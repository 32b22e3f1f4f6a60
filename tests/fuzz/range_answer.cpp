// The answer to one request of a download that broke off: the status and the
// Content-Range header the host sent, against the range asked for. Input: a
// flag byte (bit 0: a range was asked for), the 64-bit size and start, a
// 16-bit status (mostly 200, 206 and 416), then the header's text (none when
// the rest is empty and bit 1 is set). Beside not crashing: the rule written
// out a second time, by reading the header's three numbers: a 206 is appended
// only when it names exactly the bytes from the start asked to the end of the
// file, in plain decimal without leading zeros, and nothing else is ever
// appended; 200 always starts again from byte 0; without a range asked for
// nothing but 200 is a file answer.
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.hpp"
#include "net/rules/range_answer.hpp"

namespace {

using namespace zrq::fuzz;
using cv::RangeVerdict;

// A plain decimal number without leading zeros that fits in 64 bits.
std::optional<std::uint64_t> plainNumber(const std::string& text) {
  if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
  unsigned __int128 value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > UINT64_MAX) return std::nullopt;
  return static_cast<std::uint64_t>(value);
}

// Whether the header reads "bytes A-B/C" with A = start, B = size - 1, C = size.
bool namesTheRest(const std::string& header, std::uint64_t start, std::uint64_t size) {
  if (header.compare(0, 6, "bytes ") != 0) return false;
  const std::size_t dash = header.find('-', 6);
  const std::size_t slash = header.find('/', 6);
  if (dash == std::string::npos || slash == std::string::npos || slash < dash) return false;
  const auto first = plainNumber(header.substr(6, dash - 6));
  const auto last = plainNumber(header.substr(dash + 1, slash - dash - 1));
  const auto total = plainNumber(header.substr(slash + 1));
  return first && last && total && *first == start && *total == size && *last + 1 == size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint8_t flags = input.byte();
  std::uint64_t fileSize = input.u64();
  std::uint64_t start = input.u64();
  const std::uint16_t rawStatus = input.u16();
  const unsigned long status = rawStatus % 4 == 0 ? 200 : rawStatus % 4 == 1 ? 206
                               : rawStatus % 4 == 2 ? 416 : rawStatus;
  const std::string text(input.rest());
  const std::optional<std::string> header =
      text.empty() && (flags & 2) ? std::nullopt : std::optional<std::string>(text);
  // A download asks for a range only for a file of at least one byte, from below its end.
  if (fileSize == 0) fileSize = 1;
  start %= fileSize;
  const std::optional<std::uint64_t> from =
      flags & 1 ? std::optional<std::uint64_t>(start) : std::nullopt;

  const RangeVerdict verdict = cv::judgeRangeAnswer(from, fileSize, status, header);
  const bool exact = from && header && namesTheRest(*header, *from, fileSize);
  FUZZ_REQUIRE((verdict == RangeVerdict::Append) == (status == 206 && exact));
  if (status == 200) FUZZ_REQUIRE(verdict == RangeVerdict::FromStart);
  if (!from) FUZZ_REQUIRE(verdict == (status == 200 ? RangeVerdict::FromStart : RangeVerdict::Unavailable));
  if (from && status == 416) FUZZ_REQUIRE(verdict == RangeVerdict::HostShorter);
  if (from && status == 206 && !exact) FUZZ_REQUIRE(verdict == RangeVerdict::Untrusted);
  if (from && (status < 200 || status >= 300) && status != 416)
    FUZZ_REQUIRE(verdict == RangeVerdict::Unavailable);
  if (from) FUZZ_REQUIRE(namesTheRest(cv::expectedContentRange(*from, fileSize), *from, fileSize));
  return 0;
}

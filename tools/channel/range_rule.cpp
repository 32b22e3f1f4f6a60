#include "range_rule.hpp"

#include <nlohmann/json.hpp>

#include "net/rules/range_answer.hpp"

namespace zrq::channel {

namespace {

constexpr std::size_t kQuoteLimit = 80;

// A header value as text an operator can read: quoted, short, valid UTF-8.
std::string quoted(const std::string& value) {
  const bool cut = value.size() > kQuoteLimit;
  const nlohmann::json text = cut ? value.substr(0, kQuoteLimit) : value;
  return text.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + (cut ? "..." : "");
}

}  // namespace

std::uint64_t rangeProbeStart(std::uint64_t size) { return size / 2; }

std::string expectedContentRange(std::uint64_t start, std::uint64_t size) {
  return cv::expectedContentRange(start, size);
}

// The shell's own rule: a broken download continues only on this answer.
bool shellContinuesWith(std::uint64_t start, std::uint64_t size, long status,
                        const std::optional<std::string>& contentRange) {
  return start < size && status >= 0 &&
         cv::judgeRangeAnswer(start, size, static_cast<unsigned long>(status), contentRange) ==
             cv::RangeVerdict::Append;
}

std::string describeRangeAnswer(long status, const std::optional<std::string>& contentRange) {
  std::string out = "status " + std::to_string(status);
  if (status == 200) return out + " (the whole file: the host ignores ranges)";
  if (contentRange) return out + " with Content-Range " + quoted(*contentRange);
  return out + " without Content-Range";
}

}  // namespace zrq::channel

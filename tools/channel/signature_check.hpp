#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/rules/document_signature.hpp"
#include "report.hpp"

namespace zrq::channel {

// A document is warned about when it expires sooner than this.
inline constexpr std::int64_t kExpiryWarningSeconds = 14 * 24 * 3600;

// What the shell's signature rule judges by: the keys `check` and `probe`
// verify with (those of --key-file when given, otherwise the ones this build
// of the toolkit and of the shell carries) and the clock, read once.
struct Trust {
  std::vector<cv::ChannelKey> keys;
  std::int64_t now = 0;
};
Trust trustFor(const std::vector<std::string>& keyFiles);

// A fetched or stored document at its path, judged as a keyed shell judges it
// before anything else (no earlier acceptance to compare with): a problem
// with the player's message when it would be refused, a warning when it
// expires within 14 days. Without keys, nothing is looked at. Returns whether
// the document may be judged further.
bool judgeSignature(const nlohmann::json& document, const std::string& path, const Trust& trust,
                    Entry& entry);

// ", signed by key <id>" for an entry whose signature was verified, else "".
std::string signatureNote(const Entry& entry);

// "2026-12-23 10:00 UTC"
std::string utcText(std::int64_t unixTime);

}  // namespace zrq::channel

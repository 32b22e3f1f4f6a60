#include "signature_check.hpp"
#include "core/messages.hpp"

#include <ctime>

#include "channel_keys_file.hpp"
#include "net/channel_keys.hpp"
#include "problem.hpp"

namespace zrq::channel {

Trust trustFor(const std::vector<std::string>& keyFiles) {
  Trust trust{cv::channelKeys(), static_cast<std::int64_t>(std::time(nullptr))};
  if (!keyFiles.empty()) trust.keys.clear();
  for (const std::string& file : keyFiles) trust.keys.push_back(loadChannelKey(file));
  return trust;
}

std::string signatureNote(const Entry& entry) {
  const auto signature = entry.facts.find("signature");
  if (signature == entry.facts.end()) return {};
  return ", signed by key " + signature->at("keyId").get<std::string>();
}

std::string utcText(std::int64_t unixTime) {
  const std::time_t time = static_cast<std::time_t>(unixTime);
  std::tm parts{};
  char text[40] = {};
  if (::gmtime_r(&time, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts) == 0) {
    return std::to_string(unixTime);
  }
  return text;
}

bool judgeSignature(const nlohmann::json& document, const std::string& path, const Trust& trust,
                    Entry& entry) {
  const std::int64_t now = trust.now;
  if (trust.keys.empty() || !document.is_object()) return true;
  cv::SignatureMembers members;
  try {
    members = cv::verifyDocumentSignature(document, path, trust.keys, now, std::nullopt);
  } catch (...) {
    entry.problems.push_back(problemFromException(std::current_exception(), &document, "signature"));
    return false;
  }
  entry.facts["signature"] = {{"keyId", members.keyId}, {"signedAt", members.signedAt}};
  if (members.expiresAt) {
    entry.facts["signature"]["expiresAt"] = *members.expiresAt;
    if (*members.expiresAt - now < kExpiryWarningSeconds) {
      const std::int64_t days = (*members.expiresAt - now) / 86400;
      entry.warnings.push_back(
          {"expiresAt", "", "expires " + utcText(*members.expiresAt) + ", in " +
                                std::to_string(days) + (days == 1 ? " day" : " days"),
           "", std::string("sign it again before then (zrq-channel sign); after it players see \"") +
                   cv::msg::kDocumentExpired + "\""});
    }
  }
  return true;
}

}  // namespace zrq::channel

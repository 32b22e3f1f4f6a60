#include "range_probe.hpp"

#include "http_client.hpp"
#include "range_rule.hpp"

namespace zrq::channel {

bool probeRangeAnswer(const std::string& caFile, const std::string& what, const std::string& url,
                      std::uint64_t size, TailSample& sample, Entry& entry,
                      nlohmann::json& facts) {
  const std::uint64_t start = sample.start();
  const std::string asked = "bytes=" + std::to_string(start) + "-";
  HttpRequest request{url, std::string(), caFile,
                      [&sample](const char* data, unsigned long length) {
                        sample.compare(data, length);
                      },
                      nullptr, start, sample.length()};
  const HttpOutcome outcome = performRequest(request);

  std::string found;
  if (outcome.status == 0) {
    found = "no answer: " + outcome.transportError;
  } else if (!shellContinuesWith(start, size, outcome.status, outcome.contentRange)) {
    found = describeRangeAnswer(outcome.status, outcome.contentRange);
    if (!outcome.location.empty()) {
      found += ", a redirect to " + outcome.location + " (not followed)";
    }
  } else if (sample.differs()) {
    found = "status 206, but byte " + std::to_string(start + sample.matched()) +
            " differs from the file's";
  } else if (!sample.allMatched()) {
    found = "status 206, but the body ended after " + std::to_string(sample.matched()) + " bytes";
    if (!outcome.transportError.empty()) found += " (" + outcome.transportError + ")";
  }

  nlohmann::json range = {{"request", asked}, {"status", outcome.status},
                          {"bytesCompared", sample.matched()}, {"seconds", outcome.seconds},
                          {"continues", found.empty()}};
  if (outcome.contentRange) range["contentRange"] = *outcome.contentRange;
  if (!outcome.location.empty()) range["redirect"] = outcome.location;
  facts["range"] = range;
  if (found.empty()) return true;
  entry.warnings.push_back(
      {what + " " + url + " with Range: " + asked,
       "answered with status 206, Content-Range \"" + expectedContentRange(start, size) +
           "\" and the file's bytes from there",
       found, std::string(), "players then restart from byte 0 after a broken connection"});
  return false;
}

}  // namespace zrq::channel

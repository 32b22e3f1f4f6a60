#include "probe_steps.hpp"

#include <chrono>
#include <cstdio>

#include "core/error.hpp"
#include "core/limits.hpp"
#include "descriptor_check.hpp"
#include "http_client.hpp"
#include "judge.hpp"
#include "range_probe.hpp"
#include "range_rule.hpp"
#include "tail_sample.hpp"
#include "url_parts.hpp"

namespace zrq::channel {

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", value);
  return text;
}

namespace {

// One progress line on the terminal, rewritten at most five times a second.
class ProgressLine {
 public:
  ProgressLine(bool enabled, std::string label, std::uint64_t total)
      : enabled_(enabled), label_(std::move(label)), total_(total) {}
  ~ProgressLine() {
    if (enabled_ && drawn_) std::fprintf(stderr, "\r\033[K");
  }
  void operator()(std::uint64_t bytes) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(200) && bytes < total_) return;
    last_ = now;
    drawn_ = true;
    const double mib = 1048576.0;
    std::fprintf(stderr, "\r\033[K%s: %.1f / %.1f MiB (%.0f%%)", label_.c_str(), bytes / mib,
                 total_ / mib, total_ ? 100.0 * bytes / total_ : 100.0);
    std::fflush(stderr);
  }

 private:
  bool enabled_;
  std::string label_;
  std::uint64_t total_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_;
};

// One request as the shell makes it: its URL rules first, then the exchange.
// Adds a problem and returns false when the shell would fail here.
bool exchange(const ProbeOptions& options, const std::string& what, const std::string& url,
              const std::string& body, const std::string* trustedHosts,
              const std::function<void(const char*, unsigned long)>& onData,
              const std::function<void(std::uint64_t)>& onProgress, Entry& entry,
              nlohmann::json& facts) {
  facts = {{"url", url}};
  try {
    checkUrlAsShell(url, trustedHosts);
  } catch (...) {
    Problem problem = problemFromException(std::current_exception(), nullptr, what + " url");
    problem.field = what + " " + url;
    entry.problems.push_back(problem);
    return false;
  }
  HttpRequest request{url, body, options.caFile, onData, onProgress};
  const HttpOutcome outcome = performRequest(request);
  facts["status"] = outcome.status;
  facts["bytes"] = outcome.bodyBytes;
  facts["seconds"] = outcome.seconds;
  if (!outcome.location.empty()) facts["redirect"] = outcome.location;
  if (!outcome.note.empty()) facts["note"] = outcome.note;
  if (outcome.sinkError) {
    Problem problem = problemFromException(outcome.sinkError, nullptr, what);
    problem.field = what + " " + url;
    if (problem.found.empty()) {
      problem.found = "status 200, " + std::to_string(outcome.bodyBytes) + " bytes before it stopped";
    }
    entry.problems.push_back(problem);
    return false;
  }
  if (!outcome.shellMessage.empty()) {
    std::string found;
    if (outcome.status != 0) found = "status " + std::to_string(outcome.status);
    if (!outcome.location.empty()) found += ", a redirect to " + outcome.location + " (not followed)";
    if (!outcome.transportError.empty()) found += (found.empty() ? "" : ", ") + outcome.transportError;
    entry.problems.push_back({what + " " + url,
                              outcome.status != 0 ? "answered with status 200" : "reachable over HTTPS",
                              found, outcome.shellMessage});
    return false;
  }
  return true;
}

}  // namespace

// GET or POST of a JSON document, judged as the shell's fetchJson takes it.
bool fetchDocument(const ProbeOptions& options, const std::string& what, const std::string& url,
                   const std::string& body, Entry& entry, nlohmann::json& document,
                   nlohmann::json& facts) {
  std::string received;
  const auto keep = [&](const char* data, unsigned long length) {
    // Enough to pass the limit check, never the whole of a huge answer.
    if (received.size() <= 2 * cv::kJsonBodyLimit) received.append(data, length);
  };
  if (!exchange(options, what, url, body, nullptr, keep, nullptr, entry, facts)) return false;
  if (auto problem = judgeJsonBody(received, document)) {
    problem->field = what + " " + url + ": " + problem->field;
    entry.problems.push_back(*problem);
    return false;
  }
  return true;
}

// A described file streamed from the host and held to its descriptor; then,
// when it arrived right, the host's answer to a request for its second half,
// as a shell asks for the rest of a download that broke off.
void downloadAndVerify(const ProbeOptions& options, const std::string& what,
                       const cv::InstallerDescriptor& descriptor, const std::string& trustedHosts,
                       const std::string& label, Entry& entry, std::string& summary) {
  DescriptorCheck verify(descriptor);
  const std::uint64_t size = verify.expectedSize();
  TailSample tail(rangeProbeStart(size), size, kRangeSampleBytes);
  ProgressLine progress(options.progress, label, size);
  const std::string& url = descriptor.url;
  nlohmann::json facts;
  const bool exchanged = exchange(
      options, what, url, std::string(), &trustedHosts,
      [&](const char* data, unsigned long length) {
        verify(data, length);
        tail.take(data, length);
      },
      [&](std::uint64_t bytes) { progress(bytes); }, entry, facts);
  entry.facts[what] = facts;
  if (!exchanged) return;
  try {
    verify.finish();
  } catch (const cv::Error& failure) {
    std::string found = std::to_string(verify.bytesSeen()) + " bytes";
    if (verify.bytesSeen() == verify.expectedSize()) found += " with sha256 " + verify.actualSha256();
    entry.problems.push_back({what + " " + url,
                              std::to_string(descriptor.size) + " bytes with sha256 " +
                                  descriptor.sha256,
                              found, failure.what()});
    return;
  }
  facts["sha256"] = verify.actualSha256();
  summary += ", " + what + " 200 " + std::to_string(verify.bytesSeen()) + " bytes sha256 " +
             verify.actualSha256() + " in " + seconds(facts["seconds"].get<double>());
  if (probeRangeAnswer(options.caFile, what, url, size, tail, entry, facts)) {
    summary += ", range 206 " + expectedContentRange(tail.start(), size);
  }
  entry.facts[what] = facts;
}

}  // namespace zrq::channel

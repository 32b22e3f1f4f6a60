#include "http_client.hpp"

#include <chrono>
#include <memory>
#include <string>

#include <curl/curl.h>

#include "core/messages.hpp"

namespace zrq::channel {

namespace {

constexpr char kUserAgent[] = "ZRQSetup/1.0";
// The shell's extra headers; libcurl's own Accept and Expect are left out,
// as the shell sends neither.
const char* const kHeaders[] = {"Content-Type: application/json", "Cache-Control: no-cache",
                                "Pragma: no-cache", "Accept:", "Expect:"};
constexpr long kConnectTimeoutMs = 10000;  // the shell's 5 s to resolve and 5 s to connect
constexpr long kStallSeconds = 10;          // the shell's receive time-out

struct Transfer {
  const HttpRequest& request;
  HttpOutcome& outcome;
  CURL* curl;
};

// The status whose body is read: 200, or 206 for a range request.
long wantedStatus(const HttpRequest& request) { return request.rangeStart ? 206 : 200; }

size_t onBody(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  size_t length = size * count;
  // Like the shell: a body is read only after a 200 (a 206 when it asked for a range).
  long status = 0;
  curl_easy_getinfo(transfer.curl, CURLINFO_RESPONSE_CODE, &status);
  if (status != wantedStatus(transfer.request)) return 0;
  if (length == 0) return 0;
  const std::uint64_t room = transfer.request.bodyLimit - transfer.outcome.bodyBytes;
  const bool pastLimit = length > room;
  if (pastLimit) length = static_cast<size_t>(room);
  try {
    if (length > 0) transfer.request.onData(data, static_cast<unsigned long>(length));
  } catch (...) {
    transfer.outcome.sinkError = std::current_exception();
    return 0;
  }
  transfer.outcome.bodyBytes += length;
  if (transfer.request.onProgress) transfer.request.onProgress(transfer.outcome.bodyBytes);
  if (pastLimit) {
    transfer.outcome.stoppedAtLimit = true;
    return 0;
  }
  return length;
}

// The value of a header line named `name` (lower case, with its colon), or
// nothing when the line has another name.
std::optional<std::string> headerValue(const std::string& line, const char* name) {
  const size_t nameLength = std::char_traits<char>::length(name);
  if (line.size() <= nameLength) return std::nullopt;
  for (size_t i = 0; i < nameLength; ++i) {
    const char c = line[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != name[i]) {
      return std::nullopt;
    }
  }
  const std::string value = line.substr(nameLength);
  const auto first = value.find_first_not_of(" \t");
  const auto last = value.find_last_not_of(" \t\r\n");
  return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

// Keeps the Location and Content-Range headers of the answer (the last one,
// after any interim answer).
size_t onHeader(char* data, size_t size, size_t count, void* context) {
  auto& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  const std::string line(data, length);
  if (auto location = headerValue(line, "location:")) transfer.outcome.location = *location;
  if (auto range = headerValue(line, "content-range:")) transfer.outcome.contentRange = range;
  if (line.rfind("HTTP/", 0) == 0) {
    transfer.outcome.location.clear();
    transfer.outcome.contentRange.reset();
  }
  return length;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The message the shell's transport throws for the same failure.
std::string shellMessageFor(CURLcode code, long status) {
  if (status != 0) return cv::msg::kDownloadBroken;
  switch (code) {
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_OPERATION_TIMEDOUT:
      return cv::msg::kResponseFailed;
    default:
      // Name resolution, connection and TLS failures: WinHTTP reports them
      // when it sends.
      return cv::msg::kRequestFailed;
  }
}

}  // namespace

HttpOutcome performRequest(const HttpRequest& request) {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  HttpOutcome outcome;
  std::unique_ptr<CURL, CurlDeleter> curl(initialised ? curl_easy_init() : nullptr);
  if (!curl) {
    outcome.transportError = "libcurl could not be initialised";
    outcome.shellMessage = cv::msg::kConnectFailed;
    return outcome;
  }
  std::unique_ptr<curl_slist, ListDeleter> headers;
  const auto addHeader = [&headers](const char* header) {
    curl_slist* grown = curl_slist_append(headers.get(), header);
    if (grown) {
      headers.release();
      headers.reset(grown);
    }
  };
  for (const char* header : kHeaders) addHeader(header);
  if (request.rangeStart) {
    addHeader(("Range: bytes=" + std::to_string(*request.rangeStart) + "-").c_str());
  }
  Transfer transfer{request, outcome, curl.get()};
  char errorText[CURL_ERROR_SIZE] = {};
  CURL* h = curl.get();
  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);
  if (!request.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, request.caFile.c_str());
  if (request.body.empty()) {
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  } else {
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
  }

  const auto started = std::chrono::steady_clock::now();
  const CURLcode code = curl_easy_perform(h);
  outcome.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &outcome.status);

  if (outcome.sinkError) return outcome;  // the sink's own failure says it all
  const long wanted = wantedStatus(request);
  if (outcome.status != 0 && outcome.status != wanted) {
    outcome.shellMessage = cv::msg::kNotAvailable;
    return outcome;
  }
  if (code == CURLE_WRITE_ERROR && outcome.stoppedAtLimit) return outcome;
  // A body cut short of its announced length ends like a complete one for the
  // shell (a zero-byte read); its size check decides.
  if (code == CURLE_OK || (code == CURLE_PARTIAL_FILE && outcome.status == wanted)) {
    if (code == CURLE_PARTIAL_FILE) outcome.note = errorText;
    return outcome;
  }
  outcome.transportError = errorText[0] ? errorText : curl_easy_strerror(code);
  outcome.shellMessage = shellMessageFor(code, outcome.status);
  return outcome;
}

}  // namespace zrq::channel

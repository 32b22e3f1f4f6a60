#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <optional>
#include <string>

namespace zrq::channel {

// The request the shell makes, made with libcurl: the shell's user agent and
// headers, GET for an empty body and POST otherwise, HTTP/1.1, no redirect
// followed, no content decoding, certificates checked against the system store
// (or caFile). The body reaches onData only with status 200.
//
// With rangeStart, a GET also asks for the bytes from there on (Range:
// bytes=<start>-), as the shell does to continue a download; the body then
// reaches onData only with status 206, and the caller judges the answer from
// status and contentRange (shellMessage is not the shell's word for it).
struct HttpRequest {
  std::string url;
  std::string body;
  std::string caFile;
  std::function<void(const char* data, unsigned long length)> onData;
  std::function<void(std::uint64_t received)> onProgress;
  std::optional<std::uint64_t> rangeStart{};
  // Reads at most this many bytes of the body, then ends the transfer.
  std::uint64_t bodyLimit = std::numeric_limits<std::uint64_t>::max();
};

struct HttpOutcome {
  long status = 0;                // 0: no answer
  std::string location;           // a redirect's target, not followed
  std::optional<std::string> contentRange;  // the answer's Content-Range header
  std::uint64_t bodyBytes = 0;    // delivered to onData
  double seconds = 0;
  std::string transportError;     // libcurl's words for a failed exchange
  std::string note;               // libcurl's words for a body cut short (not a failure here)
  std::string shellMessage;       // what the shell's transport would throw, empty when none
  std::exception_ptr sinkError;   // what onData threw, which ended the transfer
  bool stoppedAtLimit = false;    // the body went on past bodyLimit (not a failure)
};

// Failed when shellMessage is set or sinkError holds what the sink threw.
HttpOutcome performRequest(const HttpRequest& request);

}  // namespace zrq::channel

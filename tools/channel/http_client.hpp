#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

namespace zrq::channel {

// The request the shell makes, made with libcurl: the shell's user agent and
// headers, GET for an empty body and POST otherwise, HTTP/1.1, no redirect
// followed, no content decoding, certificates checked against the system store
// (or caFile). The body reaches onData only with status 200.
struct HttpRequest {
  std::string url;
  std::string body;
  std::string caFile;
  std::function<void(const char* data, unsigned long length)> onData;
  std::function<void(std::uint64_t received)> onProgress;
};

struct HttpOutcome {
  long status = 0;                // 0: no answer
  std::string location;           // a redirect's target, not followed
  std::uint64_t bodyBytes = 0;    // delivered to onData
  double seconds = 0;
  std::string transportError;     // libcurl's words for a failed exchange
  std::string note;               // libcurl's words for a body cut short (not a failure here)
  std::string shellMessage;       // what the shell's transport would throw, empty when none
  std::exception_ptr sinkError;   // what onData threw, which ended the transfer
};

// Failed when shellMessage is set or sinkError holds what the sink threw.
HttpOutcome performRequest(const HttpRequest& request);

}  // namespace zrq::channel

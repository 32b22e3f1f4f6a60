#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cv {

// Receives each non-empty chunk of a response body; may throw to abort.
using DataSink = std::function<void(const char* data, unsigned long length)>;
// Called before the request and before every read; throws to abort.
using Checkpoint = std::function<void()>;

// The head of an answer, as far as a download that asks for a range reads it.
struct ResponseHead {
  unsigned long status = 0;
  // As sent; repeated headers joined by ", ".
  std::optional<std::string> contentRange;
  std::optional<std::string> contentEncoding;
};
// Judges an answer before any of its body: true reads the body, false ends the
// request without it; throws to fail the request.
using HeadCheck = std::function<bool(const ResponseHead&)>;

// What a download adds to its GET. Without them a request is exactly the
// ordinary one: no Range header, status 200 only.
struct RequestOptions {
  std::optional<std::uint64_t> rangeStart;  // sends "Range: bytes=<start>-"
  HeadCheck onHead;                         // judges every status instead of the 200 rule
};

// One HTTPS GET (empty body) or POST (non-empty body). Status 200 only (unless
// options.onHead judges), no redirects, the body streamed to onData in chunks
// of at most 64 KiB. Transport failures throw Error(-7, ...); whatever the
// sink, the checkpoint or onHead throws passes through unchanged.
void httpsRequest(const std::string& url, const std::string& body, bool requireTrustedHost,
                  const DataSink& onData, const Checkpoint& checkpoint,
                  const RequestOptions& options = RequestOptions());

// The URL rules httpsRequest applies before it opens anything (Error(-7, ...)).
void checkRequestTarget(const std::string& url, bool requireTrustedHost);

// Exact, case-insensitive match against the trusted download hosts.
bool isTrustedDownloadHost(std::wstring host);

}  // namespace cv

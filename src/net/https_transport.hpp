#pragma once

#include <functional>
#include <string>

namespace cv {

// Receives each non-empty chunk of a response body; may throw to abort.
using DataSink = std::function<void(const char* data, unsigned long length)>;
// Called before the request and before every read; throws to abort.
using Checkpoint = std::function<void()>;

// One HTTPS GET (empty body) or POST (non-empty body). Status 200 only, no
// redirects, the body streamed to onData in chunks of at most 64 KiB.
// Transport failures throw Error(-7, ...); whatever the sink or the checkpoint
// throws passes through unchanged.
void httpsRequest(const std::string& url, const std::string& body, bool requireTrustedHost,
                  const DataSink& onData, const Checkpoint& checkpoint);

// Exact, case-insensitive match against the trusted download hosts.
bool isTrustedDownloadHost(std::wstring host);

}  // namespace cv

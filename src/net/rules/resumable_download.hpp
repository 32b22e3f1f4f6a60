#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/rules/download_progress.hpp"
#include "net/rules/download_sink.hpp"
#include "net/https_transport.hpp"
#include "platform/sha256.hpp"

namespace cv {

// One request of a download: the bytes from rangeStart on (none: the whole
// file), the answer's head judged by onHead before its body goes to onData.
using Transfer = std::function<void(std::optional<std::uint64_t> rangeStart,
                                    const HeadCheck& onHead, const DataSink& onData)>;

// The pause before asking again (throws to stop).
using Wait = std::function<void(unsigned ms)>;

// A download that survives broken connections: it keeps the bytes received
// and the running digest, waits, and asks again for the rest with a range
// request, taking only an answer that is exactly that rest. A host that
// ignores ranges sends the whole file again, which replaces what was kept;
// any other answer is not used, and the next request asks for the whole file.
// It gives up as RetryPolicy says, with the last failure's error. A body that
// proves wrong (longer than its size, a host file shorter than the bytes
// kept, the wrong digest) is never continued, nor is one in a content coding,
// whose bytes are not the file's.
class ResumableDownload {
 public:
  // The bytes go to target in order; observer hears of the bytes held and the
  // phases (checkpoints are the transfer's own).
  ResumableDownload(std::uint64_t size, std::string sha256, DownloadTarget& target,
                    DownloadObserver& observer, Wait wait);
  ResumableDownload(const ResumableDownload&) = delete;
  ResumableDownload& operator=(const ResumableDownload&) = delete;

  // Bytes the file already holds, read back in order, before run().
  void adoptKept(const char* data, unsigned long length) { sink_->adopt(data, length); }

  // Returns once the file holds the whole body with the promised digest. A
  // body spliced from several pieces whose digest is wrong is asked for once
  // more from byte 0 before it counts as wrong.
  void run(const Transfer& transfer);

  std::uint64_t bytesHeld() const { return sink_->bytesWritten(); }
  unsigned requests() const { return requests_; }
  // The kept bytes this run continued from (0 when there were none, or they
  // were found wrong before the first request).
  std::uint64_t continuedFrom() const { return continuedFrom_; }
  // Whether the failure showed that the bytes held are not (or need not be) the
  // described file's: they are not worth keeping.
  bool provedWrong() const { return provedWrong_; }

 private:
  void startOver();
  bool digestMatches();
  // Asks until the file holds as many bytes as promised, or gives up.
  void transferRest(const Transfer& transfer);

  std::uint64_t size_;
  std::string sha256_;
  DownloadTarget& target_;
  DownloadObserver& observer_;
  Wait wait_;
  std::unique_ptr<Sha256> digest_;
  std::unique_ptr<DownloadSink> sink_;
  unsigned requests_ = 0;
  std::uint64_t continuedFrom_ = 0;
  bool provedWrong_ = false;
  bool spliced_ = false;  // the bytes held came in more than one piece
};

}  // namespace cv

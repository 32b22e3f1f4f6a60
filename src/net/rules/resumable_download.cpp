#include "net/rules/resumable_download.hpp"
#include "core/messages.hpp"

#include <algorithm>
#include <utility>

#include "core/error.hpp"
#include "net/rules/range_answer.hpp"
#include "net/rules/retry_policy.hpp"

namespace cv {

namespace {


// A body in a content coding (gzip, ...) is not the file's bytes, and a range
// of it is a range of the coded bytes.
bool isContentCoded(const ResponseHead& head) {
  if (!head.contentEncoding) return false;
  std::string coding = *head.contentEncoding;
  for (char& c : coding) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return coding != "identity";
}

}  // namespace

ResumableDownload::ResumableDownload(std::uint64_t size, std::string sha256, DownloadTarget& target,
                                     DownloadObserver& observer, Wait wait)
    : size_(size), sha256_(std::move(sha256)), target_(target), observer_(observer),
      wait_(std::move(wait)) {
  digest_ = std::make_unique<Sha256>();
  sink_ = std::make_unique<DownloadSink>(size_, target_, *digest_, &observer_);
}

void ResumableDownload::startOver() {
  target_.empty();
  sink_.reset();
  digest_ = std::make_unique<Sha256>();
  sink_ = std::make_unique<DownloadSink>(size_, target_, *digest_, &observer_);
  observer_.held(0);
}

bool ResumableDownload::digestMatches() { return toHex(digest_->finish()) == sha256_; }

void ResumableDownload::run(const Transfer& transfer) {
  continuedFrom_ = bytesHeld();
  spliced_ = continuedFrom_ > 0;
  if (sink_->complete()) {
    if (digestMatches()) return;
    // Kept whole but not the file described: it is downloaded afresh.
    startOver();
    continuedFrom_ = 0;
    spliced_ = false;
  }
  for (bool restarted = false;;) {
    transferRest(transfer);
    if (digestMatches()) return;
    // A body put together from several pieces (bytes kept by an earlier run, a
    // range after a break) may hold one piece of another file, such as the host
    // replacing the file in between; one whole body from byte 0 settles it.
    if (spliced_ && !restarted) {
      restarted = true;
      spliced_ = false;
      startOver();
      continue;
    }
    provedWrong_ = true;
    throw Error(BadData, msg::kVerifyFailed);
  }
}

void ResumableDownload::transferRest(const Transfer& transfer) {
  std::uint64_t mostEverHeld = bytesHeld();
  RetryPolicy policy;
  bool askForRange = true;
  for (;;) {
    const std::optional<std::uint64_t> from =
        bytesHeld() > 0 && askForRange ? std::optional<std::uint64_t>(bytesHeld()) : std::nullopt;
    // After a break the window keeps saying it is trying again until the
    // host answers with bytes that can be used.
    if (++requests_ == 1) observer_.phase(DownloadPhase::Transferring);
    RangeVerdict verdict = RangeVerdict::Unavailable;
    bool coded = false;
    const HeadCheck onHead = [&](const ResponseHead& head) {
      verdict = judgeRangeAnswer(from, size_, head.status, head.contentRange);
      coded = isContentCoded(head);
      if (coded && verdict == RangeVerdict::Append) verdict = RangeVerdict::Untrusted;
      switch (verdict) {
        case RangeVerdict::Append:
          spliced_ = true;
          observer_.phase(DownloadPhase::Transferring);
          return true;
        case RangeVerdict::FromStart:
          if (bytesHeld() > 0) startOver();
          observer_.phase(DownloadPhase::Transferring);
          return true;
        case RangeVerdict::Untrusted:
          return false;
        case RangeVerdict::HostShorter:
          throw Error(BadData, msg::kVerifyFailed);
        case RangeVerdict::Unavailable:
          break;
      }
      throw Error(NetworkFailure, msg::kNotAvailable);
    };
    const DataSink onData = [this](const char* data, unsigned long length) { (*sink_)(data, length); };

    std::optional<Error> failure;
    try {
      transfer(from, onHead, onData);
      if (verdict == RangeVerdict::Untrusted) {
        askForRange = false;
        failure = Error(NetworkFailure, msg::kNotAvailable);
      } else if (sink_->complete()) {
        break;
      } else {
        failure = Error(BadData, msg::kVerifyFailed);  // the body ended early
      }
    } catch (const Error& error) {
      // Longer than promised, or a host file shorter than what is kept.
      if (error.code == BadData) provedWrong_ = true;
      if (error.code != NetworkFailure) throw;
      // The whole file arrived before the connection failed: nothing is missing.
      if (sink_->complete()) break;
      failure = error;
    }
    // What a coded body left cannot be continued: it is not the file's beginning.
    if (coded && verdict == RangeVerdict::FromStart) {
      provedWrong_ = true;
      throw *failure;
    }

    const bool broughtNewBytes = bytesHeld() > mostEverHeld;
    mostEverHeld = std::max(mostEverHeld, bytesHeld());
    // Not a byte of the file yet: nothing to continue, the failure stands as it is.
    if (mostEverHeld == 0) throw *failure;
    const std::optional<unsigned> pause = policy.afterFailure(broughtNewBytes);
    if (!pause) throw *failure;
    observer_.phase(DownloadPhase::Waiting);
    if (*pause > 0) wait_(*pause);
  }
}

}  // namespace cv

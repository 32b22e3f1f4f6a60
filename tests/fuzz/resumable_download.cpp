// A download against a host whose every answer the input chooses: statuses,
// Content-Range headers right and wrong, bodies of any length, cut short or
// failing, true or corrupted, and kept bytes (right or wrong) from an earlier
// run. Input: the size (16 bits, at least 1), a flag byte (bit 0: the
// promised digest is the file's own; bit 1: the kept bytes are corrupted),
// the number of kept bytes (16 bits), then per request 5 bytes: the kind of
// answer, two for the body's length, a flag byte (bit 0: the transfer fails
// after the body; bit 1: the body is corrupted; bit 2: it comes gzip-coded),
// one spare. Beside not crashing: the file never holds more than the size;
// only a 200, or a 206 naming exactly the rest asked for and not coded, is
// written, and then right after the bytes held (or from byte 0 for a 200); a
// coded body that breaks off is the last request; the download succeeds only
// with the file exactly the described one; it gives up at the latest at the
// fifth failed request in a row that brought no new byte, waiting 1, 2, 4 or
// 8 s between requests; a whole body put together from several pieces whose
// digest is wrong is asked for once more from byte 0; a failure is the transport's or a wrong body's, and
// bytes found not worth keeping come from a wrong body or a coded one.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "../unit/download_doubles.hpp"
#include "fuzz_support.hpp"
#include "net/rules/range_answer.hpp"
#include "net/rules/resumable_download.hpp"
#include "net/rules/retry_policy.hpp"
#include "platform/sha256.hpp"

namespace {

using namespace zrq::fuzz;

std::string digestOf(const std::string& bytes) {
  cv::Sha256 digest;
  digest.update(bytes.data(), static_cast<unsigned long>(bytes.size()));
  return cv::toHex(digest.finish());
}

std::string corrupted(std::string bytes) {
  for (char& c : bytes) c = static_cast<char>(c ^ 0x5A);
  return bytes;
}

struct Answer {
  std::uint8_t kind = 0;
  std::size_t length = 0;
  std::uint8_t flags = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::size_t fileSize = std::max<std::size_t>(1, input.u16() % 20000);
  const std::uint8_t flags = input.byte();
  const std::size_t keptLength = input.u16() % (fileSize + 1);
  std::vector<Answer> script;
  for (int i = 0; i < 64; ++i) {
    Answer answer;
    answer.kind = input.byte();
    answer.length = input.u16();
    answer.flags = input.byte();
    input.byte();
    script.push_back(answer);
  }
  std::string truth(fileSize, '\0');
  for (std::size_t i = 0; i < fileSize; ++i) truth[i] = static_cast<char>((i * 131 + 7) >> 3);
  const std::string promised = flags & 1 ? digestOf(truth) : std::string(64, '0');

  cv::testing::MemoryFile memory;
  std::string& file = memory.bytes;
  cv::testing::RecordingRun run;
  std::vector<unsigned> waits;
  cv::ResumableDownload download(fileSize, promised, memory, run,
                                 [&](unsigned ms) { waits.push_back(ms); });
  const std::string kept = flags & 2 ? corrupted(truth.substr(0, keptLength)) : truth.substr(0, keptLength);
  file = kept;
  download.adoptKept(kept.data(), static_cast<unsigned long>(kept.size()));

  bool codedBodyBroke = false;
  std::size_t next = 0;
  // A whole kept file that is not the described one is dropped before the first request.
  std::size_t mostEverHeld = kept.size() == fileSize && digestOf(kept) != promised ? 0 : kept.size();
  unsigned withoutNewBytes = 0;
  bool broughtNewBytes = false;
  bool leftComplete = false;
  bool spliced = mostEverHeld > 0;
  unsigned restarts = 0;
  std::size_t waitsBefore = 0;
  try {
    download.run([&](std::optional<std::uint64_t> from, const cv::HeadCheck& onHead, const cv::DataSink& onData) {
      FUZZ_REQUIRE(!codedBodyBroke);
      // A whole body of several pieces with the wrong digest is asked for once
      // more from byte 0, as a download of its own.
      const bool restarted = next > 0 && leftComplete;
      if (restarted) {
        FUZZ_REQUIRE(spliced && ++restarts == 1 && file.empty() && !from);
        spliced = false;
        mostEverHeld = 0;
        withoutNewBytes = 0;
      }
      // After a request that brought new bytes the next comes at once; after one
      // that brought none, one wait of 1, 2, 4 or 8 s by the length of the row.
      if (next > 0 && !restarted) {
        FUZZ_REQUIRE(waits.size() == waitsBefore + (broughtNewBytes ? 0 : 1));
        if (!broughtNewBytes)
          FUZZ_REQUIRE(waits.back() == cv::kRetryWaitsMs[std::min(withoutNewBytes, 4u) - 1]);
      }
      waitsBefore = waits.size();
      const std::size_t heldBefore = file.size();
      FUZZ_REQUIRE(!from || (*from == file.size() && *from > 0 && *from < fileSize));
      const Answer answer = next < script.size() ? script[next] : Answer{5, 0, 0};
      ++next;
      struct Account {
        std::size_t& most;
        unsigned& row;
        const std::string& file;
        bool& brought;
        bool& complete;
        std::size_t fileSize;
        ~Account() {
          brought = file.size() > most;
          row = brought ? 0 : row + 1;
          most = std::max(most, file.size());
          complete = file.size() == fileSize;
        }
      } account{mostEverHeld, withoutNewBytes, file, broughtNewBytes, leftComplete, fileSize};
      const std::size_t offset = from ? static_cast<std::size_t>(*from) : 0;
      unsigned long status = 200;
      std::optional<std::string> range;
      std::size_t bodyFrom = 0;
      switch (answer.kind % 7) {
        case 0: break;
        case 1: status = 206; range = cv::expectedContentRange(offset, fileSize); bodyFrom = offset; break;
        case 2: status = 206; range = "bytes " + std::to_string(offset / 2) + "-" + std::to_string(fileSize - 1) + "/" + std::to_string(fileSize); bodyFrom = offset / 2; break;
        case 3: status = 416; range = "bytes */" + std::to_string(offset); break;
        case 4: status = 503; break;
        case 5: throw cv::Error(-7, "网络请求失败，请重试");
        case 6: status = 206; break;
      }
      const bool coded = answer.flags & 4;
      if (!onHead(cv::ResponseHead{status, range, coded ? std::optional<std::string>("gzip") : std::nullopt})) {
        FUZZ_REQUIRE(file.size() == heldBefore);
        return;
      }
      // Only a whole-file answer, or exactly the rest asked for, is read.
      FUZZ_REQUIRE(status == 200 ||
                   (status == 206 && !coded && from && range == cv::expectedContentRange(offset, fileSize)));
      if (status == 200) FUZZ_REQUIRE(file.empty());
      if (status == 206) spliced = true;
      std::string body = truth.substr(std::min(bodyFrom, fileSize)) + "extra";
      body = body.substr(0, std::min(answer.length, body.size()));
      if (answer.flags & 2) body = corrupted(body);
      for (std::size_t at = 0; at < body.size(); at += 997) {
        const std::size_t before = file.size();
        onData(body.data() + at, static_cast<unsigned long>(std::min<std::size_t>(997, body.size() - at)));
        FUZZ_REQUIRE(file.size() > before);
      }
      if (coded && file.size() < fileSize) codedBodyBroke = true;
      if (answer.flags & 1) throw cv::Error(-7, "下载中断，请重试");
    });
    FUZZ_REQUIRE(file == truth && promised == digestOf(truth));
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(error.code == -5 || error.code == -7);
    if (download.provedWrong()) FUZZ_REQUIRE(error.code == -5 || codedBodyBroke);
  }
  FUZZ_REQUIRE(withoutNewBytes <= 5);
  FUZZ_REQUIRE(file.size() <= fileSize);
  for (std::uint64_t held : run.progress) FUZZ_REQUIRE(held <= fileSize);
  for (unsigned ms : waits) FUZZ_REQUIRE(ms == 1000 || ms == 2000 || ms == 4000 || ms == 8000);
  return 0;
}

// A download's body as it arrives (the installer or a new shell), against the
// size and digest its descriptor promised, and the free-space and size-text
// rules. Input: the expected size (16 bits), a byte n (n % 8 + 1 chunk sizes
// follow), the 16-bit chunk sizes (each 1 + value % 4096), the write that fails
// (0: none), a flag byte (1: the
// promised digest is the body's own), a 64-bit free-space figure, then the
// body; a size text is read from the body up to its first NUL. Beside not
// crashing: nothing is ever written past the promised size, a chunk that
// would pass it is refused whole, before anything of it is written; each
// accepted chunk is written once, in order, and reported as the running
// total; the download verifies exactly when the body is complete and its
// digest is the promised one.
#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "../unit/download_doubles.hpp"
#include "core/limits.hpp"
#include "net/rules/download_sink.hpp"
#include "net/rules/free_space.hpp"
#include "platform/sha256.hpp"

namespace {

using namespace zrq::fuzz;

std::string digestOf(const std::string& bytes) {
  cv::Sha256 digest;
  digest.update(bytes.data(), static_cast<unsigned long>(bytes.size()));
  return cv::toHex(digest.finish());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::uint64_t expected = input.u16();
  std::vector<std::size_t> chunkSizes(input.byte() % 8 + 1);
  for (std::size_t& chunk : chunkSizes) chunk = input.u16() % 4096 + 1;  // never empty
  const std::size_t failingChunk = input.byte();
  const bool promiseBodyDigest = input.byte() & 1;
  const std::uint64_t freeBytes = input.u64();
  const std::string body(input.rest());

  const unsigned __int128 needed = static_cast<unsigned __int128>(expected) + cv::kDownloadSpaceMargin;
  FUZZ_REQUIRE(cv::hasRoomForDownload(freeBytes, expected) == (freeBytes >= needed));
  FUZZ_REQUIRE(cv::hasRoomForDownload(freeBytes, freeBytes) == false);

  // Its failingChunk-th write fails.
  struct FailingFile final : cv::DownloadTarget {
    bool append(const char* bytes, unsigned long length) override {
      if (++writes == failingChunk) return false;
      written.append(bytes, length);
      return true;
    }
    void empty() override {}
    std::size_t failingChunk = 0;
    std::size_t writes = 0;
    std::string written;
  } file;
  file.failingChunk = failingChunk;
  const std::string& written = file.written;
  const std::size_t& writes = file.writes;
  cv::testing::RecordingRun run;
  const std::vector<std::uint64_t>& reports = run.progress;
  cv::Sha256 digest;
  cv::DownloadSink sink(expected, file, digest, &run);

  std::size_t offered = 0;
  bool stopped = false;
  for (std::size_t turn = 0; offered < body.size() && !stopped; ++turn) {
    const std::size_t length = std::min(chunkSizes[turn % chunkSizes.size()], body.size() - offered);
    const std::size_t writtenBefore = written.size();
    const std::size_t reportsBefore = reports.size();
    try {
      sink(body.data() + offered, static_cast<unsigned long>(length));
    } catch (const cv::Error& error) {
      stopped = true;  // the transfer ends with the sink's error
      FUZZ_REQUIRE(written.size() == writtenBefore && reports.size() == reportsBefore);
      if (error.code == -5) {
        FUZZ_REQUIRE(std::string(error.what()) == "安装文件大小不匹配");
        FUZZ_REQUIRE(offered + length > expected);
      } else {
        FUZZ_REQUIRE(error.code == -9 && std::string(error.what()) == "写入安装文件失败");
        FUZZ_REQUIRE(writes == failingChunk && offered + length <= expected);
      }
      continue;
    }
    FUZZ_REQUIRE(offered + length <= expected);
    FUZZ_REQUIRE(written == body.substr(0, offered + length));
    FUZZ_REQUIRE(reports.size() == reportsBefore + 1 && reports.back() == offered + length);
    offered += length;
  }
  FUZZ_REQUIRE(written.size() <= expected);
  FUZZ_REQUIRE(sink.bytesWritten() == written.size());
  if (stopped) return 0;

  const std::string promised = promiseBodyDigest ? digestOf(body) : std::string(64, 'f');
  bool verified = true;
  try {
    sink.verify(promised);
  } catch (const cv::Error& error) {
    FUZZ_REQUIRE(error.code == -5 && std::string(error.what()) == "安装文件校验失败，请重试");
    verified = false;
  }
  FUZZ_REQUIRE(verified == (written.size() == expected && digestOf(written) == promised));
  return 0;
}

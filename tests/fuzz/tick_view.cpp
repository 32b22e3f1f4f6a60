// What one tick of the progress window shows, for any run-state reading, and
// the DPI scaling of its layout. Input: stage, flags (bits 3 to 5: the
// download's phase, also values it never holds), the two byte counters,
// a second count, the result code, a DPI and a length in 96-DPI units, then
// the failure message. Beside not crashing: the percentage is 0 to 100, never
// falls as the download grows, is 100 for a complete download and is the
// exact truncated percentage for any size up to 2^53 / 100 bytes; every status
// text is the stage's fixed text, the download phase's prefix with that percentage, or
// the session's message; the button, marquee and closing follow the stage;
// scaling rounds to the nearest pixel, halves away from zero, and keeps 96 DPI
// as it is.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>

#include "app/rules/window_view.hpp"
#include "core/messages.hpp"
#include "fuzz_support.hpp"

namespace {

using namespace zrq::fuzz;
using cv::Marquee;
using cv::Stage;
using cv::TickInput;
using cv::TickView;

void checkPercent(std::uint64_t downloaded, std::uint64_t total, std::uint64_t more) {
  const int percent = cv::downloadPercent(downloaded, total);
  FUZZ_REQUIRE(percent >= 0 && percent <= 100);
  if (downloaded == total) FUZZ_REQUIRE(percent == 100);
  if (downloaded == 0) FUZZ_REQUIRE(percent == 0);
  const auto exact = static_cast<int>(static_cast<unsigned __int128>(downloaded) * 100 / total);
  if (total <= (std::uint64_t{1} << 53) / 100) FUZZ_REQUIRE(percent == exact);
  FUZZ_REQUIRE(percent >= exact - 1 && percent <= exact + 1);
  const std::uint64_t later = downloaded + std::min(more, total - downloaded);
  FUZZ_REQUIRE(cv::downloadPercent(later, total) >= percent);
}

void checkView(const TickInput& input, const TickView& view) {
  const bool known = static_cast<std::int32_t>(input.stage) >= 0 && static_cast<std::int32_t>(input.stage) <= 5;
  if (input.stage != Stage::Failed) {
    FUZZ_REQUIRE(view.buttonEnabled == (input.stage != Stage::Launching && !input.cancelRequested));
    FUZZ_REQUIRE(!view.buttonText);
  }
  switch (input.stage) {
    case Stage::Downloading: {
      const int percent = cv::downloadPercent(input.downloadedBytes, input.totalBytes);
      const std::int32_t phase = static_cast<std::int32_t>(input.phase);
      const std::wstring prefix = phase == 1   ? L"网络中断，正在重试… "
                                  : phase == 2 ? L"正在校验已下载的部分… "
                                  : phase == 3 ? L"正在校验已下载的安装文件… "
                                  : input.updating ? L"正在更新安装助手… "
                                                   : L"正在下载安装文件… ";
      FUZZ_REQUIRE(view.statusText == prefix + std::to_wstring(percent) + L"%");
      FUZZ_REQUIRE(view.progressPosition == percent);
      FUZZ_REQUIRE(view.marquee == Marquee::Stop && view.marqueeStyle == false);
      FUZZ_REQUIRE(!view.destroy);
      break;
    }
    case Stage::FetchingInfo:
    case Stage::Verifying:
    case Stage::Launching: {
      const wchar_t* text = input.stage == Stage::FetchingInfo ? L"正在获取游戏安装信息…"
                            : input.stage == Stage::Verifying  ? L"正在校验安装文件…"
                                                               : L"正在启动安装程序…";
      FUZZ_REQUIRE(view.statusText == std::wstring(text));
      FUZZ_REQUIRE(!view.progressPosition);
      FUZZ_REQUIRE(view.marquee == Marquee::Start && view.marqueeStyle == true);
      FUZZ_REQUIRE(!view.destroy);
      break;
    }
    case Stage::Finished:
      FUZZ_REQUIRE(view.destroy && !view.statusText && !view.progressPosition);
      FUZZ_REQUIRE(view.marquee == Marquee::Unchanged && !view.marqueeStyle);
      break;
    case Stage::Failed:
      FUZZ_REQUIRE(view.statusText == input.message);
      FUZZ_REQUIRE(view.buttonText == std::wstring(cv::msg::kCloseButtonWide) && view.buttonEnabled);
      FUZZ_REQUIRE(view.marquee == Marquee::Stop && !view.marqueeStyle && !view.progressPosition);
      FUZZ_REQUIRE(view.destroy == (input.resultCode == -10));
      break;
  }
  if (!known) {
    FUZZ_REQUIRE(!view.statusText && !view.progressPosition && !view.buttonText && !view.destroy);
    FUZZ_REQUIRE(view.marquee == Marquee::Unchanged && !view.marqueeStyle);
  }
}

void checkScaling(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  if (product / 96 > 2000000000 || product / 96 < -2000000000) return;  // no such window
  const long long scaled = cv::scaleForDpi(value, dpi);
  const long long error = scaled * 96 - product;  // in 1/96 pixels
  FUZZ_REQUIRE(error >= -48 && error <= 48);
  if (error == 48 || error == -48) FUZZ_REQUIRE((scaled > 0) == (product > 0));  // halves away from zero
  if (value != INT32_MIN) FUZZ_REQUIRE(cv::scaleForDpi(-value, dpi) == -scaled);
  if (dpi == 96) FUZZ_REQUIRE(scaled == value);
  const cv::Box box = cv::scaleForDpi(cv::Box{value, 0, 0, value}, dpi);
  FUZZ_REQUIRE(box.x == scaled && box.height == scaled && box.y == 0 && box.width == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  TickInput tick;
  const std::uint8_t stage = input.byte();
  // Mostly the six stages, sometimes a value the run state never holds.
  tick.stage = static_cast<Stage>(stage < 240 ? stage % 6 : stage % 2 ? stage : -static_cast<int>(stage));
  const std::uint8_t flags = input.byte();
  tick.cancelRequested = flags & 1;
  tick.updating = flags & 2;
  tick.phase = static_cast<cv::DownloadPhase>((flags >> 3) & 7);
  std::uint64_t downloaded = input.u64();
  std::uint64_t total = input.u64();
  // The worker sets a size of at least 1 before Downloading and never counts past it.
  if (total == 0) total = 1;
  if (downloaded > total) std::swap(downloaded, total);
  if (flags & 4) downloaded = total;
  tick.downloadedBytes = downloaded;
  tick.totalBytes = total;
  const std::uint64_t more = input.u64();
  tick.resultCode = static_cast<std::int32_t>(input.u32());
  const int dpi = static_cast<std::int32_t>(input.u32());
  const int value = static_cast<std::int32_t>(input.u32());
  tick.message = wideFromBytes(input.rest());

  checkPercent(downloaded, total, more);
  checkView(tick, cv::viewForTick(tick));
  checkScaling(value, dpi);
  return 0;
}

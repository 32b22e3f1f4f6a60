#include "app/rules/window_view.hpp"
#include "core/messages.hpp"

namespace cv {

int scaleForDpi(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = 48;
  return static_cast<int>(product >= 0 ? (product + half) / 96 : -((-product + half) / 96));
}

Box scaleForDpi(const Box& box, int dpi) {
  return {scaleForDpi(box.x, dpi), scaleForDpi(box.y, dpi), scaleForDpi(box.width, dpi),
          scaleForDpi(box.height, dpi)};
}

int downloadPercent(std::uint64_t downloadedBytes, std::uint64_t totalBytes) {
  if (totalBytes == 0) return 0;
  // Above 2^53 / 100 bytes the product loses bits, and a complete download
  // could come out as 99.99...: complete is always 100.
  if (downloadedBytes >= totalBytes) return 100;
  return static_cast<int>(static_cast<double>(downloadedBytes) * 100.0 /
                          static_cast<double>(totalBytes));
}

const wchar_t* downloadStatusPrefix(DownloadPhase phase, bool updating) {
  switch (phase) {
    case DownloadPhase::Waiting:
      return msg::kReconnectingWide;
    case DownloadPhase::CheckingKept:
      return msg::kCheckingKeptWide;
    case DownloadPhase::CheckingCopy:
      return msg::kCheckingCopyWide;
    case DownloadPhase::Transferring:
      break;
  }
  return updating ? msg::kUpdatingShellWide : msg::kDownloadingWide;
}

TickView viewForTick(const TickInput& input) {
  TickView view;
  view.buttonEnabled = input.stage != Stage::Launching && !input.cancelRequested;
  switch (input.stage) {
    case Stage::Downloading: {
      const int percent = downloadPercent(input.downloadedBytes, input.totalBytes);
      view.statusText = downloadStatusPrefix(input.phase, input.updating) + std::to_wstring(percent) + L"%";
      view.progressPosition = percent;
      view.marquee = Marquee::Stop;
      view.marqueeStyle = false;
      break;
    }
    case Stage::FetchingInfo:
    case Stage::Verifying:
    case Stage::Launching:
      view.statusText = input.stage == Stage::FetchingInfo ? msg::kFetchingInfoWide
                        : input.stage == Stage::Verifying  ? msg::kVerifyingWide
                                                           : msg::kLaunchingWide;
      view.marquee = Marquee::Start;
      view.marqueeStyle = true;
      break;
    case Stage::Finished:
      view.destroy = true;
      break;
    case Stage::Failed:
      view.statusText = input.message;
      view.buttonText = msg::kCloseButtonWide;
      view.buttonEnabled = true;
      view.marquee = Marquee::Stop;
      view.destroy = input.resultCode == -10;
      break;
  }
  return view;
}

}  // namespace cv

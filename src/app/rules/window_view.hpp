#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/messages.hpp"
#include "session/run_state.hpp"

namespace cv {

// Fixed texts of the progress window.
// The status while downloading, each followed by the percentage and "%".

// Layout in 96-DPI units: x, y, width, height.
struct Box {
  int x, y, width, height;
};
inline constexpr Box kWindowBox{0, 0, 600, 205};
inline constexpr Box kStatusBox{24, 26, 545, 46};
inline constexpr Box kProgressBox{24, 80, 545, 20};
inline constexpr Box kButtonBox{469, 120, 100, 30};

// v * dpi / 96, rounded to the nearest integer, halves away from zero.
int scaleForDpi(int value, int dpi);
Box scaleForDpi(const Box& box, int dpi);

// What one 80 ms tick reads from the run state.
struct TickInput {
  Stage stage = Stage::FetchingInfo;
  bool cancelRequested = false;
  bool updating = false;
  DownloadPhase phase = DownloadPhase::Transferring;
  std::uint64_t downloadedBytes = 0;
  std::uint64_t totalBytes = 0;
  std::int32_t resultCode = 0;
  std::wstring message;  // read only when the stage is Failed
};

enum class Marquee { Unchanged, Start, Stop };

// What the tick does to the window.
struct TickView {
  bool buttonEnabled = true;
  std::optional<std::wstring> statusText;
  std::optional<int> progressPosition;
  Marquee marquee = Marquee::Unchanged;
  std::optional<bool> marqueeStyle;  // set or clear the progress bar's marquee style bit
  std::optional<std::wstring> buttonText;
  bool destroy = false;
};

int downloadPercent(std::uint64_t downloadedBytes, std::uint64_t totalBytes);
// The status text before the percentage while the stage is Downloading.
const wchar_t* downloadStatusPrefix(DownloadPhase phase, bool updating);
TickView viewForTick(const TickInput& input);

}  // namespace cv

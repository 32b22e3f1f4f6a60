#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cv {

// The handover options; complete before the worker starts, read-only afterwards.
struct LaunchOptions {
  std::wstring updateReadyEvent;
  std::uint32_t updateTarget = 0;
  std::uint32_t updateHops = 0;
};

// Reads the argument vector (element 0 is the program path). Throws on any
// rejection; the entry turns every throw into exit code 1.
LaunchOptions parseCommandLine(const std::vector<std::wstring>& arguments);

// Session result code -> process exit code: 0 -> 0, -10 -> 2, anything else -> 1.
int exitCodeFor(std::int32_t resultCode);

}  // namespace cv

#pragma once

#include <cstdint>
#include <string>

namespace cv {

// The handover options of the command line (app/command_line.hpp parses
// them); complete before the worker starts, read-only afterwards.
struct LaunchOptions {
  std::wstring updateReadyEvent;
  std::uint32_t updateTarget = 0;
  std::uint32_t updateHops = 0;
};

}  // namespace cv

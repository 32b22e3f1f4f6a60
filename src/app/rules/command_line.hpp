#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "session/launch_options.hpp"

namespace cv {


// Reads the argument vector (element 0 is the program path). Throws on any
// rejection; the entry turns every throw into exit code 1.
LaunchOptions parseCommandLine(const std::vector<std::wstring>& arguments);

// Session result code -> process exit code: 0 -> 0, -10 -> 2, anything else -> 1.
int exitCodeFor(std::int32_t resultCode);

}  // namespace cv

#pragma once

namespace cv {

// Replacing a file fails on Windows while another process (the game, a virus
// scanner, the search indexer) briefly has it open. Such failures are tried
// again for about half a second in all; any other failure ends at once.
inline constexpr unsigned kReplaceRetries = 10;
inline constexpr unsigned kReplaceRetryDelayMs = 50;

// Access denied, sharing violation, lock violation.
inline bool isTransientReplaceFailure(unsigned long win32Error) {
  return win32Error == 5 || win32Error == 32 || win32Error == 33;
}

}  // namespace cv

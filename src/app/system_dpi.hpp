#pragma once

namespace cv {

// The system DPI, read once before the window is made: GetDpiForSystem where
// Windows has it (10 1607 and later), else the screen's LOGPIXELSY, which is
// the same value for a DPI-aware process.
int systemDpi();

}  // namespace cv

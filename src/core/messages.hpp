#pragma once

// Every text a player can see, in one place (core/messages.inc): the window's
// own texts and the message of each failure, as UTF-8 (msg::kName) and as the
// window shows it (msg::kNameWide). The test harness reads the same file
// (tools/zrqtest/vocabulary.py).

#define ZRQ_TEXT(name, text)           \
  inline constexpr char name[] = text; \
  inline constexpr wchar_t name##Wide[] = L"" text;

namespace cv::msg {
#include "core/messages.inc"
}  // namespace cv::msg

#undef ZRQ_TEXT

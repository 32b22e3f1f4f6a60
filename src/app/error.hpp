#pragma once

#include <stdexcept>
#include <string>

namespace cv {

// Result codes of a session; 0 is success and is never thrown.
enum ResultCode : int {
  Success = 0,
  InvalidInput = -1,
  Busy = -3,
  BadData = -5,
  NetworkFailure = -7,
  SystemFailure = -9,
  Cancelled = -10,
  UnexpectedFailure = -11,
};

// The one failure type: a negative result code and a UTF-8 message for the user.
struct Error : std::runtime_error {
  Error(int code, const std::string& message) : std::runtime_error(message), code(code) {}
  int code;
};

// What the window shows for a failure that is not an Error (a JSON library
// error, an allocation failure): one text, wide for the window and as UTF-8.
#define ZRQ_UNEXPECTED_FAILURE_TEXT "安装准备失败，请重新下载后重试"
inline constexpr char kUnexpectedFailureMessage[] = ZRQ_UNEXPECTED_FAILURE_TEXT;
inline constexpr wchar_t kUnexpectedFailureText[] = L"" ZRQ_UNEXPECTED_FAILURE_TEXT;
#undef ZRQ_UNEXPECTED_FAILURE_TEXT

inline void ensure(bool condition, int code, const char* message) {
  if (!condition) throw Error(code, message);
}

}  // namespace cv

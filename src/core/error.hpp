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

inline void ensure(bool condition, int code, const char* message) {
  if (!condition) throw Error(code, message);
}

}  // namespace cv

#pragma once

#include <gtest/gtest.h>

#include "core/error.hpp"

namespace cv {

// The call must throw Error with exactly this code and message.
template <typename Call>
void expectError(Call&& call, int code, const char* message) {
  try {
    call();
    ADD_FAILURE() << "no error, expected " << message;
  } catch (const Error& error) {
    EXPECT_EQ(error.code, code);
    EXPECT_STREQ(error.what(), message);
  }
}

namespace testing {

// The Error an action throws; a test failure when it throws none.
template <typename F>
Error errorFrom(F&& action) {
  try {
    action();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no Error thrown";
  return Error(0, "");
}

}  // namespace testing
}  // namespace cv

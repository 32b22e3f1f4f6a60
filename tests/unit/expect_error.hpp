#pragma once

#include <gtest/gtest.h>

#include "app/error.hpp"

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

}  // namespace cv

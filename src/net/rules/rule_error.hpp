#pragma once

#include <string>
#include <utility>

#include "core/error.hpp"

namespace cv {

// A server document (or the shell's file name) broke one of the shell's rules.
// Caught as the Error it is; the member and what the rule allows travel with it
// for the channel toolkit, which names both beside the message a player sees.
struct RuleError : Error {
  RuleError(int code, const char* message, std::string field, std::string limit)
      : Error(code, message), field(std::move(field)), limit(std::move(limit)) {}
  std::string field;  // e.g. "installer.sizeBytes"
  std::string limit;  // e.g. "a decimal string of 1 to 15 digits without a leading zero"
};

inline void ensureRule(bool condition, int code, const char* message, const std::string& field,
                       const std::string& limit) {
  if (!condition) throw RuleError(code, message, field, limit);
}

}  // namespace cv

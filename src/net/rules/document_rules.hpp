#pragma once

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace cv {

// One rule of a server document, as data: the member it judges, what it
// allows in words, and the code and message a player gets when it fails.
// holds() judges the whole document; it lets the JSON library's error pass
// where the member cannot be read at all (missing, of an unusable type).
struct DocumentRule {
  std::string field;  // "installer.sizeBytes"
  std::string limit;  // "a decimal string of 1 to 15 digits without a leading zero"
  int code;
  const char* message;
  std::function<bool(const nlohmann::json& document)> holds;
};
using DocumentRules = std::vector<DocumentRule>;

// The shell: the first rule that does not hold is thrown as a RuleError;
// the JSON library's error passes as it is.
void enforce(const DocumentRules& rules, const nlohmann::json& document);

// The channel toolkit: every rule that does not hold, in order; a rule whose
// member cannot be read is broken too, with the library's text.
struct Violation {
  const DocumentRule* rule;
  std::string libraryError;  // empty: the rule said no
};
std::vector<Violation> violationsOf(const DocumentRules& rules, const nlohmann::json& document);

}  // namespace cv

#pragma once

#include <exception>
#include <string>

#include <nlohmann/json.hpp>

#include "net/rules/document_rules.hpp"

namespace zrq::channel {

// One thing wrong with a document, a file or an answer: which field, what the
// shell allows there, what was found, and the message a player would see (or,
// for what the shell gets over without a message, what it costs players).
struct Problem {
  std::string field;   // "displayName", "installer file", "configuration request"
  std::string limit;   // what the shell allows, empty when nothing more is to say
  std::string found;   // what is there instead, empty when not known
  std::string player;  // the shell's message in the window, empty when no player sees one
  std::string effect{};  // what it costs players when they see no message, or empty

  std::string text() const;
  nlohmann::json toJson() const;
};

// What an exception thrown by the shell's own rules means for an operator: a
// rule's field and limit, the message of any other Error, or a JSON library
// error as the general failure a player sees for it. `doc` (may be null) is the
// document judged, so the value found under the failing field can be shown.
Problem problemFromException(const std::exception_ptr& error, const nlohmann::json* doc,
                             const std::string& fallbackField);

// A broken rule of a document, as the rule itself words it; doc is the
// document it judged, whose value under the rule's field is quoted.
Problem problemFromViolation(const cv::Violation& violation, const nlohmann::json& doc);

// A JSON value as an operator would quote it: short, with its type and UTF-8 length.
std::string describeValue(const nlohmann::json& value);

// The member at a dotted path ("installer.sha256"), or null when absent.
const nlohmann::json* memberAt(const nlohmann::json& doc, const std::string& path);

}  // namespace zrq::channel

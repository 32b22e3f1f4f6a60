#pragma once

// The rule tables of tests/rules, shared by the shell's unit tests,
// zrq-channel's tests and the fuzz seeds: each case changes the table's
// document and says what the rules make of it.

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "rule_tables_data.hpp"

namespace cv::testing {

struct RuleCase {
  std::string name;
  nlohmann::json document;
  nlohmann::json expect;   // null: accepted; "library"; or [field, code, message name]
  nlohmann::json toolkit;  // every problem zrq-channel lists, when the table says
};

// {"$repeat": "游", "$times": 86} stands for that text repeated.
inline nlohmann::json expandedValue(const nlohmann::json& value) {
  if (value.is_object() && value.contains("$repeat")) {
    std::string text;
    for (int i = 0; i < value.at("$times").get<int>(); ++i) text += value.at("$repeat").get<std::string>();
    return text;
  }
  if (value.is_structured()) {
    nlohmann::json out = value;
    for (auto& item : out.items()) item.value() = expandedValue(item.value());
    return out;
  }
  return value;
}

inline const nlohmann::json& ruleTable(const std::string& name) {
  static std::map<std::string, nlohmann::json> parsed;
  auto found = parsed.find(name);
  if (found == parsed.end()) found = parsed.emplace(name, nlohmann::json::parse(kRuleTables.at(name))).first;
  return found->second;
}

// The cases of a table, each document built from the table's own.
inline std::vector<RuleCase> ruleCases(const std::string& name) {
  const nlohmann::json& table = ruleTable(name);
  std::vector<RuleCase> cases;
  for (const nlohmann::json& item : table.at("cases")) {
    RuleCase c;
    c.name = item.at("name").get<std::string>();
    if (item.contains("whole")) {
      c.document = expandedValue(item.at("whole"));
    } else if (item.contains("answer")) {
      c.document = expandedValue(item.at("answer"));
    } else {
      c.document = expandedValue(table.at("document"));
      const nlohmann::json set = item.value("set", nlohmann::json::object());
      for (const auto& [pointer, value] : set.items())
        c.document[nlohmann::json::json_pointer(pointer)] = expandedValue(value);
      const nlohmann::json remove = item.value("remove", nlohmann::json::array());
      for (const nlohmann::json& pointer : remove) {
        const nlohmann::json::json_pointer at(pointer.get<std::string>());
        c.document[at.parent_pointer()].erase(at.back());
      }
    }
    c.expect = item.at("expect");
    c.toolkit = item.value("toolkit", nlohmann::json());
    cases.push_back(std::move(c));
  }
  return cases;
}

// A message's text by its name in core/messages.inc ("kBadUrl").
inline std::string messageNamed(const std::string& name) {
#define ZRQ_TEXT(constant, text) {#constant, text},
  static const std::map<std::string, std::string> texts = {
#include "core/messages.inc"
  };
#undef ZRQ_TEXT
  return texts.at(name);
}

}  // namespace cv::testing

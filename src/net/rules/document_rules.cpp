#include "net/rules/document_rules.hpp"

#include "net/rules/rule_error.hpp"

namespace cv {

void enforce(const DocumentRules& rules, const nlohmann::json& document) {
  for (const DocumentRule& rule : rules) {
    if (!rule.holds(document)) throw RuleError(rule.code, rule.message, rule.field, rule.limit);
  }
}

std::vector<Violation> violationsOf(const DocumentRules& rules, const nlohmann::json& document) {
  std::vector<Violation> found;
  for (const DocumentRule& rule : rules) {
    try {
      if (!rule.holds(document)) found.push_back({&rule, {}});
    } catch (const nlohmann::json::exception& error) {
      found.push_back({&rule, error.what()});
    }
  }
  return found;
}

}  // namespace cv

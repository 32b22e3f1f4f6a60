#include "problem.hpp"
#include "core/messages.hpp"

#include "core/error.hpp"
#include "net/rules/rule_error.hpp"

namespace zrq::channel {

namespace {

constexpr std::size_t kQuoteLimit = 60;

std::string quoteText(const std::string& text) {
  // Cut on a UTF-8 boundary so the quote stays valid text.
  std::size_t cut = text.size();
  if (cut > kQuoteLimit) {
    cut = kQuoteLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  }
  nlohmann::json quoted = text.substr(0, cut);
  std::string out = quoted.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (cut < text.size()) out += "...";
  return out;
}

}  // namespace

std::string describeValue(const nlohmann::json& value) {
  if (value.is_string()) {
    const auto& text = value.get_ref<const std::string&>();
    return "the string " + quoteText(text) + " (" + std::to_string(text.size()) + " bytes)";
  }
  std::string dumped = value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (dumped.size() > kQuoteLimit) dumped = dumped.substr(0, kQuoteLimit) + "...";
  return std::string("the ") + value.type_name() + " " + dumped;
}

const nlohmann::json* memberAt(const nlohmann::json& doc, const std::string& path) {
  const nlohmann::json* at = &doc;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t dot = path.find('.', start);
    if (dot == std::string::npos) dot = path.size();
    if (!at->is_object()) return nullptr;
    const auto member = at->find(path.substr(start, dot - start));
    if (member == at->end()) return nullptr;
    at = &*member;
    start = dot + 1;
  }
  return at;
}

std::string Problem::text() const {
  std::string out = field;
  if (!limit.empty()) out += " must be " + limit;
  if (!found.empty()) out += (limit.empty() ? ": " : ", found: ") + found;
  if (!player.empty()) out += "; the player sees \"" + player + "\"";
  if (!effect.empty()) out += "; " + effect;
  return out;
}

nlohmann::json Problem::toJson() const {
  nlohmann::json out = {{"field", field}};
  if (!limit.empty()) out["limit"] = limit;
  if (!found.empty()) out["found"] = found;
  if (!player.empty()) out["playerMessage"] = player;
  if (!effect.empty()) out["effect"] = effect;
  return out;
}

Problem problemFromViolation(const cv::Violation& violation, const nlohmann::json& doc) {
  Problem problem;
  problem.field = violation.rule->field;
  problem.limit = violation.rule->limit;
  if (violation.libraryError.empty()) {
    problem.player = violation.rule->message;
    if (const nlohmann::json* value = memberAt(doc, problem.field)) problem.found = describeValue(*value);
  } else {
    // The shell cannot read the member at all: its general failure.
    problem.found = violation.libraryError;
    problem.player = cv::msg::kUnexpectedFailure;
  }
  return problem;
}

Problem problemFromException(const std::exception_ptr& error, const nlohmann::json* doc,
                             const std::string& fallbackField) {
  Problem problem;
  problem.field = fallbackField;
  try {
    std::rethrow_exception(error);
  } catch (const cv::RuleError& rule) {
    problem.field = rule.field;
    problem.limit = rule.limit;
    problem.player = rule.what();
    if (doc) {
      const nlohmann::json* value = memberAt(*doc, rule.field);
      if (value) problem.found = describeValue(*value);
    }
  } catch (const cv::Error& failure) {
    problem.player = failure.what();
  } catch (const nlohmann::json::exception& library) {
    // The shell cannot read the document at all: a missing member, a wrong
    // type, a syntax error. It shows its general failure for these.
    problem.found = library.what();
    problem.player = cv::msg::kUnexpectedFailure;
  } catch (const std::exception& other) {
    problem.found = other.what();
  }
  return problem;
}

}  // namespace zrq::channel

#include "net/rules/setup_file_name.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <optional>

#include "net/rules/rule_error.hpp"
#include "net/rules/text_rules.hpp"
#include "platform/text.hpp"

namespace cv {

DocumentRules packageIdRules() {
  const auto id = [](const nlohmann::json& value) -> const std::string& {
    return value.get_ref<const std::string&>();
  };
  return {
      {"package id",
       "1 to " + std::to_string(kPackageIdDigitsLimit) + " digits without a leading zero",
       InvalidInput, msg::kBadFileName,
       [id](const nlohmann::json& value) { return isPositiveDecimal(id(value), kPackageIdDigitsLimit); }},
      {"package id", "at most " + std::to_string(kMaxPackageId), InvalidInput,
       msg::kInvalidPackage,
       [id](const nlohmann::json& value) { return isDecimalAtMost(id(value), kMaxPackageId); }},
  };
}

std::string packageIdFromFileName(const std::wstring& fileName) {
  // The copy suffix is what browsers add to a second download: " (2)" or "(2)".
  const std::optional<std::wstring> digits = setupFileNameDigits(fileName);
  ensureRule(digits.has_value(), InvalidInput, msg::kBadFileName, "file name",
             "ends in _Setup_pc, 1 to 10 digits without a leading zero, an optional copy "
             "suffix such as \" (2)\", and .exe");
  const std::string id = toUtf8(*digits);
  enforce(packageIdRules(), id);
  return id;
}

}  // namespace cv

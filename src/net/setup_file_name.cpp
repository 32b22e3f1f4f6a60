#include "net/setup_file_name.hpp"
#include "core/messages.hpp"

#include <optional>

#include "net/rule_error.hpp"
#include "net/text_rules.hpp"
#include "platform/text.hpp"

namespace cv {

std::string packageIdFromFileName(const std::wstring& fileName) {
  // The copy suffix is what browsers add to a second download: " (2)" or "(2)".
  const std::optional<std::wstring> digits = setupFileNameDigits(fileName);
  ensureRule(digits.has_value(), InvalidInput, msg::kBadFileName, "file name",
             "ends in _Setup_pc, 1 to 10 digits without a leading zero, an optional copy "
             "suffix such as \" (2)\", and .exe");

  std::string id = toUtf8(*digits);
  // Ten digits without a leading zero compare byte-wise like numbers.
  if (id.size() >= 10) {
    ensureRule(id <= "4294967295", InvalidInput, msg::kInvalidPackage, "file name",
               "a package id of at most 4294967295");
  }
  return id;
}

}  // namespace cv

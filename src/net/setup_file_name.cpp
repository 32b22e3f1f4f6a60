#include "net/setup_file_name.hpp"

#include <optional>

#include "app/error.hpp"
#include "net/text_rules.hpp"
#include "platform/text.hpp"

namespace cv {

std::string packageIdFromFileName(const std::wstring& fileName) {
  // The copy suffix is what browsers add to a second download: " (2)" or "(2)".
  const std::optional<std::wstring> digits = setupFileNameDigits(fileName);
  ensure(digits.has_value(), InvalidInput, "安装文件名称不完整，请重新下载");

  std::string id = toUtf8(*digits);
  // Ten digits without a leading zero compare byte-wise like numbers.
  if (id.size() >= 10) {
    ensure(id <= "4294967295", InvalidInput, "安装文件标识无效，请重新下载");
  }
  return id;
}

}  // namespace cv

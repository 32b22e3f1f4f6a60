#include "net/setup_file_name.hpp"

#include <regex>

#include "app/error.hpp"
#include "platform/text.hpp"

namespace cv {

std::string packageIdFromFileName(const std::wstring& fileName) {
  // The copy suffix is what browsers add to a second download: " (2)" or "(2)".
  const std::wregex pattern(LR"(_Setup_pc([1-9][0-9]{0,9})( ?\([1-9][0-9]*\))?\.exe$)",
                            std::regex_constants::ECMAScript | std::regex_constants::icase);
  std::wsmatch match;
  ensure(std::regex_search(fileName, match, pattern), InvalidInput,
         "安装文件名称不完整，请重新下载");

  std::string id = toUtf8(match[1].str());
  // Ten digits without a leading zero compare byte-wise like numbers.
  if (id.size() >= 10) {
    ensure(id <= "4294967295", InvalidInput, "安装文件标识无效，请重新下载");
  }
  return id;
}

}  // namespace cv

#include "platform/path_ancestry.hpp"

#include <filesystem>

namespace cv {

std::vector<std::wstring> selfAndAncestors(const std::wstring& path) {
  std::vector<std::wstring> chain;
  std::filesystem::path current(path);
  while (!current.empty()) {
    chain.push_back(current.wstring());
    if (current == current.root_path()) break;
    std::filesystem::path parent = current.parent_path();
    // Never loop on a path that is its own parent.
    if (parent == current) break;
    current = std::move(parent);
  }
  return chain;
}

}  // namespace cv

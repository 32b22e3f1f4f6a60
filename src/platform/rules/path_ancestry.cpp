#include "platform/rules/path_ancestry.hpp"

#include "platform/rules/path.hpp"

namespace cv {

std::vector<std::wstring> selfAndAncestors(const std::wstring& path) {
  std::vector<std::wstring> chain;
  std::wstring current(path);
  while (!current.empty()) {
    chain.push_back(current);
    if (current == rootPath(current)) break;
    std::wstring parent = parentPath(current);
    // Never loop on a path that is its own parent.
    if (parent == current) break;
    current = std::move(parent);
  }
  return chain;
}

}  // namespace cv

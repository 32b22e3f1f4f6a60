// The path rules on any wide text (an executable's path, a downloaded shell's
// path, the directories the shell secures). Input: a path, then a NUL byte and
// a second part to join to it. Beside not crashing or looping: the parent is a
// prefix of the path, never longer, strictly shorter unless the path is a root
// (or empty), and keeps the root; what the parent drops is separators and then
// the file name, which holds no separator; the walk to the root visits each
// parent once, always shorter, and ends; a join keeps both parts, adds at most
// one backslash, and a plain name joined to a directory is again its file name
// with that directory as its parent.
#include <string>
#include <vector>

#include "fuzz_support.hpp"
#include "platform/rules/path.hpp"
#include "platform/rules/path_ancestry.hpp"

namespace {

using namespace zrq::fuzz;
using cv::fileName;
using cv::isPathSeparator;
using cv::joinPath;
using cv::parentPath;
using cv::rootPath;

bool startsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool hasSeparator(const std::wstring& text) {
  for (const wchar_t c : text) {
    if (isPathSeparator(c)) return true;
  }
  return false;
}

bool startsWithDrive(const std::wstring& text) {
  return text.size() >= 2 && text[1] == L':' &&
         ((text[0] >= L'a' && text[0] <= L'z') || (text[0] >= L'A' && text[0] <= L'Z'));
}

void checkOnePath(const std::wstring& path) {
  const std::wstring parent = parentPath(path);
  const std::wstring name = fileName(path);
  const std::wstring root = rootPath(path);

  FUZZ_REQUIRE(startsWith(path, root));
  FUZZ_REQUIRE(startsWith(path, parent));
  FUZZ_REQUIRE(parent.size() <= path.size());
  FUZZ_REQUIRE(startsWith(parent, root));
  FUZZ_REQUIRE(rootPath(parent) == root);
  FUZZ_REQUIRE(parentPath(root) == root);
  FUZZ_REQUIRE(!hasSeparator(name));

  // path = parent + separators + file name; only a root (with any separators
  // after it) or the empty path is its own parent, and it has no file name.
  FUZZ_REQUIRE(path.size() >= parent.size() + name.size());
  FUZZ_REQUIRE(path.compare(path.size() - name.size(), name.size(), name) == 0);
  for (std::size_t i = parent.size(); i < path.size() - name.size(); ++i) FUZZ_REQUIRE(isPathSeparator(path[i]));
  if (parent == path) {
    FUZZ_REQUIRE(name.empty());
    for (std::size_t i = root.size(); i < path.size(); ++i) FUZZ_REQUIRE(isPathSeparator(path[i]));
  }

  const std::vector<std::wstring> chain = cv::selfAndAncestors(path);
  FUZZ_REQUIRE(chain.size() <= path.size() + 1);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    if (i == 0) FUZZ_REQUIRE(chain[0] == path);
    if (i > 0) {
      FUZZ_REQUIRE(chain[i] == parentPath(chain[i - 1]));
      FUZZ_REQUIRE(chain[i].size() < chain[i - 1].size());
    }
  }
  if (!chain.empty()) {
    const std::wstring& last = chain.back();
    FUZZ_REQUIRE(last == rootPath(last) || parentPath(last).empty() || parentPath(last) == last);
  }
}

void checkJoin(const std::wstring& left, const std::wstring& right) {
  const std::wstring joined = joinPath(left, right);
  const bool absoluteRight = (!right.empty() && isPathSeparator(right[0])) || startsWithDrive(right);
  FUZZ_REQUIRE(joined.size() >= right.size() &&
               joined.compare(joined.size() - right.size(), right.size(), right) == 0);
  if (absoluteRight) {
    FUZZ_REQUIRE(joined == right);
    return;
  }
  FUZZ_REQUIRE(startsWith(joined, left));
  FUZZ_REQUIRE(joined.size() <= left.size() + right.size() + 1);
  const bool plainName = !right.empty() && !hasSeparator(right) && right.find(L':') == std::wstring::npos;
  if (plainName && !fileName(left).empty()) {
    FUZZ_REQUIRE(fileName(joined) == right);
    FUZZ_REQUIRE(parentPath(joined) == left);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input(data, size);
  const std::wstring path = wideFromBytes(input.until('\0'));
  const std::wstring second = wideFromBytes(input.rest());
  checkOnePath(path);
  checkOnePath(second);
  checkJoin(path, second);
  checkOnePath(joinPath(path, second));
  return 0;
}

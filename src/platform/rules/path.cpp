#include "platform/rules/path.hpp"

namespace cv {

namespace {

bool isDriveLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

bool startsWithDrive(const std::wstring& path) {
  return path.size() >= 2 && isDriveLetter(path[0]) && path[1] == L':';
}

// Length of the root name: "C:" or "\\server"; zero when there is none.
std::size_t rootNameLength(const std::wstring& path) {
  if (startsWithDrive(path)) return 2;
  if (path.size() > 2 && isPathSeparator(path[0]) && isPathSeparator(path[1]) &&
      !isPathSeparator(path[2])) {
    std::size_t end = 2;
    while (end < path.size() && !isPathSeparator(path[end])) ++end;
    return end;
  }
  return 0;
}

std::size_t rootLength(const std::wstring& path) {
  const std::size_t name = rootNameLength(path);
  if (name < path.size() && isPathSeparator(path[name])) return name + 1;
  return name;
}

// Where the components after the root begin: redundant separators after the
// root belong to no component.
std::size_t relativeStart(const std::wstring& path) {
  std::size_t start = rootLength(path);
  if (start > rootNameLength(path)) {
    while (start < path.size() && isPathSeparator(path[start])) ++start;
  }
  return start;
}

}  // namespace

bool isPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring rootPath(const std::wstring& path) { return path.substr(0, rootLength(path)); }

std::wstring joinPath(const std::wstring& left, const std::wstring& right) {
  if ((!right.empty() && isPathSeparator(right[0])) || startsWithDrive(right)) return right;
  if (left.empty()) return right;
  if (isPathSeparator(left.back()) || (left.size() == 2 && startsWithDrive(left))) return left + right;
  return left + L"\\" + right;
}

std::wstring parentPath(const std::wstring& path) {
  const std::size_t start = relativeStart(path);
  if (start >= path.size()) return path;
  // The last component begins after the last separator (it is empty when the
  // path ends in one).
  std::size_t last = path.size();
  while (last > start && !isPathSeparator(path[last - 1])) --last;
  if (last == start) return path.substr(0, rootLength(path));
  std::size_t end = last;
  while (end > start && isPathSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

std::wstring fileName(const std::wstring& path) {
  const std::size_t start = relativeStart(path);
  if (start >= path.size()) return std::wstring();
  std::size_t last = path.size();
  while (last > start && !isPathSeparator(path[last - 1])) --last;
  return path.substr(last);
}

std::wstring withoutLongPathPrefix(const std::wstring& path) {
  static const std::wstring kUnc = L"\\\\?\\UNC\\";
  static const std::wstring kLong = L"\\\\?\\";
  if (path.compare(0, kUnc.size(), kUnc) == 0) return L"\\\\" + path.substr(kUnc.size());
  if (path.compare(0, kLong.size(), kLong) == 0) return path.substr(kLong.size());
  return path;
}

bool samePathIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

}  // namespace cv

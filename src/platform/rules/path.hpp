#pragma once

#include <string>

namespace cv {

// Pure path text rules for Windows paths; both '\' and '/' separate components.
// Nothing here touches the file system.

bool isPathSeparator(wchar_t c);

// The root of the path: a drive ("C:"), a server ("\\server") or nothing,
// followed by one separator when the path has one there. Empty for a relative path.
std::wstring rootPath(const std::wstring& path);

// left and right joined by a backslash. No backslash is added when left is
// empty, is a bare drive such as "C:", or already ends in a separator. A right
// part that starts with a separator or a drive replaces left entirely.
std::wstring joinPath(const std::wstring& left, const std::wstring& right);

// The path without its last component and the separators before it; a root
// stays itself ("C:\a" -> "C:\", "C:\" -> "C:\"), a single relative component
// gives the empty path.
std::wstring parentPath(const std::wstring& path);

// The last component; empty for a root or a path that ends in a separator.
std::wstring fileName(const std::wstring& path);

// A path as GetFinalPathNameByHandleW gives it, in the usual form: "\\?\C:\a"
// -> "C:\a", "\\?\UNC\server\share" -> "\\server\share"; others unchanged.
std::wstring withoutLongPathPrefix(const std::wstring& path);

// The same path, spelled alike but for the letter case of A-Z.
bool samePathIgnoringCase(const std::wstring& a, const std::wstring& b);

}  // namespace cv

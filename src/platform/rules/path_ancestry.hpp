#pragma once

#include <string>
#include <vector>

namespace cv {

// The path itself, then each parent up to and including the root ("C:\a\b" ->
// "C:\a\b", "C:\a", "C:\"); a relative path ends with its first component.
std::vector<std::wstring> selfAndAncestors(const std::wstring& path);

}  // namespace cv

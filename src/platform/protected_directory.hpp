#pragma once

#include <string>

namespace cv {

// Creates the directory (and missing ancestors) with an owner-and-system-only
// DACL; refuses the directory or any existing ancestor being a reparse point.
void createProtectedDirectory(const std::wstring& path);

}  // namespace cv

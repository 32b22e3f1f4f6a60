#pragma once

#include <string>

namespace cv {

// Package id (decimal text) from the shell's own file name, e.g.
// "Game_Setup_pc1234 (2).exe" -> "1234". Throws Error(-1, ...) otherwise.
std::string packageIdFromFileName(const std::wstring& fileName);

}  // namespace cv

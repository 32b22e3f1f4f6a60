#pragma once

#include <string>

#include "net/rules/document_rules.hpp"

namespace cv {

// Package id (decimal text) from the shell's own file name, e.g.
// "Game_Setup_pc1234 (2).exe" -> "1234". Throws Error(-1, ...) otherwise.
std::string packageIdFromFileName(const std::wstring& fileName);

// The rules of a package id (a JSON string): 1 to 10 digits without a leading
// zero, and at most 4294967295.
DocumentRules packageIdRules();

}  // namespace cv

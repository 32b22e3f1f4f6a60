#pragma once

#include <string>

namespace cv {

// Strict conversions: invalid input fails the whole conversion (code -1).
std::string toUtf8(const std::wstring& text);
std::wstring toWide(const std::string& text);

// A fresh GUID as 36 upper-case hex digits and hyphens (8-4-4-4-12), no braces.
std::string newAttemptId();

}  // namespace cv

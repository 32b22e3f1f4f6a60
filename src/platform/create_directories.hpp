#pragma once

#include <string>

namespace cv {

// Creates the directory and every missing ancestor; existing ones are fine.
// Failure throws std::system_error naming the operation "create_directories"
// and the path.
void createDirectories(const std::wstring& path);

}  // namespace cv

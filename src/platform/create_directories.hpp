#pragma once

#include <filesystem>

namespace cv {

// Creates the directory and every missing ancestor; existing ones are fine.
// Failure throws std::filesystem::filesystem_error naming the operation
// "create_directories" and the path.
void createDirectories(const std::filesystem::path& path);

}  // namespace cv

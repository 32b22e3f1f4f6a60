#include "platform/create_directories.hpp"

#include <system_error>

namespace cv {

void createDirectories(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) throw std::filesystem::filesystem_error("create_directories", path, error);
}

}  // namespace cv

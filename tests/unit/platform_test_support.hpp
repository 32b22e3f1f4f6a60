#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "core/error.hpp"
#include "expect_error.hpp"
#include "platform/text.hpp"

namespace cv::testing {

// A fresh directory under the user's temporary folder, removed with everything
// in it when the test ends.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    path_ = std::filesystem::path(std::wstring(buffer, length)) /
            (L"zrq-test-" + toWide(newAttemptId()));
    std::filesystem::create_directories(path_);
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::wstring file(const std::wstring& name) const { return (path_ / name).wstring(); }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// How many files ending in ".tmp" a directory holds.
inline int temporaryFilesIn(const std::filesystem::path& directory) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == L".tmp") ++count;
  return count;
}

}  // namespace cv::testing

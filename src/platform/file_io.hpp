#pragma once

#include <cstdint>
#include <string>

namespace cv {

// Replaces the file's content through a flushed temporary sibling and a
// replacing rename: readers see the old or the complete new content.
void writeFileAtomic(const std::wstring& path, const std::string& content);

// The whole file, refused when it is larger than limit bytes.
std::string readFileBounded(const std::wstring& path, std::uint32_t limit);

// Whether anything is at the path. Only its absence answers false; any other
// failure to look throws std::system_error naming "exists".
bool pathExists(const std::wstring& path);

// Deletes the file; false when there was none. Any other failure throws
// std::system_error naming "remove".
bool removeFile(const std::wstring& path);

// Best effort, failures are ignored: the file, and the directory only when empty.
void removeFileQuietly(const std::wstring& path) noexcept;
void removeEmptyDirectoryQuietly(const std::wstring& path) noexcept;

}  // namespace cv

#pragma once

#include <cstdint>
#include <string>

namespace cv {

// Replaces the file's content through a flushed temporary sibling and a
// replacing rename: readers see the old or the complete new content.
void writeFileAtomic(const std::wstring& path, const std::string& content);

// The whole file, refused when it is larger than limit bytes.
std::string readFileBounded(const std::wstring& path, std::uint32_t limit);

}  // namespace cv

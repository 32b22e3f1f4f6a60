#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zrq::channel {

// Replaces path with content through a temporary sibling, flushed before the
// rename, so a host serving the tree never sees half a document. Makes the
// missing parent directories. Throws std::runtime_error with the reason.
void writeFileAtomic(const std::string& path, const std::string& content);

// Creates path with content and exactly this mode (umask aside), flushed;
// refuses to replace anything already there.
void writeNewFile(const std::string& path, const std::string& content, unsigned mode);

// Copies source to target the same way (a partial installer is never served).
void copyFileAtomic(const std::string& source, const std::string& target);

// Reads a whole file of at most limit bytes; nothing when it does not exist.
// Throws std::runtime_error when it cannot be read or is larger.
std::optional<std::string> readSmallFile(const std::string& path, std::uint64_t limit);

// Streams a file in 64 KiB pieces; throws std::runtime_error when it cannot be read.
void streamFile(const std::string& path,
                const std::function<void(const char* data, unsigned long length)>& onChunk);

struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;  // lower-case hex
};
FileDigest digestFile(const std::string& path);

bool isRegularFile(const std::string& path);

// The names of the "*.json" files directly in dir (no hidden ones), sorted;
// none when dir cannot be read.
std::vector<std::string> jsonFileNames(const std::string& dir);

}  // namespace zrq::channel

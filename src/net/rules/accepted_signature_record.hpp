#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cv {

// What a keyed shell keeps of the newest signedAt it accepted for each path of
// the file host, so that an older signed document served later is refused:
// one small file per path under the SDK directory.

// The file's name for a document path ("pc/config/1001.json" ->
// "pc-config-1001.json"); empty for a path that cannot name a file.
std::string acceptedSignatureFileName(const std::string& path);

// The file's text, and its reading: nothing for a text that is not the record
// of this path (a missing, damaged or foreign file only means there is
// nothing to compare with).
std::string acceptedSignatureText(const std::string& path, std::int64_t signedAt);
std::optional<std::int64_t> readAcceptedSignature(const std::string& text, const std::string& path);

// The largest record file read back.
inline constexpr std::uint32_t kAcceptedSignatureLimit = 4096;

}  // namespace cv

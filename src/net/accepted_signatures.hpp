#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cv {

// The newest signedAt this machine accepted for a path of the file host
// (sdkRootDirectory \ "signatures"); nothing when there is no readable record.
std::optional<std::int64_t> newestAcceptedSignature(const std::string& path) noexcept;

// Raises the path's record to signedAt (never lowers it), atomically and
// owner-only, under a lock shared by every shell of this session. A record
// that cannot be written is left as it is: the run goes on.
void recordAcceptedSignature(const std::string& path, std::int64_t signedAt) noexcept;

}  // namespace cv

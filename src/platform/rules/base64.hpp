#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cv {

// Standard base64 with padding, in its one canonical form: the alphabet of
// RFC 4648 section 4, no line breaks or spaces, '=' only at the end and every
// unused bit of the last group zero. Any other text is refused, so that no two
// texts decode to the same bytes.
std::optional<std::vector<unsigned char>> decodeBase64(const std::string& text);
std::string encodeBase64(const std::vector<unsigned char>& bytes);

}  // namespace cv

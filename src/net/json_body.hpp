#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cv {

// Largest JSON response the shell accepts, in bytes.
inline constexpr unsigned long kJsonBodyLimit = 131072;

// Appends one response chunk, refusing (before appending) to grow past kJsonBodyLimit.
void appendJsonChunk(std::string& buffer, const char* data, unsigned long length);

// The whole body as one JSON document: strict, no comments; a syntax error
// raises the JSON library's parse error.
nlohmann::json parseJsonBody(const std::string& body);

}  // namespace cv

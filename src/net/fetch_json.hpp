#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "net/https_transport.hpp"

namespace cv {

// Largest JSON response the shell accepts, in bytes.
inline constexpr unsigned long kJsonBodyLimit = 131072;

// GET (empty body) or POST, no host check, body at most kJsonBodyLimit bytes,
// parsed strictly; a parse error propagates as the JSON library's exception.
nlohmann::json fetchJson(const std::string& url, const std::string& body,
                         const Checkpoint& checkpoint);

// Appends one response chunk, refusing (before appending) to grow past kJsonBodyLimit.
void appendJsonChunk(std::string& buffer, const char* data, unsigned long length);

}  // namespace cv

#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "core/limits.hpp"

namespace cv {

// Appends one response chunk, refusing (before appending) to grow past kJsonBodyLimit.
void appendJsonChunk(std::string& buffer, const char* data, unsigned long length);

// kJsonDepthLimit: the documents the shell reads nest at most four deep (a
// configuration's installer with a structured packageId), so 64 leaves room
// for any value a channel may carry while keeping every walk over the parsed
// value (copies, comparisons, the serialisation into the check body and the
// attempt log) far from the end of the worker thread's stack.
// The whole body as one JSON document: strict, no comments, nested at most
// kJsonDepthLimit deep; a syntax error or deeper nesting raises the JSON
// library's parse error.
nlohmann::json parseJsonBody(const std::string& body);

}  // namespace cv

#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "net/https_transport.hpp"

namespace cv {

// GET of a document of the file host (path without the leading "/") through
// fetchJson. A shell built with channel keys then accepts it only signed by
// one of them, unexpired and not older than what it accepted before for the
// path, and remembers its signedAt; a body that is not an object is left to
// the document's own rules.
nlohmann::json fetchFileHostDocument(const std::string& path, const Checkpoint& checkpoint);

}  // namespace cv

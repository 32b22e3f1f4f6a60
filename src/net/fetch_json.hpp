#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "net/https_transport.hpp"
#include "net/rules/json_body.hpp"

namespace cv {

// GET (empty body) or POST, no host check, body at most kJsonBodyLimit bytes,
// parsed strictly; a parse error propagates as the JSON library's exception.
nlohmann::json fetchJson(const std::string& url, const std::string& body,
                         const Checkpoint& checkpoint);

}  // namespace cv

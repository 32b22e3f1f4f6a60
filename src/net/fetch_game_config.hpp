#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "net/https_transport.hpp"

namespace cv {

// Fetches, validates and authorizes the package's configuration.
nlohmann::json fetchGameConfig(const std::string& packageId, const Checkpoint& checkpoint);

}  // namespace cv

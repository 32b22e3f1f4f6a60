#pragma once

#include <nlohmann/json.hpp>

#include "net/https_transport.hpp"

namespace cv {

// The file host's shell manifest judged against this shell's own version code.
nlohmann::json fetchShellManifest(const Checkpoint& checkpoint);

}  // namespace cv

#pragma once

#include <string>


#include "net/rules/game_config.hpp"
#include "net/https_transport.hpp"

namespace cv {

// Fetches, validates and authorizes the package's configuration.
GameConfig fetchGameConfig(const std::string& packageId, const Checkpoint& checkpoint);

}  // namespace cv

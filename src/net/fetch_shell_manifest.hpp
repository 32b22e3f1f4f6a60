#pragma once

#include <optional>

#include "net/https_transport.hpp"
#include "net/rules/shell_manifest.hpp"

namespace cv {

// The file host's shell manifest judged against this shell's own version
// code: the newer shell it announces, if any.
std::optional<ShellUpdate> fetchShellManifest(const Checkpoint& checkpoint);

}  // namespace cv

#pragma once

#include <cstdint>

#include "build_config.hpp"

namespace cv {

// The running shell's own version code, fixed when it is built.
inline constexpr std::uint32_t shellVersionCode =
    static_cast<std::uint32_t>(build::kShellVersionCode);

}  // namespace cv

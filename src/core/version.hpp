#pragma once

#include <cstdint>

#include "build_config.hpp"

namespace cv {

// The running shell's own version code, fixed when it is built: the build's,
// or, for a further shell built beside it, that shell's (defined for the few
// sources that include this header).
#if defined(ZRQ_SHELL_VERSION_CODE_OF_EXE)
inline constexpr std::uint32_t shellVersionCode = ZRQ_SHELL_VERSION_CODE_OF_EXE;
#else
inline constexpr std::uint32_t shellVersionCode =
    static_cast<std::uint32_t>(build::kShellVersionCode);
#endif

}  // namespace cv

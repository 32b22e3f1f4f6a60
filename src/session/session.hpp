#pragma once

#include "session/launch_options.hpp"

namespace cv {

class RunState;

// The worker thread's body: one install attempt from start to end.
void runSession(RunState& state, const LaunchOptions& options);

}  // namespace cv

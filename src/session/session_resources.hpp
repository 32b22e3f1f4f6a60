#pragma once

#include <string>

#include "platform/handles.hpp"

namespace cv {

// What a session owns until its end phase: the one named lock it holds (setup
// or update lock), the staging directory and the downloaded file.
struct SessionResources {
  KernelHandle lock;
  std::wstring stagingDirectory;
  std::wstring downloadPath;
};

}  // namespace cv

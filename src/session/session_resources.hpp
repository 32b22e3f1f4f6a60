#pragma once

#include <string>

#include "net/rules/download_report.hpp"
#include "platform/handles.hpp"

namespace cv {

// What a session owns until its end phase: the one named lock it holds (setup
// or update lock), the staging directory and the downloaded file, and how the
// download went.
struct SessionResources {
  KernelHandle lock;
  std::wstring stagingDirectory;
  std::wstring downloadPath;
  DownloadReport download;
};

}  // namespace cv

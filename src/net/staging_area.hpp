#pragma once

#include <string>

#include "net/rules/staging_layout.hpp"

namespace cv {

// Where this run stages its download, and what it may take from earlier
// runs: the protected SDK root \ "temp" of a normal run, or the place an
// elevated run keeps to itself (net/staging_layout.hpp).
struct StagingArea {
  std::wstring temp;
  StagingRules rules;
  bool elevated = false;
};

// The area for this process's token (nothing is made yet).
StagingArea stagingAreaOfThisRun();

// Makes the area's directories, down to "temp".
void createStagingArea(const StagingArea& area);

// A directory of the area (a run's own, or the kept downloads'), made as the
// area's directories are.
void createStagingDirectory(const StagingArea& area, const std::wstring& directory);

}  // namespace cv

#pragma once

namespace cv {

// At the start of a run: removes earlier runs' staging directories of
// executables whose files are older than 24 hours, and kept partial downloads
// older than 14 days (staging_cleanup_rules.hpp). Files that cannot be deleted
// (in use) are left, and so is their directory. Nothing outside the staging
// area is touched: no link is followed, and nothing is done at all while the
// staging area or one of its ancestors is a link. The directory the shell runs
// from is left too. Creates nothing and never fails.
void cleanStagingArea() noexcept;

}  // namespace cv

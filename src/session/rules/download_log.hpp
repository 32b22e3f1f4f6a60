#pragma once

#include <nlohmann/json.hpp>

#include "net/rules/download_report.hpp"

namespace cv {

// A download that took more than one request, or used bytes an earlier run
// kept or verified, adds downloadRequests (the requests of this run) and
// downloadStartOffset (the byte it started from) to the attempt log; any
// other leaves the log as it is.
void recordDownload(nlohmann::json& attemptLog, const DownloadReport& report);

}  // namespace cv

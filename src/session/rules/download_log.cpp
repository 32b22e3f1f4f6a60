#include "session/rules/download_log.hpp"

namespace cv {

void recordDownload(nlohmann::json& attemptLog, const DownloadReport& report) {
  if (report.requests <= 1 && report.continuedFrom == 0) return;
  attemptLog["downloadRequests"] = report.requests;
  attemptLog["downloadStartOffset"] = report.continuedFrom;
}

}  // namespace cv

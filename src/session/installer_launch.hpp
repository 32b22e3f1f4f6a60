#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace cv {

// Starts the verified installer without waiting for it (msi through the system
// directory's msiexec.exe). Records launchWin32Error in the log either way.
void launchInstaller(const nlohmann::json& installerType, const std::wstring& downloadPath,
                     const std::wstring& stagingDirectory, nlohmann::json& attemptLog);

}  // namespace cv

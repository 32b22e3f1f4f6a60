#pragma once

#include <string>

namespace cv {

// Full path of the running executable.
std::wstring executablePath();
// The user's local application data folder \ "CorvaneSDK" (not created).
std::wstring sdkRootDirectory();
// sdkRootDirectory \ "apps" \ key.
std::wstring appsDirectory(const std::string& key);

}  // namespace cv

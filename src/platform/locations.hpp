#pragma once

#include <string>

namespace cv {

// The folder everything the shell keeps lies in, under the user's local
// application data (and, for an elevated run's downloads, under ProgramData).
inline constexpr wchar_t kSdkDirectoryName[] = L"CorvaneSDK";

// Full path of the running executable.
std::wstring executablePath();
// The user's local application data folder \ kSdkDirectoryName (not created).
std::wstring sdkRootDirectory();
// The machine's ProgramData folder (FOLDERID_ProgramData).
std::wstring programDataDirectory();
// sdkRootDirectory \ "apps" \ key.
std::wstring appsDirectory(const std::string& key);

}  // namespace cv

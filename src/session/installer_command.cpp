#include "session/installer_launch.hpp"
#include "core/messages.hpp"

namespace cv {

namespace {
constexpr std::uint32_t kErrorCancelled = 1223;
}

bool isMsiInstaller(const nlohmann::json& installerType) {
  return installerType.is_string() && installerType.get_ref<const std::string&>() == "msi";
}

InstallerCommand installerCommand(const nlohmann::json& installerType, const std::wstring& downloadPath,
                                  const std::wstring& systemDirectory) {
  if (!isMsiInstaller(installerType)) return {downloadPath, std::nullopt};
  std::wstring file = systemDirectory;
  if (file.empty() || (file.back() != L'\\' && file.back() != L'/')) file += L'\\';
  file += L"msiexec.exe";
  return {file, L"/i \"" + downloadPath + L"\""};
}

Error launchFailure(std::uint32_t win32Error) {
  return Error(win32Error == kErrorCancelled ? Cancelled : SystemFailure, msg::kInstallerNotStarted);
}

}  // namespace cv

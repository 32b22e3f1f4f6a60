#include "session/installer_launch.hpp"
#include "core/messages.hpp"

namespace cv {

namespace {
constexpr std::uint32_t kErrorCancelled = 1223;
}

InstallerCommand installerCommand(InstallerKind kind, const std::wstring& downloadPath,
                                  const std::wstring& systemDirectory) {
  if (kind != InstallerKind::Msi) return {downloadPath, std::nullopt};
  std::wstring file = systemDirectory;
  if (file.empty() || (file.back() != L'\\' && file.back() != L'/')) file += L'\\';
  file += L"msiexec.exe";
  return {file, L"/i \"" + downloadPath + L"\""};
}

Error launchFailure(std::uint32_t win32Error) {
  return Error(win32Error == kErrorCancelled ? Cancelled : SystemFailure, msg::kInstallerNotStarted);
}

}  // namespace cv

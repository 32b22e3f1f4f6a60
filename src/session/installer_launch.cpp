#include "session/installer_launch.hpp"
#include "core/limits.hpp"
#include "core/messages.hpp"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "platform/handles.hpp"
#include "platform/scope_guard.hpp"
#include "platform/system_library.hpp"
#include "platform/test_seams.hpp"

namespace cv {

namespace {


struct StartResult {
  bool started;
  DWORD error;
};

StartResult startInstaller(SHELLEXECUTEINFOW& request) {
  // Test builds: Wine cannot make a start fail the way a declined prompt does.
  if (const auto simulated = seams::launchError()) return {false, *simulated};
  if (::ShellExecuteExW(&request)) return {true, 0};
  return {false, ::GetLastError()};
}

}  // namespace

void launchInstaller(InstallerKind kind, const std::wstring& downloadPath,
                     const std::wstring& stagingDirectory, nlohmann::json& attemptLog) {
  const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ensure(SUCCEEDED(initialised), SystemFailure, msg::kComFailed);
  // S_FALSE (already initialised on this thread) is owed an uninitialise too.
  const auto uninitialise = onScopeExit([] { ::CoUninitialize(); });

  const std::wstring systemFolder =
      kind == InstallerKind::Msi ? systemDirectory(msg::kNoSystemDirectory) : std::wstring();
  const InstallerCommand command = installerCommand(kind, downloadPath, systemFolder);

  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof(request);
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  request.hwnd = nullptr;
  request.lpVerb = L"open";
  request.lpFile = command.file.c_str();
  request.lpParameters = command.parameters ? command.parameters->c_str() : nullptr;
  request.lpDirectory = stagingDirectory.c_str();
  request.nShow = SW_SHOWNORMAL;

  StartResult result{};
  {
    const DefaultDllSearchForChild defaultSearch;
    result = startInstaller(request);
  }
  // The installer runs on its own; the shell neither waits for it nor reads its exit code.
  const KernelHandle process(request.hProcess);
  attemptLog["launchWin32Error"] = static_cast<std::uint32_t>(result.error);
  // Decided by the call's result, not the error value: a failure is never a start.
  if (!result.started) throw launchFailure(result.error);
  if (kind == InstallerKind::Msi && process.valid()) {
    // msiexec opens the package some time after it started: the caller's hold
    // on it lasts until msiexec waits for the player, or kPackageOpenWaitMs.
    ::WaitForInputIdle(process.get(), kPackageOpenWaitMs);
  }
}

}  // namespace cv

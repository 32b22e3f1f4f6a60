#include "session/installer_launch.hpp"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <vector>

#include "platform/handles.hpp"
#include "platform/scope_guard.hpp"

namespace cv {

namespace {

constexpr UINT kSystemDirectoryCapacity = 32768;

std::wstring systemDirectory() {
  std::vector<wchar_t> buffer(kSystemDirectoryCapacity);
  const UINT length = ::GetSystemDirectoryW(buffer.data(), kSystemDirectoryCapacity);
  ensure(length != 0 && length < kSystemDirectoryCapacity, SystemFailure, "系统目录不可用");
  return std::wstring(buffer.data(), length);
}

#if defined(ZRQ_TEST_SEAMS)
// Test builds only: ZRQ_TEST_LAUNCH_ERROR=<decimal> makes the start fail with
// that error code without asking the shell (Wine cannot decline a start).
std::optional<DWORD> simulatedLaunchError() {
  wchar_t value[16] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"ZRQ_TEST_LAUNCH_ERROR", value, 16);
  if (length == 0 || length > 10) return std::nullopt;
  unsigned long long number = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (value[i] < L'0' || value[i] > L'9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(value[i] - L'0');
  }
  if (number > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<DWORD>(number);
}
#endif

struct StartResult {
  bool started;
  DWORD error;
};

StartResult startInstaller(SHELLEXECUTEINFOW& request) {
#if defined(ZRQ_TEST_SEAMS)
  if (const auto simulated = simulatedLaunchError()) return {false, *simulated};
#endif
  if (::ShellExecuteExW(&request)) return {true, 0};
  return {false, ::GetLastError()};
}

}  // namespace

void launchInstaller(const nlohmann::json& installerType, const std::wstring& downloadPath,
                     const std::wstring& stagingDirectory, nlohmann::json& attemptLog) {
  const HRESULT initialised = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ensure(SUCCEEDED(initialised), SystemFailure, "安装环境初始化失败");
  // S_FALSE (already initialised on this thread) is owed an uninitialise too.
  const auto uninitialise = onScopeExit([] { ::CoUninitialize(); });

  const InstallerCommand command = installerCommand(
      installerType, downloadPath, isMsiInstaller(installerType) ? systemDirectory() : std::wstring());

  SHELLEXECUTEINFOW request{};
  request.cbSize = sizeof(request);
  request.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  request.hwnd = nullptr;
  request.lpVerb = L"open";
  request.lpFile = command.file.c_str();
  request.lpParameters = command.parameters ? command.parameters->c_str() : nullptr;
  request.lpDirectory = stagingDirectory.c_str();
  request.nShow = SW_SHOWNORMAL;

  const StartResult result = startInstaller(request);
  // The installer runs on its own; the shell neither waits for it nor reads its exit code.
  const KernelHandle process(request.hProcess);
  attemptLog["launchWin32Error"] = static_cast<std::uint32_t>(result.error);
  // Decided by the call's result, not the error value: a failure is never a start.
  if (!result.started) throw launchFailure(result.error);
}

}  // namespace cv

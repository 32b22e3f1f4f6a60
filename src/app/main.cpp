#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <thread>
#include <vector>

#include "app/rules/command_line.hpp"
#include "core/messages.hpp"
#include "app/dll_hardening.hpp"
#include "core/error.hpp"
#include "app/progress_window.hpp"
#include "session/run_state.hpp"
#include "platform/handles.hpp"
#include "session/session.hpp"

namespace {

// Throws on any rejection, like the parser itself.
cv::LaunchOptions readCommandLine() {
  int count = 0;
  LPWSTR* vector = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  cv::ensure(vector != nullptr, cv::InvalidInput, cv::msg::kBadCommandLine);
  const cv::LocalMemory release(reinterpret_cast<HLOCAL>(vector));
  return cv::parseCommandLine(std::vector<std::wstring>(vector, vector + count));
}

void pumpMessages(HWND window) {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (::IsDialogMessageW(window, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Before anything can load a DLL: never from the directory the shell was
  // downloaded to. The DLLs that are not KnownDLLs are delay-loaded for this.
  cv::hardenDllLoading();
  cv::LaunchOptions options;
  try {
    options = readCommandLine();
  } catch (...) {
    return 1;
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);

  cv::RunState& state = cv::processRunState();
  cv::ProgressWindow window(instance, state);

  std::thread worker;
  try {
    worker = std::thread([&state, &options, &window] {
      cv::hardenSessionDllLoading();
      cv::runSession(state, options);
      window.runEnded();
    });
  } catch (...) {
    return 1;  // no session can run; the window goes with its owner
  }
  pumpMessages(window.handle());
  worker.join();
  return cv::exitCodeFor(state.resultCode);
}

#include "app/progress_window.hpp"
#include "core/messages.hpp"

#include <commctrl.h>

#include <string>

#include "session/run_state.hpp"
#include "app/system_dpi.hpp"
#include "app/rules/window_view.hpp"

namespace cv {
namespace {

constexpr wchar_t kClassName[] = L"ZRQUnifiedSetup";
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTickMilliseconds = 80;
constexpr int kButtonId = 1;
constexpr UINT kRunEndedMessage = WM_APP + 1;

// The one window of the process; the window procedure finds its object here.
ProgressWindow* g_window = nullptr;

HWND createChild(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 const Box& box, int id, HINSTANCE instance) {
  return ::CreateWindowExW(0, className, text, style, box.x, box.y, box.width, box.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

std::wstring windowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(),
                                                        static_cast<int>(text.size()))));
  return text;
}

void setTextIfChanged(HWND window, const std::wstring& text) {
  if (windowText(window) != text) ::SetWindowTextW(window, text.c_str());
}

void setMarqueeStyle(HWND progressBar, bool on) {
  const LONG_PTR style = ::GetWindowLongPtrW(progressBar, GWL_STYLE);
  const LONG_PTR wanted = on ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  if (wanted == style) return;
  ::SetWindowLongPtrW(progressBar, GWL_STYLE, wanted);
  // The old marquee stays drawn until the bar is repainted.
  ::InvalidateRect(progressBar, nullptr, TRUE);
}

}  // namespace

ProgressWindow::ProgressWindow(HINSTANCE instance, RunState& state) : state_(state) {
  g_window = this;
  const int dpi = systemDpi();

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &ProgressWindow::windowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  windowClass.lpszClassName = kClassName;
  ::RegisterClassW(&windowClass);

  const Box outer = scaleForDpi(kWindowBox, dpi);
  window_ = ::CreateWindowExW(0, kClassName, msg::kWindowCaptionWide, WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT,
                              CW_USEDEFAULT, outer.width, outer.height, nullptr, nullptr, instance,
                              nullptr);
  statusText_ = createChild(window_, L"STATIC", msg::kPreparingWide, WS_CHILD | WS_VISIBLE,
                            scaleForDpi(kStatusBox, dpi), 0, instance);
  progressBar_ = createChild(window_, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE,
                             scaleForDpi(kProgressBox, dpi), 0, instance);
  cancelButton_ = createChild(window_, L"BUTTON", msg::kCancelButtonWide,
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                              scaleForDpi(kButtonBox, dpi), kButtonId, instance);

  NONCLIENTMETRICSW metrics{};
  static_assert(sizeof(metrics) == 504, "the full structure, with the padded border");
  metrics.cbSize = sizeof(metrics);
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  messageFont_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
  ::SendMessageW(statusText_, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont_), TRUE);
  ::SendMessageW(cancelButton_, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont_), TRUE);

  ::SetTimer(window_, kTimerId, kTickMilliseconds, nullptr);
  ::ShowWindow(window_, SW_SHOW);
}

ProgressWindow::~ProgressWindow() {
  if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
  if (messageFont_ != nullptr) ::DeleteObject(messageFont_);
  g_window = nullptr;
}

void ProgressWindow::runEnded() const { ::PostMessageW(window_, kRunEndedMessage, 0, 0); }

LRESULT CALLBACK ProgressWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (g_window != nullptr && g_window->window_ == window) return g_window->handle(message, wParam, lParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ProgressWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
    case kRunEndedMessage:
      tick();
      return 0;
    case WM_CLOSE:
      onClose();
      return 0;
    case WM_COMMAND:
      // Id 2 (Esc) and every other command are deliberately ignored.
      if (LOWORD(wParam) == kButtonId) ::SendMessageW(window_, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void ProgressWindow::onClose() {
  switch (state_.requestClose()) {
    case CloseDecision::CancelRequested:
      ::EnableWindow(cancelButton_, FALSE);
      break;
    case CloseDecision::Destroy:
      ::DestroyWindow(window_);
      break;
    case CloseDecision::Ignore:
      break;
  }
}

void ProgressWindow::tick() {
  const std::wstring title = state_.title();
  if (!title.empty()) setTextIfChanged(window_, title);

  TickInput input;
  input.stage = state_.currentStage();
  input.cancelRequested = state_.cancelRequested.load();
  input.updating = state_.updating.load();
  input.phase = state_.currentDownloadPhase();
  input.downloadedBytes = state_.downloadedBytes.load();
  input.totalBytes = state_.totalBytes.load();
  if (input.stage == Stage::Failed) {
    input.resultCode = state_.resultCode;
    input.message = state_.message();
  }
  const TickView view = viewForTick(input);

  ::EnableWindow(cancelButton_, view.buttonEnabled ? TRUE : FALSE);
  if (view.statusText) setTextIfChanged(statusText_, *view.statusText);
  if (view.marqueeStyle && !*view.marqueeStyle) setMarqueeStyle(progressBar_, false);
  if (view.marquee == Marquee::Stop) ::SendMessageW(progressBar_, PBM_SETMARQUEE, FALSE, 0);
  if (view.progressPosition) ::SendMessageW(progressBar_, PBM_SETPOS, *view.progressPosition, 0);
  if (view.marqueeStyle && *view.marqueeStyle) setMarqueeStyle(progressBar_, true);
  if (view.marquee == Marquee::Start) ::SendMessageW(progressBar_, PBM_SETMARQUEE, TRUE, 40);
  if (view.buttonText) setTextIfChanged(cancelButton_, *view.buttonText);
  if (view.destroy) ::DestroyWindow(window_);
}

}  // namespace cv

#pragma once

#include <windows.h>

namespace cv {

class RunState;

// The shell's one window. Lives on the entry thread; polls the run state every
// 80 ms, and at once when the worker says that the run ended.
class ProgressWindow {
 public:
  ProgressWindow(HINSTANCE instance, RunState& state);
  ~ProgressWindow();  // deletes the message font
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  HWND handle() const { return window_; }
  // From the worker, as its last act: the window shows the end without waiting
  // for its next tick.
  void runEnded() const;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void tick();
  void onClose();

  RunState& state_;
  HWND window_ = nullptr;
  HWND statusText_ = nullptr;
  HWND progressBar_ = nullptr;
  HWND cancelButton_ = nullptr;
  HFONT messageFont_ = nullptr;
};

}  // namespace cv

#include "app/system_dpi.hpp"

#include <windows.h>

#include "platform/system_library.hpp"

namespace cv {

namespace {

constexpr int kDefaultDpi = 96;

int screenDpi() {
  const HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return kDefaultDpi;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace

int systemDpi() {
  using GetDpiForSystemFunction = UINT(WINAPI*)();
  const auto getDpiForSystem =
      optionalSystemFunction<GetDpiForSystemFunction>(L"user32.dll", "GetDpiForSystem");
  if (getDpiForSystem != nullptr) return static_cast<int>(getDpiForSystem());
  return screenDpi();
}

}  // namespace cv

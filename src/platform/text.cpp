#include "platform/text.hpp"
#include "core/messages.hpp"

#include <windows.h>
#include <objbase.h>

#include <algorithm>

#include "core/error.hpp"

namespace cv {

std::string toUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int units = static_cast<int>(text.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), units,
                                         nullptr, 0, nullptr, nullptr);
  ensure(size > 0, InvalidInput, msg::kInvalidUnicode);
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), units, result.data(), size,
                        nullptr, nullptr);
  return result;
}

std::wstring toWide(const std::string& text) {
  if (text.empty()) return {};
  const int bytes = static_cast<int>(text.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), bytes,
                                         nullptr, 0);
  ensure(size > 0, InvalidInput, "Invalid UTF-8");
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), bytes, result.data(), size);
  return result;
}

std::string newAttemptId() {
  GUID guid{};
  ensure(SUCCEEDED(::CoCreateGuid(&guid)), SystemFailure, msg::kRandomIdentifierFailed);
  wchar_t buffer[40] = {};
  const int written = ::StringFromGUID2(guid, buffer, 40);
  // The registry form is "{" + 36 characters + "}"; drop the braces.
  const std::string braced = toUtf8(std::wstring(buffer, written > 0 ? written - 1 : 0));
  if (braced.empty()) return {};
  return braced.substr(1, std::min<std::size_t>(braced.size() - 1, 36));
}

}  // namespace cv

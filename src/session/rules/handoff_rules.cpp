#include "session/rules/handoff_rules.hpp"

#include <string_view>

#include "platform/rules/path.hpp"

namespace cv {

namespace {

constexpr std::size_t kMinEventNameLength = 16;
constexpr std::size_t kMaxEventNameLength = 99;

bool isEventNameCharacter(wchar_t c) {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
         c == L'\\';
}

}  // namespace

bool isValidHandoffEventName(const std::wstring& name) {
  const std::wstring_view prefix(kHandoffEventPrefix);
  if (name.size() < kMinEventNameLength || name.size() > kMaxEventNameLength) return false;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  for (const wchar_t c : name) {
    if (!isEventNameCharacter(c)) return false;
  }
  return true;
}

std::wstring handoffCommandLine(const std::wstring& newShellPath, std::uint32_t targetVersion,
                                std::uint32_t nextHops, const std::wstring& eventName) {
  return L"\"" + newShellPath + L"\" --update-target " + std::to_wstring(targetVersion) + L" --update-hops " +
         std::to_wstring(nextHops) + L" --update-ready " + eventName;
}

std::wstring fileNameOfPath(const std::wstring& path) {
  return fileName(path);
}

std::wstring directoryOfPath(const std::wstring& path) {
  return parentPath(path);
}

}  // namespace cv

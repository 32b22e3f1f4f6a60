#include "platform/test_seams.hpp"

#if defined(ZRQ_TEST_SEAMS)
#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#endif

namespace cv::seams {

#if defined(ZRQ_TEST_SEAMS)
namespace {

std::string variable(const wchar_t* name) {
  wchar_t value[1024] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
  if (length == 0 || length >= 1024) return std::string();
  std::string narrow;
  for (DWORD i = 0; i < length; ++i) {
    if (value[i] > 0x7F) return std::string();  // names and numbers are ASCII
    narrow += static_cast<char>(value[i]);
  }
  return narrow;
}

std::optional<unsigned long> decimalVariable(const wchar_t* name) {
  const std::string value = variable(name);
  if (value.empty() || value.size() > 10) return std::nullopt;
  unsigned long long number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (number > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<unsigned long>(number);
}

}  // namespace

bool pretendsAbsent(const char* name) {
  const std::string list = variable(L"ZRQ_TEST_ABSENT");
  std::string::size_type start = 0;
  while (start <= list.size()) {
    auto end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (list.compare(start, end - start, name) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::optional<unsigned long> launchError() { return decimalVariable(L"ZRQ_TEST_LAUNCH_ERROR"); }

std::optional<unsigned> retryWaitMs() {
  const std::optional<unsigned long> value = decimalVariable(L"ZRQ_TEST_RETRY_WAIT_MS");
  if (!value) return std::nullopt;
  return static_cast<unsigned>(*value);
}

std::optional<unsigned> transferTimeoutMs() {
  const std::optional<unsigned long> value = decimalVariable(L"ZRQ_TEST_TRANSFER_TIMEOUT_MS");
  if (!value || *value == 0 || *value > 0x7FFFFFFFul) return std::nullopt;
  return static_cast<unsigned>(*value);
}

bool windowsSharingOnReplace() { return variable(L"ZRQ_TEST_WINDOWS_SHARING") == "1"; }

std::optional<bool> elevated() {
  const std::string value = variable(L"ZRQ_TEST_ELEVATED");
  if (value == "1") return true;
  if (value == "0") return false;
  return std::nullopt;
}

namespace {

std::mutex g_notedLock;
std::map<Noted, std::vector<std::optional<std::wstring>>> g_noted;

}  // namespace

void note(Noted what, const wchar_t* value) {
  const std::lock_guard<std::mutex> hold(g_notedLock);
  g_noted[what].push_back(value != nullptr ? std::optional<std::wstring>(value) : std::nullopt);
}

std::vector<std::optional<std::wstring>> noted(Noted what) {
  const std::lock_guard<std::mutex> hold(g_notedLock);
  return g_noted[what];
}

void forgetNoted() {
  const std::lock_guard<std::mutex> hold(g_notedLock);
  g_noted.clear();
}

#endif

}  // namespace cv::seams

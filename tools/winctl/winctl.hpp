#pragma once

// winctl: drives and inspects the setup window from another process in the same
// Wine prefix. Every result is one JSON object per line, UTF-8, on stdout.
#include <windows.h>

#include <string>
#include <vector>

namespace winctl {

inline constexpr wchar_t kMainClass[] = L"ZRQUnifiedSetup";
inline constexpr UINT kMessageTimeoutMs = 2000;

// ---- output (output.cpp) ----------------------------------------------------

std::string utf8(const std::wstring& text);
std::string jsonString(const std::wstring& text);

// Builds one flat JSON object; members keep the order in which they are added.
class JsonLine {
 public:
  JsonLine& raw(const char* key, const std::string& value);
  JsonLine& boolean(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
  JsonLine& number(const char* key, long long value) { return raw(key, std::to_string(value)); }
  JsonLine& str(const char* key, const std::wstring& value) { return raw(key, jsonString(value)); }
  JsonLine& null(const char* key) { return raw(key, "null"); }
  JsonLine& rect(const char* key, const RECT& r);
  std::string text() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

void emit(const std::string& line);
void emitError(const std::wstring& message);

// ---- the setup window (window_state.cpp) ------------------------------------

// With "--pid N" before the command, only the setup window of that process.
extern DWORD g_pid;

struct Children {
  HWND status = nullptr;
  HWND progress = nullptr;
  HWND button = nullptr;
};
Children findChildren(HWND main);
// Top-level windows of a class, of any process (pid 0) or of one.
std::vector<HWND> topLevelWindows(const wchar_t* className, DWORD pid);
std::vector<HWND> allMain(DWORD pid);
HWND findMain();
// Text of a window in another process; false when it does not answer in time.
bool windowText(HWND hwnd, std::wstring& text);
// Adds key: the window's text (null when it does not answer).
void addText(JsonLine& line, const char* key, HWND hwnd);
// The whole observable state of the setup window as one JSON object.
std::string describe(HWND main);

// ---- commands ---------------------------------------------------------------

// window_commands.cpp
int cmdWaitWindow(DWORD timeoutMs);
int cmdList();
int cmdState();
int cmdWatch(DWORD durationMs, DWORD intervalMs);
int cmdClick();
int cmdClose();
int cmdKey(const wchar_t* name);
int cmdWaitGone(DWORD timeoutMs);
int cmdAnswerMessageBox(DWORD timeoutMs);
int cmdModules();
// object_commands.cpp
int cmdHoldMutex(const wchar_t* name, DWORD ms);
int cmdHoldFile(const wchar_t* path, DWORD ms, DWORD timeoutMs);
int cmdWaitEvent(const wchar_t* name, DWORD timeoutMs);
// screenshot.cpp
int cmdScreenshot(const wchar_t* path);
// fetch.cpp
int cmdFetch(const wchar_t* url, const wchar_t* body);

}  // namespace winctl

// Records how this program was started as a small JSON file and exits.
// Deliberately self-contained: plain Win32, its own UTF-8 and JSON escaping.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                        nullptr);
  return result;
}

std::string jsonString(const std::wstring& text) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : utf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      out += "\\u00";
      out += hex[byte >> 4];
      out += hex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::wstring environment(const wchar_t* name) {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return std::wstring(buffer.data(), length);
}

std::wstring currentDirectory() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length == 0 || length >= buffer.size()) return {};
  return std::wstring(buffer.data(), length);
}

std::wstring modulePath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return std::wstring(buffer.data(), length);
}

std::wstring recordPath() {
  const std::wstring chosen = environment(L"ZRQ_INSTALLER_RECORD");
  if (!chosen.empty()) return chosen;
  const std::wstring localAppData = environment(L"LOCALAPPDATA");
  if (localAppData.empty()) return {};
  const std::wstring directory = localAppData + L"\\ZRQSampleGame";
  ::CreateDirectoryW(directory.c_str(), nullptr);
  return directory + L"\\installer-run.json";
}

std::string record() {
  const wchar_t* commandLine = ::GetCommandLineW();
  std::string arguments = "[";
  int count = 0;
  if (wchar_t** argv = ::CommandLineToArgvW(commandLine, &count)) {
    for (int i = 1; i < count; ++i) {
      if (i > 1) arguments += ", ";
      arguments += jsonString(argv[i]);
    }
    ::LocalFree(argv);
  }
  arguments += "]";
  return "{\n  \"commandLine\": " + jsonString(commandLine) + ",\n  \"arguments\": " + arguments +
         ",\n  \"currentDirectory\": " + jsonString(currentDirectory()) + ",\n  \"modulePath\": " +
         jsonString(modulePath()) + "\n}\n";
}

bool writeWhole(const std::wstring& path, const std::string& content) {
  const HANDLE file =
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == content.size();
}

}  // namespace

int main() {
  const std::wstring path = recordPath();
  // A run that could not be recorded must not look like a recorded one.
  if (path.empty() || !writeWhole(path, record())) return 1;
  return 0;
}

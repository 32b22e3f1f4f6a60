#include "winctl.hpp"

#include "platform/handles.hpp"

#include <tlhelp32.h>

#include <cwchar>

namespace winctl {


int cmdWaitWindow(DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND main = findMain();
        if (main) {
            emit(describe(main));
            return 0;
        }
        if (GetTickCount64() >= deadline) break;
        Sleep(20);
    }
    emit(describe(nullptr));
    return 1;
}

// Every setup window of every process, one state per line, then {"count":N}.
int cmdList() {
    std::vector<HWND> windows = allMain(0);
    for (HWND window : windows) emit(describe(window));
    emit(JsonLine().number("count", static_cast<long long>(windows.size())).text());
    return 0;
}

int cmdState() {
    HWND main = findMain();
    emit(describe(main));
    return main ? 0 : 1;
}

// Prints the state whenever it changes; stops early once a window that was seen is gone.
int cmdWatch(DWORD durationMs, DWORD intervalMs) {
    ULONGLONG start = GetTickCount64();
    std::string last;
    bool seen = false;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        HWND main = findMain();
        std::string state = describe(main);
        if (state != last) {
            std::string line = state;
            line.insert(1, "\"t\":" + std::to_string(now - start) + ",");
            emit(line);
            last = state;
        }
        if (main) seen = true;
        else if (seen) return 0;
        if (now - start >= durationMs) return 0;
        Sleep(intervalMs);
    }
}

HWND requireButton(HWND& main) {
    main = findMain();
    if (!main) return nullptr;
    return findChildren(main).button;
}

int cmdClick() {
    HWND main = nullptr;
    HWND button = requireButton(main);
    if (!button) {
        emitError(main ? L"no button" : L"no window");
        return 1;
    }
    BOOL ok = PostMessageW(button, BM_CLICK, 0, 0);
    emit(JsonLine().boolean("posted", ok != FALSE).text());
    return ok ? 0 : 1;
}

int cmdClose() {
    HWND main = findMain();
    if (!main) {
        emitError(L"no window");
        return 1;
    }
    BOOL ok = PostMessageW(main, WM_CLOSE, 0, 0);
    emit(JsonLine().boolean("posted", ok != FALSE).text());
    return ok ? 0 : 1;
}

int cmdKey(const wchar_t* name) {
    UINT vk = 0, scan = 0;
    if (_wcsicmp(name, L"enter") == 0) vk = VK_RETURN, scan = 0x1C;
    else if (_wcsicmp(name, L"esc") == 0) vk = VK_ESCAPE, scan = 0x01;
    else {
        emitError(L"unknown key");
        return 2;
    }
    HWND main = nullptr;
    HWND button = requireButton(main);
    if (!button) {
        emitError(main ? L"no button" : L"no window");
        return 1;
    }
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    BOOL ok = PostMessageW(button, WM_KEYDOWN, vk, down) && PostMessageW(button, WM_KEYUP, vk, up);
    emit(JsonLine().boolean("posted", ok != FALSE).text());
    return ok ? 0 : 1;
}

int cmdWaitGone(DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (!findMain()) {
            emit(JsonLine().boolean("gone", true).text());
            return 0;
        }
        if (GetTickCount64() >= deadline) break;
        Sleep(20);
    }
    emit(JsonLine().boolean("gone", false).text());
    return 1;
}

// The DLLs loaded in the process that owns the setup window, with their paths.
int cmdModules() {
    HWND main = findMain();
    DWORD pid = 0;
    if (!main || !GetWindowThreadProcessId(main, &pid)) {
        emitError(L"no window");
        return 1;
    }
    const cv::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot) {
        emit(JsonLine().str("error", L"snapshot").number("win32Error", GetLastError()).text());
        return 1;
    }
    std::string list = "[";
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot.get(), &entry); more;
         more = Module32NextW(snapshot.get(), &entry)) {
        if (list.size() > 1) list += ",";
        list += JsonLine().str("name", entry.szModule).str("path", entry.szExePath).text();
    }
    emit(JsonLine().number("pid", pid).raw("modules", list + "]").text());
    return 0;
}

// ---- message boxes ------------------------------------------------------------

// A visible dialog of any process, or of --pid's.
HWND findDialog() {
    for (HWND window : topLevelWindows(L"#32770", g_pid))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

std::wstring imageOf(DWORD pid) {
    const cv::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return {};
    std::wstring image;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == pid) image = entry.szExeFile;
    return image;
}

// Waits up to MS for a message box (a visible dialog of any process, or of
// --pid's), prints its caption, its texts, its buttons and its program, then
// presses its first button.
int cmdAnswerMessageBox(DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND dialog;
    while (!(dialog = findDialog())) {
        if (GetTickCount64() >= deadline) {
            emit(JsonLine().boolean("found", false).text());
            return 1;
        }
        Sleep(20);
    }
    std::string texts = "[", buttons = "[";
    HWND first = nullptr;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        GetClassNameW(child, cls, 64);
        std::wstring text;
        if (!windowText(child, text)) continue;
        bool button = _wcsicmp(cls, L"Button") == 0;
        if (!button && (_wcsicmp(cls, L"Static") != 0 || text.empty())) continue;
        std::string& list = button ? buttons : texts;
        if (list.size() > 1) list += ",";
        list += jsonString(text);
        if (button && !first) first = child;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(dialog, &pid);
    JsonLine line;
    line.boolean("found", true).number("pid", pid).str("image", imageOf(pid));
    addText(line, "caption", dialog);
    line.raw("texts", texts + "]").raw("buttons", buttons + "]");
    line.boolean("pressed", first && PostMessageW(first, BM_CLICK, 0, 0));
    emit(line.text());
    return 0;
}

}  // namespace winctl

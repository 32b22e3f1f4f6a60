// winctl: drives and inspects the setup window from another process in the same
// Wine prefix. Every result is one JSON object per line, UTF-8, on stdout.
#include <windows.h>
#include <commctrl.h>
#include <winhttp.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainClass[] = L"ZRQUnifiedSetup";
constexpr UINT kMessageTimeoutMs = 2000;

// ---- output -----------------------------------------------------------------

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::string jsonString(const std::wstring& text) {
    std::string in = utf8(text);
    std::string out = "\"";
    for (unsigned char c : in) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Builds one flat JSON object; members keep the order in which they are added.
class JsonLine {
public:
    JsonLine& raw(const char* key, const std::string& value) {
        text_ += text_.empty() ? "{" : ",";
        text_ += "\"";
        text_ += key;
        text_ += "\":";
        text_ += value;
        return *this;
    }
    JsonLine& boolean(const char* key, bool value) { return raw(key, value ? "true" : "false"); }
    JsonLine& number(const char* key, long long value) { return raw(key, std::to_string(value)); }
    JsonLine& str(const char* key, const std::wstring& value) { return raw(key, jsonString(value)); }
    JsonLine& null(const char* key) { return raw(key, "null"); }
    JsonLine& rect(const char* key, const RECT& r) {
        return raw(key, "[" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
                            std::to_string(r.right - r.left) + "," +
                            std::to_string(r.bottom - r.top) + "]");
    }
    std::string text() const { return text_.empty() ? "{}" : text_ + "}"; }

private:
    std::string text_;
};

void emit(const std::string& line) {
    std::string data = line + "\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

void emitError(const std::wstring& message) { emit(JsonLine().str("error", message).text()); }

// ---- window inspection ------------------------------------------------------

struct Children {
    HWND status = nullptr;
    HWND progress = nullptr;
    HWND button = nullptr;
};

BOOL CALLBACK collectChild(HWND child, LPARAM param) {
    auto* found = reinterpret_cast<Children*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (!found->status && _wcsicmp(cls, L"Static") == 0) found->status = child;
    else if (!found->progress && _wcsicmp(cls, PROGRESS_CLASSW) == 0) found->progress = child;
    else if (!found->button && _wcsicmp(cls, L"Button") == 0) found->button = child;
    return TRUE;
}

Children findChildren(HWND main) {
    Children children;
    EnumChildWindows(main, collectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

// With "--pid N" before the command, only the setup window of that process.
DWORD g_pid = 0;

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectMain(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (wcscmp(cls, kMainClass) == 0 && (search->pid == 0 || pid == search->pid))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> allMain(DWORD pid) {
    WindowSearch search{pid, {}};
    EnumWindows(collectMain, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND findMain() {
    if (g_pid == 0) return FindWindowW(kMainClass, nullptr);
    std::vector<HWND> found = allMain(g_pid);
    return found.empty() ? nullptr : found.front();
}

// Text of a window in another process; false when it does not answer in time.
bool windowText(HWND hwnd, std::wstring& text) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length))
        return false;
    std::vector<wchar_t> buffer(length + 2, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return false;
    text.assign(buffer.data(), copied);
    return true;
}

void addText(JsonLine& line, const char* key, HWND hwnd) {
    std::wstring text;
    if (hwnd && windowText(hwnd, text)) line.str(key, text);
    else line.null(key);
}

RECT clientRectOf(HWND child, HWND main) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string hex(unsigned long long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "\"0x%08llX\"", value);
    return buf;
}

// The whole observable state of the setup window as one JSON object, read once;
// statusSeen gets the status text as it was read (empty when there was none).
std::string describeOnce(HWND main, std::wstring& statusSeen) {
    statusSeen.clear();
    JsonLine line;
    if (!main || !IsWindow(main)) {
        line.boolean("found", false);
        return line.text();
    }
    line.boolean("found", true);
    line.number("systemDpi", static_cast<long long>(GetDpiForSystem()));
    addText(line, "caption", main);
    Children c = findChildren(main);
    if (c.status && windowText(c.status, statusSeen)) line.str("status", statusSeen);
    else line.null("status");
    addText(line, "button", c.button);
    if (c.button) line.boolean("buttonEnabled", IsWindowEnabled(c.button) != FALSE);
    else line.null("buttonEnabled");
    if (c.progress) {
        DWORD_PTR pos = 0;
        if (SendMessageTimeoutW(c.progress, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &pos))
            line.number("progress", static_cast<long long>(pos));
        else
            line.null("progress");
        LONG_PTR style = GetWindowLongPtrW(c.progress, GWL_STYLE);
        line.boolean("marquee", (style & PBS_MARQUEE) != 0);
        DWORD_PTR low = 0, high = 0;
        if (SendMessageTimeoutW(c.progress, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &low) &&
            SendMessageTimeoutW(c.progress, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &high))
            line.raw("progressRange", "[" + std::to_string(static_cast<int>(low)) + "," +
                                          std::to_string(static_cast<int>(high)) + "]");
        else
            line.null("progressRange");
    } else {
        line.null("progress").null("marquee").null("progressRange");
    }
    line.boolean("visible", IsWindowVisible(main) != FALSE);
    line.boolean("enabled", IsWindowEnabled(main) != FALSE);
    RECT wr{};
    GetWindowRect(main, &wr);
    line.rect("windowRect", wr);
    RECT cr{};
    GetClientRect(main, &cr);
    line.rect("clientRect", cr);
    line.raw("windowStyle", hex(static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE))));
    line.raw("windowExStyle", hex(static_cast<DWORD>(GetWindowLongPtrW(main, GWL_EXSTYLE))));

    struct Child {
        const char* rect;
        const char* style;
        const char* exStyle;
        const char* id;
        HWND hwnd;
    } kids[] = {
        {"statusRect", "statusStyle", "statusExStyle", "statusId", c.status},
        {"progressRect", "progressStyle", "progressExStyle", "progressId", c.progress},
        {"buttonRect", "buttonStyle", "buttonExStyle", "buttonId", c.button},
    };
    for (const Child& k : kids) {
        if (!k.hwnd) {
            line.null(k.rect).null(k.style).null(k.exStyle).null(k.id);
            continue;
        }
        line.rect(k.rect, clientRectOf(k.hwnd, main));
        line.raw(k.style, hex(static_cast<DWORD>(GetWindowLongPtrW(k.hwnd, GWL_STYLE))));
        line.raw(k.exStyle, hex(static_cast<DWORD>(GetWindowLongPtrW(k.hwnd, GWL_EXSTYLE))));
        line.number(k.id, GetDlgCtrlID(k.hwnd));
    }
    int childCount = 0;
    for (HWND h = GetWindow(main, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) ++childCount;
    line.number("childCount", childCount);

    DWORD pid = 0;
    DWORD tid = GetWindowThreadProcessId(main, &pid);
    line.number("pid", pid);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(tid, &gui)) {
        const char* focus = "other";
        if (!gui.hwndFocus) focus = "none";
        else if (gui.hwndFocus == c.button) focus = "button";
        else if (gui.hwndFocus == main) focus = "main";
        line.raw("focus", std::string("\"") + focus + "\"");
    } else {
        line.null("focus");
    }
    return line.text();
}

std::wstring statusTextOf(HWND main) {
    std::wstring text;
    if (!main || !IsWindow(main)) return text;
    HWND status = findChildren(main).status;
    if (!status || !windowText(status, text)) text.clear();
    return text;
}

// The window's worker may change the status and the bar between two reads. A state is only
// reported when the status text was still the same after everything else was read, so the
// text and the bar in one state belong together.
std::string describe(HWND main) {
    std::string state;
    std::wstring statusSeen;
    for (int attempt = 0; attempt < 20; ++attempt) {
        state = describeOnce(main, statusSeen);
        if (statusTextOf(main) == statusSeen) break;
    }
    return state;
}

// ---- commands ---------------------------------------------------------------

unsigned long argNumber(const wchar_t* text, bool& ok) {
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text, &end, 10);
    ok = end && *end == L'\0' && end != text;
    return value;
}

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

int cmdHoldMutex(const wchar_t* name, DWORD ms) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex) {
        emit(JsonLine().boolean("held", false).number("win32Error", GetLastError()).text());
        return 1;
    }
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        emit(JsonLine().boolean("held", false).boolean("existed", existed).text());
        CloseHandle(mutex);
        return 1;
    }
    emit(JsonLine().boolean("held", true).boolean("existed", existed)
             .boolean("abandoned", wait == WAIT_ABANDONED).text());
    Sleep(ms);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    emit(JsonLine().boolean("released", true).text());
    return 0;
}

// The DLLs loaded in the process that owns the setup window, with their paths.
int cmdModules() {
    HWND main = findMain();
    DWORD pid = 0;
    if (!main || !GetWindowThreadProcessId(main, &pid)) {
        emitError(L"no window");
        return 1;
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE) {
        emit(JsonLine().str("error", L"snapshot").number("win32Error", GetLastError()).text());
        return 1;
    }
    std::string list = "[";
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        if (list.size() > 1) list += ",";
        list += JsonLine().str("name", entry.szModule).str("path", entry.szExePath).text();
    }
    CloseHandle(snapshot);
    emit(JsonLine().number("pid", pid).raw("modules", list + "]").text());
    return 0;
}

// ---- message boxes ------------------------------------------------------------

struct DialogSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<DialogSearch*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(window) ||
        (search->pid != 0 && pid != search->pid))
        return TRUE;
    search->found = window;
    return FALSE;
}

std::wstring imageOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return {};
    std::wstring image;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ProcessID == pid) image = entry.szExeFile;
    CloseHandle(snapshot);
    return image;
}

// Waits up to MS for a message box (a visible dialog of any process, or of
// --pid's), prints its caption, its texts, its buttons and its program, then
// presses its first button.
int cmdAnswerMessageBox(DWORD timeoutMs) {
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    DialogSearch search{g_pid, nullptr};
    for (;;) {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
        if (GetTickCount64() >= deadline) {
            emit(JsonLine().boolean("found", false).text());
            return 1;
        }
        Sleep(20);
    }
    std::string texts = "[", buttons = "[";
    HWND first = nullptr;
    for (HWND child = GetWindow(search.found, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
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
    GetWindowThreadProcessId(search.found, &pid);
    JsonLine line;
    line.boolean("found", true).number("pid", pid).str("image", imageOf(pid));
    addText(line, "caption", search.found);
    line.raw("texts", texts + "]").raw("buttons", buttons + "]");
    line.boolean("pressed", first && PostMessageW(first, BM_CLICK, 0, 0));
    emit(line.text());
    return 0;
}

// Holds PATH open for reading without sharing deletion, as a game or a virus
// scanner reading it would. Once a file whose name starts with PATH + "." and
// ends in ".tmp" appears beside it (a writer is waiting to replace it), keeps
// holding for MS more, then lets go. Gives up after TIMEOUT ms without one.
int cmdHoldFile(const wchar_t* path, DWORD ms, DWORD timeoutMs) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        emit(JsonLine().boolean("held", false).number("win32Error", GetLastError()).text());
        return 1;
    }
    emit(JsonLine().boolean("held", true).text());
    std::wstring pattern = std::wstring(path) + L".*.tmp";
    ULONGLONG start = GetTickCount64();
    bool seen = false;
    while (GetTickCount64() - start < timeoutMs) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(pattern.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            seen = true;
            break;
        }
        Sleep(2);
    }
    ULONGLONG seenAt = GetTickCount64();
    if (seen) Sleep(ms);
    CloseHandle(file);
    emit(JsonLine().boolean("sawWriter", seen).number("heldAfterWriterMs",
         static_cast<long long>(GetTickCount64() - seenAt)).text());
    return seen ? 0 : 1;
}

// Creates a named event and reports whether someone signals it in time.
int cmdWaitEvent(const wchar_t* name, DWORD timeoutMs) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name);
    if (!event) {
        emit(JsonLine().boolean("created", false).number("win32Error", GetLastError()).text());
        return 1;
    }
    emit(JsonLine().boolean("created", true).text());
    DWORD wait = WaitForSingleObject(event, timeoutMs);
    emit(JsonLine().boolean("signaled", wait == WAIT_OBJECT_0).text());
    CloseHandle(event);
    return wait == WAIT_OBJECT_0 ? 0 : 1;
}

bool writeAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

int cmdScreenshot(const wchar_t* path) {
    HWND main = findMain();
    if (!main) {
        emitError(L"no window");
        return 1;
    }
    RECT r{};
    GetWindowRect(main, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) {
        emitError(L"empty window");
        return 1;
    }
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as BMP files store it
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    int rows = GetDIBits(memory, bitmap, 0, height, pixels.data(),
                         reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
        emitError(L"GetDIBits failed");
        return 1;
    }
    info.biSizeImage = static_cast<DWORD>(pixels.size());

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + info.biSizeImage;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        emitError(L"cannot create file");
        return 1;
    }
    bool ok = writeAll(file, &header, sizeof header) && writeAll(file, &info, sizeof info) &&
              writeAll(file, pixels.data(), info.biSizeImage);
    CloseHandle(file);
    emit(JsonLine().boolean("saved", ok).number("width", width).number("height", height).text());
    return ok ? 0 : 1;
}

// One HTTPS request the way the shell makes them (no redirects followed), for
// checking the test servers and the prefix's trust store from inside Wine.
int cmdFetch(const wchar_t* url, const wchar_t* body) {
    JsonLine line;
    auto failed = [&](const wchar_t* step) {
        line.str("failedAt", step).number("win32Error", GetLastError());
        emit(line.text());
        return 1;
    };
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url, 0, 0, &parts)) return failed(L"crack");
    std::wstring hostName(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object(parts.lpszUrlPath, parts.dwUrlPathLength);
    object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    HINTERNET session = WinHttpOpen(L"winctl/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr, 0);
    if (!session) return failed(L"open");
    WinHttpSetTimeouts(session, 5000, 5000, 10000, 10000);
    HINTERNET connection = WinHttpConnect(session, hostName.c_str(), parts.nPort, 0);
    HINTERNET request = connection
        ? WinHttpOpenRequest(connection, body ? L"POST" : L"GET", object.c_str(), nullptr, nullptr,
                             nullptr, parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
        : nullptr;
    int result = 0;
    if (!request) {
        result = failed(L"connect");
    } else {
        DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
        WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof never);
        std::string payload = body ? utf8(body) : std::string();
        if (!WinHttpSendRequest(request, L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                                payload.empty() ? nullptr : payload.data(),
                                static_cast<DWORD>(payload.size()), static_cast<DWORD>(payload.size()), 0)) {
            result = failed(L"send");
        } else if (!WinHttpReceiveResponse(request, nullptr)) {
            result = failed(L"receive");
        } else {
            DWORD status = 0, size = sizeof status;
            WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, nullptr,
                                &status, &size, nullptr);
            line.number("status", status);
            std::string data;
            std::vector<char> buffer(65536);
            DWORD got = 0;
            bool readOk = true;
            for (;;) {
                if (!WinHttpReadData(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
                    readOk = false;
                    line.number("readError", GetLastError());
                    break;
                }
                if (got == 0) break;
                data.append(buffer.data(), got);
            }
            line.boolean("complete", readOk).number("bytes", static_cast<long long>(data.size()));
            std::wstring head;
            if (data.size() <= 4096) {
                int n = MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
                head.resize(static_cast<size_t>(n));
                MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), head.data(), n);
                line.str("body", head);
            }
            emit(line.text());
        }
    }
    if (request) WinHttpCloseHandle(request);
    if (connection) WinHttpCloseHandle(connection);
    WinHttpCloseHandle(session);
    return result;
}

int usage() {
    emitError(L"usage: winctl [--pid N] wait-window MS | state | watch MS INTERVAL | click | close | "
              L"key enter|esc | wait-gone MS | hold-mutex NAME MS | wait-event NAME MS | "
              L"screenshot FILE.bmp | fetch URL [BODY] | modules | hold-file PATH MS TIMEOUT | list | "
              L"answer-message-box MS");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Real pixels, whatever the system DPI: geometry is compared against scaled values.
    SetProcessDPIAware();
    if (argc >= 3 && std::wstring(argv[1]) == L"--pid") {
        bool ok = true;
        g_pid = argNumber(argv[2], ok);
        if (!ok || g_pid == 0) return usage();
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) return usage();
    std::wstring cmd = argv[1];
    bool ok1 = true, ok2 = true;
    if (cmd == L"state" && argc == 2) return cmdState();
    if (cmd == L"click" && argc == 2) return cmdClick();
    if (cmd == L"close" && argc == 2) return cmdClose();
    if (cmd == L"key" && argc == 3) return cmdKey(argv[2]);
    if (cmd == L"screenshot" && argc == 3) return cmdScreenshot(argv[2]);
    if (cmd == L"fetch" && (argc == 3 || argc == 4)) return cmdFetch(argv[2], argc == 4 ? argv[3] : nullptr);
    if (cmd == L"modules" && argc == 2) return cmdModules();
    if (cmd == L"list" && argc == 2) return cmdList();
    if (cmd == L"hold-file" && argc == 5) {
        DWORD ms = argNumber(argv[3], ok1), timeout = argNumber(argv[4], ok2);
        return ok1 && ok2 ? cmdHoldFile(argv[2], ms, timeout) : usage();
    }
    if (cmd == L"wait-window" && argc == 3) {
        DWORD ms = argNumber(argv[2], ok1);
        return ok1 ? cmdWaitWindow(ms) : usage();
    }
    if (cmd == L"answer-message-box" && argc == 3) {
        DWORD ms = argNumber(argv[2], ok1);
        return ok1 ? cmdAnswerMessageBox(ms) : usage();
    }
    if (cmd == L"wait-gone" && argc == 3) {
        DWORD ms = argNumber(argv[2], ok1);
        return ok1 ? cmdWaitGone(ms) : usage();
    }
    if (cmd == L"watch" && argc == 4) {
        DWORD duration = argNumber(argv[2], ok1), interval = argNumber(argv[3], ok2);
        return ok1 && ok2 ? cmdWatch(duration, interval) : usage();
    }
    if (cmd == L"hold-mutex" && argc == 4) {
        DWORD ms = argNumber(argv[3], ok1);
        return ok1 ? cmdHoldMutex(argv[2], ms) : usage();
    }
    if (cmd == L"wait-event" && argc == 4) {
        DWORD ms = argNumber(argv[3], ok1);
        return ok1 ? cmdWaitEvent(argv[2], ms) : usage();
    }
    return usage();
}

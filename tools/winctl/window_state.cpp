#include "winctl.hpp"

#include <commctrl.h>

#include <cstdio>
#include <cwchar>

namespace winctl {

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

DWORD g_pid = 0;

struct WindowSearch {
    const wchar_t* className;
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (wcscmp(cls, search->className) == 0 && (search->pid == 0 || pid == search->pid))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> topLevelWindows(const wchar_t* className, DWORD pid) {
    WindowSearch search{className, pid, {}};
    EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> allMain(DWORD pid) { return topLevelWindows(kMainClass, pid); }

HWND findMain() {
    if (g_pid == 0) return FindWindowW(kMainClass, nullptr);
    std::vector<HWND> found = allMain(g_pid);
    return found.empty() ? nullptr : found.front();
}

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

}  // namespace winctl

// winctl: drives and inspects the setup window from another process in the same
// Wine prefix (winctl.hpp lists its commands).
#include <cwchar>

#include "winctl.hpp"

using namespace winctl;

namespace {

unsigned long argNumber(const wchar_t* text, bool& ok) {
    wchar_t* end = nullptr;
    unsigned long value = std::wcstoul(text, &end, 10);
    ok = end && *end == L'\0' && end != text;
    return value;
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

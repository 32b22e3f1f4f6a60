#include "winctl.hpp"

#include "platform/handles.hpp"

namespace winctl {

int cmdHoldMutex(const wchar_t* name, DWORD ms) {
    const cv::KernelHandle held(CreateMutexW(nullptr, FALSE, name));
    const HANDLE mutex = held.get();
    if (!held) {
        emit(JsonLine().boolean("held", false).number("win32Error", GetLastError()).text());
        return 1;
    }
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        emit(JsonLine().boolean("held", false).boolean("existed", existed).text());
        return 1;
    }
    emit(JsonLine().boolean("held", true).boolean("existed", existed)
             .boolean("abandoned", wait == WAIT_ABANDONED).text());
    Sleep(ms);
    ReleaseMutex(mutex);
    emit(JsonLine().boolean("released", true).text());
    return 0;
}

// Holds PATH open for reading without sharing deletion, as a game or a virus
// scanner reading it would. Once a file whose name starts with PATH + "." and
// ends in ".tmp" appears beside it (a writer is waiting to replace it), keeps
// holding for MS more, then lets go. Gives up after TIMEOUT ms without one.
int cmdHoldFile(const wchar_t* path, DWORD ms, DWORD timeoutMs) {
    cv::FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
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
    file.reset();
    emit(JsonLine().boolean("sawWriter", seen).number("heldAfterWriterMs",
         static_cast<long long>(GetTickCount64() - seenAt)).text());
    return seen ? 0 : 1;
}

// Creates a named event and reports whether someone signals it in time.
int cmdWaitEvent(const wchar_t* name, DWORD timeoutMs) {
    const cv::KernelHandle event(CreateEventW(nullptr, TRUE, FALSE, name));
    if (!event) {
        emit(JsonLine().boolean("created", false).number("win32Error", GetLastError()).text());
        return 1;
    }
    emit(JsonLine().boolean("created", true).text());
    DWORD wait = WaitForSingleObject(event.get(), timeoutMs);
    emit(JsonLine().boolean("signaled", wait == WAIT_OBJECT_0).text());
    return wait == WAIT_OBJECT_0 ? 0 : 1;
}

}  // namespace winctl

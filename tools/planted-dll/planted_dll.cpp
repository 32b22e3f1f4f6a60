// A DLL an attacker would leave beside a downloaded program: whichever system
// DLL name it is saved under, loading it leaves a mark in C:\planted-log,
// named after the DLL and the process, holding the program's path. It links
// nothing but kernel32, so loading it pulls in no other DLL.
#include <windows.h>

namespace {

wchar_t* append(wchar_t* at, const wchar_t* text) {
    while (*text) *at++ = *text++;
    return at;
}

wchar_t* appendNumber(wchar_t* at, DWORD value) {
    wchar_t digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *at++ = digits[--count];
    return at;
}

const wchar_t* baseName(const wchar_t* path) {
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/') name = c + 1;
    return name;
}

void leaveMark(HMODULE self) {
    wchar_t dll[MAX_PATH];
    wchar_t program[MAX_PATH];
    wchar_t mark[2 * MAX_PATH];
    if (!GetModuleFileNameW(self, dll, MAX_PATH) || !GetModuleFileNameW(nullptr, program, MAX_PATH))
        return;
    CreateDirectoryW(L"C:\\planted-log", nullptr);
    wchar_t* at = append(mark, L"C:\\planted-log\\");
    at = append(at, baseName(dll));
    *at++ = L'-';
    at = appendNumber(at, GetCurrentProcessId());
    at = append(at, L".txt");
    *at = L'\0';
    HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, program, static_cast<DWORD>(lstrlenW(program) * sizeof(wchar_t)), &written,
              nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) leaveMark(instance);
    return TRUE;
}

// The unprotected control: a program that loads each DLL named on its command
// line by bare name, as any program does that never narrows its DLL search.
// Prints one JSON line per name: {"name":..,"loaded":bool,"path":..}.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        HMODULE module = LoadLibraryW(argv[i]);
        wchar_t path[MAX_PATH] = {};
        if (module) GetModuleFileNameW(module, path, MAX_PATH);
        std::printf("{\"name\":\"%ls\",\"loaded\":%s,\"path\":\"", argv[i], module ? "true" : "false");
        for (const wchar_t* c = path; *c; ++c) {
            if (*c == L'\\') std::printf("\\\\");
            else std::printf("%lc", *c);
        }
        std::printf("\"}\n");
    }
    return 0;
}

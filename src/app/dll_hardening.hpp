#pragma once

namespace cv {

// The first thing the process does: narrows the DLL search to System32 where
// Windows can and, where it cannot, loads by full path every system DLL that
// something may later ask for by bare name, so no DLL from the shell's own
// folder (a Downloads folder) is ever loaded, on any Windows version. Where the
// search is narrowed, the window comes first and the worker loads its own.
void hardenDllLoading();

// The first thing the worker does, before the session: loads by full path the
// DLLs only the session asks for by name (WinHTTP, TLS, the crypto providers,
// name resolution); those already loaded cost nothing.
void hardenSessionDllLoading();

}  // namespace cv

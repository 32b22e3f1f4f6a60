#include "app/dll_hardening.hpp"

#include "platform/system_library.hpp"

#include <cstddef>

namespace cv {

namespace {

// Where the search cannot be narrowed (Windows 7 without KB2533623), loaded by
// full path before anything can ask for them by bare name; a later load by
// name then finds the module already loaded and searches nowhere. A DLL loaded
// by full path takes its own imports from System32 as well, so the lists need
// only the DLLs the shell itself delay-loads and those that system DLLs load
// dynamically, by name, while the shell runs.
// Order matters where a DLL loads another by name as it starts: that one comes
// first (user32 loads imm32, secur32 its packages). A DLL that this Windows
// version lacks is skipped. The common controls are not here: the manifest
// binds them to version 6 in WinSxS, found by name.
//
// Before the window, where the search is not narrowed: what the entry thread
// loads for the command line, the window, its drawing and input, COM and the
// shell, on Windows 7 and under Wine (profiles, the property system, the
// compatibility layer, device setup, accessibility).
constexpr const char* kForTheWindow[] = {
    // Loaded by name by user32 as it starts.
    "imm32.dll",
    // Delay-loaded by the shell (KnownDLLs among them: loading them by full
    // path keeps what they import in turn to System32 too).
    "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "shell32.dll",
    "oleaut32.dll", "version.dll", "uxtheme.dll", "dwmapi.dll", "msimg32.dll", "win32u.dll",
    "ucrtbase.dll", "profapi.dll", "userenv.dll", "propsys.dll", "apphelp.dll", "setupapi.dll",
    "oleacc.dll", "coml2.dll", "netutils.dll",
};
// Before the window as well where the search is not narrowed, and on every
// Windows by the worker before its session: what only the session loads.
constexpr const char* kForTheSession[] = {
    // Delay-loaded by the shell.
    "winhttp.dll", "bcrypt.dll",
    // The access-control provider of the security calls.
    "ntmarta.dll",
    // CryptoAPI, CNG and their providers.
    "cryptsp.dll", "cryptbase.dll", "rsaenh.dll", "bcryptprimitives.dll", "crypt32.dll",
    "cryptnet.dll", "gpapi.dll", "ncrypt.dll", "ncryptsslp.dll",
    // TLS: the security packages, then the SSPI DLLs that load them as they start.
    "schannel.dll", "credssp.dll", "kerberos.dll", "msv1_0.dll", "sspicli.dll", "secur32.dll",
    // WinHTTP, proxy discovery and name resolution.
    "webio.dll", "jsproxy.dll", "dhcpcsvc.dll", "dhcpcsvc6.dll", "iphlpapi.dll", "winnsi.dll",
    "dnsapi.dll", "rasadhlp.dll", "fwpuclnt.dll",
};

// Where Windows narrows the search, it narrows it for every DLL's imports too,
// and nothing needs loading before the window. Wine does not for the imports of
// a DLL that a system DLL loads by name: it looks in the exe's folder first.
// The window's two of them (COM's storage DLL, which combase imports; the
// drawing helpers the common controls load) come first there, the session's
// are the worker's list.
constexpr const char* kImportedByNameForTheWindow[] = {"coml2.dll", "msimg32.dll"};

template <std::size_t N>
void loadAll(const char* const (&names)[N]) {
  // Deliberately never freed: they stay for the life of the process.
  for (const char* name : names) loadSystemLibrary(name);
}

}  // namespace

void hardenDllLoading() {
  if (restrictDllSearchToSystem()) {
    loadAll(kImportedByNameForTheWindow);
    return;
  }
  loadAll(kForTheWindow);
  loadAll(kForTheSession);
}

void hardenSessionDllLoading() { loadAll(kForTheSession); }

}  // namespace cv

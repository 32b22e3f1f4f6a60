#include "app/dll_hardening.hpp"

#include "platform/system_library.hpp"

namespace cv {

namespace {

// Loaded by full path before anything can ask for them by bare name; a later
// load by name then finds the module already loaded and searches nowhere. A
// DLL loaded by full path takes its own imports from System32 as well, so the
// list needs only the DLLs the shell itself delay-loads and those that system
// DLLs load dynamically, by name, while the shell runs: through the window,
// COM and the shell (input methods, version, theming, profiles, properties,
// accessibility, security descriptors), the CryptoAPI and CNG providers, TLS
// (the SSPI packages), WinHTTP's proxy discovery and name resolution.
// Order matters where a DLL loads another by name as it starts: that one comes
// first (user32 loads imm32, secur32 its packages). A DLL that this Windows
// version lacks is skipped. The common controls are not here: the manifest
// binds them to version 6 in WinSxS, found by name.
constexpr const char* kPreloaded[] = {
    // Loaded by name by user32 as it starts.
    "imm32.dll",
    // Delay-loaded by the shell (KnownDLLs among them: loading them by full
    // path keeps what they import in turn to System32 too).
    "user32.dll", "gdi32.dll", "advapi32.dll", "ole32.dll", "shell32.dll", "winhttp.dll",
    "bcrypt.dll",
    // The window, COM and the shell: what user32, the shell functions and the
    // security calls load by name on Windows 7 (profiles, the property system,
    // the compatibility layer, device setup, accessibility, the access-control
    // provider) and under Wine.
    "oleaut32.dll", "version.dll", "uxtheme.dll", "dwmapi.dll", "msimg32.dll", "win32u.dll",
    "ucrtbase.dll", "profapi.dll", "userenv.dll", "propsys.dll", "apphelp.dll", "setupapi.dll",
    "oleacc.dll", "ntmarta.dll", "coml2.dll", "netutils.dll",
    // CryptoAPI, CNG and their providers.
    "cryptsp.dll", "cryptbase.dll", "rsaenh.dll", "bcryptprimitives.dll", "crypt32.dll",
    "cryptnet.dll", "gpapi.dll", "ncrypt.dll", "ncryptsslp.dll",
    // TLS: the security packages, then the SSPI DLLs that load them as they start.
    "schannel.dll", "credssp.dll", "kerberos.dll", "msv1_0.dll", "sspicli.dll", "secur32.dll",
    // WinHTTP, proxy discovery and name resolution.
    "webio.dll", "jsproxy.dll", "dhcpcsvc.dll", "dhcpcsvc6.dll", "iphlpapi.dll", "winnsi.dll",
    "dnsapi.dll", "rasadhlp.dll", "fwpuclnt.dll",
};

}  // namespace

void hardenDllLoading() {
  restrictDllSearchToSystem();
  // Deliberately never freed: they stay for the life of the process.
  for (const char* name : kPreloaded) loadSystemLibrary(name);
}

}  // namespace cv

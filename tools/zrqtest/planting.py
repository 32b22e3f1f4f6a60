"""DLLs planted beside a program, as a drive-by download can leave them in a
Downloads folder, and the marks they leave when loaded (tools/planted-dll).
Wine is told to prefer a native DLL of each planted name, so it loads a planted
one wherever the search order reaches the program's folder."""

import shutil

# Every DLL the shell's process was seen to load under Wine, and those that
# system DLLs load by name on Windows' documented chains for what the shell
# uses (window and theming, CryptoAPI and CNG providers, TLS packages, WinHTTP
# proxy discovery, name resolution), without the KnownDLLs, which the loader
# takes from System32 whatever the search order says.
# Under Wine 10's WoW64 mode also coml2, netutils and imm32 (which Windows keeps
# among the KnownDLLs, Wine does not); on Windows 7 the shell's calls load
# userenv, profapi, propsys, apphelp, oleacc and ntmarta by name.
PLANTED = sorted("""
    apphelp bcrypt bcryptprimitives comctl32 coml2 credssp crypt32 cryptbase cryptnet cryptsp
    dhcpcsvc dhcpcsvc6 dnsapi dwmapi fwpuclnt gpapi imm32 iphlpapi jsproxy kerberos msimg32
    msv1_0 ncrypt ncryptsslp netapi32 netutils ntmarta oleacc profapi propsys rasadhlp rsaenh
    schannel secur32 sspicli ucrtbase userenv uxtheme version webio win32u winhttp winnsi zlib1
""".split())

# What no planted copy can replace: the loader's own, the WoW64 layer, and the C
# runtime the exe imports statically, a KnownDLL that Windows never takes from a
# program's folder (Wine does, before any of the shell's code runs).
UNPLANTABLE = {"ntdll", "kernel32", "kernelbase", "wow64", "wow64cpu", "wow64win", "msvcrt"}


def system_dll_names(prefix, bits):
    """Every DLL name of the system directory a program of that many bits sees,
    but the unplantable ones: the widest plant there is."""
    folder = "syswow64" if bits == 32 and prefix.has_wow64 else "system32"
    return sorted({p.stem.lower() for p in (prefix.drive_c / "windows" / folder).glob("*.dll")}
                  - UNPLANTABLE)


def plant(prefix, build_paths, folder="C:\\dl", names=PLANTED):
    """Saves the planted DLL under each name in folder; returns the environment
    that makes Wine prefer them."""
    directory = prefix.unix_path(folder)
    directory.mkdir(parents=True, exist_ok=True)
    for name in names:
        shutil.copyfile(build_paths.build_dir / "tools/planted-dll/planted.dll",
                        directory / (name + ".dll"))
    return {"WINEDLLOVERRIDES": "mscoree=;mshtml=;%s=n,b" % ",".join(names)}


def marks(prefix):
    """{planted DLL name: [program paths]} of every load of a planted DLL."""
    log = prefix.drive_c / "planted-log"
    found = {}
    for path in sorted(log.iterdir()) if log.is_dir() else []:
        name = path.name.rsplit("-", 1)[0].lower()
        found.setdefault(name[:-4] if name.endswith(".dll") else name, []).append(
            path.read_bytes().decode("utf-16-le"))
    return found

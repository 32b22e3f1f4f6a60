"""The exes' headers and import tables: what the Windows loader will do with them
before any of the shell's code runs."""

import re

import pe_image as pe
from release_builds import ROOT

# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs on Windows 10/11,
# plus ntdll, which every process has mapped before the exe's imports are resolved.
# The loader takes these from the system directory whatever the search path says.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}

# What the shell needs beyond them, and a function of each that must resolve.
DELAY_LOADED = {
    "winhttp.dll": "WinHttpReadData",
    "bcrypt.dll": "BCryptHashData",
    "comctl32.dll": "InitCommonControlsEx",
}

EXPECTED = {
    "i686": (pe.MACHINE_I386, pe.PE32),
    "x86_64": (pe.MACHINE_AMD64, pe.PE32_PLUS),
}


def test_gui_executable_of_its_architecture(built):
    arch, _, image = built
    assert (image.machine, image.magic) == EXPECTED[arch]
    assert image.subsystem == pe.SUBSYSTEM_WINDOWS_GUI
    assert image.characteristics & pe.FILE_EXECUTABLE_IMAGE
    assert not image.characteristics & pe.FILE_DLL


def test_static_imports_are_known_dlls_only(built):
    _, _, image = built
    static = {name.lower() for name in image.imports()}
    assert "kernel32.dll" in static
    assert static <= KNOWN_DLLS, "imported from the exe's directory first: %s" % sorted(
        static - KNOWN_DLLS)


def test_other_dlls_are_delay_loaded(built):
    _, _, image = built
    delayed = {name.lower(): functions for name, functions in image.delay_imports().items()}
    for dll, function in DELAY_LOADED.items():
        assert function in delayed.get(dll, []), "%s!%s not delay-loaded" % (dll, function)
    assert not set(delayed) & KNOWN_DLLS


def test_dll_search_is_restricted_at_start(built):
    # Delay-loading is only safe because the search path is narrowed first.
    _, _, image = built
    kernel32 = next(functions for name, functions in image.imports().items()
                    if name.lower() == "kernel32.dll")
    assert "SetDefaultDllDirectories" in kernel32
    main = (ROOT / "src/app/main.cpp").read_text(encoding="utf-8")
    body = main[main.index("wWinMain("):]
    first = re.search(r"\{\s*(?://[^\n]*\n\s*)*([^;]*;)", body).group(1)
    assert first == "::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);"


def test_aslr_and_dep(built):
    arch, _, image = built
    flags = image.dll_characteristics
    assert flags & pe.DLL_DYNAMIC_BASE, "no ASLR"
    assert flags & pe.DLL_NX_COMPAT, "no DEP"
    if arch == "x86_64":
        assert flags & pe.DLL_HIGH_ENTROPY_VA, "ASLR limited to 4 GiB"
    # Without relocations the loader cannot move the image, whatever the flag says.
    assert not image.characteristics & pe.FILE_RELOCS_STRIPPED
    assert image.directory(pe.DIR_BASERELOC)[1] > 0


def test_stack_protector_runtime_linked(built):
    # The canary check's failure path is only linked when compiled code calls it.
    _, path, _ = built
    linked = b"stack smashing detected" in path.read_bytes()
    assert linked, "no stack protector in %s" % path


def test_no_time_stamps(built):
    _, _, image = built
    assert image.timestamp == 0
    assert image.directory(pe.DIR_DEBUG) == (0, 0)

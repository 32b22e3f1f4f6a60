"""The exes' headers and import tables: what the Windows loader will do with them
before any of the shell's code runs."""

import re

import pe_image as pe
from release_builds import ROOT

# The only DLLs imported statically. The loader resolves static imports before
# any of the shell's code runs, and what those DLLs import or forward to in turn
# it finds by the default search order, which starts in the exe's folder. These
# two import nothing but KnownDLLs and API sets on every Windows version.
STATIC = {"kernel32.dll", "msvcrt.dll"}

# Everything else is delay-loaded (through the shell's hook, by full path from
# System32), with a function of each that must resolve.
DELAY_LOADED = {
    "advapi32.dll": "SetFileSecurityW",
    "bcrypt.dll": "BCryptHashData",
    "comctl32.dll": "InitCommonControlsEx",
    "gdi32.dll": "CreateFontIndirectW",
    "ole32.dll": "CoInitializeEx",
    "shell32.dll": "ShellExecuteExW",
    "user32.dll": "CreateWindowExW",
    "winhttp.dll": "WinHttpReadData",
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


def test_static_imports_are_kernel32_and_the_c_runtime_only(built):
    _, _, image = built
    static = {name.lower() for name in image.imports()}
    assert static == STATIC, "imported statically: %s" % sorted(static - STATIC)


def test_other_dlls_are_delay_loaded(built):
    _, _, image = built
    delayed = {name.lower(): functions for name, functions in image.delay_imports().items()}
    for dll, function in DELAY_LOADED.items():
        assert function in delayed.get(dll, []), "%s!%s not delay-loaded" % (dll, function)
    assert set(delayed) == set(DELAY_LOADED), sorted(set(delayed) ^ set(DELAY_LOADED))


def test_every_delay_load_slot_points_at_code_of_the_image(built):
    # The first call through a slot jumps to what the file holds there, the
    # code that loads the DLL. A slot the linker left at 0 crashes that call,
    # whatever the function's header declares.
    _, _, image = built
    slots = [(dll, name, value) for dll, entries in image.delay_slots().items()
             for name, value in entries]
    assert len(slots) > 40
    wrong = ["%s!%s = %#x" % entry for entry in slots if not image.is_code_address(entry[2])]
    assert not wrong, "%d of %d delay-load slots point outside the code: %s" % (
        len(wrong), len(slots), ", ".join(wrong))


def test_dll_loading_is_hardened_before_anything_else(built):
    # Functions only newer Windows have are looked up at run time, so the
    # narrowed search is the first thing wWinMain does, not a static import.
    _, _, image = built
    kernel32 = next(functions for name, functions in image.imports().items()
                    if name.lower() == "kernel32.dll")
    assert "SetDefaultDllDirectories" not in kernel32
    assert "SetDllDirectoryW" in kernel32 and "LoadLibraryExW" in kernel32
    main = (ROOT / "src/app/main.cpp").read_text(encoding="utf-8")
    body = main[main.index("wWinMain("):]
    first = re.search(r"\{\s*(?://[^\n]*\n\s*)*([^;]*;)", body).group(1)
    assert first == "cv::hardenDllLoading();"


def test_stack_canary_is_set_without_the_cryptoapi(built):
    # The stack protector runtime's own set-up would call CryptAcquireContext
    # while the program starts, loading the RSA provider by bare name.
    _, _, image = built
    imported = {f for functions in list(image.imports().values()) +
                list(image.delay_imports().values()) for f in functions}
    assert not {"CryptAcquireContextA", "CryptGenRandom"} & imported


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


def test_only_the_test_build_reads_the_test_switches(built):
    # The switches are read by name from the environment; a release exe that
    # held one would let any player's environment change what the shell does.
    arch, path, _ = built
    holds = "ZRQ_TEST_".encode("utf-16-le") in path.read_bytes()
    assert holds == (arch == "x86_64"), "%s: test switches %s" % (path, "found" if holds else "missing")

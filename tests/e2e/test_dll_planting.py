"""DLLs planted beside the shell, as a drive-by download can leave them in a
Downloads folder, are never loaded: not on Windows 10 and later, which narrow
the DLL search, and not where SetDefaultDllDirectories is missing (Windows 7
without KB2533623), where the exe's folder stays first in the search order.
The unprotected control program beside the shell shows that each plant works
(zrqtest.planting)."""

import json
import shutil

import pytest

from install_support import APP_ID
from zrqtest.planting import PLANTED, marks, plant, system_dll_names
from zrqtest.vocabulary import msg

# Loaded by every process, or Wine's own: not DLLs anyone can plant for the shell.
NOT_PLANTABLE = {"ntdll", "kernelbase", "kernel32", "winex11.drv", "game_setup_pc1234.exe"}
KNOWN_DLLS = {
    "advapi32", "clbcatq", "comdlg32", "gdi32", "imagehlp", "msctf", "msvcrt", "normaliz",
    "nsi", "ole32", "oleaut32", "psapi", "rpcrt4", "sechost", "setupapi", "shell32", "shlwapi",
    "user32", "wldap32", "ws2_32", "combase", "shcore",
}

WINDOWS_VERSIONS = {
    "narrowed-search": {},
    "no-SetDefaultDllDirectories": {"ZRQ_TEST_ABSENT": "SetDefaultDllDirectories"},
    "windows-7": {"ZRQ_TEST_ABSENT": "GetDpiForSystem;SetDefaultDllDirectories;"
                                     "WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY"},
}


@pytest.mark.parametrize("version", sorted(WINDOWS_VERSIONS))
def test_no_planted_dll_is_loaded_while_the_install_succeeds(shell, host, prefix, build_paths,
                                                            installer_bytes, version):
    host.publish_package(1234, installer_bytes=installer_bytes)
    env = plant(prefix, build_paths)
    env.update(WINDOWS_VERSIONS[version])
    proc = shell.start(env=env)
    assert proc.wait(90) == 0
    assert prefix.wait_installer_run() is not None, "the installer was not started"
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"channel-01"}'
    assert marks(prefix) == {}


def test_no_dll_of_the_system_directory_planted_beside_the_shell_is_loaded_on_windows_7(
        shell, host, prefix, build_paths, installer_bytes):
    # Every name there is, where the shell's folder stays in the search order.
    host.publish_package(1234, installer_bytes=installer_bytes)
    names = system_dll_names(prefix, build_paths.shell_bits)
    assert len(names) > 400
    env = plant(prefix, build_paths, names=names)
    env.update(WINDOWS_VERSIONS["windows-7"])
    assert shell.start(env=env).wait(90) == 0
    assert prefix.wait_installer_run() is not None, "the installer was not started"
    assert marks(prefix) == {}


def test_an_unprotected_program_in_the_same_folder_loads_every_planted_dll(prefix, build_paths):
    env = plant(prefix, build_paths)
    loader = prefix.unix_path("C:\\dl") / "control.exe"
    shutil.copyfile(build_paths.build_dir / "tools/planted-dll/dll-loader.exe", loader)
    proc, out, _ = prefix.popen(["C:\\dl\\control.exe", *[n + ".dll" for n in PLANTED]],
                                stem="control", extra_env=env)
    assert proc.wait(60) == 0
    loaded = [json.loads(line) for line in out.read_bytes().decode().splitlines()]
    assert [(entry["name"][:-4], entry["path"].lower()) for entry in loaded] == [
        (name, "c:\\dl\\%s.dll" % name) for name in PLANTED]
    assert sorted(marks(prefix)) == PLANTED


def test_the_planted_set_covers_every_dll_the_shell_loads(shell, host, prefix, driver):
    # An installer that is no program: the start fails and the window stays, by
    # which time the shell has loaded everything a run loads.
    host.publish_package(1234, installer_bytes=b"not a program" * 64)
    proc = shell.start(env=WINDOWS_VERSIONS["windows-7"])
    proc.wait_window(30)
    proc.wait_status(msg.kInstallerNotStarted, timeout=60)
    names = {m["name"].lower() for m in driver.modules()}
    names = {n[:-4] if n.endswith(".dll") else n for n in names}
    assert "winhttp" in names and "bcrypt" in names
    assert names - KNOWN_DLLS - NOT_PLANTABLE <= set(PLANTED), sorted(
        names - KNOWN_DLLS - NOT_PLANTABLE - set(PLANTED))
    proc.click()
    assert proc.wait(30) == 1


# Windows 7 without KB2533623, and a DLL the shell delay-loads that it cannot
# have from the system directory, or a function one of them lacks: the general
# failure in a message box, exit code 1, and nothing loaded by bare name in
# its place. When user32 itself is missing no box can be shown: the shell ends
# without waiting for anyone.
@pytest.mark.parametrize("absent,box", [
    pytest.param("winhttp.dll", True, id="winhttp"),
    pytest.param("bcrypt.dll", True, id="bcrypt"),
    pytest.param("WinHttpCrackUrl", True, id="function"),
    pytest.param("user32.dll", False, id="user32"),
])
def test_a_system_dll_or_function_that_cannot_be_had_ends_the_shell(shell, host, prefix, build_paths,
                                                                      driver, absent, box):
    host.publish_package(1234)
    env = plant(prefix, build_paths)
    env["ZRQ_TEST_ABSENT"] = "SetDefaultDllDirectories;" + absent
    proc = shell.start(env=env)
    if box:
        shown = driver.answer_message_box(60)
        assert [shown.get(key) for key in ("image", "caption", "texts", "pressed")] == [
            "Game_Setup_pc1234.exe", msg.kWindowCaption, [msg.kUnexpectedFailure], True], shown
    assert proc.wait(30) == 1
    assert marks(prefix) == {}

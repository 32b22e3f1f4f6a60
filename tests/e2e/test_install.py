"""A full install: download into the staging directory, channel record, installer
started (an executable directly, a package through the system's msiexec), log."""

import json
import re
import shutil
import subprocess
import time
from pathlib import Path

import pytest

from install_support import APP_ID, assert_log, seed_record, windows_path
from zrqtest.testhost import sha256_hex
from zrqtest.vocabulary import msg

REPO = Path(__file__).resolve().parents[2]
SAMPLE_WXS = REPO / "tools" / "sample-msi" / "sample.wxs"
SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
PERCENT = re.compile(re.escape(msg.kDownloading) + r"(\d+)%")


def staging_dir(prefix):
    dirs = prefix.staging_dirs()
    assert len(dirs) == 1, dirs
    return dirs[0]


@pytest.mark.parametrize("channel,previous,expected", [
    pytest.param("c1", None, b'{"channelCode":"c1"}', id="new-record"),
    pytest.param("渠道一", b'{"channelCode":"old","extra":1,"z":[true]}',
                 '{"channelCode":"渠道一"}'.encode("utf-8"), id="chinese-replaces-older-record"),
])
def test_exe_installer_is_handed_off(shell, host, prefix, installer_bytes, channel, previous,
                                     expected):
    payload = installer_bytes + bytes(range(256)) * 4096  # ~1 MiB, still a valid PE
    config = host.publish_package(1234, installer_bytes=payload, channel_code=channel,
                                  installer_behaviour={"chunk_size": 65536, "chunk_delay": 0.08})
    seed_record(prefix, previous)
    watch = shell.driver.start_watch(90, 0.02)
    proc = shell.start()
    assert proc.wait(90) == 0  # nobody touched the window: it closed itself
    seen = [s for s in watch.stop() if s["found"] and s["status"]]
    assert any(PERCENT.fullmatch(s["status"]) for s in seen), [s["status"] for s in seen]

    staging = staging_dir(prefix)
    run = prefix.wait_installer_run()
    assert run is not None, "the installer was not started"
    assert run["arguments"] == []
    assert run["currentDirectory"].rstrip("\\").lower() == windows_path(prefix, staging).lower()
    assert run["modulePath"].lower() == windows_path(prefix, staging / "original.exe").lower()

    assert prefix.channel_record(APP_ID) == expected
    attempt_id = assert_log(
        prefix, appId=APP_ID, channelCode=channel, launchWin32Error=0, motherId=7,
        packageId="1234", sdkCode=0, sha256=sha256_hex(payload), shellVersion=2,
        status="handed-off", testOnly=False)
    # After success nothing is removed: the installer runs from its staged file.
    assert staging.name == attempt_id
    assert [p.name for p in staging.iterdir()] == ["original.exe"]
    assert (staging / "original.exe").read_bytes() == payload
    assert config["installer"]["type"] == "exe"


def build_sample_msi(directory, payload_text):
    if not shutil.which("wixl"):
        pytest.fail("wixl is required to build the sample package (package wixl)", pytrace=False)
    directory.mkdir(parents=True, exist_ok=True)
    (directory / "installed.txt").write_text(payload_text, encoding="ascii")
    subprocess.run(["wixl", "-o", "sample.msi", str(SAMPLE_WXS)], cwd=str(directory), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                   timeout=120)
    return (directory / "sample.msi").read_bytes()


def read_when_complete(path, timeout=30.0):
    """The stand-in's JSON record once it has been written in full, or None."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            return json.loads(path.read_text(encoding="utf-8"))
        except (OSError, ValueError):
            time.sleep(0.05)
    return None


def move_local_appdata(prefix, new_dir):
    """Points the user's local application data folder at C:\\<new_dir>."""
    target = prefix.drive_c / new_dir
    target.mkdir(parents=True)
    prefix.reg_add(SHELL_FOLDERS, "Local AppData", "C:\\" + new_dir, "REG_EXPAND_SZ")
    return target / "CorvaneSDK"


@pytest.mark.parametrize("appdata", [
    pytest.param(None, id="default-path"),
    pytest.param("Local App Data", id="path-with-spaces"),
])
def test_package_is_started_through_system_msiexec(shell, host, prefix, build_paths, tmp_path,
                                                   appdata):
    # The stand-in installer takes msiexec's place and records its own command line.
    prefix.replace_system_program("msiexec.exe", build_paths.test_installer)
    sdk_root = move_local_appdata(prefix, appdata) if appdata else prefix.sdk_root
    record = "C:\\msiexec-run.json"
    package = build_sample_msi(tmp_path / "msi", "sample\n")
    host.publish_package(1234, installer_bytes=package, installer_type="msi")

    # Wine prefers its built-in msiexec over the file on disk unless told otherwise.
    proc = shell.start(env={"ZRQ_INSTALLER_RECORD": record,
                            "WINEDLLOVERRIDES": "mscoree=;mshtml=;msiexec.exe=n"})
    assert proc.wait(90) == 0
    run = read_when_complete(prefix.unix_path(record))
    assert run is not None, "msiexec was not started"

    staged = [p for p in (sdk_root / "temp").iterdir()]
    assert len(staged) == 1
    msi_path = windows_path(prefix, staged[0] / "original.msi")
    assert (staged[0] / "original.msi").read_bytes() == package
    if appdata:
        assert " " in msi_path
    # The shell starts System32's msiexec; a 32-bit shell on 64-bit Windows is sent
    # to SysWOW64's by file-system redirection, as Windows does.
    system = "syswow64" if build_paths.shell_bits == 32 else "system32"
    assert run["modulePath"].lower() == "c:\\windows\\%s\\msiexec.exe" % system
    assert run["arguments"] == ["/i", msi_path]
    assert run["commandLine"].endswith(' /i "%s"' % msi_path), run["commandLine"]
    assert run["currentDirectory"].rstrip("\\").lower() == windows_path(prefix, staged[0]).lower()


def test_package_installs_with_the_real_msiexec(shell, host, prefix, tmp_path):
    text = "installed by the zrq sample package %d\n" % time.monotonic_ns()
    package = build_sample_msi(tmp_path / "msi", text)
    host.publish_package(1234, installer_bytes=package, installer_type="msi", channel_code="c1")
    proc = shell.start()
    assert proc.wait(90) == 0
    installed = [prefix.drive_c / d / "ZRQSampleMsi" / "installed.txt"
                 for d in ("Program Files (x86)", "Program Files")]
    deadline = time.monotonic() + 90
    contents = []
    while text not in contents and time.monotonic() < deadline:
        time.sleep(0.2)
        contents = [p.read_text(encoding="ascii") for p in installed if p.is_file()]
    assert contents == [text], "the package did not install its file"
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"c1"}'
    assert (staging_dir(prefix) / "original.msi").read_bytes() == package
    assert_log(prefix, appId=APP_ID, channelCode="c1", launchWin32Error=0, motherId=7,
               packageId="1234", sdkCode=0, sha256=sha256_hex(package), shellVersion=2,
               status="handed-off", testOnly=False)

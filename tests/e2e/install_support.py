"""Helpers shared by the end-to-end tests: paths as the shell sees them, seeded
channel records, exact attempt logs, failures shown in the window."""

import json
import re
import subprocess
import time

from zrqtest.paths import wine_version
from zrqtest.testhost import sha256_hex
from zrqtest.vocabulary import MESSAGES, msg

APP_ID = "game_1"
ATTEMPT_ID = re.compile(r"[0-9A-F-]{36}")
INSTALLER_START_FAILED = msg.kInstallerNotStarted
READ = 65536  # what WinHTTP hands over at a time under Wine
# What starting a file that is no program fails with: ERROR_BAD_EXE_FORMAT (193)
# on Windows and under Wine 8, which the x64 run checks; Wine 10 gives
# ERROR_INVALID_HANDLE (6) instead.
NOT_A_PROGRAM_ERROR = 6 if wine_version() >= (10, 0) else 193


def windows_path(prefix, unix_path):
    """The C:\\ form of a path inside the prefix's drive_c."""
    rel = unix_path.relative_to(prefix.drive_c)
    return "C:\\" + "\\".join(rel.parts)


def seed_record(prefix, data, app_id=APP_ID):
    """Puts a channel record in place before the shell runs; None leaves none."""
    path = prefix.channel_record_path(app_id)
    if data is not None:
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
    return path


def only_log(prefix):
    """The one attempt log of the run; its file name is its attemptId."""
    logs = prefix.attempt_logs()
    assert len(logs) == 1, [log["name"] for log in logs]
    log = logs[0]
    attempt_id = log["data"].get("attemptId")
    assert isinstance(attempt_id, str) and ATTEMPT_ID.fullmatch(attempt_id), attempt_id
    assert log["name"] == attempt_id + ".json"
    return log


def assert_log(prefix, **members):
    """The run's log is exactly these members (plus its attemptId), in key order,
    with two-space indentation and no final newline. Returns the attempt id."""
    log = only_log(prefix)
    attempt_id = log["data"]["attemptId"]
    expected = dict(members, attemptId=attempt_id)
    expected = {k: expected[k] for k in sorted(expected)}
    assert list(log["data"]) == list(expected), log["text"]
    assert log["raw"] == json.dumps(expected, indent=2, ensure_ascii=False).encode("utf-8")
    return attempt_id


def failed_run(proc, message, code=1):
    """Waits for the failure text with its Close button, closes, returns nothing."""
    proc.wait_window(30)
    st = proc.wait_status(message, timeout=60)
    assert (st["button"], st["buttonEnabled"]) == (msg.kCloseButton, True)
    proc.click()
    assert proc.wait(30) == code


def assert_staging_cleaned(prefix):
    """After a failure: the per-attempt directory is gone, "temp" itself stays."""
    temp = prefix.sdk_root / "temp"
    assert temp.is_dir(), "the temp directory was removed"
    assert list(temp.iterdir()) == []


def assert_only_part_kept(prefix, payload):
    """After a network failure: the per-attempt directory is gone and nothing is left
    but, at most, the bytes received of the real installer, kept as
    partial\\<package id>-<sha256>-<size>. Returns how many bytes are kept."""
    temp = prefix.sdk_root / "temp"
    assert temp.is_dir(), "the temp directory was removed"
    entries = sorted(p.name for p in temp.iterdir())
    if not entries:
        return 0
    assert entries == ["partial"], entries
    files = sorted((temp / "partial").iterdir())
    assert [f.name for f in files] == [prefix.kept_path(payload).name]
    kept = files[0].read_bytes()
    assert 0 < len(kept) < len(payload) and payload.startswith(kept), len(kept)
    return len(kept)


def expect_failure(proc, prefix, message, sdk_code, timeout=30):
    """The window shows message with an enabled "关闭"; closing it ends the process
    with exit code 1 and one attempt log "failed" with sdk_code."""
    proc.wait_window(30)
    st = proc.wait_status(message, timeout)
    assert (st["button"], st["buttonEnabled"]) == (msg.kCloseButton, True)
    proc.click()
    assert proc.wait(30) == 1
    logs = [log["data"] for log in prefix.attempt_logs()]
    assert [(log["status"], log["sdkCode"]) for log in logs] == [("failed", sdk_code)]
    return st


def run_to_end(proc, timeout=60.0):
    """Lets a shell run to its end, closing a failure window when one shows:
    (exit code, the failure message shown or None)."""
    deadline = time.monotonic() + timeout
    message = None
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return proc.poll(), message
        st = proc.state()
        if st.get("found") and st.get("button") == msg.kCloseButton and st.get("buttonEnabled"):
            message = st.get("status")
            proc.click()
            try:
                return proc.wait(30), message
            except subprocess.TimeoutExpired:
                break
        time.sleep(0.1)
    proc.kill()
    raise AssertionError("the shell did not end by itself within %ss (last message %r)" % (
        timeout, message))


def own_messages():
    """Every text the shell can ever show a player."""
    return set(MESSAGES.values())


def crash_reported(proc):
    """Whether Wine reported an unhandled exception in the shell."""
    err = proc.stderr_path.read_bytes().decode("utf-8", "replace")
    return any(sign in err for sign in ("Unhandled exception", "starting debugger", "unimplemented function"))


def installer_requests(host, config):
    return host.requests("files", host.installer_target(config))


def only_staged_file(prefix, name="original.exe"):
    """The one staging directory of a successful run and its file; nothing kept."""
    entries = prefix.staging_dirs()
    assert len(entries) == 1, entries
    return entries[0] / name


def handed_off_log(prefix, payload, **more):
    return assert_log(prefix, appId=APP_ID, channelCode="channel-01", launchWin32Error=0, motherId=7,
                      packageId="1234", sdkCode=0, sha256=sha256_hex(payload), shellVersion=2,
                      status="handed-off", testOnly=False, **more)

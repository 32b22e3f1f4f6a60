"""Self-update handover between two real shells: the old shell downloads the newer
one announced by the manifest, starts it and ends once it acknowledges; the new
shell checks what it was handed and acknowledges before it talks to any server."""

import re
import threading
import time
from pathlib import Path

import pytest

from self_update_support import (EVENT_PREFIX, SHELL_PATH, announce, close_failed, logs_by_status,
                                 wait_logs)
from zrqtest.testhost import CHECK_TARGET, MANIFEST_PATH
from zrqtest.vocabulary import msg

EVENT_NAME = re.compile(r"Local\\ZRQUpdate-[0-9A-F-]{36}\Z")
UPDATE_LOCK = "Local\\ZRQUpdatePackage-1234"
UPDATED_MEMBERS = {"attemptId", "fromVersion", "packageId", "sdkCode", "status", "testOnly",
                   "toVersion"}
NOT_HANDED_OVER = msg.kNewShellNoAcknowledgement


# -- helpers -------------------------------------------------------------------------

def staging_windows_path(prefix, attempt_id):
    return "C:\\users\\%s\\AppData\\Local\\CorvaneSDK\\temp\\%s" % (prefix.user_name, attempt_id)


def wine_processes_running(fragment):
    """Linux processes whose command line contains fragment (Wine keeps the Windows
    path of the program in it)."""
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
        except OSError:
            continue
        if fragment in cmdline:
            found.append(int(entry.name))
    return found


def paths_requested(host):
    return [(r.listener, r.method, r.target) for r in host.requests()]


class ExitClock:
    """Time (time.time()) at which a shell process ended, and its exit code."""

    def __init__(self, proc):
        self.proc = proc
        self.code = None
        self.at = None
        self._thread = threading.Thread(target=self._wait, daemon=True)
        self._thread.start()

    def _wait(self):
        try:
            self.code = self.proc.wait(180)
        finally:
            self.at = time.time()

    def result(self, timeout):
        self._thread.join(timeout)
        assert not self._thread.is_alive(), "the shell did not exit within %ss" % timeout
        return self.code


# -- the handover between two real shells ----------------------------------------------

def test_handover_to_a_newer_shell_which_installs_the_game(shell, host, prefix, driver,
                                                           v3_shell_bytes, installer_bytes):
    announce(host, v3_shell_bytes, chunk_size=65536, chunk_delay=0.1)
    config = host.publish_package(1234, installer_bytes=installer_bytes)

    watch = driver.start_watch(120, 0.02)
    watch_epoch = time.time()
    started = time.time()
    proc = shell.start()
    # Once the new shell's window is up the first watch sees only that one (the
    # newest window), so the old shell's own window is watched by its process.
    old_pid = proc.wait_window(30)["pid"]
    old_watch = driver.for_pid(old_pid).start_watch(120, 0.02)
    old_epoch = time.time()
    clock = ExitClock(proc)
    run = prefix.wait_installer_run(timeout=90)
    assert run is not None, "the new shell did not start the installer"
    assert clock.result(60) == 0
    logs = wait_logs(prefix, lambda l: "updated" in l and "handed-off" in l)
    assert driver.wait_gone(30), "a shell window stayed open"
    seen = watch.stop()
    old_seen = old_watch.stop()

    # The old shell's log.
    [old] = logs["updated"]
    assert set(old) == UPDATED_MEMBERS
    assert (old["status"], old["fromVersion"], old["toVersion"], old["packageId"], old["sdkCode"],
            old["testOnly"]) == ("updated", 2, 3, "1234", 0, False)

    # The new shell ran from the old one's staging directory under the old one's name,
    # which it keeps: the file stays after the handover.
    kept = prefix.sdk_root / "temp" / old["attemptId"] / "Game_Setup_pc1234.exe"
    assert kept.read_bytes() == v3_shell_bytes

    # The new shell's own session installed the game.
    [new] = logs["handed-off"]
    assert new["attemptId"] != old["attemptId"]
    assert (new["shellVersion"], new["packageId"], new["appId"], new["sdkCode"]) == (
        3, "1234", config["appId"], 0)
    assert run["modulePath"] == staging_windows_path(prefix, new["attemptId"]) + "\\original.exe"
    assert prefix.channel_record(config["appId"]) == b'{"channelCode":"channel-01"}'

    # The old shell asked only for the manifest and the new shell; the new one asked for
    # the manifest again, then for the configuration, the check and the installer.
    assert paths_requested(host) == [
        ("files", "GET", MANIFEST_PATH), ("files", "GET", SHELL_PATH),
        ("files", "GET", MANIFEST_PATH), ("files", "GET", "/pc/config/1234.json"),
        ("check", "POST", CHECK_TARGET), ("files", "GET", host.installer_target(config))]
    assert host.requests(path=SHELL_PATH)[0].completed

    # What the old shell's window showed, told apart from the new one's by process id.
    seen = [s for s in seen if s["found"]]
    assert seen[0]["pid"] == old_pid
    # A window being destroyed may no longer answer for its texts.
    old_states = [s for s in old_seen if s["found"] and s["caption"] is not None]
    new_states = [s for s in seen if s["pid"] != old_pid]
    assert new_states, "the new shell's window was never seen"
    assert {s["caption"] for s in old_states} == {msg.kWindowCaption}
    percents = [int(m.group(1)) for m in
                (re.fullmatch(re.escape(msg.kUpdatingShell) + r"(\d+)%", s["status"] or "") for s in old_states) if m]
    assert any(0 < p < 100 for p in percents), "no download progress seen: %s" % [
        s["status"] for s in old_states]
    assert percents == sorted(percents)
    assert not any((s["status"] or "").startswith(msg.kDownloading) for s in old_states)
    assert msg.kLaunching in [s["status"] for s in old_states]

    # Handover time, reported with -s. The acknowledgement lies between the new shell's
    # window appearing and the old shell's exit; the new shell's first request follows it.
    launching = old_epoch + next(s["t"] for s in old_states
                                   if s["status"] == msg.kLaunching) / 1000.0
    new_window = watch_epoch + new_states[0]["t"] / 1000.0
    new_request = host.manifest_requests()[1].time
    print("\nhandover: start -> launching %.2f s; launching -> new window %.2f s, "
          "-> new shell's manifest request %.2f s, "
          "-> old shell's exit %.2f s; start -> old exit %.2f s" % (
              launching - started, new_window - launching,
              new_request - launching, clock.at - launching, clock.at - started))


@pytest.mark.parametrize("args,hops,name", [
    pytest.param([], "1", "Game_Setup_pc1234.exe", id="first"),
    pytest.param(["--update-hops", "2"], "3", "Game_Setup_pc1234 (2).exe", id="hops-2-copy-name"),
])
def test_new_shell_command_line_and_one_that_exits_without_acknowledging(
        shell, host, prefix, installer_bytes, args, hops, name):
    # The stand-in installer plays the new shell: it records how it was started and
    # exits at once without signalling, so the old shell fails without waiting 15 s.
    announce(host, installer_bytes)
    proc = shell.start(args, name=name)
    run = prefix.wait_installer_run(timeout=60)
    recorded = time.monotonic()
    assert run is not None, "the new shell was not started"
    st = proc.wait_status(NOT_HANDED_OVER, timeout=30)
    assert time.monotonic() - recorded < 10, "the old shell waited although the new one ended"
    assert st["button"] == msg.kCloseButton
    proc.close()
    assert proc.wait(20) == 1

    [old] = logs_by_status(prefix)["failed"]
    assert old["sdkCode"] == -9
    staging = staging_windows_path(prefix, old["attemptId"])
    path = staging + "\\" + name
    assert run["modulePath"] == path
    assert run["currentDirectory"] == staging
    event = run["arguments"][-1]
    assert run["arguments"] == ["--update-target", "3", "--update-hops", hops, "--update-ready", event]
    assert EVENT_NAME.match(event), event
    assert event[len(EVENT_PREFIX):] != old["attemptId"]
    assert run["commandLine"] == '"%s" --update-target 3 --update-hops %s --update-ready %s' % (
        path, hops, event)
    # The failed run removed the new shell's file. (Its directory may stay: Wine
    # finishes deleting an image file a moment after its process has ended.)
    assert [list(d.iterdir()) for d in prefix.staging_dirs()] in ([], [[]])
    host.assert_no_request(path="/pc/config/1234.json")


def test_new_shell_of_a_lower_version_fails_and_the_old_one_gives_up_after_15_s(
        shell, host, prefix, driver, v2_shell_bytes):
    # A version-2 file served as version 3: the new shell refuses the target before it
    # signals and keeps its failure window open; the old one waits the full 15 s.
    announce(host, v2_shell_bytes)
    proc = shell.start()
    old_pid = proc.wait_window(30)["pid"]
    download = host.wait_for_request("files", SHELL_PATH, timeout=30)

    logs = wait_logs(prefix, lambda l: "failed" in l, timeout=30)
    [new] = logs["failed"]
    assert new["sdkCode"] == -1
    # The window shows the failure at its next tick, which may follow the log.
    st = driver.wait_for(lambda s: s.get("pid") not in (None, old_pid) and
                         s.get("status") == msg.kUpdateTargetMismatch, timeout=15)
    host.assert_no_request(path="/pc/config/1234.json")
    assert len(host.manifest_requests()) == 1, "the new shell went on to the manifest"

    logs = wait_logs(prefix, lambda l: len(l.get("failed", [])) == 2, timeout=45)
    gave_up = time.time()
    [old] = [log for log in logs["failed"] if log["attemptId"] != new["attemptId"]]
    assert old["sdkCode"] == -9
    assert gave_up - download.time >= 14.5, "the old shell gave up after %.1f s" % (
        gave_up - download.time)
    assert proc.running, "the old shell ended without its failure being closed"
    # The new shell is left running: the old one does not stop it.
    assert wine_processes_running(old["attemptId"]), "the new shell was stopped"

    # Close both failure windows, whichever the driver finds first.
    deadline = time.monotonic() + 60
    while proc.running and time.monotonic() < deadline:
        st = driver.state()
        if st["found"]:
            if st["pid"] == old_pid:
                assert st["status"] == NOT_HANDED_OVER
            driver.close()
        time.sleep(0.2)
    assert proc.wait(20) == 1


@pytest.mark.parametrize("held", [False, True], ids=["update-lock-free", "update-lock-held"])
def test_hop_limit_and_update_lock(shell, host, prefix, driver, installer_bytes, held):
    announce(host, installer_bytes)
    if held:
        with driver.hold_mutex(UPDATE_LOCK, 60000) as holder:
            assert holder.held
            code = close_failed(shell.start(), msg.kShellUpdating)
        expected = -3
        host.assert_no_request(path=SHELL_PATH)
    else:
        # The third shell in a row still downloads the update, then refuses to hand over.
        code = close_failed(shell.start(["--update-hops", "3"]), msg.kTooManyUpdates)
        expected = -7
        assert host.requests(path=SHELL_PATH)[0].completed
    assert code == 1
    [log] = logs_by_status(prefix)["failed"]
    assert log["sdkCode"] == expected
    assert prefix.installer_run() is None, "a new shell was started"
    assert prefix.staging_dirs() == []
    host.assert_no_request(path="/pc/config/1234.json")

"""The shell killed at any moment of a run (as Task Manager or a shutdown ends
it): the channel record is afterwards byte for byte the one before or the new
one, never partial or empty, and the next run installs: locks the killed shell
held count as taken over, and what it left in staging is in nobody's way; the
bytes a killed download had received are continued by the next run."""

import time

from install_support import APP_ID, assert_log, seed_record
from zrqtest import Gate
from zrqtest.testhost import sha256_hex

# A run that takes about a second: the installer arrives in pieces.
SLOW_DOWNLOAD = {"chunk_size": 65536, "chunk_delay": 0.03}
TIMED_KILLS = 18          # spread over the run, from its start to near its end
AFTER_DOWNLOAD_MS = (0, 1, 2, 4, 8, 15, 30)  # around verifying, the record and the start


def record(channel):
    return ('{"channelCode":"%s"}' % channel).encode()


def run_once(shell, host, prefix, installer_bytes, channel, behaviour=None):
    """Each pair of runs (killed, next) gets an installer of its own, so that no run
    starts the copy an earlier one verified."""
    host.reset()
    own = installer_bytes + ("\0%s" % channel.split("-")[-1]).encode()
    return host.publish_package(1234, installer_bytes=own, channel_code=channel,
                                installer_behaviour=behaviour or SLOW_DOWNLOAD)


def kill_after(proc, host, config, delay=None, after_download_ms=None):
    """Kills the shell `delay` s after its start, or that many ms after the installer
    was sent in full. Returns whether it was still running when killed."""
    if delay is not None:
        time.sleep(delay)
    else:
        target = host.installer_target(config)
        deadline = time.monotonic() + 30
        while not any(r.completed for r in host.requests(path=target)):
            if time.monotonic() >= deadline or proc.poll() is not None:
                break
            time.sleep(0.001)
        time.sleep(after_download_ms / 1000.0)
    running = proc.poll() is None
    proc.kill()
    return running


def test_a_kill_at_any_moment_leaves_a_whole_record_and_the_next_run_installs(
        shell, host, prefix, installer_bytes):
    seed_record(prefix, record("before"))
    before = record("before")

    # How long an undisturbed run takes here.
    run_once(shell, host, prefix, installer_bytes, "timing")
    started = time.monotonic()
    assert shell.run(timeout=60) == 0
    duration = time.monotonic() - started
    before = record("timing")

    moments = [("at %.2f s" % (duration * 0.95 * (i + 1) / TIMED_KILLS), {
        "delay": duration * 0.95 * (i + 1) / TIMED_KILLS}) for i in range(TIMED_KILLS)]
    moments += [("%d ms after the download" % ms, {"after_download_ms": ms})
                for ms in AFTER_DOWNLOAD_MS]
    killed_running = []
    for number, (moment, when) in enumerate(moments):
        channel = "killed-%d" % number
        config = run_once(shell, host, prefix, installer_bytes, channel)
        proc = shell.start()
        if kill_after(proc, host, config, **when):
            killed_running.append(moment)
        after_kill = prefix.channel_record(APP_ID)
        assert after_kill in (before, record(channel)), "%s: %r" % (moment, after_kill)

        # The next run, undisturbed, installs.
        channel = "next-%d" % number
        run_once(shell, host, prefix, installer_bytes, channel, behaviour={})
        assert shell.run(timeout=60) == 0, moment
        assert prefix.channel_record(APP_ID) == record(channel), moment
        before = record(channel)
    print("\nkilled while running: %s" % killed_running)
    # At least twenty kills found the shell still at work.
    assert len(killed_running) >= 20, killed_running


def test_a_killed_download_is_continued_by_the_next_run(shell, host, prefix, installer_bytes):
    gate = Gate()
    held = 5 * 65536
    config = host.publish_package(1234, installer_bytes=installer_bytes,
                                  installer_behaviour={"stall_at": held, "stall": gate})
    proc = shell.start()
    assert gate.reached.wait(60)
    kept = prefix.kept_path(installer_bytes)
    deadline = time.monotonic() + 30
    while not (kept.is_file() and kept.stat().st_size == held) and time.monotonic() < deadline:
        time.sleep(0.05)
    proc.kill()
    assert kept.read_bytes() == installer_bytes[:held]
    assert prefix.attempt_logs() == []

    gate.release()
    host.reset()
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    assert shell.run(timeout=60) == 0
    assert [r.range for r in host.requests("files", host.installer_target(config))] == [
        "bytes=%d-" % held]
    assert not kept.parent.exists()
    staged = [d for d in prefix.staging_dirs()]
    assert len(staged) == 2  # the killed run's empty directory, and this run's
    assert [(d / "original.exe").read_bytes() for d in staged if (d / "original.exe").exists()] == [
        installer_bytes]
    assert prefix.wait_installer_run() is not None
    assert_log(prefix, appId=APP_ID, channelCode="channel-01", downloadRequests=1,
               downloadStartOffset=held, launchWin32Error=0, motherId=7, packageId="1234",
               sdkCode=0, sha256=sha256_hex(installer_bytes), shellVersion=2,
               status="handed-off", testOnly=False)

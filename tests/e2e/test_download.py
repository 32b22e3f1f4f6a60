"""The installer download: size and digest checks, cancellation mid-transfer and the
free-space rule, with what each failure leaves on disk; a download continued after
a broken connection and by the next run."""

import os
import re
import shutil
import subprocess
import time

import pytest

from install_support import (APP_ID, READ, assert_log, assert_only_part_kept,
                             assert_staging_cleaned, failed_run, handed_off_log, installer_requests,
                             only_staged_file, seed_record)
from zrqtest import Gate, Response
from zrqtest.testhost import sha256_hex
from zrqtest.vocabulary import msg

OLD_RECORD = b'{"channelCode":"old-channel"}'
SIZE_MISMATCH = msg.kSizeMismatch
VERIFY_FAILED = msg.kVerifyFailed
BROKEN = msg.kDownloadBroken
MARGIN = 1 << 20


def percent(state):
    m = re.fullmatch(re.escape(msg.kDownloading) + r"(\d+)%", state.get("status") or "")
    return int(m.group(1)) if m else -1


def installer_of(size):
    return bytes((i * 7 + 3) & 0xFF for i in range(size))


# A body proved wrong is never kept: a short one is continued, and the host's
# 416 for the missing byte shows its file is not the described one.
@pytest.mark.parametrize("body,descriptor,message,behaviour,requests", [
    pytest.param(lambda good: good + b"!", {}, SIZE_MISMATCH, {}, 1, id="one-byte-longer"),
    pytest.param(lambda good: good[:-1], {}, VERIFY_FAILED, {}, 2, id="one-byte-short"),
    pytest.param(lambda good: good, {"sha256": sha256_hex(b"something else")}, VERIFY_FAILED, {}, 1,
                 id="wrong-digest"),
    pytest.param(lambda good: good, {"sha256": sha256_hex(b"something else")}, VERIFY_FAILED,
                 {"per_reply": {1: {"cut_at": 70_000}}}, 3, id="wrong-digest-after-a-drop"),
    pytest.param(lambda good: b"", {}, VERIFY_FAILED, {}, 1, id="empty-body"),
])
def test_bad_installer_body_fails_and_leaves_nothing(shell, host, prefix, body, descriptor,
                                                     message, behaviour, requests):
    good = installer_of(150_000)
    config = host.publish_package(1234, installer_bytes=good, installer=descriptor,
                                  installer_response=Response(body=body(good),
                                                              content_type="application/octet-stream",
                                                              **behaviour))
    seed_record(prefix, OLD_RECORD)
    failed_run(shell.start(), message)

    assert len(installer_requests(host, config)) == requests
    assert_staging_cleaned(prefix)
    assert prefix.channel_record(APP_ID) == OLD_RECORD
    assert prefix.installer_run() is None
    more = {"downloadRequests": requests, "downloadStartOffset": 0} if requests > 1 else {}
    assert_log(prefix, sdkCode=-5, status="failed", testOnly=False, **more)


# Each request's Range header (None: the whole file), with "<" for a start that
# a reset may have left anywhere after the previous one.
@pytest.mark.parametrize("behaviour,ranges", [
    pytest.param({"per_reply": {1: {"cut_at": 240_000}}}, [None, 240_000], id="one-drop"),
    pytest.param({"per_reply": {1: {"cut_at": 150_000}, 2: {"cut_at": 200_000},
                                3: {"reset_at": 100_000, "reset_delay": 0.1}}},
                 [None, 150_000, 350_000, "<"], id="three-drops"),
    pytest.param({"ranges": "ignore", "per_reply": {1: {"cut_at": 240_000}}}, [None, 240_000],
                 id="host-ignores-ranges"),
    pytest.param({"range_shift": 1000, "per_reply": {1: {"cut_at": 240_000}}}, [None, 240_000, None],
                 id="host-names-another-range"),
])
def test_a_broken_download_is_continued_and_installs(shell, host, prefix, installer_bytes,
                                                     behaviour, ranges):
    config = host.publish_package(1234, installer_bytes=installer_bytes, installer_behaviour=behaviour)
    assert shell.run(timeout=90) == 0

    reqs = installer_requests(host, config)
    asked = [r.range for r in reqs]
    assert len(asked) == len(ranges), asked
    for i, (got, expected) in enumerate(zip(asked, ranges)):
        if expected == "<":
            start = int(re.fullmatch(r"bytes=(\d+)-", got).group(1))
            assert ranges[i - 1] < start <= ranges[i - 1] + 100_000, asked
        else:
            assert got == (None if expected is None else "bytes=%d-" % expected), asked
    # Where every later reply is the rest asked for, no byte came twice.
    sent = sum(r.bytes_sent for r in reqs)
    if "ranges" not in behaviour and "range_shift" not in behaviour:
        assert sent < 1.5 * len(installer_bytes), sent
    assert only_staged_file(prefix).read_bytes() == installer_bytes
    assert prefix.wait_installer_run() is not None
    handed_off_log(prefix, installer_bytes, downloadRequests=len(ranges), downloadStartOffset=0)


# The host fails the first reply after 40 % and then every reply: at once, or by
# stalling each to the receive time-out. The run gives up in bounded time with
# the message of the last failure, keeps what it received, and the next run,
# with the host mended, asks only for the rest.
@pytest.mark.parametrize("later,bound", [
    pytest.param({"reset_at": 0}, 45, id="fails-at-once"),
    pytest.param({"stall_at": 0, "stall": 12.0}, 90, id="stalls-to-the-time-out"),
])
def test_a_host_that_keeps_failing_ends_in_time_and_the_next_run_continues(
        shell, host, prefix, installer_bytes, later, bound):
    cut = 5 * READ
    config = host.publish_package(1234, installer_bytes=installer_bytes, installer_behaviour={
        "per_reply": {1: {"cut_at": cut}}, "later": (2, later)})
    seed_record(prefix, OLD_RECORD)
    proc = shell.start()
    first = host.wait_for_request("files", host.installer_target(config), timeout=60)
    st = proc.wait_status(BROKEN, timeout=bound + 30)
    took = time.time() - first.time
    print("\n%s: gave up %.1f s after the first request" % (later, took))
    assert took < bound
    assert (st["button"], st["buttonEnabled"]) == (msg.kCloseButton, True)
    proc.click()
    assert proc.wait(30) == 1
    # The rest asked for at once, then after 1, 2, 4 and 8 s: five in a row without a byte.
    assert [r.range for r in installer_requests(host, config)] == [None] + ["bytes=%d-" % cut] * 5
    assert assert_only_part_kept(prefix, installer_bytes) == cut
    assert prefix.channel_record(APP_ID) == OLD_RECORD
    assert_log(prefix, downloadRequests=6, downloadStartOffset=0, sdkCode=-7, status="failed",
               testOnly=False)

    host.reset()
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    for log in prefix.attempt_logs():
        log["path"].unlink()
    assert shell.run(timeout=60) == 0
    assert [r.range for r in installer_requests(host, config)] == ["bytes=%d-" % cut]
    assert only_staged_file(prefix).read_bytes() == installer_bytes
    assert prefix.wait_installer_run() is not None
    handed_off_log(prefix, installer_bytes, downloadRequests=1, downloadStartOffset=cut)


def test_cancel_mid_download(shell, host, prefix):
    # 2 MiB trickled at 32 KiB per 0.1 s, held up after 256 KiB until the cancel
    # was seen on screen.
    gate = Gate()
    config = host.publish_package(1234, installer_bytes=installer_of(2 << 20),
                                  installer_behaviour={"chunk_size": 32768, "chunk_delay": 0.1,
                                                       "stall_at": 256 << 10, "stall": gate})
    seed_record(prefix, OLD_RECORD)
    proc = shell.start()
    proc.wait_window(30)
    request = host.wait_for_request("files", host.installer_target(config), timeout=60)
    assert gate.reached.wait(60)
    # Everything before the stall has been written: the worker waits in a read.
    proc.wait_for(lambda s: percent(s) >= 12, timeout=60)
    proc.click()
    st = proc.wait_for(lambda s: not s["found"] or s["buttonEnabled"] is False, timeout=10)
    assert st["found"] and st["button"] == msg.kCancelButton, st
    gate.release()
    assert proc.wait_gone(60), "the window stayed after the cancel"
    assert proc.wait(60) == 2
    assert not request.completed, "the whole body went through despite the cancel"

    assert_staging_cleaned(prefix)
    assert prefix.channel_record(APP_ID) == OLD_RECORD
    assert prefix.installer_run() is None
    assert_log(prefix, sdkCode=-10, status="cancelled", testOnly=False)


@pytest.fixture
def prefix_on_tmpfs(prefix):
    """Moves the whole prefix onto a tmpfs with 16 MiB to spare (needs root in the
    private mount namespace of tools/netns-run). A mount point on the way to the SDK
    directory would be a reparse point to Wine, which the shell refuses, so the
    tmpfs holds the prefix directory itself. Yields the prefix."""
    prefix.kill_server()
    used = int(subprocess.run(["du", "-s", "--block-size=1", str(prefix.path)], check=True,
                              capture_output=True, text=True).stdout.split()[0])
    disk_copy = prefix.path.with_name(prefix.path.name + "-disk")
    prefix.path.rename(disk_copy)
    prefix.path.mkdir()
    done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (used + (16 << 20)),
                           "zrq-small", str(prefix.path)],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0:
        prefix.path.rmdir()
        disk_copy.rename(prefix.path)
        pytest.fail("cannot mount a tmpfs at %s (run as root inside tools/netns-run): %s"
                    % (prefix.path, done.stderr.strip()), pytrace=False)
    try:
        subprocess.run(["cp", "-a", str(disk_copy) + "/.", str(prefix.path)], check=True,
                       stdin=subprocess.DEVNULL)
        shutil.rmtree(disk_copy)
        prefix.start_server()
        yield prefix
    finally:
        prefix.kill_server()
        subprocess.run(["umount", "-l", str(prefix.path)], stdin=subprocess.DEVNULL,
                       capture_output=True)


def test_too_little_free_space_fails_before_the_download(shell, host, prefix_on_tmpfs):
    prefix = prefix_on_tmpfs
    stat = os.statvfs(str(prefix.drive_c))
    free = stat.f_bavail * stat.f_frsize
    # Fits the disk, but not with the 1 MiB margin on top.
    size = free - MARGIN + (256 << 10)
    config = host.publish_package(1234, installer={"sizeBytes": str(size)})
    failed_run(shell.start(), msg.kDiskFull)
    host.assert_no_request("files", host.installer_target(config))
    assert_staging_cleaned(prefix)
    assert prefix.installer_run() is None
    assert_log(prefix, sdkCode=-9, status="failed", testOnly=False)

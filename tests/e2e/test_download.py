"""The installer download: size and digest checks, cancellation mid-transfer and the
free-space rule, with what each failure leaves on disk."""

import os
import re
import shutil
import subprocess

import pytest

from install_support import (APP_ID, assert_log, assert_staging_cleaned, failed_run, seed_record)
from zrqtest import Gate, Response
from zrqtest.testhost import sha256_hex

OLD_RECORD = b'{"channelCode":"old-channel"}'
SIZE_MISMATCH = "安装文件大小不匹配"
VERIFY_FAILED = "安装文件校验失败，请重试"
MARGIN = 1 << 20


def percent(state):
    m = re.fullmatch(r"正在下载安装文件… (\d+)%", state.get("status") or "")
    return int(m.group(1)) if m else -1


def installer_of(size):
    return bytes((i * 7 + 3) & 0xFF for i in range(size))


@pytest.mark.parametrize("body,descriptor,message", [
    pytest.param(lambda good: good + b"!", {}, SIZE_MISMATCH, id="one-byte-longer"),
    pytest.param(lambda good: good[:-1], {}, VERIFY_FAILED, id="one-byte-short"),
    pytest.param(lambda good: good, {"sha256": sha256_hex(b"something else")}, VERIFY_FAILED,
                 id="wrong-digest"),
    pytest.param(lambda good: b"", {}, VERIFY_FAILED, id="empty-body"),
])
def test_bad_installer_body_fails_and_leaves_nothing(shell, host, prefix, body, descriptor,
                                                     message):
    good = installer_of(150_000)
    host.publish_package(1234, installer_bytes=good, installer=descriptor,
                         installer_response=Response(body=body(good),
                                                     content_type="application/octet-stream"))
    seed_record(prefix, OLD_RECORD)
    failed_run(shell.start(), message)

    assert_staging_cleaned(prefix)
    assert prefix.channel_record(APP_ID) == OLD_RECORD
    assert prefix.installer_run() is None
    assert_log(prefix, sdkCode=-5, status="failed", testOnly=False)


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
    assert st["found"] and st["button"] == "取消", st
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
    failed_run(shell.start(), "磁盘空间不足")
    host.assert_no_request("files", host.installer_target(config))
    assert_staging_cleaned(prefix)
    assert prefix.installer_run() is None
    assert_log(prefix, sdkCode=-9, status="failed", testOnly=False)

"""Helpers of the self-update tests: announcing the version-3 shell, reading the
attempt logs of both shells by status, closing a failed shell's window."""

import time

from zrqtest import Response
from zrqtest.vocabulary import msg

EVENT_PREFIX = "Local\\ZRQUpdate-"
SHELL_PATH = "/pc/shell/3/Game_Setup_pc1.exe"  # where publish_manifest("3", ...) serves it


def announce(host, shell_bytes, **behaviour):
    """Announces version 3 with these bytes as the new shell. The same manifest tells a
    version-3 shell that nothing newer exists."""
    doc = host.publish_manifest("3", shell_bytes=shell_bytes)
    if behaviour:
        host.set(SHELL_PATH, Response(body=shell_bytes, content_type="application/octet-stream",
                                      **behaviour))
    return doc


def logs_by_status(prefix):
    out = {}
    for log in prefix.attempt_logs():
        out.setdefault(log["data"]["status"], []).append(log["data"])
    return out


def wait_logs(prefix, predicate, timeout=30.0):
    """Polls the attempt logs until predicate(logs by status) holds; returns them."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            logs = logs_by_status(prefix)
        except ValueError:  # a log being replaced right now
            logs = None
        if logs is not None and predicate(logs):
            return logs
        if time.monotonic() >= deadline:
            raise AssertionError("attempt logs not as expected within %ss: %s" % (timeout, logs))
        time.sleep(0.05)


def close_failed(proc, message, timeout=30.0):
    """Closes the shell's failure window and returns its exit code."""
    st = proc.wait_status(message, timeout)
    assert st["button"] == msg.kCloseButton
    proc.close()
    return proc.wait(20)

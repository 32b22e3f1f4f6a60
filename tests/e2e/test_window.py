"""The progress window as another process sees it: texts, geometry, styles, keys,
failures and cancellation."""

import re
import time

import pytest

from install_support import only_log
from zrqtest import Gate
from window_support import check_first_window, stalled_session
from zrqtest.png import read_bmp
from zrqtest.vocabulary import msg

EARLY_STATUS = (msg.kPreparing, msg.kFetchingInfo)
PBS_MARQUEE = 0x08
DOWNLOADING = msg.kDownloading
RETRYING = msg.kReconnecting
CHECKING_KEPT = msg.kCheckingKept
CHECKING_COPY = msg.kCheckingCopy
ATTEMPT = "0000000A-0000-4000-8000-00000000000A"


def percent_after(prefix, state):
    """The percentage a status shows after the given prefix, or None."""
    m = re.fullmatch(re.escape(prefix) + r"(\d+)%", state.get("status") or "")
    return int(m.group(1)) if m else None


def padded(installer_bytes, size):
    return installer_bytes + b"\0" * (size - len(installer_bytes))


def test_first_window_at_96_dpi(shell, host, tmp_path):
    st, gate = check_first_window(shell, host, (600, 205), (24, 26, 545, 46), (24, 80, 545, 20),
                                  (469, 120, 100, 30))
    assert st["systemDpi"] == 96
    shot = shell.driver.screenshot_png(tmp_path / "window.png")
    assert (shot["width"], shot["height"]) == (600, 205)
    assert (tmp_path / "window.png").read_bytes().startswith(b"\x89PNG")
    gate.release()


def status_line_pixels(proc, bmp):
    """The status line's pixels in a screenshot of the whole window, row by row."""
    st = proc.state()
    width, height, rows = read_bmp(bmp.read_bytes())
    client_width, client_height = st["clientRect"][2:]
    left = (width - client_width) // 2
    top = height - client_height - left
    x, y, w, h = st["statusRect"]
    return [row[3 * (left + x):3 * (left + x + w)] for row in rows[top + y:top + y + h]]


def test_chinese_status_is_drawn_in_glyphs(shell, host, tmp_path):
    """Two failures whose messages are equally long but differ in their characters:
    drawn with a font that lacks the glyphs, both are the same row of boxes."""
    messages = (msg.kBadAppId, msg.kBadGameInfo)
    assert len(messages[0]) == len(messages[1]) and messages[0] != messages[1]
    status_lines = []
    for overrides, message in zip(({"appId": ""}, {"displayName": 5}), messages):
        host.publish_package(1234, **overrides)
        proc = shell.start()
        proc.wait_status(message)
        bmp = tmp_path / ("failure-%d.bmp" % len(status_lines))
        assert shell.driver.screenshot(bmp)["saved"]
        status_lines.append(status_line_pixels(proc, bmp))
        proc.click()
        assert proc.wait(15) == 1
    assert status_lines[0] != status_lines[1]


@pytest.mark.dpi(144)
def test_first_window_at_144_dpi(shell, host):
    st, gate = check_first_window(shell, host, (900, 308), (36, 39, 818, 69), (36, 120, 818, 30),
                                  (704, 180, 150, 45))
    assert st["systemDpi"] == 144
    gate.release()


@pytest.mark.parametrize("name,publish,message", [
    pytest.param("Game_Setup_pc1234.exe", False, msg.kNotAvailable, id="config-404"),
    pytest.param("setup.exe", True, msg.kBadFileName, id="name-without-id"),
])
def test_failure_shows_message_and_close_until_closed(shell, host, prefix, name, publish, message):
    if publish:
        host.publish_package(1234)
    proc = shell.start(name=name)
    proc.wait_window()
    st = proc.wait_status(message)
    assert (st["button"], st["buttonEnabled"]) == (msg.kCloseButton, True)
    time.sleep(1.0)
    st = proc.state()
    assert st["found"] and st["status"] == message and proc.running
    if name == "setup.exe":
        host.assert_no_request()
    proc.click()
    assert proc.wait_gone()
    assert proc.wait(15) == 1
    assert [log["data"]["status"] for log in prefix.attempt_logs()] == ["failed"]


@pytest.mark.parametrize("action", ["enter", "click", "close"])
def test_cancel_while_fetching(shell, host, prefix, action):
    proc, gate = stalled_session(shell, host)
    proc.wait_status(msg.kFetchingInfo)
    if action == "enter":
        proc.key("esc")
        time.sleep(0.5)
        st = proc.state()
        assert st["found"] and (st["button"], st["buttonEnabled"]) == (msg.kCancelButton, True)
        assert proc.running
        proc.key("enter")
    elif action == "click":
        proc.click()
    else:
        proc.close()
    st = proc.wait_for(lambda s: s["buttonEnabled"] is False, timeout=5)
    assert st["found"] and st["button"] == msg.kCancelButton
    time.sleep(0.5)
    assert proc.state()["found"], "the window closed before the session ended"
    gate.release()
    assert proc.wait_gone()
    assert proc.wait(20) == 2
    assert [log["data"]["status"] for log in prefix.attempt_logs()] == ["cancelled"]


def test_download_shows_percent_then_closes(shell, host, prefix, installer_bytes):
    payload = installer_bytes + b"\0" * (2_000_000 - len(installer_bytes))
    host.publish_package(1234, installer_bytes=payload,
                         installer_behaviour={"chunk_size": 65536, "chunk_delay": 0.1})
    watch = shell.driver.start_watch(60, 0.02)
    proc = shell.start()
    assert proc.wait(60) == 0
    # States caught while the window was being destroyed have no texts.
    seen = [s for s in watch.stop() if s["found"] and s["status"] is not None]
    downloading = [s for s in seen if s["status"].startswith(msg.kDownloading)]
    assert len(downloading) >= 3, [s["status"] for s in seen]
    percents = []
    for s in downloading:
        m = re.fullmatch(re.escape(msg.kDownloading) + r"(\d+)%", s["status"])
        assert m, s["status"]
        # The driver reads the text before the bar: a tick in between moves the bar on.
        # A tick that changes the text makes the driver read again.
        assert s["progress"] >= int(m.group(1)) and s["marquee"] is False
        percents.append(int(m.group(1)))
    assert any(s["progress"] == p for s, p in zip(downloading, percents))
    assert percents == sorted(percents) and 0 < percents[-1] <= 100
    # The worker may verify and launch between two ticks, so the window can close straight
    # from a percentage; whatever it showed after the download belongs to the later stages.
    last = max(i for i, s in enumerate(seen) if s["status"].startswith(msg.kDownloading))
    after = seen[last + 1:]
    assert {s["status"] for s in after} <= {msg.kVerifying, msg.kLaunching}


def test_cancel_during_download_disables_button_and_closes_after(shell, host, prefix):
    gate = Gate()
    config = host.publish_package(1234, installer_bytes=b"x" * 400_000,
                                  installer_behaviour={"stall_at": 200_000, "stall": gate})
    proc = shell.start()
    proc.wait_window()
    proc.wait_for(lambda s: (s["status"] or "").startswith(msg.kDownloading), timeout=15)
    host.wait_for_request("files", host.installer_target(config))
    proc.click()
    st = proc.wait_for(lambda s: s["buttonEnabled"] is False, timeout=5)
    assert st["found"]
    gate.release()
    assert proc.wait_gone()
    assert proc.wait(30) == 2
    assert prefix.channel_record(config["appId"]) is None
    assert [log["data"]["status"] for log in prefix.attempt_logs()] == ["cancelled"]


def test_a_drop_shows_the_wait_and_the_bar_never_goes_back(shell, host, prefix, installer_bytes):
    payload = padded(installer_bytes, 2_000_000)
    # The rest is asked for at once; the host takes a second to answer.
    host.publish_package(1234, installer_bytes=payload, installer_behaviour={
        "chunk_size": 65536, "chunk_delay": 0.05,
        "per_reply": {1: {"cut_at": 800_000}, 2: {"stall_headers": 1.0}}})
    watch = shell.driver.start_watch(60, 0.02)
    proc = shell.start()
    assert proc.wait(60) == 0
    seen = [s for s in watch.stop() if s["found"] and s["status"] is not None]
    shown = [(percent_after(DOWNLOADING, s), percent_after(RETRYING, s), s) for s in seen]
    waiting = [s for _, wait, s in shown if wait is not None]
    assert waiting, [s["status"] for s in seen]
    # The wait keeps the percentage and the bar of the bytes received.
    assert {percent_after(RETRYING, s) for s in waiting} == {40}
    assert all(s["progress"] == 40 and s["buttonEnabled"] for s in waiting)
    percents = [down if down is not None else wait for down, wait, _ in shown
                if down is not None or wait is not None]
    assert percents == sorted(percents) and percents[-1] > 40, percents


def test_cancel_during_a_wait_ends_the_run_at_once(shell, host, prefix, installer_bytes):
    cut = 5 * 65536
    config = host.publish_package(1234, installer_bytes=installer_bytes, installer_behaviour={
        "per_reply": {1: {"cut_at": cut}}, "later": (2, {"reset_at": 0, "reset_delay": 1.0})})
    proc = shell.start()
    proc.wait_window()
    # The rest is asked for at once; after the third request fails the shell waits 2 s.
    target = host.installer_target(config)
    deadline = time.monotonic() + 30
    while len(host.requests("files", target)) < 3 and time.monotonic() < deadline:
        time.sleep(0.02)
    proc.wait_for(lambda s: percent_after(DOWNLOADING, s) is not None, timeout=10)
    st = proc.wait_for(lambda s: percent_after(RETRYING, s) is not None, timeout=10)
    expected = cut * 100 // len(installer_bytes)
    assert (percent_after(RETRYING, st), st["progress"]) == (expected, expected)
    assert (st["button"], st["buttonEnabled"]) == (msg.kCancelButton, True)
    clicked = time.monotonic()
    proc.click()
    assert proc.wait(20) == 2
    took = time.monotonic() - clicked
    print("\ncancel during the wait: the shell ended %.0f ms after the click" % (took * 1000))
    assert took < 2.0, took  # the wait had up to 2 s left
    assert len(host.requests("files", target)) == 3
    assert not (prefix.sdk_root / "temp" / "partial").exists(), "a cancelled run kept its download"
    assert only_log(prefix)["data"]["status"] == "cancelled"


# Bytes an earlier run left are hashed from disk with their own status: kept
# bytes of an unfinished download, then the rest is asked for; a verified copy,
# then it is started. 128 MiB take a few tenths of a second to hash here.
@pytest.mark.parametrize("earlier,status", [("kept", CHECKING_KEPT), ("copy", CHECKING_COPY)],
                         ids=["kept", "copy"])
def test_bytes_of_an_earlier_run_are_checked_with_their_own_status(shell, host, prefix, installer_bytes,
                                                                   earlier, status):
    payload = padded(installer_bytes, 128 << 20)
    config = host.publish_package(1234, installer_bytes=payload)
    temp = prefix.sdk_root / "temp"
    if earlier == "kept":
        kept = prefix.kept_path(payload)
        kept.parent.mkdir(parents=True)
        kept.write_bytes(payload[:-65536])
    else:
        (temp / ATTEMPT).mkdir(parents=True)
        (temp / ATTEMPT / "original.exe").write_bytes(payload)
    watch = shell.driver.start_watch(90, 0.02)
    proc = shell.start()
    assert proc.wait(90) == 0
    seen = [s for s in watch.stop() if s["found"] and s["status"] is not None]
    checking = [percent_after(status, s) for s in seen if percent_after(status, s) is not None]
    assert len(checking) >= 2, [s["status"] for s in seen]
    assert checking == sorted(checking)
    asked = [r.range for r in host.requests("files", host.installer_target(config))]
    assert asked == (["bytes=%d-" % (len(payload) - 65536)] if earlier == "kept" else [])
    assert prefix.wait_installer_run() is not None
    assert only_log(prefix)["data"]["downloadStartOffset"] == (
        len(payload) - 65536 if earlier == "kept" else len(payload))

"""The first window of a shell held in its fetching stage, checked against the
geometry the tests expect at a DPI."""

from zrqtest import Gate
from zrqtest.vocabulary import msg

WS_VISIBLE = 0x10000000
WS_CLIPSIBLINGS = 0x04000000
PBS_MARQUEE = 0x08
EARLY_STATUS = (msg.kPreparing, msg.kFetchingInfo)


def hexint(text):
    return int(text, 16)


def stalled_session(shell, host, env=None):
    """A shell whose configuration request hangs before its headers until the gate
    is released: the session stays in its fetching stage."""
    gate = Gate()
    host.publish_package(1234, config_behaviour={"stall_headers": gate})
    proc = shell.start(env=env)
    proc.wait_window()
    host.wait_for_request("files", "/pc/config/1234.json")
    return proc, gate


def check_first_window(shell, host, outer, status, progress, button, env=None):
    watch = shell.driver.start_watch(30, 0.01)
    proc, gate = stalled_session(shell, host, env)
    st = proc.state()
    seen = watch.stop()

    first = next(s for s in seen if s["found"])
    assert first["caption"] == msg.kWindowCaption
    assert first["status"] in EARLY_STATUS
    assert (first["button"], first["buttonEnabled"]) == (msg.kCancelButton, True)

    assert st["caption"] == msg.kWindowCaption
    assert st["status"] == msg.kFetchingInfo
    assert st["marquee"] is True
    assert (st["button"], st["buttonEnabled"]) == (msg.kCancelButton, True)
    assert st["visible"] is True
    assert st["windowRect"][2:] == list(outer)
    assert st["statusRect"] == list(status)
    assert st["progressRect"] == list(progress)
    assert st["buttonRect"] == list(button)
    # The system adds WS_CLIPSIBLINGS to every top-level window; WS_VISIBLE comes from showing it.
    assert hexint(st["windowStyle"]) & ~(WS_VISIBLE | WS_CLIPSIBLINGS) == 0x00C80000
    assert hexint(st["statusStyle"]) == 0x50000000
    assert hexint(st["progressStyle"]) & ~PBS_MARQUEE == 0x50000000
    assert hexint(st["buttonStyle"]) == 0x50010001
    assert (st["statusId"], st["progressId"], st["buttonId"]) == (0, 0, 1)
    assert st["childCount"] == 3
    assert st["progressRange"] == [0, 100]
    return st, gate

"""Command line and exit codes of the real shell."""

import time

import pytest

from zrqtest import Gate
from zrqtest.testhost import MANIFEST_PATH
from zrqtest.vocabulary import msg

# One command line for each way a rejection arises (an unknown word, a number
# out of range, an option without its value); every variant of the rule is in
# tests/unit/rules/command_line_test.cpp.
REJECTED = [
    pytest.param(["--bogus"], id="unknown-switch"),
    pytest.param(["--update-hops", "4"], id="hops-4"),
    pytest.param(["--update-hops", "1", "--update-target"], id="target-without-value"),
]


@pytest.mark.parametrize("args", REJECTED)
def test_rejected_command_line_exits_1_without_window(shell, host, prefix, args):
    watch = shell.driver.start_watch(30, 0.01)
    started = time.monotonic()
    code = shell.run(args, timeout=20)
    elapsed = time.monotonic() - started
    seen = watch.stop()
    assert code == 1
    assert elapsed < 5, "a rejected command line took %.1f s" % elapsed
    assert seen and all(not s["found"] for s in seen), "a window appeared: %s" % seen
    host.assert_no_request()
    assert prefix.attempt_logs() == []


@pytest.mark.parametrize("args", [
    pytest.param(["--update-hops", "3"], id="hops-3"),
    pytest.param(["--update-target", "2", "--update-hops", "0"], id="target-own-version"),
    pytest.param(["--update-ready", ""], id="ready-empty"),
])
def test_accepted_command_line_starts_the_session(shell, host, args):
    gate = Gate()
    host.publish_package(1234, config_behaviour={"stall_headers": gate})
    proc = shell.start(args)
    st = proc.wait_window()
    assert st["caption"] == msg.kWindowCaption
    host.wait_for_request("files", "/pc/config/1234.json")
    gate.release()


def test_highest_target_is_accepted_and_judged_by_the_session(shell, host):
    # 4294967295 passes the parser; the session then finds its own version too old.
    proc = shell.start(["--update-target", "4294967295"])
    proc.wait_window()
    assert proc.wait_status(msg.kUpdateTargetMismatch)["button"] == msg.kCloseButton
    host.assert_no_request("files", MANIFEST_PATH)


def test_update_ready_takes_the_next_argument_verbatim(shell, host):
    # "--update-hops" is the event name here, not an option; the session then
    # refuses that name.
    proc = shell.start(["--update-ready", "--update-hops", "--update-hops", "2"])
    proc.wait_window()
    st = proc.wait_status(msg.kBadHandoffArguments)
    assert st["button"] == msg.kCloseButton
    proc.click()
    assert proc.wait(15) == 1


def test_exit_0_after_the_installer_was_started(shell, host, prefix, installer_bytes):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    proc = shell.start()
    assert proc.wait(60) == 0
    run = prefix.wait_installer_run()
    assert run is not None, "the installer was not started"
    assert run["arguments"] == []
    assert prefix.channel_record(config["appId"]) == b'{"channelCode":"channel-01"}'
    logs = prefix.attempt_logs()
    assert [log["data"]["status"] for log in logs] == ["handed-off"]
    assert logs[0]["data"]["sdkCode"] == 0


def test_exit_1_after_a_failure_is_closed(shell, host):
    host.publish_package(1234)
    host.refuse("1234", "CHANNEL_DISABLED")
    proc = shell.start()
    proc.wait_window()
    proc.wait_status(msg.kChannelDisabled)
    proc.close()
    assert proc.wait(15) == 1


def test_exit_2_after_a_cancel(shell, host, prefix):
    gate = Gate()
    host.publish_package(1234, config_behaviour={"stall_headers": gate})
    proc = shell.start()
    proc.wait_window()
    host.wait_for_request("files", "/pc/config/1234.json")
    proc.click()
    proc.wait_for(lambda s: s["buttonEnabled"] is False)
    gate.release()
    assert proc.wait(20) == 2
    assert [log["data"]["status"] for log in prefix.attempt_logs()] == ["cancelled"]

"""A shell handed the handover options directly: the event name and the target
version are checked before any request, and an event that exists is signalled
before the shell installs."""

import pytest

from self_update_support import EVENT_PREFIX, close_failed, logs_by_status
from zrqtest.vocabulary import msg

GUID = "0123ABCD-4567-89EF-0123-456789ABCDEF"


@pytest.mark.parametrize("name,message,code", [
    pytest.param("Local\\ZRQUpdate", msg.kBadHandoffArguments, -1, id="15-units"),
    pytest.param(EVENT_PREFIX + "A" * 84, msg.kBadHandoffArguments, -1, id="100-units"),
    pytest.param("local\\ZRQUpdate-" + GUID, msg.kBadHandoffArguments, -1, id="prefix-case"),
    pytest.param(EVENT_PREFIX + GUID.replace("-", "_"), msg.kBadHandoffArguments, -1, id="underscore"),
    pytest.param(EVENT_PREFIX, msg.kHandoffFailed, -9, id="16-units-no-event"),
    pytest.param(EVENT_PREFIX + "A" * 83, msg.kHandoffFailed, -9, id="99-units-no-event"),
])
def test_handover_event_name_is_checked_before_any_request(shell, host, prefix, name, message, code):
    assert close_failed(shell.start(["--update-ready", name]), message) == 1
    [log] = logs_by_status(prefix)["failed"]
    assert log["sdkCode"] == code
    host.assert_no_request()


def test_target_above_own_version_fails_without_signalling(shell, host, prefix, driver):
    name = EVENT_PREFIX + GUID
    waiter = driver.wait_event(name, 60000)
    assert waiter.created
    proc = shell.start(["--update-target", "3", "--update-ready", name])
    assert close_failed(proc, msg.kUpdateTargetMismatch) == 1
    assert [line for line in waiter.lines() if "signaled" in line] == []
    waiter.kill()
    [log] = logs_by_status(prefix)["failed"]
    assert log["sdkCode"] == -1
    host.assert_no_request()


def test_existing_event_is_signalled_and_the_shell_installs(shell, host, prefix, driver,
                                                            installer_bytes):
    name = EVENT_PREFIX + GUID
    waiter = driver.wait_event(name, 60000)
    assert waiter.created
    host.publish_package(1234, installer_bytes=installer_bytes)
    # Own version as the target, and a hop count at the limit: neither matters
    # when no newer shell is announced.
    proc = shell.start(["--update-target", "2", "--update-hops", "3", "--update-ready", name])
    assert waiter.wait(60)[-1] == {"signaled": True}
    assert proc.wait(60) == 0
    assert prefix.wait_installer_run() is not None
    [log] = logs_by_status(prefix)["handed-off"]
    assert (log["shellVersion"], log["sdkCode"]) == (2, 0)

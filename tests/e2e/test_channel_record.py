"""The channel record around a failed or refused installer start: restored byte for
byte, removed when there was none, and the record lock and size limit."""

import pytest

from install_support import (APP_ID, INSTALLER_START_FAILED, NOT_A_PROGRAM_ERROR, assert_log,
                             assert_staging_cleaned, failed_run, seed_record)
from zrqtest.vocabulary import msg

NOT_AN_EXECUTABLE = bytes((i * 31 + 17) & 0xFF for i in range(4096))

PREVIOUS_RECORDS = [
    pytest.param(None, id="no-record"),
    pytest.param(b'{"channelCode":"old","since":2019}', id="json-record"),
    pytest.param(b"abc", id="not-json"),
    pytest.param(b"{" + b"x" * 131070 + b"}", id="exactly-128-KiB"),
]


def assert_record_restored(prefix, previous):
    assert prefix.channel_record(APP_ID) == previous
    if previous is None:
        assert prefix.channel_record_path(APP_ID).parent.is_dir(), "the apps directory went away"


@pytest.mark.parametrize("previous", PREVIOUS_RECORDS)
def test_installer_that_cannot_start_restores_the_record(shell, host, prefix, previous):
    host.publish_package(1234, installer_bytes=NOT_AN_EXECUTABLE)
    seed_record(prefix, previous)
    failed_run(shell.start(), INSTALLER_START_FAILED)
    assert_record_restored(prefix, previous)
    assert_staging_cleaned(prefix)
    assert_log(prefix, launchWin32Error=NOT_A_PROGRAM_ERROR, sdkCode=-9, status="failed",
               testOnly=False)


@pytest.mark.parametrize("previous", PREVIOUS_RECORDS[:2])
def test_refused_elevation_cancels_and_restores_the_record(shell, host, prefix, installer_bytes,
                                                           previous):
    host.publish_package(1234, installer_bytes=installer_bytes)
    seed_record(prefix, previous)
    proc = shell.start(env={"ZRQ_TEST_LAUNCH_ERROR": "1223"})
    proc.wait_window(30)
    # Nobody touches the window: a cancelled start closes it by itself.
    assert proc.wait(90) == 2
    assert prefix.installer_run() is None
    assert_record_restored(prefix, previous)
    assert_staging_cleaned(prefix)
    assert_log(prefix, launchWin32Error=1223, sdkCode=-10, status="cancelled", testOnly=False)


def test_record_over_128_kib_fails_before_anything_is_written(shell, host, prefix,
                                                              installer_bytes):
    previous = b"{" + b"y" * 131071 + b"}"
    host.publish_package(1234, installer_bytes=installer_bytes)
    seed_record(prefix, previous)
    failed_run(shell.start(), "File exceeds limit")
    assert prefix.channel_record(APP_ID) == previous
    assert [p.name for p in prefix.channel_record_path(APP_ID).parent.iterdir()] == ["channel.json"]
    assert prefix.installer_run() is None
    assert_staging_cleaned(prefix)
    assert_log(prefix, sdkCode=-9, status="failed", testOnly=False)


def test_record_lock_held_elsewhere_leaves_the_record_alone(shell, host, prefix, driver,
                                                            installer_bytes):
    previous = b'{"channelCode":"theirs"}'
    host.publish_package(1234, installer_bytes=installer_bytes)
    seed_record(prefix, previous)
    with driver.hold_mutex("Local\\CorvaneSDK-" + APP_ID, 120_000) as holder:
        assert holder.held
        failed_run(shell.start(), msg.kRecordBeingWritten)
    assert prefix.channel_record(APP_ID) == previous
    assert prefix.installer_run() is None
    assert_staging_cleaned(prefix)
    assert_log(prefix, sdkCode=-3, status="failed", testOnly=False)


# The record held open for reading, without sharing deletion, as the game or a
# virus scanner may hold it: Windows then refuses to replace it. The test
# build's seam makes Wine refuse the same way.
WINDOWS_SHARING = {"ZRQ_TEST_WINDOWS_SHARING": "1"}
RECORD = "C:\\users\\%s\\AppData\\Local\\CorvaneSDK\\apps\\" + APP_ID + "\\channel.json"


def test_a_record_held_open_briefly_is_still_replaced(shell, host, prefix, driver,
                                                      installer_bytes):
    host.publish_package(1234, installer_bytes=installer_bytes)
    seed_record(prefix, b'{"channelCode":"old"}')
    with driver.hold_file(RECORD % prefix.user_name, 200, 60000) as holder:
        assert holder.held
        proc = shell.start(env=WINDOWS_SHARING)
        assert proc.wait(90) == 0
        held = holder.wait(30)[-1]
    # The shell was already waiting to replace it when the holder let go.
    assert held["sawWriter"] and held["heldAfterWriterMs"] >= 200
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"channel-01"}'
    assert prefix.wait_installer_run() is not None
    assert not list(prefix.channel_record_path(APP_ID).parent.glob("*.tmp"))


def test_a_record_held_open_for_long_fails_the_run_and_stays_as_it_was(shell, host, prefix,
                                                                      driver, installer_bytes):
    host.publish_package(1234, installer_bytes=installer_bytes)
    seed_record(prefix, b'{"channelCode":"old"}')
    with driver.hold_file(RECORD % prefix.user_name, 20000, 60000) as holder:
        assert holder.held
        failed_run(shell.start(env=WINDOWS_SHARING), msg.kAtomicWriteFailed)
    assert prefix.channel_record(APP_ID) == b'{"channelCode":"old"}'
    assert prefix.installer_run() is None
    assert not list(prefix.channel_record_path(APP_ID).parent.glob("*.tmp"))
    assert_log(prefix, sdkCode=-9, status="failed", testOnly=False)

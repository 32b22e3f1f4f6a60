"""Many shells at once in one session: for one game exactly one installs and the
others step aside without touching anything; shells for different games all
install; of two shells that both meet a newer shell, one updates and the other
is refused by the update lock."""

import time

from self_update_support import SHELL_PATH, announce, logs_by_status, wait_logs
from zrqtest.vocabulary import msg

BUSY = msg.kGameBusy
UPDATING = msg.kShellUpdating


def copy_name(package_id, copy):
    """The names a browser gives repeated downloads of one file."""
    return "Game_Setup_pc%s.exe" % package_id if copy == 0 else \
        "Game_Setup_pc%s (%d).exe" % (package_id, copy)


def installer_record(prefix, number):
    return prefix.unix_path("C:\\runs") / ("%d.json" % number)


def start_together(shell, prefix, names):
    """Starts one shell per name as close together as Wine allows; each has its own
    record of the installer it starts."""
    prefix.unix_path("C:\\runs").mkdir(parents=True, exist_ok=True)
    for name in names:  # copy every exe first, then start them back to back
        shell.install(name)
    return [shell.start(name=name, env={"ZRQ_INSTALLER_RECORD": "C:\\runs\\%d.json" % i})
            for i, name in enumerate(names)]


def wait_all(procs, timeout=90.0):
    deadline = time.monotonic() + timeout
    for proc in procs:
        proc.wait(max(1.0, deadline - time.monotonic()))
    return [proc.poll() for proc in procs]


def installers_started(prefix, count, expected, timeout=15.0):
    """Which of the shells' installers have run, once `expected` of them have (the
    shells do not wait for them); a moment longer, so that one too many shows."""
    deadline = time.monotonic() + timeout
    while True:
        started = [i for i in range(count) if installer_record(prefix, i).is_file()]
        if len(started) >= expected or time.monotonic() >= deadline:
            time.sleep(1.0)
            return [i for i in range(count) if installer_record(prefix, i).is_file()]
        time.sleep(0.1)


def test_six_shells_for_one_game_install_it_once(shell, host, prefix, driver, installer_bytes):
    # Slow enough that the first to take the setup lock still holds it while the
    # others ask for it.
    config = host.publish_package(1234, installer_bytes=installer_bytes,
                                  installer_behaviour={"chunk_size": 16384, "chunk_delay": 0.1})
    procs = start_together(shell, prefix, [copy_name(1234, copy) for copy in range(6)])

    # The five that step aside say so and wait to be closed.
    deadline = time.monotonic() + 60
    busy = []
    while len(busy) < 5 and time.monotonic() < deadline:
        busy = [w for w in driver.windows() if w.get("status") == BUSY]
        time.sleep(0.2)
    assert len(busy) == 5, [w.get("status") for w in driver.windows()]
    assert all((w["button"], w["buttonEnabled"]) == (msg.kCloseButton, True) for w in busy)
    for window in busy:
        driver.for_pid(window["pid"]).click()

    assert sorted(wait_all(procs)) == [0, 1, 1, 1, 1, 1]
    logs = logs_by_status(prefix)
    assert sorted(logs) == ["failed", "handed-off"]
    assert [log["sdkCode"] for log in logs["failed"]] == [-3] * 5
    assert len(installers_started(prefix, 6, 1)) == 1
    assert len(host.requests(path=host.installer_target(config))) == 1
    assert len(prefix.staging_dirs()) == 1
    assert prefix.channel_record("game_1") == b'{"channelCode":"channel-01"}'


def test_six_shells_for_six_games_all_install(shell, host, prefix, installer_bytes):
    packages = range(1001, 1007)
    for package in packages:
        host.publish_package(package, app_id="game_%d" % package, channel_code="c%d" % package,
                             installer_bytes=installer_bytes,
                             installer_behaviour={"chunk_size": 65536, "chunk_delay": 0.02})
    procs = start_together(shell, prefix, [copy_name(package, 0) for package in packages])
    assert wait_all(procs) == [0] * 6
    assert installers_started(prefix, 6, 6) == list(range(6))
    for package in packages:
        assert prefix.channel_record("game_%d" % package) == (
            '{"channelCode":"c%d"}' % package).encode()
    logs = logs_by_status(prefix)
    assert list(logs) == ["handed-off"]
    assert sorted(log["appId"] for log in logs["handed-off"]) == [
        "game_%d" % package for package in packages]


def test_of_two_shells_meeting_a_newer_one_one_updates_and_one_is_refused(
        shell, host, prefix, driver, installer_bytes, v3_shell_bytes):
    announce(host, v3_shell_bytes, chunk_size=65536, chunk_delay=0.2)
    host.publish_package(1234, installer_bytes=installer_bytes)
    first, second = start_together(shell, prefix, [copy_name(1234, 0), copy_name(1234, 1)])
    # The one that found the update lock taken says so; the other hands over to
    # the new shell, which installs the game.
    refused = None
    deadline = time.monotonic() + 60
    while refused is None and time.monotonic() < deadline:
        refused = next((w for w in driver.windows() if w.get("status") == UPDATING), None)
        time.sleep(0.2)
    assert refused is not None, [w.get("status") for w in driver.windows()]
    driver.for_pid(refused["pid"]).click()
    assert sorted(wait_all([first, second])) == [0, 1]
    logs = wait_logs(prefix, lambda l: "handed-off" in l)
    assert sorted(logs) == ["failed", "handed-off", "updated"]
    assert [log["sdkCode"] for log in logs["failed"]] == [-3]
    assert [log["shellVersion"] for log in logs["handed-off"]] == [3]
    assert len(host.requests(path=SHELL_PATH)) == 1

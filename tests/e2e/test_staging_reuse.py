"""What a run finds in its staging area: a link where the kept downloads belong, a
verified copy it starts again without a download, and earlier runs' files it
cleans away at its start."""

import os
import time

import pytest

from install_support import (READ, handed_off_log, installer_requests,
                             only_staged_file, windows_path)

HOUR = 3600


def test_a_link_in_place_of_the_kept_downloads_is_never_written_through(shell, host, prefix, tmp_path,
                                                                       installer_bytes):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    (prefix.sdk_root / "temp").mkdir(parents=True)
    (prefix.sdk_root / "temp" / "partial").symlink_to(elsewhere, target_is_directory=True)
    config = host.publish_package(1234, installer_bytes=installer_bytes, installer_behaviour={
        "per_reply": {1: {"cut_at": 5 * READ}}})
    assert shell.run(timeout=60) == 0
    assert list(elsewhere.iterdir()) == [], "the shell wrote through the link"
    # The download went into the run's own directory instead, and still continued.
    assert [r.range for r in installer_requests(host, config)] == [None, "bytes=%d-" % (5 * READ)]
    staged = [d for d in prefix.staging_dirs() if d.name != "partial"]
    assert len(staged) == 1 and (staged[0] / "original.exe").read_bytes() == installer_bytes


@pytest.mark.parametrize("changed", [False, True], ids=["unchanged-copy", "changed-copy"])
def test_a_verified_copy_is_started_again_without_a_download(shell, host, prefix, installer_bytes,
                                                             changed):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    assert shell.run(timeout=60) == 0
    first = only_staged_file(prefix)
    assert prefix.wait_installer_run() is not None
    if changed:
        altered = bytearray(first.read_bytes())
        altered[-1] ^= 0xFF
        first.write_bytes(bytes(altered))
    for log in prefix.attempt_logs():
        log["path"].unlink()
    prefix.installer_run_path.unlink()

    assert shell.run(timeout=60) == 0
    run = prefix.wait_installer_run()
    assert run is not None
    reqs = installer_requests(host, config)
    if not changed:
        assert len(reqs) == 1, "the copy was downloaded again"
        assert prefix.staging_dirs() == [first.parent]
        assert run["modulePath"].lower() == windows_path(prefix, first).lower()
        handed_off_log(prefix, installer_bytes, downloadRequests=0,
                       downloadStartOffset=len(installer_bytes))
    else:
        assert [r.range for r in reqs] == [None, None]
        second = [d for d in prefix.staging_dirs() if d != first.parent]
        assert len(second) == 1 and (second[0] / "original.exe").read_bytes() == installer_bytes
        assert run["modulePath"].lower() == windows_path(prefix, second[0] / "original.exe").lower()
        assert first.read_bytes() != installer_bytes  # another run's file, left alone
        handed_off_log(prefix, installer_bytes)


ATTEMPTS = ["%08X-0000-4000-8000-%012X" % (n, n) for n in range(1, 9)]


def make_old(path, hours):
    stamp = time.time() - hours * HOUR
    os.utime(str(path), (stamp, stamp))


def test_the_staging_area_is_cleaned_at_the_start_of_a_run(shell, host, prefix, driver,
                                                           installer_bytes):
    temp = prefix.sdk_root / "temp"
    partial = temp / "partial"
    partial.mkdir(parents=True)

    def staged(attempt, name, hours):
        directory = temp / attempt
        directory.mkdir(exist_ok=True)
        if name:
            (directory / name).write_bytes(b"MZ earlier")
            make_old(directory / name, hours)
        make_old(directory, hours)
        return directory

    gone = [staged(ATTEMPTS[0], "original.exe", 25), staged(ATTEMPTS[1], "Game_Setup_pc1234.exe", 24 * 9),
            staged(ATTEMPTS[2], None, 25)]
    kept = [staged(ATTEMPTS[3], "original.exe", 23), staged(ATTEMPTS[4], "original.msi", 24 * 400)]
    in_use = staged(ATTEMPTS[5], "original.exe", 48)
    elsewhere = prefix.drive_c / "elsewhere"
    elsewhere.mkdir()
    (elsewhere / "original.exe").write_bytes(b"MZ not ours")
    make_old(elsewhere / "original.exe", 48)
    (temp / ATTEMPTS[6]).symlink_to(elsewhere, target_is_directory=True)
    old_part, new_part, stray = (partial / ("a" * 64 + "-1000"), partial / ("b" * 64 + "-1000"),
                                 partial / "notes.txt")
    for path, hours in ((old_part, 24 * 14 + 1), (new_part, 24 * 14 - 1), (stray, 24 * 100)):
        path.write_bytes(b"kept bytes")
        make_old(path, hours)

    config = host.publish_package(1234, installer_bytes=installer_bytes)
    with driver.hold_file(windows_path(prefix, in_use / "original.exe"), 0, 60000) as holder:
        assert holder.held
        assert shell.run(timeout=60) == 0
    assert prefix.wait_installer_run() is not None

    assert [d.exists() for d in gone] == [False] * 3
    assert [d.is_dir() and any(d.iterdir()) for d in kept] == [True, True]
    assert (in_use / "original.exe").is_file(), "a file in use was removed"
    assert (temp / ATTEMPTS[6]).is_symlink() and (elsewhere / "original.exe").is_file()
    assert (not old_part.exists(), new_part.exists(), stray.exists()) == (True, True, True)
    fresh = [d for d in prefix.staging_dirs() if d.name not in ATTEMPTS and d.name != "partial"]
    assert len(fresh) == 1 and (fresh[0] / "original.exe").read_bytes() == installer_bytes
    assert len(installer_requests(host, config)) == 1

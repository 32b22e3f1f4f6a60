"""What a program of the player's can plant or swap in the staging area cannot
steer the shell: links in place of a kept download are neither written through
nor followed, a staging folder swapped for a link during the download leads to
no start at all, and a run "as administrator" stages where the player cannot
write and takes nothing from earlier runs. Bytes kept by an earlier run that
prove wrong are followed by one download from byte 0."""

import os
import time

import pytest

from install_support import failed_run, installer_requests, windows_path
from zrqtest import Gate
from zrqtest.vocabulary import msg

PLAYER_SID = "S-1-5-21-0-0-0-1000"  # Wine's one user
ELEVATED = {"ZRQ_TEST_ELEVATED": "1"}
SAVE_FAILED = msg.kSaveFailed
HOUR = 3600


@pytest.mark.parametrize("link", ["hard-link", "symbolic-link"])
def test_a_link_planted_as_the_kept_download_is_left_as_it_is(shell, host, prefix, tmp_path,
                                                              installer_bytes, link):
    # Someone else's file, which an elevated run must neither cut nor append to.
    victim = prefix.drive_c / "victim.bin"
    victim.write_bytes(b"not the installer" * 4096)
    before = victim.read_bytes()
    planted = prefix.kept_path(installer_bytes)
    planted.parent.mkdir(parents=True)
    if link == "hard-link":
        os.link(victim, planted)
    else:
        planted.symlink_to(victim)
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    assert shell.run(timeout=60) == 0
    assert prefix.wait_installer_run() is not None
    assert victim.read_bytes() == before
    assert planted.is_symlink() or planted.stat().st_nlink == 2
    assert [r.range for r in installer_requests(host, config)] == [None]


def test_a_staging_folder_swapped_for_a_link_during_the_download_starts_nothing(
        shell, host, prefix, installer_bytes):
    gate = Gate()
    payload = installer_bytes + bytes(1 << 20)
    config = host.publish_package(1234, installer_bytes=payload, installer_behaviour={
        "stall_at": 256 << 10, "stall": gate})
    proc = shell.start()
    host.wait_for_request("files", host.installer_target(config), timeout=30)
    temp = prefix.sdk_root / "temp"
    [staging] = [d for d in temp.iterdir() if d.name != "partial"]
    elsewhere = prefix.drive_c / "elsewhere"
    elsewhere.mkdir()
    staging.rename(prefix.drive_c / "moved-away")
    staging.symlink_to(elsewhere, target_is_directory=True)
    gate.release()
    failed_run(proc, SAVE_FAILED)
    assert prefix.installer_run() is None, "a file outside the staging area was started"


def test_kept_bytes_that_prove_wrong_are_followed_by_one_whole_download(shell, host, prefix,
                                                                         installer_bytes):
    kept = prefix.kept_path(installer_bytes)
    kept.parent.mkdir(parents=True)
    wrong = bytes(b ^ 0x5A for b in installer_bytes[:len(installer_bytes) // 2])
    kept.write_bytes(wrong)
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    assert shell.run(timeout=60) == 0
    assert prefix.wait_installer_run() is not None
    assert [r.range for r in installer_requests(host, config)] == [
        "bytes=%d-" % len(wrong), None]
    assert not kept.parent.exists() or list(kept.parent.iterdir()) == []


def test_an_elevated_run_stages_apart_and_takes_nothing_from_earlier_runs(shell, host, prefix,
                                                                          installer_bytes):
    config = host.publish_package(1234, installer_bytes=installer_bytes)
    assert shell.run(timeout=60) == 0  # a verified copy in the player's staging area
    assert prefix.wait_installer_run() is not None
    prefix.installer_run_path.unlink()
    temp = prefix.sdk_root / "temp"
    stale = temp / "0000000A-0000-4000-8000-00000000000A"
    stale.mkdir()
    (stale / "original.exe").write_bytes(b"MZ earlier")
    for path in (stale / "original.exe", stale):
        os.utime(path, (time.time() - 48 * HOUR,) * 2)
    player_staging = sorted(p.name for p in temp.iterdir())

    assert shell.run(timeout=60, env=ELEVATED) == 0
    run = prefix.wait_installer_run()
    area = prefix.drive_c / "ProgramData" / "CorvaneSDK" / PLAYER_SID / "temp"
    [own] = list(area.iterdir())
    assert run["modulePath"].lower() == windows_path(prefix, own / "original.exe").lower()
    assert (own / "original.exe").read_bytes() == installer_bytes
    assert len(installer_requests(host, config)) == 2, "the player's copy was reused"
    assert sorted(p.name for p in temp.iterdir()) == player_staging, "the player's area was touched"

    # A broken download is not kept for a later run.
    host.publish_package(1234, installer_bytes=installer_bytes + b"\0" * 4096,
                         installer_behaviour={"cut_at": 8192, "later": (2, {"status": 503})})
    proc = shell.start(env=dict(ELEVATED, ZRQ_TEST_RETRY_WAIT_MS="10"))
    failed_run(proc, msg.kNotAvailable)
    assert not (area / "partial").exists() and not (temp / "partial").exists()

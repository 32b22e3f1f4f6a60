"""Faults planted in a tree that zrq-channel made, or in the nginx in front of
it: check catches each one that lies in the tree, probe catches every one, and
the shell, run against the same host, shows the message probe named."""

import json
import os

import pytest

from zrqtest.channel_fixtures import FileHostSite, NginxFileHost
from zrqtest.tls import issue_server_certificate

from channel_tree import (CHECK_HOST, FILE_HOST, entries_by_name, make_installer, player_messages,
                          publish_package, publish_shell, stored_installer)
from zrqtest.vocabulary import msg, paths

GOOD = "1001"
SWAPPED_INSTALLER = "1002"   # the stored installer replaced by other bytes of the same size
BROKEN_RULE = "1003"         # displayName of 258 bytes
REDIRECTED = "1004"          # nginx answers its configuration with a 302
MISSING = "1005"             # no configuration at all
REFUSED = "1006"             # the check endpoint refuses it
RANGES_IGNORED = "1007"      # nginx answers a range request for its installer with the whole file
WRONG_NAME_PORT = 8443       # the same tree behind a certificate for another name
PACKAGES = (GOOD, SWAPPED_INSTALLER, BROKEN_RULE, REDIRECTED, MISSING, REFUSED, RANGES_IGNORED)
REDIRECT_TARGET = "https://other.zrq.test/pc/config/%s.json" % REDIRECTED


@pytest.fixture(scope="module")
def faulty_host(channel_tool, release_exe, installer_bytes, tls, work_dir, namespace):
    base = work_dir / "faults"
    root = base / "tree"
    for package_id in (GOOD, SWAPPED_INSTALLER, BROKEN_RULE, REDIRECTED, REFUSED, RANGES_IGNORED):
        publish_package(channel_tool, root, package_id,
                        make_installer(base, installer_bytes, package_id))
    publish_shell(channel_tool, root, release_exe)

    swapped = stored_installer(root, SWAPPED_INSTALLER)
    swapped.write_bytes(os.urandom(swapped.stat().st_size))
    config_path = root / "pc" / "config" / ("%s.json" % BROKEN_RULE)
    config = json.loads(config_path.read_text(encoding="utf-8"))
    config["displayName"] = "游" * 86
    config_path.write_text(json.dumps(config, ensure_ascii=False, indent=2), encoding="utf-8")

    other_cert, other_key = issue_server_certificate(tls.ca_cert, tls.ca_key, base / "tls",
                                                     ("other.zrq.test",), "other")
    planted = "\n".join((
        "    location = /pc/config/%s.json { return 302 %s; }" % (REDIRECTED, REDIRECT_TARGET),
        "    location = /pc/installers/%s/setup.exe { max_ranges 0; }" % RANGES_IGNORED))
    sites = [FileHostSite(root, tls.server_cert, tls.server_key, extra=planted),
             FileHostSite(root, other_cert, other_key, listen="127.0.0.2:%d" % WRONG_NAME_PORT)]
    with NginxFileHost(base / "nginx", sites) as nginx:
        yield root, nginx


@pytest.fixture
def refusing_check(check_endpoint):
    check_endpoint.refuse(REFUSED, "CHANNEL_DISABLED")
    return check_endpoint


def test_check_finds_the_faults_that_lie_in_the_tree(channel_tool, faulty_host):
    root, _ = faulty_host
    code, report = channel_tool.report("check", root, "--file-host", FILE_HOST)
    assert code == 1
    entries = entries_by_name(report)
    config = lambda package_id: entries["pc/config/%s.json" % package_id]  # noqa: E731
    for package_id in (GOOD, REDIRECTED, REFUSED, RANGES_IGNORED):
        assert config(package_id)["ok"], config(package_id)
    assert entries[paths.kShellManifestPath]["ok"]

    (swapped,) = config(SWAPPED_INSTALLER)["problems"]
    assert swapped["field"] == "installer file"
    assert swapped["playerMessage"] == msg.kVerifyFailed
    assert "has sha256" in swapped["found"]

    (broken,) = config(BROKEN_RULE)["problems"]
    assert broken["field"] == "displayName"
    assert "256 bytes" in broken["limit"]
    assert "(258 bytes)" in broken["found"]
    assert broken["playerMessage"] == msg.kBadGameInfo


def test_probe_finds_every_fault(channel_tool, faulty_host, refusing_check, tls):
    code, report = channel_tool.report("probe", "--file-host", FILE_HOST, "--check-host",
                                       CHECK_HOST, "--ca", tls.ca_cert, *PACKAGES)
    assert code == 1
    entries = entries_by_name(report)
    package = lambda package_id: entries["package " + package_id]  # noqa: E731
    assert entries["manifest"]["ok"], entries["manifest"]
    assert package(GOOD)["ok"], package(GOOD)
    assert [name for name, entry in entries.items() if entry["warnings"]] == [
        "package " + RANGES_IGNORED]

    assert player_messages(package(SWAPPED_INSTALLER)) == [msg.kVerifyFailed]
    assert player_messages(package(BROKEN_RULE)) == [msg.kBadGameInfo]
    assert "displayName" in package(BROKEN_RULE)["problems"][0]["field"]

    (redirect,) = package(REDIRECTED)["problems"]
    assert redirect["playerMessage"] == msg.kNotAvailable
    assert "status 302" in redirect["found"] and REDIRECT_TARGET in redirect["found"]
    assert package(REDIRECTED)["configuration"]["redirect"] == REDIRECT_TARGET

    (missing,) = package(MISSING)["problems"]
    assert missing["playerMessage"] == msg.kNotAvailable
    assert package(MISSING)["configuration"]["status"] == 404

    assert player_messages(package(REFUSED)) == [msg.kChannelDisabled]
    # A configuration the shell refuses is never followed by a check; a refused one is.
    checked = sorted(json.loads(r.body)["packageId"] for r in refusing_check.check_requests())
    assert checked == sorted([GOOD, SWAPPED_INSTALLER, REFUSED, RANGES_IGNORED])


def test_probe_warns_of_a_host_that_ignores_ranges_and_still_exits_0(channel_tool, faulty_host,
                                                                      check_endpoint, tls):
    args = ("probe", "--file-host", FILE_HOST, "--check-host", CHECK_HOST, "--ca", tls.ca_cert,
            RANGES_IGNORED)
    code, report = channel_tool.report(*args, expect=0)
    package = entries_by_name(report)["package " + RANGES_IGNORED]
    assert package["ok"] and package["installer"]["range"]["status"] == 200
    (warning,) = package["warnings"]
    assert "status 200" in warning["found"] and "ignores ranges" in warning["found"]
    assert "byte 0" in warning["effect"]
    lines = channel_tool.ok(*args).splitlines()
    assert [line[:5] for line in lines] == ["OK   ", "OK   ", "WARN "], lines
    assert lines[2].startswith("WARN package %s: installer https://%s/pc/installers/%s/setup.exe "
                               "with Range: bytes=" % (RANGES_IGNORED, FILE_HOST, RANGES_IGNORED))


def test_probe_refuses_a_certificate_for_another_name(channel_tool, faulty_host, tls):
    code, report = channel_tool.report("probe", "--file-host", "%s:%d" % (FILE_HOST, WRONG_NAME_PORT),
                                       "--check-host", CHECK_HOST, "--ca", tls.ca_cert, GOOD)
    assert code == 1
    for name in ("manifest", "package " + GOOD):
        (problem,) = entries_by_name(report)[name]["problems"]
        assert problem["playerMessage"] == msg.kRequestFailed
        assert "certificate" in problem["found"].lower() or "ssl" in problem["found"].lower()


@pytest.mark.parametrize("package_id", [SWAPPED_INSTALLER, BROKEN_RULE, REDIRECTED, REFUSED])
def test_the_shell_shows_what_probe_named(channel_tool, channel_shell, faulty_host,
                                          refusing_check, tls, package_id):
    code, report = channel_tool.report("probe", "--file-host", FILE_HOST, "--check-host",
                                       CHECK_HOST, "--ca", tls.ca_cert, package_id)
    (predicted,) = player_messages(entries_by_name(report)["package " + package_id])

    proc = channel_shell.start(name="Game_Setup_pc%s.exe" % package_id)
    proc.wait_window(30)
    status = proc.wait_status(predicted, timeout=60)
    assert (status["button"], status["buttonEnabled"]) == (msg.kCloseButton, True)
    proc.click()
    assert proc.wait(30) == 1

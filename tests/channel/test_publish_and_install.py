"""A package published with zrq-channel, served by nginx with the production
server block: the real shell installs from it, and check and probe pass and
make the shell's own requests."""

import http.client
import json
import ssl
import time

import pytest

from zrqtest.channel_fixtures import FileHostSite, NginxFileHost
from zrqtest.vocabulary import paths

from channel_tree import (CHANNEL_CODE, CHECK_HOST, FILE_HOST, entries_by_name, make_installer,
                          publish_package, publish_shell, read_config, stored_installer)

PACKAGE = "1001"
SHELL_TARGET = "/pc/shell/2/zrq-setup.exe"
INSTALLER_TARGET = "/pc/installers/1001/setup.exe"
HEADERS = ("user_agent", "content_type", "cache_control", "pragma", "accept", "accept_encoding")


SLOW_PACKAGE = "1002"  # its installer is sent at 512 KiB/s, so a run can be killed halfway
SLOW_INSTALLERS = """
    location ^~ /pc/installers/%s/ {
        limit_rate 512k;
    }
""" % SLOW_PACKAGE


@pytest.fixture(scope="module")
def served_tree(channel_tool, release_exe, installer_bytes, tls, work_dir, namespace):
    root = work_dir / "publish" / "tree"
    installer = make_installer(work_dir / "publish", installer_bytes, PACKAGE)
    publish_package(channel_tool, root, PACKAGE, installer)
    slow = make_installer(work_dir / "publish", installer_bytes * 2, SLOW_PACKAGE)
    publish_package(channel_tool, root, SLOW_PACKAGE, slow)
    publish_shell(channel_tool, root, release_exe)
    site = FileHostSite(root, tls.server_cert, tls.server_key, extra=SLOW_INSTALLERS)
    with NginxFileHost(work_dir / "publish" / "nginx", [site]) as nginx:
        yield root, installer, nginx


def test_shell_installs_what_the_toolkit_published_and_probe_makes_its_requests(
        channel_tool, channel_shell, check_endpoint, prefix, served_tree, build_paths, tls,
        work_dir):
    root, installer, nginx = served_tree
    code, checked = channel_tool.report("check", root, "--file-host", FILE_HOST, expect=0)
    assert sorted(entries_by_name(checked)) == [
        "pc/config/1001.json", "pc/config/1002.json", paths.kShellManifestPath]
    # The version code came from the release exe's version resource.
    assert read_config(root / paths.kShellManifestPath)["versionCode"] == "2"

    named = channel_tool.ok("name", "--exe", build_paths.shell_exe, "--package-id", PACKAGE,
                            "--game", "示例游戏", "--out", work_dir / "publish")
    assert named.startswith("OK   "), named
    copy = work_dir / "publish" / ("示例游戏_Setup_pc%s.exe" % PACKAGE)
    assert copy.read_bytes() == build_paths.shell_exe.read_bytes()

    probe_from = len(nginx.requests())
    code, probed = channel_tool.report("probe", "--file-host", FILE_HOST, "--check-host",
                                       CHECK_HOST, "--ca", tls.ca_cert, PACKAGE, expect=0)
    package = entries_by_name(probed)["package " + PACKAGE]
    assert package["installer"]["sha256"] == read_config(root / "pc/config/1001.json")[
        "installer"]["sha256"]
    assert package["installer"]["bytes"] == installer.stat().st_size
    probe_requests = nginx.requests()[probe_from:]
    # nginx continues a broken download the way the shell asks it to.
    ranges = []
    for target, facts in ((SHELL_TARGET, entries_by_name(probed)["manifest"]["shell"]),
                          (INSTALLER_TARGET, package["installer"])):
        size = (root / target.lstrip("/")).stat().st_size
        ranges.append((target, "bytes=%d-" % (size // 2), "206"))
        assert (facts["range"]["status"], facts["range"]["contentRange"],
                facts["range"]["continues"]) == (
                    206, "bytes %d-%d/%d" % (size // 2, size - 1, size), True), facts
    assert [entry["warnings"] for entry in probed["entries"]] == [[], []]
    assert [(r["target"], r["range"], r["status"]) for r in probe_requests
            if r["range"] != "-"] == ranges

    shell_from = len(nginx.requests())
    proc = channel_shell.start(name=copy.name, exe=copy)
    assert proc.wait(90) == 0
    run = prefix.wait_installer_run()
    assert run is not None, "the installer was not started"
    assert prefix.channel_record("game_1") == json.dumps({"channelCode": CHANNEL_CODE}).replace(
        " ", "").encode()
    shell_requests = nginx.requests()[shell_from:]

    # What crossed the wire: the same documents and files, asked for the same way.
    # The probe also fetches the announced shell, which only older shells download.
    # Its range requests come on top.
    def wire(requests):
        return [(r["method"], r["target"], r["status"]) + tuple(r[h] for h in HEADERS)
                for r in requests if r["target"] != SHELL_TARGET and r["range"] == "-"]
    assert wire(probe_requests) == wire(shell_requests)
    assert [r["target"] for r in shell_requests] == [
        "/" + paths.kShellManifestPath, "/pc/config/1001.json", INSTALLER_TARGET]
    assert [r["status"] for r in probe_requests if r["target"] == SHELL_TARGET] == ["200", "206"]
    assert {r["user_agent"] for r in shell_requests} == {"ZRQSetup/1.0"}
    probe_check, shell_check = check_endpoint.check_requests()
    assert probe_check.body == shell_check.body
    assert probe_check.header("Content-Type") == shell_check.header("Content-Type")


def test_a_run_killed_halfway_is_continued_from_nginx_with_a_range_request(
        channel_shell, check_endpoint, prefix, served_tree, work_dir):
    root, _, nginx = served_tree
    installer = stored_installer(root, SLOW_PACKAGE)
    payload = installer.read_bytes()
    target = "/pc/installers/%s/setup.exe" % SLOW_PACKAGE
    name = "示例游戏_Setup_pc%s.exe" % SLOW_PACKAGE
    kept = prefix.kept_path(payload, SLOW_PACKAGE)

    proc = channel_shell.start(name=name)
    deadline = time.monotonic() + 60
    while not (kept.is_file() and kept.stat().st_size > len(payload) // 3):
        assert time.monotonic() < deadline and proc.running, "the download did not get going"
        time.sleep(0.02)
    proc.kill()
    held = kept.stat().st_size
    assert 0 < held < len(payload) and payload.startswith(kept.read_bytes())

    assert channel_shell.start(name=name).wait(90) == 0
    assert prefix.wait_installer_run() is not None, "the installer was not started"
    asked = [(r["range"], r["status"]) for r in nginx.requests() if r["target"] == target]
    assert asked == [("-", "200"), ("bytes=%d-" % held, "206")], asked
    staged = list((prefix.sdk_root / "temp").glob("*/original.exe"))
    assert [p.read_bytes() == payload for p in staged] == [True]
    assert not kept.exists()


def test_the_server_block_serves_files_as_they_are_ranges_too_and_never_redirects(served_tree,
                                                                                 tls):
    root, installer, _ = served_tree
    context = ssl.create_default_context(cafile=str(tls.ca_cert))

    def get(target, method="GET", **headers):
        connection = http.client.HTTPSConnection(FILE_HOST, 443, context=context, timeout=10)
        try:
            connection.request(method, target, headers=headers)
            response = connection.getresponse()
            return response.status, dict(response.getheaders()), response.read()
        finally:
            connection.close()

    whole = installer.read_bytes()
    status, headers, body = get(INSTALLER_TARGET, **{"Accept-Encoding": "gzip"})
    assert status == 200 and body == whole
    assert "Content-Encoding" not in headers
    assert "immutable" in headers["Cache-Control"]
    size, start = len(whole), len(whole) // 2
    status, headers, body = get(INSTALLER_TARGET, Range="bytes=%d-" % start,
                                **{"Accept-Encoding": "gzip"})
    assert (status, headers["Content-Range"]) == (206, "bytes %d-%d/%d" % (start, size - 1, size))
    assert body == whole[start:] and "immutable" in headers["Cache-Control"]
    # One range is all a shell asks for; more get the whole file, past the end a 416.
    status, headers, body = get(INSTALLER_TARGET, Range="bytes=0-0,%d-" % start)
    assert (status, headers.get("Content-Range"), body == whole) == (200, None, True)
    status, headers, _ = get(INSTALLER_TARGET, Range="bytes=%d-" % size)
    assert (status, headers.get("Content-Range")) == (416, "bytes */%d" % size)
    status, headers, body = get("/pc/config/1001.json")
    assert status == 200 and body == (root / "pc/config/1001.json").read_bytes()
    assert headers["Content-Type"].startswith("application/json")
    assert "max-age=60" in headers["Cache-Control"]
    for directory in ("/pc/installers", "/pc/installers/1001", "/pc"):
        status, headers, _ = get(directory)
        assert (status, headers.get("Location")) == (404, None), directory
    status, headers, _ = get("/pc/installers/1001/missing.exe")
    assert status == 404 and "Cache-Control" not in headers
    assert get("/pc/config/1001.json", method="POST")[0] == 403


@pytest.mark.parametrize("args", [
    pytest.param([], id="no-command"),
    pytest.param(["probe"], id="probe-without-ids"),
    pytest.param(["package", "/tmp/x", "--package-id", "1"], id="package-missing-options"),
    pytest.param(["package", "/tmp/x", "--package-id", "1", "--installer", "/no/such/file",
                  "--url", "u", "--app-id", "a", "--game-id", "g", "--channel-code", "c",
                  "--display-name", "d", "--mother-id", "7"], id="installer-missing"),
    pytest.param(["package", "/tmp/x", "--package-id", "1", "--installer", "/bin/sh",
                  "--url", "u", "--app-id", "a", "--game-id", "g", "--channel-code", "c",
                  "--display-name", "d", "--mother-id", "{"], id="mother-id-not-json"),
    pytest.param(["check", "/no/such/tree"], id="tree-missing"),
    pytest.param(["name", "--exe", "/bin/sh", "--package-id", "1", "--game", "g", "--bogus"],
                 id="unknown-option"),
])
def test_usage_errors_exit_with_2(channel_tool, args):
    result = channel_tool.run(*args)
    assert result.returncode == 2, (result.stdout, result.stderr)
    assert result.stdout == b"" or b"OK" not in result.stdout


def test_every_command_has_help(channel_tool):
    for command in ("package", "shell", "name", "check", "probe"):
        result = channel_tool.run(command, "--help")
        assert result.returncode == 0 and b"--json" in result.stdout, command

"""A channel signs what it publishes with zrq-channel: keygen makes the key pair,
package, shell and sign write signed documents, and check and probe (against
nginx) verify them as a keyed shell does, naming what the player would see."""

import hashlib
import json
import os
import subprocess
import time

import pytest

from zrqtest.channel_fixtures import FileHostSite, NginxFileHost

from channel_tree import (CHECK_HOST, FILE_HOST, entries_by_name, make_installer,
                          player_messages, publish_package, publish_shell, read_config)
from zrqtest.vocabulary import msg, paths

INVALID = msg.kSignatureInvalid
DAY = 86400


@pytest.fixture(scope="module")
def keys(channel_tool, work_dir):
    """A channel's key pair made by keygen, and a second one of another channel."""
    made = []
    for name in ("channel", "other"):
        directory = work_dir / "keys" / name
        directory.mkdir(parents=True)
        code, report = channel_tool.report("keygen", "--out", directory, expect=0)
        made.append((directory / "channel-key.pem", directory / "channel-key.pub.pem",
                     report["keyId"]))
    return made


def test_keygen_writes_a_private_key_for_the_operator_alone_and_names_its_id(channel_tool, keys):
    private, public, key_id = keys[0]
    assert (os.stat(private).st_mode & 0o777, os.stat(public).st_mode & 0o777) == (0o600, 0o644)
    der = subprocess.run(["openssl", "pkey", "-pubin", "-in", str(public), "-outform", "DER"],
                         check=True, stdout=subprocess.PIPE).stdout
    assert key_id == hashlib.sha256(der).hexdigest()[:16]
    before = private.read_bytes()
    again = channel_tool.run("keygen", "--out", private.parent)
    assert again.returncode == 2 and private.read_bytes() == before


@pytest.fixture(scope="module")
def signed_tree(channel_tool, keys, release_exe, installer_bytes, tls, work_dir, namespace):
    """Two packages and the shell published unsigned, served by nginx."""
    private, _, _ = keys[0]
    root = work_dir / "signed" / "tree"
    for package in ("1001", "1002"):
        publish_package(channel_tool, root, package,
                        make_installer(work_dir / "signed", installer_bytes, package))
    publish_shell(channel_tool, root, release_exe)
    site = FileHostSite(root, tls.server_cert, tls.server_key)
    with NginxFileHost(work_dir / "signed" / "nginx", [site]) as nginx:
        yield root, nginx


def test_sign_check_and_probe_a_tree(channel_tool, keys, signed_tree, tls, check_endpoint):
    root, _ = signed_tree
    (private, public, key_id), (_, other_public, _) = keys
    unsigned = channel_tool.report("check", root, "--file-host", FILE_HOST, "--key-file", public,
                                   expect=1)[1]
    assert {e["name"]: player_messages(e) for e in unsigned["entries"]} == {
        paths.kShellManifestPath: [INVALID], "pc/config/1001.json": [INVALID],
        "pc/config/1002.json": [INVALID]}

    started = int(time.time())
    code, signed = channel_tool.report("sign", root, "--key", private, "--file-host", FILE_HOST,
                                       expect=0)
    assert [e["name"] for e in signed["entries"]] == [
        paths.kShellManifestPath, "pc/config/1001.json", "pc/config/1002.json"]
    config = read_config(root / "pc/config/1001.json")
    assert config["signature"]["keyId"] == key_id and config["signedAt"] >= started
    assert "expiresAt" not in config
    # One package signed again to expire within two weeks: it passes, with a warning.
    text = channel_tool.ok("package", root, "--package-id", "1002", "--installer",
                           root / "pc/installers/1002/setup.exe",
                           "--url", "https://%s/pc/installers/1002/setup.exe" % FILE_HOST,
                           "--app-id", "game_1", "--game-id", "g-1", "--channel-code", "ch-01",
                           "--display-name", "示例游戏", "--mother-id", "7",
                           "--file-host", FILE_HOST, "--key", private, "--expires-in", "7")
    assert "signed by key " + key_id in text
    expiring = read_config(root / "pc/config/1002.json")
    assert expiring["signedAt"] >= config["signedAt"]
    assert expiring["expiresAt"] - expiring["signedAt"] == 7 * DAY

    checked = channel_tool.ok("check", root, "--file-host", FILE_HOST, "--key-file", public)
    lines = checked.splitlines()
    assert [line[:4] for line in lines] == ["OK  ", "OK  ", "OK  ", "WARN"], checked
    assert lines[3].startswith("WARN pc/config/1002.json: expiresAt: expires ")
    assert "in 6 days" in lines[3] or "in 7 days" in lines[3]
    other = channel_tool.report("check", root, "--file-host", FILE_HOST, "--key-file",
                                other_public, expect=1)[1]
    assert {tuple(player_messages(e)) for e in other["entries"]} == {(INVALID,)}

    code, probed = channel_tool.report("probe", "--file-host", FILE_HOST, "--check-host",
                                       CHECK_HOST, "--ca", tls.ca_cert, "--key-file", public,
                                       "--no-download", "1001", "1002", expect=0)
    assert [(e["name"], len(e["warnings"])) for e in probed["entries"]] == [
        ("manifest", 0), ("package 1001", 0), ("package 1002", 1)]

    # A byte changed on the host: check and probe name what the player sees.
    tampered = dict(config, gameId="g-2")
    (root / "pc/config/1001.json").write_text(json.dumps(tampered, ensure_ascii=False))
    bad = entries_by_name(channel_tool.report("check", root, "--file-host", FILE_HOST,
                                              "--key-file", public, expect=1)[1])
    assert player_messages(bad["pc/config/1001.json"]) == [INVALID]
    posted = len(check_endpoint.check_requests())
    probed_bad = entries_by_name(channel_tool.report(
        "probe", "--file-host", FILE_HOST, "--check-host", CHECK_HOST, "--ca", tls.ca_cert,
        "--key-file", public, "--no-download", "1001", expect=1)[1])
    assert player_messages(probed_bad["package 1001"]) == [INVALID]
    assert len(check_endpoint.check_requests()) == posted  # as the shell, no check is posted


def test_sign_refuses_a_document_the_shell_refuses(channel_tool, keys, work_dir, installer_bytes):
    private, _, _ = keys[0]
    root = work_dir / "refused" / "tree"
    for package in ("1001", "1002"):
        publish_package(channel_tool, root, package,
                        make_installer(work_dir / "refused", installer_bytes, package))
    broken = root / "pc/config/1002.json"
    broken.write_text(json.dumps(dict(read_config(broken), displayName="")), encoding="utf-8")
    before = broken.read_bytes()
    code, report = channel_tool.report("sign", root, "--key", private, "--file-host", FILE_HOST,
                                       expect=1)
    entries = entries_by_name(report)
    # No manifest in this tree: every shell would fail on it, so it is named too.
    assert [entries[name]["ok"] for name in (
        paths.kShellManifestPath, "pc/config/1001.json", "pc/config/1002.json")] == [
        False, True, False]
    assert player_messages(entries["pc/config/1002.json"]) == [msg.kBadGameInfo]
    assert broken.read_bytes() == before
    assert "signature" in read_config(root / "pc/config/1001.json")

"""Trees made with zrq-channel as an operator would: packages with their
installers stored under pc/installers/<id>/, and the release shell announced."""

import json
from pathlib import Path

FILE_HOST = "files.zrq.test"
CHECK_HOST = "check.zrq.test"
APP_ID = "game_1"
CHANNEL_CODE = "ch-01"


def installer_url(package_id):
    return "https://%s/pc/installers/%s/setup.exe" % (FILE_HOST, package_id)


def make_installer(directory, installer_bytes, package_id):
    """The stand-in installer, padded to ~1 MiB with bytes of its own per package."""
    path = Path(directory) / ("installer-%s.exe" % package_id)
    path.parent.mkdir(parents=True, exist_ok=True)
    pad = bytes((i * 7 + int(package_id)) % 256 for i in range(256)) * 4096
    path.write_bytes(installer_bytes + pad)
    return path


def publish_package(tool, root, package_id, installer, display_name="示例游戏"):
    tool.ok("package", root, "--package-id", package_id, "--installer", installer,
            "--url", installer_url(package_id), "--app-id", APP_ID, "--game-id", "g-1",
            "--channel-code", CHANNEL_CODE, "--display-name", display_name,
            "--mother-id", "7", "--store", "--file-host", FILE_HOST)
    return Path(root) / "pc" / "config" / ("%s.json" % package_id)


def publish_shell(tool, root, release_exe):
    tool.ok("shell", root, "--exe", release_exe, "--store", "--file-host", FILE_HOST,
            "--url", "https://%s/pc/shell/2/zrq-setup.exe" % FILE_HOST)


def stored_installer(root, package_id):
    return Path(root) / "pc" / "installers" / str(package_id) / "setup.exe"


def read_config(path):
    return json.loads(Path(path).read_text(encoding="utf-8"))


def entries_by_name(report):
    return {entry["name"]: entry for entry in report["entries"]}


def player_messages(entry):
    return [problem.get("playerMessage") for problem in entry["problems"]]

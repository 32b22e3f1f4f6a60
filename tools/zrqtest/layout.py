"""Where the product's files lie in a prefix, seen from the Linux side: the SDK
root, attempt logs, channel records, staging and kept downloads, and what the
stand-in installer records."""

import getpass
import hashlib
import json
import time
from pathlib import Path


class ProductLayout:
    """Mixed into WinePrefix; needs self.path, the prefix's directory."""

    # -- paths on the Linux side -----------------------------------------------------

    @property
    def drive_c(self):
        return self.path / "drive_c"

    @property
    def user_name(self):
        users = self.drive_c / "users"
        candidates = [p.name for p in users.iterdir() if p.is_dir() and p.name != "Public"] \
            if users.is_dir() else []
        preferred = getpass.getuser()
        if preferred in candidates or not candidates:
            return preferred
        return candidates[0]

    @property
    def local_appdata(self):
        return self.drive_c / "users" / self.user_name / "AppData" / "Local"

    @property
    def sdk_root(self):
        return self.local_appdata / "CorvaneSDK"

    def unix_path(self, windows_path):
        """Linux path of a C:\\ path of this prefix."""
        p = windows_path.replace("/", "\\")
        if p[:3].upper() != "C:\\":
            raise ValueError("not a C: path: %r" % windows_path)
        return self.drive_c.joinpath(*[part for part in p[3:].split("\\") if part])

    @staticmethod
    def windows_path(unix_path):
        """The Z: form of a Linux path, as Wine programs see it."""
        return "Z:" + str(Path(unix_path).resolve()).replace("/", "\\")

    # -- what the shell leaves behind ------------------------------------------------

    def attempt_logs(self):
        """The attempt logs, oldest first: list of dicts {"path", "name", "text", "data"}."""
        logs_dir = self.sdk_root / "logs"
        if not logs_dir.is_dir():
            return []
        out = []
        for path in sorted(logs_dir.glob("*.json"), key=lambda p: (p.stat().st_mtime_ns, p.name)):
            raw = path.read_bytes()
            text = raw.decode("utf-8")
            out.append({"path": path, "name": path.name, "raw": raw, "text": text,
                        "data": json.loads(text)})
        return out

    def channel_record_path(self, app_id):
        return self.sdk_root / "apps" / app_id / "channel.json"

    def channel_record(self, app_id):
        """Raw bytes of apps/<appId>/channel.json, or None when it does not exist."""
        path = self.channel_record_path(app_id)
        return path.read_bytes() if path.is_file() else None

    @property
    def signature_records(self):
        """Where a keyed shell keeps the newest signedAt it accepted for each path."""
        return self.sdk_root / "signatures"

    def signature_record(self, document_path):
        """The record for a document's path ("pc/config/1234.json" -> pc-config-1234.json)."""
        return self.signature_records / document_path.replace("/", "-")

    def kept_path(self, payload, owner="1234"):
        """Where a download's kept bytes lie: temp\\partial\\<owner>-<sha256>-<size>, owner
        the package id (or "shell" for a newer shell)."""
        name = "%s-%s-%d" % (owner, hashlib.sha256(payload).hexdigest(), len(payload))
        return self.sdk_root / "temp" / "partial" / name

    def staging_dirs(self):
        temp = self.sdk_root / "temp"
        return sorted(p for p in temp.iterdir()) if temp.is_dir() else []

    @property
    def installer_run_path(self):
        """Where the stand-in installer (tools/test-installer) records its run."""
        return self.local_appdata / "ZRQSampleGame" / "installer-run.json"

    def installer_run(self):
        """What the stand-in installer recorded when it ran: commandLine, arguments,
        currentDirectory, modulePath; None when it did not run."""
        path = self.installer_run_path
        return json.loads(path.read_text(encoding="utf-8")) if path.is_file() else None

    def wait_installer_run(self, timeout=15.0):
        """installer_run(), waiting for it: the shell does not wait for its installer."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                run = self.installer_run()
            except ValueError:  # still being written
                run = None
            if run is not None or time.monotonic() >= deadline:
                return run
            time.sleep(0.05)

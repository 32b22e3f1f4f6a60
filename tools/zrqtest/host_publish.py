"""What a channel publishes on the test host: the shell manifest, a package's
configuration and its installer, signed when the host was given a channel key."""

from urllib.parse import urlsplit

from .host_faults import Response, _apply, sha256_hex
from .host_protocol import FILE_HOST, MANIFEST_PATH


class ChannelDocuments:
    """Mixed into TestHost, whose set() serves what these methods build."""

    def sign_with(self, key):
        """From now on the manifest and the configurations published are signed by
        key (a signing.ChannelKey; None: unsigned), the default manifest too."""
        self.signer = key
        self.publish_manifest("2")

    def _signed(self, target, doc):
        return self.signer.sign(target.lstrip("/"), doc) if self.signer else doc

    def publish_manifest(self, version_code, shell_bytes=None, shell_type="exe", url=None,
                         schema_version=1, shell=None, response=None, **shell_overrides):
        """Publishes /pc/shell/latest.json. With shell_bytes, the new shell is served
        on the file host and described in `shell`; returns the manifest document
        (signed when sign_with named a key)."""
        doc = {"schemaVersion": schema_version, "versionCode": version_code}
        if shell is not None:
            doc["shell"] = shell
        elif shell_bytes is not None:
            path = "/pc/shell/%s/Game_Setup_pc1.exe" % version_code
            self.set(path, Response(body=shell_bytes, content_type="application/octet-stream"))
            doc["shell"] = _apply({
                "type": shell_type,
                "url": url or "https://%s%s" % (FILE_HOST, path),
                "sha256": sha256_hex(shell_bytes),
                "sizeBytes": str(len(shell_bytes)),
            }, shell_overrides)
        doc = self._signed(MANIFEST_PATH, doc)
        self.set(MANIFEST_PATH, response or Response.json(doc))
        return doc

    def publish_package(self, package_id, app_id="game_1", channel_code="channel-01",
                        display_name="测试游戏", game_id="game-1", installer_bytes=b"MZ",
                        installer_type="exe", url=None, mother_id=7, installer=None,
                        installer_response=None, config_response=None, config_behaviour=None,
                        installer_behaviour=None, **overrides):
        """Publishes /pc/config/<package_id>.json and the installer it names; returns the
        configuration. overrides replace top-level members (DELETE drops one); installer
        is a dict of overrides for the installer descriptor. config_behaviour and
        installer_behaviour are Response fields (e.g. {"stall_headers": gate}) for the
        two answers; config_response / installer_response replace them entirely. The
        configuration is signed when sign_with named a key."""
        package_id = str(package_id)
        ext = "msi" if installer_type == "msi" else "exe"
        path = "/pc/installers/%s/setup-%s.%s" % (package_id, package_id, ext)
        descriptor = {
            "type": installer_type,
            "url": url or "https://%s%s" % (FILE_HOST, path),
            "sha256": sha256_hex(installer_bytes),
            "sizeBytes": str(len(installer_bytes)),
            "packageId": mother_id,
        }
        _apply(descriptor, installer or {})
        config = {
            "schemaVersion": 1,
            "packageId": package_id,
            "appId": app_id,
            "gameId": game_id,
            "channelCode": channel_code,
            "displayName": display_name,
            "installer": descriptor,
        }
        _apply(config, overrides)
        config = self._signed("/pc/config/%s.json" % package_id, config)
        self.set(path, installer_response or
                 Response(body=installer_bytes, content_type="application/octet-stream",
                          **(installer_behaviour or {})))
        self.set("/pc/config/%s.json" % package_id,
                 config_response or Response.json(config, **(config_behaviour or {})))
        self.installer_path = path
        return config

    def installer_target(self, config):
        """Path and query of a configuration's installer URL."""
        parts = urlsplit(config["installer"]["url"])
        return parts.path + ("?" + parts.query if parts.query else "")

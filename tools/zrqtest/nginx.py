"""nginx (the Debian package) as the file host, with the project's production
server block deploy/nginx/file-host.conf: only its address, name, certificate
and tree are replaced, and a test may add locations to plant a fault.

    host = NginxFileHost(work_dir, [FileHostSite(root, cert, key)])
    host.start() ... host.requests() ... host.stop()
"""

import os
import signal
import socket
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

from .paths import REPO_ROOT

NGINX = "/usr/sbin/nginx"
SERVER_BLOCK = REPO_ROOT / "deploy" / "nginx" / "file-host.conf"
LOG_FIELDS = ("method", "target", "status", "bytes", "user_agent", "content_type",
              "cache_control", "pragma", "accept", "accept_encoding", "body_length", "range",
              "request_time")
# Tab-separated, one request a line; "-" for a header that was not sent. The
# request time runs from the request's first byte read to its answer's last
# byte sent, in seconds to the millisecond.
LOG_FORMAT = "\\t".join(("$request_method", "$request_uri", "$status", "$body_bytes_sent",
                        "$http_user_agent", "$http_content_type", "$http_cache_control",
                        "$http_pragma", "$http_accept", "$http_accept_encoding",
                        "$content_length", "$http_range", "$request_time"))


@dataclass
class FileHostSite:
    """One server block: the tree it serves, its certificate and where it listens."""
    root: Path
    cert: Path
    key: Path
    listen: str = "127.0.0.2:443"
    server_name: str = "files.zrq.test"
    extra: str = ""  # nginx directives added before the block's catch-all location


def server_block(site):
    """deploy/nginx/file-host.conf with the site's address, name, certificate and
    tree; fails when the file no longer has the lines it replaces."""
    replaced = {"listen": 0, "server_name": 0, "ssl_certificate": 0,
                "ssl_certificate_key": 0, "root": 0, "location /": 0}
    out = []
    for line in SERVER_BLOCK.read_text(encoding="utf-8").splitlines():
        words = line.split("#", 1)[0].split()
        directive = words[0] if words else ""
        if directive == "listen":
            if not replaced["listen"]:
                out.append("    listen %s ssl;" % site.listen)
            replaced["listen"] += 1
            continue
        if directive in ("server_name", "ssl_certificate", "ssl_certificate_key", "root") \
                and len(words) == 2:
            value = {"server_name": site.server_name, "ssl_certificate": site.cert,
                     "ssl_certificate_key": site.key, "root": site.root}[directive]
            out.append("    %s %s;" % (directive, value))
            replaced[directive] += 1
            continue
        if words[:3] == ["location", "/", "{"]:
            out.append(site.extra)
            replaced["location /"] += 1
        out.append(line)
    missing = [name for name, count in replaced.items() if count == 0]
    if missing:
        raise RuntimeError("%s has no %s line to replace" % (SERVER_BLOCK, ", ".join(missing)))
    return "\n".join(out) + "\n"


class NginxFileHost:
    """A private nginx (own prefix, configuration, logs, pid) serving sites."""

    def __init__(self, directory, sites):
        self.dir = Path(directory)
        self.sites = list(sites)
        self.proc = None

    @property
    def access_log(self):
        return self.dir / "access.log"

    @property
    def error_log(self):
        return self.dir / "error.log"

    def _write_config(self):
        self.dir.mkdir(parents=True, exist_ok=True)
        servers = self.dir / "servers"
        servers.mkdir(exist_ok=True)
        for i, site in enumerate(self.sites):
            (servers / ("site-%d.conf" % i)).write_text(server_block(site), encoding="utf-8")
        temp = {name: self.dir / "temp" / name for name in
                ("client_body", "proxy", "fastcgi", "uwsgi", "scgi")}
        for path in temp.values():
            path.mkdir(parents=True, exist_ok=True)
        conf = self.dir / "nginx.conf"
        conf.write_text("\n".join([
            "daemon off;",
            "worker_processes 1;",
            "user root root;",  # the trees live in the test's private temporary directory
            "pid %s;" % (self.dir / "nginx.pid"),
            "error_log %s info;" % self.error_log,
            "events { worker_connections 64; }",
            "http {",
            "    log_format zrq '%s';" % LOG_FORMAT,
            "    access_log %s zrq;" % self.access_log,
            "    client_body_temp_path %s;" % temp["client_body"],
            "    proxy_temp_path %s;" % temp["proxy"],
            "    fastcgi_temp_path %s;" % temp["fastcgi"],
            "    uwsgi_temp_path %s;" % temp["uwsgi"],
            "    scgi_temp_path %s;" % temp["scgi"],
            "    include %s/*.conf;" % servers,
            "}",
        ]) + "\n", encoding="utf-8")
        return conf

    def start(self, timeout=10.0):
        if not os.access(NGINX, os.X_OK):
            raise RuntimeError("nginx is required (Debian package nginx)")
        conf = self._write_config()
        check = subprocess.run([NGINX, "-t", "-p", str(self.dir), "-e", str(self.error_log),
                                "-c", str(conf)], stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=30)
        if check.returncode != 0:
            raise RuntimeError("nginx refused its configuration:\n" + check.stdout.decode())
        self.proc = subprocess.Popen([NGINX, "-p", str(self.dir), "-e", str(self.error_log),
                                      "-c", str(conf)], stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        for site in self.sites:
            address, port = site.listen.rsplit(":", 1)
            while True:
                try:
                    socket.create_connection((address, int(port)), timeout=0.5).close()
                    break
                except OSError:
                    if self.proc.poll() is not None or time.monotonic() > deadline:
                        self.stop()
                        raise RuntimeError("nginx did not start:\n" + self.errors())
                    time.sleep(0.05)
        return self

    def stop(self):
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)  # fast shutdown of master and workers
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
        self.proc = None

    def errors(self):
        try:
            return self.error_log.read_text(errors="replace")
        except OSError:
            return ""

    def requests(self):
        """Every request nginx answered so far, as dicts of LOG_FIELDS."""
        try:
            lines = self.access_log.read_text(encoding="utf-8", errors="replace").splitlines()
        except FileNotFoundError:
            return []
        return [dict(zip(LOG_FIELDS, line.split("\t"))) for line in lines if line]

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

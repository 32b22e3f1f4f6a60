"""Local HTTPS file host and check endpoint for the end-to-end tests and the demo.

One TestHost serves several listeners (see HOSTS). Tests publish responses by path,
choose how each one misbehaves (status, stalls, cut-short bodies, resets, trickles),
and read the request log afterwards. A file answers range requests as a static
server does (206 with Content-Range, 416 past its end) unless told to ignore them
or to name another range; any one of its replies can be made to misbehave on its
own (cut the second reply after k bytes, reset every reply from the third on).

    python3 -m zrqtest.testhost --root DIR --cert server.pem --key server.key

serves a directory tree (/pc/shell/latest.json, /pc/config/<id>.json, installers)
and answers the check endpoint (authorized unless --refuse PACKAGE=ERRORTYPE).
"""

import argparse
import dataclasses
import hashlib
import re
import http.server
import json
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Any, Dict, List, Optional, Tuple
from urllib.parse import urlsplit

FILE_HOST = "files.zrq.test"
CHECK_HOST = "check.zrq.test"
OTHER_HOST = "other.zrq.test"
SUB_HOST = "sub.files.zrq.test"
CHECK_TARGET = "/index.php?g=Home&m=PcSetup&a=check"
MANIFEST_PATH = "/pc/shell/latest.json"

# listener name -> (address, port, host name)
HOSTS = {
    "files": ("127.0.0.2", 443, FILE_HOST),
    "files-alt": ("127.0.0.2", 8443, FILE_HOST),
    "check": ("127.0.0.3", 443, CHECK_HOST),
    "other": ("127.0.0.4", 443, OTHER_HOST),
    "sub": ("127.0.0.5", 443, SUB_HOST),
}
FILE_LISTENERS = ("files", "files-alt", "other", "sub")

DELETE = object()  # marks a member to drop in publish_* overrides


class Gate:
    """A stall a test ends by calling release(); host.reset() releases all gates."""

    def __init__(self):
        self._event = threading.Event()
        self.reached = threading.Event()  # set when a response starts waiting on it

    def release(self):
        self._event.set()

    def wait(self, abort, timeout=None):
        self.reached.set()
        deadline = None if timeout is None else time.monotonic() + timeout
        while not self._event.is_set() and not abort.is_set():
            left = 0.05 if deadline is None else min(0.05, deadline - time.monotonic())
            if left <= 0:
                return
            self._event.wait(left)


@dataclass
class Response:
    """One answer. Body behaviours (at most one of cut_at / reset_at applies):
    - stall_headers: seconds or a Gate; waits before anything is sent
    - cut_at: send that many body bytes, then close (Content-Length stays full)
    - reset_at: send that many body bytes, wait reset_delay s, then reset the connection (RST)
    - stall_at + stall: after that many body bytes, wait (seconds or Gate), then go on
    - chunk_size + chunk_delay: trickle the body
    - content_length: declared length; None = len(body), False = no header
    - times: serve this response only so many times, then fall back to the next match
    - raw: the whole answer as bytes, sent as is; cut_at, reset_at, stall_at and
      the chunking then count from its first byte
    Range requests (GET with "Range: bytes=a-", "a-b" or "-n") of a 200 answer with
    a body, not raw:
    - ranges: "static" answers them as a static server does: 206 with the bytes and
      "Content-Range: bytes a-b/size", 416 with "bytes */size" when a is past the
      end, 200 for a header it cannot read; "ignore" always sends the whole body
    - range_shift: a 206 carries (and names) the bytes from that many before the
      asked start, so its Content-Range is not the asked one
    Replies are counted per Response, from 1:
    - per_reply: {n: {field: value}} overrides of these fields for the n-th reply
      (e.g. {1: {"cut_at": 1000}} cuts the first reply after 1000 body bytes)
    - later: (n, {field: value}), overrides for every reply from the n-th on that
      per_reply does not name
    """
    status: int = 200
    body: bytes = b""
    content_type: Optional[str] = "application/json"
    headers: List[Tuple[str, str]] = field(default_factory=list)
    content_length: Any = None
    stall_headers: Any = None
    cut_at: Optional[int] = None
    reset_at: Optional[int] = None
    reset_delay: float = 0.3
    stall_at: Optional[int] = None
    stall: Any = None
    chunk_size: int = 65536
    chunk_delay: float = 0.0
    location: Optional[str] = None
    times: Optional[int] = None
    raw: Optional[bytes] = None  # sent verbatim instead: status line, headers and body
    ranges: str = "static"
    range_shift: int = 0
    per_reply: Dict[int, dict] = field(default_factory=dict)
    later: Optional[Tuple[int, dict]] = None
    replies: int = field(default=0, compare=False)  # served so far

    def for_reply(self, number):
        """This response as its number-th reply is sent."""
        overrides = self.per_reply.get(number)
        if overrides is None and self.later is not None and number >= self.later[0]:
            overrides = self.later[1]
        return dataclasses.replace(self, **overrides) if overrides else self

    @classmethod
    def json(cls, doc, **kw):
        return cls(body=json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8"), **kw)


@dataclass
class Request:
    listener: str
    method: str
    target: str
    headers: List[Tuple[str, str]]
    body: bytes
    time: float
    bytes_sent: int = 0
    completed: bool = False
    aborted: bool = False
    absolute_form: bool = False  # the target came with scheme and authority

    @property
    def path(self):
        return self.target.split("?", 1)[0]

    @property
    def query(self):
        return self.target.split("?", 1)[1] if "?" in self.target else None

    @property
    def range(self):
        """The Range header as sent, or None."""
        return self.header("Range")

    def header(self, name):
        """First value of a header (case-insensitive), or None."""
        for k, v in self.headers:
            if k.lower() == name.lower():
                return v
        return None

    def json(self):
        return json.loads(self.body.decode("utf-8"))


def padded_json(doc, size):
    """doc (a JSON object) serialised compactly and padded with a "pad" member to
    exactly size bytes."""
    doc = dict(doc, pad="")
    base = len(json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8"))
    if base > size:
        raise ValueError("document is already %d bytes" % base)
    doc["pad"] = " " * (size - base)
    data = json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8")
    assert len(data) == size
    return data


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


_RANGE = re.compile(r"bytes=(\d*)-(\d*)\Z")


def _static_range(header, size):
    """A static server's reading of a Range header for a body of size bytes:
    (first, last) to send, "unsatisfiable", or None to send the whole body."""
    m = _RANGE.match(header.strip()) if header else None
    if not m or (m.group(1) == "" and m.group(2) == ""):
        return None
    if m.group(1) == "":
        length = int(m.group(2))
        if length == 0:
            return "unsatisfiable"
        return max(size - length, 0), size - 1
    first = int(m.group(1))
    if m.group(2) and int(m.group(2)) < first:
        return None
    if first >= size:
        return "unsatisfiable"
    last = int(m.group(2)) if m.group(2) else size - 1
    return first, min(last, size - 1)


def _ranged(resp, req):
    """The answer a range request gets from a plain file response."""
    if (resp.raw is not None or resp.status != 200 or req.method != "GET" or resp.ranges != "static"
            or resp.content_length is not None):
        return resp
    size = len(resp.body)
    wanted = _static_range(req.range, size)
    if wanted is None:
        return resp
    if wanted == "unsatisfiable":
        return dataclasses.replace(resp, status=416, body=b"", content_type="text/plain",
                                   headers=resp.headers + [("Content-Range", "bytes */%d" % size)])
    first = max(wanted[0] - resp.range_shift, 0)
    last = wanted[1]
    # A view, not a copy: bodies of a GiB are continued from anywhere.
    return dataclasses.replace(resp, status=206, body=memoryview(resp.body)[first:last + 1],
                               headers=resp.headers + [("Content-Range", "bytes %d-%d/%d" % (first, last, size))])


def _apply(doc, overrides):
    for k, v in overrides.items():
        if v is DELETE:
            doc.pop(k, None)
        else:
            doc[k] = v
    return doc


class _Listener(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 64

    def __init__(self, host, name, address, context):
        self.host = host
        self.name = name
        self.context = context
        super().__init__(address, _Handler)

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the connection's own thread, so one stuck client
        # cannot hold up the others.
        try:
            request.settimeout(30)
            tls = self.context.wrap_socket(request, server_side=True)
        except (OSError, ssl.SSLError):
            return
        try:
            super().finish_request(tls, client_address)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        pass


def _origin_form(target):
    """Path and query of a request target. A server must accept the absolute form
    too (scheme and authority first); Wine's WinHTTP sends it inside a proxy tunnel."""
    for scheme in ("https://", "http://"):
        if target.lower().startswith(scheme):
            rest = target[len(scheme):]
            slash = rest.find("/")
            return (rest[slash:] if slash >= 0 else "/"), True
    return target, False


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "zrq-testhost"
    sys_version = ""

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def do_HEAD(self):
        self._serve()

    def _serve(self):
        self.close_connection = True
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        host = self.server.host
        target, absolute = _origin_form(self.path)
        req = Request(self.server.name, self.command, target, list(self.headers.items()),
                      body, time.time(), absolute_form=absolute)
        host._log(req)
        resp = _ranged(host._respond(req), req)
        try:
            self._send(resp, req, host._abort)
            req.completed = True
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, socket.timeout, OSError):
            req.aborted = True

    def _wait(self, what, abort):
        if isinstance(what, Gate):
            what.wait(abort)
        elif what:
            abort.wait(float(what))

    def _send(self, resp, req, abort):
        self._wait(resp.stall_headers, abort)
        if resp.raw is not None:
            self._stream(resp, req, abort, resp.raw)
            return
        body = resp.body if self.command != "HEAD" else b""
        out = ["HTTP/1.1 %d %s" % (resp.status, self.responses.get(resp.status, ("Status",))[0])]
        out.append("Date: " + self.date_time_string())
        if resp.content_type and resp.status != 204:
            out.append("Content-Type: " + resp.content_type)
        if resp.status in (301, 302, 303, 307, 308):
            out.append("Location: " + (resp.location or ("https://" + OTHER_HOST + req.target)))
        if resp.status == 206 and not any(k.lower() == "content-range" for k, _ in resp.headers):
            out.append("Content-Range: bytes 0-%d/%d" % (max(len(body) - 1, 0), len(body) * 2))
        if resp.status == 204:
            body = b""
        elif resp.content_length is not False:
            declared = len(resp.body) if resp.content_length is None else int(resp.content_length)
            out.append("Content-Length: %d" % declared)
        for k, v in resp.headers:
            out.append("%s: %s" % (k, v))
        out.append("Connection: close")
        self.wfile.write(("\r\n".join(out) + "\r\n\r\n").encode("latin-1"))
        self._stream(resp, req, abort, body)

    def _stream(self, resp, req, abort, body):
        end = len(body)
        if resp.cut_at is not None:
            end = min(end, resp.cut_at)
        if resp.reset_at is not None:
            end = min(end, resp.reset_at)
        pos = 0
        stalled = False
        step = max(1, resp.chunk_size)
        while pos < end:
            if resp.stall_at is not None and not stalled and pos >= resp.stall_at:
                stalled = True
                self._wait(resp.stall, abort)
            stop = min(end, pos + step)
            if resp.stall_at is not None and not stalled and pos < resp.stall_at < stop:
                stop = resp.stall_at
            self.wfile.write(body[pos:stop])
            pos = stop
            req.bytes_sent = pos
            if resp.chunk_delay and pos < end:
                if abort.wait(resp.chunk_delay):
                    break
        if resp.stall_at is not None and not stalled and pos >= resp.stall_at:
            self._wait(resp.stall, abort)
        if resp.reset_at is not None:
            # Let the client take what was sent and wait for more, then reset.
            abort.wait(resp.reset_delay)
            # Take the descriptor away from the TLS socket (whose other references would
            # otherwise close it gracefully) and close it with linger 0: an RST.
            raw = socket.socket(fileno=self.connection.detach())
            raw.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            raw.close()
            req.aborted = True


class TestHost:
    __test__ = False  # not a pytest test class

    def __init__(self, cert, key, listeners=None, root=None):
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(str(cert), str(key))
        self.listener_spec = dict(listeners or HOSTS)
        self.root = Path(root) if root else None
        self._servers = {}
        self._threads = []
        self._lock = threading.Lock()
        self._abort = threading.Event()
        self.reset()

    # -- lifecycle ---------------------------------------------------------------

    def start(self):
        for name, (addr, port, _) in self.listener_spec.items():
            server = _Listener(self, name, (addr, port), self.context)
            self._servers[name] = server
            t = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1},
                                 name="testhost-" + name, daemon=True)
            t.start()
            self._threads.append(t)
        return self

    def stop(self):
        self._abort.set()
        for server in self._servers.values():
            server.shutdown()
            server.server_close()
        self._servers.clear()

    def reset(self):
        """Back to the defaults: no files but a manifest announcing no update, every
        check authorized, empty request log. Ends stalls left over from before."""
        with self._lock:
            self._abort.set()
            self._abort = threading.Event()
            self._files = {}
            self._requests = []
            self._refusals = {}
            self._check_response = None
            self._check_default = "authorize"
            self.signer = None
        self.publish_manifest("2")

    def sign_with(self, key):
        """From now on the manifest and the configurations published are signed by
        key (a signing.ChannelKey; None: unsigned), the default manifest too."""
        self.signer = key
        self.publish_manifest("2")

    def _signed(self, target, doc):
        return self.signer.sign(target.lstrip("/"), doc) if self.signer else doc

    # -- publishing ----------------------------------------------------------------

    def set(self, target, response, listener=None):
        """Serves response (Response, bytes, dict/list as JSON, or a list of Responses
        served in turn) for target: "path?query" exact, or a path matching any query.
        listener None means every file listener."""
        if isinstance(response, (bytes, bytearray)):
            response = Response(body=bytes(response), content_type="application/octet-stream")
        elif isinstance(response, (dict, list)) and not (
                isinstance(response, list) and response and isinstance(response[0], Response)):
            response = Response.json(response)
        queue = list(response) if isinstance(response, list) else [response]
        with self._lock:
            self._files[(listener, target)] = queue

    def remove(self, target, listener=None):
        with self._lock:
            self._files.pop((listener, target), None)

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

    # -- check endpoint policy -------------------------------------------------------

    def refuse(self, package_id, error_type=None):
        """Refuses the check for package_id: {"code":0,"errorType":...} (no errorType
        member when error_type is None)."""
        with self._lock:
            self._refusals[str(package_id)] = error_type

    def check_answer(self, response):
        """Answers every check with this (Response, bytes, or a JSON document)."""
        if isinstance(response, (bytes, bytearray)):
            response = Response(body=bytes(response))
        elif not isinstance(response, Response):
            response = Response.json(response)
        with self._lock:
            self._check_response = response

    def _check(self, req):
        with self._lock:
            if self._check_response is not None:
                return self._check_response
            refusals = dict(self._refusals)
        try:
            package_id = json.loads(req.body.decode("utf-8"))["packageId"]
        except (ValueError, KeyError, TypeError):
            return Response.json({"code": 0, "errorType": "BAD_REQUEST"})
        if isinstance(package_id, str) and package_id in refusals:
            error_type = refusals[package_id]
            doc = {"code": 0}
            if error_type is not None:
                doc["errorType"] = error_type
            return Response.json(doc)
        return Response.json({"code": 1, "data": {"packageId": package_id}})

    # -- serving -------------------------------------------------------------------

    def _lookup(self, listener, target):
        path = target.split("?", 1)[0]
        for key in ((listener, target), (listener, path), (None, target), (None, path)):
            if key[0] is None and listener not in FILE_LISTENERS:
                continue
            queue = self._files.get(key)
            while queue:
                resp = queue[0]
                if resp.times is not None:
                    if resp.times <= 0:
                        queue.pop(0)
                        continue
                    resp.times -= 1
                elif len(queue) > 1:
                    queue.pop(0)
                return resp
        return None

    def _respond(self, req):
        with self._lock:
            resp = self._lookup(req.listener, req.target)
            if resp is not None:
                resp.replies += 1
                return resp.for_reply(resp.replies)
        if req.listener == "check" and req.method == "POST" and req.target == CHECK_TARGET:
            return self._check(req)
        if self.root is not None and req.method == "GET":
            data = self._read_root(req.path)
            if data is not None:
                ctype = "application/json" if req.path.endswith(".json") else "application/octet-stream"
                return Response(body=data, content_type=ctype)
        return Response(status=404, body=b"not found", content_type="text/plain")

    def _read_root(self, path):
        base = self.root.resolve()
        candidate = (base / path.lstrip("/")).resolve()
        if base not in candidate.parents or not candidate.is_file():
            return None
        return candidate.read_bytes()

    # -- request log ---------------------------------------------------------------

    def _log(self, req):
        with self._lock:
            self._requests.append(req)

    def requests(self, listener=None, path=None, method=None):
        """Logged requests, oldest first, filtered by listener name, path (with or
        without query) and method."""
        with self._lock:
            reqs = list(self._requests)
        out = []
        for r in reqs:
            if listener is not None and r.listener != listener:
                continue
            if path is not None and path not in (r.target, r.path):
                continue
            if method is not None and r.method != method:
                continue
            out.append(r)
        return out

    def config_requests(self, package_id):
        return self.requests("files", "/pc/config/%s.json" % package_id)

    def check_requests(self):
        return self.requests("check", CHECK_TARGET, "POST")

    def manifest_requests(self):
        return self.requests("files", MANIFEST_PATH)

    def assert_no_request(self, listener=None, path=None, method=None):
        found = self.requests(listener, path, method)
        assert not found, "unexpected request(s): %s" % [
            (r.listener, r.method, r.target) for r in found]

    def wait_for_request(self, listener=None, path=None, method=None, timeout=10.0):
        """Waits until such a request has been logged; returns it (or raises)."""
        deadline = time.monotonic() + timeout
        while True:
            found = self.requests(listener, path, method)
            if found:
                return found[-1]
            if time.monotonic() >= deadline:
                raise AssertionError("no request %s %s %s within %ss" % (
                    listener, method, path, timeout))
            time.sleep(0.02)

    def gate(self):
        return Gate()


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m zrqtest.testhost",
                                 description="Serve a file tree and the check endpoint over HTTPS.")
    ap.add_argument("--root", required=True, help="directory served by the file host")
    ap.add_argument("--cert", required=True)
    ap.add_argument("--key", required=True)
    ap.add_argument("--listen", action="append", metavar="NAME=ADDR:PORT",
                    help="listener (names: %s); default: all of them" % ", ".join(HOSTS))
    ap.add_argument("--refuse", action="append", default=[], metavar="PACKAGE=ERRORTYPE",
                    help="refuse the check for a package (ERRORTYPE may be empty)")
    args = ap.parse_args(argv)
    listeners = dict(HOSTS)
    if args.listen:
        listeners = {}
        for entry in args.listen:
            name, _, addr = entry.partition("=")
            ip, _, port = addr.rpartition(":")
            listeners[name] = (ip, int(port), HOSTS.get(name, (None, None, ip))[2])
    host = TestHost(args.cert, args.key, listeners, root=args.root)
    host.remove(MANIFEST_PATH)  # the tree supplies its own manifest
    for entry in args.refuse:
        package, _, error_type = entry.partition("=")
        host.refuse(package, error_type or None)
    host.start()
    for name, (ip, port, hostname) in listeners.items():
        print("%s: https://%s:%d (%s)" % (name, ip, port, hostname), flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        host.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())

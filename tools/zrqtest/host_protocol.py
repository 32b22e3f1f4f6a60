"""The HTTP side of the test host: TLS listeners, one request at a time read and
logged, a range request answered as a static server answers it, and each
Response sent with the misbehaviour it asks for."""

import dataclasses
import http.server
import json
import re
import socket
import socketserver
import ssl
import struct
import time
from dataclasses import dataclass
from typing import List, Tuple

from .host_faults import Gate
from .vocabulary import paths

FILE_HOST = "files.zrq.test"
CHECK_HOST = "check.zrq.test"
OTHER_HOST = "other.zrq.test"
SUB_HOST = "sub.files.zrq.test"
CHECK_TARGET = paths.kCheckTarget

# listener name -> (address, port, host name)
HOSTS = {
    "files": ("127.0.0.2", 443, FILE_HOST),
    "files-alt": ("127.0.0.2", 8443, FILE_HOST),
    "check": ("127.0.0.3", 443, CHECK_HOST),
    "other": ("127.0.0.4", 443, OTHER_HOST),
    "sub": ("127.0.0.5", 443, SUB_HOST),
}
FILE_LISTENERS = ("files", "files-alt", "other", "sub")
MANIFEST_PATH = "/" + paths.kShellManifestPath


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

"""A web proxy for the tests of the shell's proxy handling: it tunnels
"CONNECT host:port" requests to the test hosts and serves one automatic
configuration (PAC) script over plain HTTP at /proxy.pac. It records every
tunnel it was asked for."""

import select
import socket
import socketserver
import threading
from dataclasses import dataclass

PROXY_HOST = "proxy.zrq.test"
PROXY_ADDRESS = ("127.0.0.6", 3128)
PAC_PATH = "/proxy.pac"


@dataclass
class Tunnel:
    host: str
    port: int
    bytes_up: int = 0
    bytes_down: int = 0


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        proxy = self.server.proxy
        head = _read_head(self.request)
        if head is None:
            return
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = request_line.split()
        if len(parts) == 3 and parts[0] == "GET" and parts[1].endswith(PAC_PATH):
            proxy.pac_requests += 1
            body = proxy.pac.encode("utf-8")
            self.request.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/x-ns-proxy-autoconfig"
                                 b"\r\nContent-Length: %d\r\nConnection: close\r\n\r\n" % len(body) + body)
            return
        if len(parts) != 3 or parts[0] != "CONNECT":
            self.request.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        host, _, port = parts[1].rpartition(":")
        tunnel = Tunnel(host, int(port))
        proxy._record(tunnel)
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            self.request.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        with upstream:
            self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            _relay(self.request, upstream, tunnel, proxy.stopping)


def _read_head(sock, limit=16384):
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk or len(data) > limit:
            return None
        data += chunk
    return data


def _relay(client, upstream, tunnel, stopping):
    peers = {client: upstream, upstream: client}
    while not stopping.is_set():
        ready, _, _ = select.select(list(peers), [], [], 0.2)
        for sock in ready:
            data = sock.recv(65536)
            if not data:
                return
            peers[sock].sendall(data)
            if sock is client:
                tunnel.bytes_up += len(data)
            else:
                tunnel.bytes_down += len(data)


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class ConnectProxy:
    def __init__(self, address=PROXY_ADDRESS):
        self.address = address
        self.stopping = threading.Event()
        self._lock = threading.Lock()
        self.reset()
        self._server = None

    @property
    def name(self):
        return "%s:%d" % (PROXY_HOST, self.address[1])

    @property
    def pac_url(self):
        return "http://%s:%d%s" % (PROXY_HOST, self.address[1], PAC_PATH)

    def start(self):
        self._server = _Server(self.address, _Handler)
        self._server.proxy = self
        threading.Thread(target=self._server.serve_forever, kwargs={"poll_interval": 0.1},
                         name="connect-proxy", daemon=True).start()
        return self

    def stop(self):
        self.stopping.set()
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._server = None

    def reset(self):
        with self._lock:
            self._tunnels = []
        self.pac_requests = 0
        self.pac = 'function FindProxyForURL(url, host) { return "PROXY %s:%d"; }' % (
            PROXY_HOST, self.address[1])

    def _record(self, tunnel):
        with self._lock:
            self._tunnels.append(tunnel)

    def tunnels(self):
        """(host, port) of every CONNECT, oldest first."""
        with self._lock:
            return [(t.host, t.port) for t in self._tunnels]

"""Local HTTPS file host and check endpoint for the end-to-end tests and the demo.

One TestHost serves several listeners (see HOSTS). Tests publish responses by path,
choose how each one misbehaves (status, stalls, cut-short bodies, resets, trickles),
and read the request log afterwards. A file answers range requests as a static
server does (206 with Content-Range, 416 past its end) unless told to ignore them
or to name another range; any one of its replies can be made to misbehave on its
own (cut the second reply after k bytes, reset every reply from the third on).

    python3 -m zrqtest.host_cli --root DIR --cert server.pem --key server.key

serves a directory tree (/pc/shell/latest.json, /pc/config/<id>.json, installers)
and answers the check endpoint (authorized unless --refuse PACKAGE=ERRORTYPE).
"""

import json
import ssl
import threading
import time
from pathlib import Path

from .host_faults import DELETE, Gate, Response, _apply, sha256_hex  # noqa: F401
from .host_protocol import (CHECK_HOST, CHECK_TARGET, FILE_HOST, FILE_LISTENERS, HOSTS,  # noqa: F401
                            MANIFEST_PATH, OTHER_HOST, SUB_HOST, Request, _Listener)
from .host_publish import ChannelDocuments



class TestHost(ChannelDocuments):
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

"""How a test describes an answer of its hosts, right or misbehaving: a Response
(status, headers, body, and how it stalls, trickles, breaks off or resets,
reply by reply) and the Gate a stall waits on."""

import dataclasses
import hashlib
import json
import threading
import time
from dataclasses import dataclass, field
from typing import Any, Dict, List, Optional, Tuple

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


def sha256_hex(data):
    return hashlib.sha256(data).hexdigest()


def _apply(doc, overrides):
    for k, v in overrides.items():
        if v is DELETE:
            doc.pop(k, None)
        else:
            doc[k] = v
    return doc

"""A catalogue of answers a broken or hostile file host (or check endpoint) can
give in place of a good one: odd and lying status lines, lengths and
encodings, chunked bodies right and wrong, compressed bodies, huge or malformed
headers, connections cut or reset at many offsets, stalls before and during
the body. Each answer is built from the good body; some of them still carry it
(the shell may then go on), most do not.

Left out: a chunk size with a minus sign, on which Wine 8's WinHTTP itself
reads out of bounds and the process dies inside it; Windows' WinHTTP refuses
the answer as invalid."""

import gzip
import zlib

from zrqtest.testhost import Response

CRLF = b"\r\n"


def http(status_line, headers, body, eol=CRLF):
    return eol.join([status_line, *headers, b""]) + eol + body


def length(body, declared=None):
    return b"Content-Length: %d" % (len(body) if declared is None else declared)


def chunked(body, sizes=(1, 7, 4096, 65536), extension=b""):
    out, pos, i = b"", 0, 0
    while pos < len(body):
        size = sizes[i % len(sizes)]
        piece = body[pos:pos + size]
        out += b"%x%s\r\n%s\r\n" % (len(piece), extension, piece)
        pos += len(piece)
        i += 1
    return out + b"0\r\n\r\n"


OK = b"HTTP/1.1 200 OK"
CLOSE = b"Connection: close"
BINARY = b"Content-Type: application/octet-stream"
CHUNKED = b"Transfer-Encoding: chunked"


def raw(data, **kw):
    return Response(raw=data, **kw)


def status_and_length(body):
    """Status lines and declared lengths."""
    return {
        "no-reason-phrase": raw(http(b"HTTP/1.1 200", [length(body), CLOSE], body)),
        "http-1.0-with-length": raw(http(b"HTTP/1.0 200 OK", [length(body)], body)),
        "lf-line-ends": raw(http(OK, [length(body), CLOSE], body, eol=b"\n")),
        "status-201": raw(http(b"HTTP/1.1 201 Created", [length(body), CLOSE], body)),
        "status-299": raw(http(b"HTTP/1.1 299 Fine", [length(body), CLOSE], body)),
        "status-2000": raw(http(b"HTTP/1.1 2000 OK", [length(body), CLOSE], body)),
        "status-negative": raw(http(b"HTTP/1.1 -200 OK", [length(body), CLOSE], body)),
        "status-letters": raw(http(b"HTTP/1.1 OK 200", [length(body), CLOSE], body)),
        "not-http": raw(b"SSH-2.0-OpenSSH_9.2\r\n" + body),
        "http-2": raw(http(b"HTTP/2 200", [length(body), CLOSE], body)),
        "interim-100-then-200": raw(http(b"HTTP/1.1 100 Continue", [], b"") +
                                    http(OK, [length(body), CLOSE], body)),
        "two-status-lines": raw(http(OK + CRLF + b"HTTP/1.1 404 Not Found", [length(body), CLOSE], body)),
        "length-longer-than-body": raw(http(OK, [length(body, len(body) + 1000), CLOSE], body)),
        "length-shorter-than-body": raw(http(OK, [length(body, max(len(body) - 10, 0)), CLOSE], body)),
        "length-zero": raw(http(OK, [length(body, 0), CLOSE], body)),
        "length-twice-differently": raw(http(OK, [length(body), length(body, len(body) + 5), CLOSE], body)),
        "length-not-a-number": raw(http(OK, [b"Content-Length: twelve", CLOSE], body)),
        "length-negative": raw(http(OK, [b"Content-Length: -1", CLOSE], body)),
        "length-beyond-64-bits": raw(http(OK, [b"Content-Length: 99999999999999999999999", CLOSE], body)),
        "empty-body": raw(http(OK, [length(b""), CLOSE], b"")),
    }


def encodings(body):
    """Chunked bodies right and wrong, and compression."""
    squeezed = gzip.compress(body, mtime=0)
    deflated = zlib.compress(body)
    return {
        "chunked": raw(http(OK, [CHUNKED, CLOSE], chunked(body))),
        "chunked-with-extensions": raw(http(OK, [CHUNKED, CLOSE], chunked(body, extension=b";x=1"))),
        "chunked-and-a-length": raw(http(OK, [CHUNKED, length(body, 3), CLOSE], chunked(body))),
        "chunked-bad-size": raw(http(OK, [CHUNKED, CLOSE], b"zz\r\n" + body + b"\r\n0\r\n\r\n")),
        "chunked-size-beyond-64-bits": raw(http(OK, [CHUNKED, CLOSE],
                                                b"1" + b"0" * 24 + b"\r\n" + body + b"\r\n0\r\n\r\n")),
        "chunked-without-last-chunk": raw(http(OK, [CHUNKED, CLOSE], chunked(body)[:-5])),
        "chunk-longer-than-sent": raw(http(OK, [CHUNKED, CLOSE], b"%x\r\n" % (len(body) + 4096) + body)),
        "gzip": raw(http(OK, [b"Content-Encoding: gzip", length(squeezed), CLOSE], squeezed)),
        "gzip-label-plain-body": raw(http(OK, [b"Content-Encoding: gzip", length(body), CLOSE], body)),
        "deflate": raw(http(OK, [b"Content-Encoding: deflate", length(deflated), CLOSE], deflated)),
        "unknown-encoding": raw(http(OK, [b"Content-Encoding: br", length(body), CLOSE], body)),
    }


def headers(body):
    """Huge and malformed headers."""
    return {
        "huge-header": raw(http(OK, [length(body), b"X-Pad: " + b"a" * 60000, CLOSE], body)),
        "many-headers": raw(http(OK, [length(body)] + [b"X-%d: y" % i for i in range(4000)] + [CLOSE], body)),
        "header-without-colon": raw(http(OK, [length(body), b"this is no header", CLOSE], body)),
        "header-with-nul": raw(http(OK, [length(body), b"X-Nul: a\0b", CLOSE], body)),
        "folded-header": raw(http(OK, [length(body), b"X-Folded: a", b" b", CLOSE], body)),
        "header-name-with-space": raw(http(OK, [length(body), b"Content Length: 5", CLOSE], body)),
        "latin1-and-utf8-header": raw(http(OK, [length(body), "X-Text: 渠道é".encode(), CLOSE], body)),
    }


def connection(body, read_size=65536):
    """Connections cut (closed cleanly) or reset (RST) at many offsets, and stalls."""
    whole = http(OK, [length(body), BINARY, CLOSE], body)
    head = len(whole) - len(body)
    offsets = sorted({0, 1, 10, head - 1, head, head + 1, head + read_size - 1, head + read_size,
                      head + read_size + 1, head + len(body) // 2, len(whole) - 1})
    offsets = [o for o in offsets if 0 <= o < len(whole)]
    answers = {}
    for offset in offsets:
        answers["cut-at-%d" % offset] = raw(whole, cut_at=offset)
    for offset in offsets[::2]:
        answers["reset-at-%d" % offset] = raw(whole, reset_at=offset, reset_delay=0.1)
    answers["trickled"] = raw(whole, chunk_size=997, chunk_delay=0.001)
    return answers


def stalls(body, stall):
    """Longer than the shell's time-outs: before anything is sent, and mid-body."""
    whole = http(OK, [length(body), BINARY, CLOSE], body)
    head = len(whole) - len(body)
    return {
        "stall-before-headers": raw(whole, stall_headers=stall),
        "stall-mid-body": raw(whole, stall_at=head + len(body) // 2, stall=stall),
    }


def catalogue(body, stall=None):
    """{name: Response} of every answer for this good body; with stalls of
    `stall` seconds when it is given."""
    answers = {}
    for group in (status_and_length, encodings, headers, connection):
        answers.update(group(body))
    if stall is not None:
        answers.update(stalls(body, stall))
    return answers

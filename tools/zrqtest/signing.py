"""A channel's signature on a document, made as `zrq-channel sign` makes it, for
the tests of keyed shells: the signed message is the document's path on the
file host (no leading "/"), a line feed, then the document without its
"signature" member, compact, keys in ascending order, text as UTF-8. ECDSA
P-256 over its SHA-256, by the openssl command line; the value is r || s."""

import base64
import copy
import hashlib
import json
import subprocess
import time
from pathlib import Path

from .paths import REPO_ROOT

TEST_KEYS = REPO_ROOT / "tests" / "keys"


def canonical(document):
    """The document as the shell serialises JSON: compact, sorted, UTF-8."""
    return json.dumps(document, ensure_ascii=False, separators=(",", ":"), sort_keys=True)


def signed_message(path, document):
    unsigned = {k: v for k, v in document.items() if k != "signature"}
    return (path + "\n" + canonical(unsigned)).encode("utf-8")


def _der_integers(der):
    """r and s of a DER ECDSA-Sig-Value (SEQUENCE of two INTEGERs)."""
    assert der[0] == 0x30
    at = 2 if der[1] < 0x80 else 3
    values = []
    for _ in range(2):
        assert der[at] == 0x02
        length = der[at + 1]
        values.append(int.from_bytes(der[at + 2:at + 2 + length], "big"))
        at += 2 + length
    return values


class ChannelKey:
    """A private key in a PEM file (made by openssl or `zrq-channel keygen`)."""

    def __init__(self, pem):
        self.pem = Path(pem)
        der = subprocess.run(["openssl", "pkey", "-in", str(self.pem), "-pubout", "-outform", "DER"],
                             check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
        self.key_id = hashlib.sha256(der).hexdigest()[:16]

    @classmethod
    def test_key(cls, number):
        """One of the two keys the keyed test shells are built with."""
        return cls(TEST_KEYS / ("test-channel-%d.pem" % number))

    def signature_value(self, message):
        der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(self.pem)], input=message,
                             check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE).stdout
        r, s = _der_integers(der)
        return base64.b64encode(r.to_bytes(32, "big") + s.to_bytes(32, "big")).decode()

    def sign(self, path, document, signed_at=None, expires_at=None):
        """A signed copy: signedAt (now unless given), expiresAt when given, signature."""
        doc = copy.deepcopy(document)
        doc.pop("signature", None)
        doc["signedAt"] = int(time.time()) if signed_at is None else signed_at
        if expires_at is not None:
            doc["expiresAt"] = expires_at
        doc["signature"] = {"keyId": self.key_id,
                            "value": self.signature_value(signed_message(path, doc))}
        return doc

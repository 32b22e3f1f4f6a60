"""Throwaway certificate authority and server certificate made with the openssl CLI."""

import subprocess
from dataclasses import dataclass
from pathlib import Path

SERVER_NAMES = ("files.zrq.test", "check.zrq.test", "other.zrq.test", "sub.files.zrq.test")


@dataclass
class TlsMaterial:
    ca_cert: Path
    ca_key: Path
    server_cert: Path
    server_key: Path


def _openssl(*args, cwd):
    result = subprocess.run(["openssl", *args], cwd=cwd, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    if result.returncode != 0:
        raise RuntimeError("openssl %s failed:\n%s" % (args[0], result.stdout.decode(errors="replace")))


def make_tls_material(directory, names=SERVER_NAMES, days=30):
    """Makes ca.pem/ca.key and server.pem/server.key (SANs: names) in directory."""
    d = Path(directory)
    d.mkdir(parents=True, exist_ok=True)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", str(days),
             "-subj", "/CN=ZRQ Test Root", "-keyout", "ca.key", "-out", "ca.pem",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=d)
    issue_server_certificate(d / "ca.pem", d / "ca.key", d, names, "server", days)
    return TlsMaterial(d / "ca.pem", d / "ca.key", d / "server.pem", d / "server.key")


def issue_server_certificate(ca_cert, ca_key, directory, names, stem, days=30):
    """Makes <stem>.pem/<stem>.key in directory: a server certificate for names
    (the first is the subject), signed by the CA. Returns (cert, key) paths."""
    d = Path(directory)
    d.mkdir(parents=True, exist_ok=True)
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=" + names[0],
             "-keyout", stem + ".key", "-out", stem + ".csr", cwd=d)
    (d / (stem + ".ext")).write_text(
        "basicConstraints=CA:FALSE\n"
        "keyUsage=critical,digitalSignature,keyEncipherment\n"
        "extendedKeyUsage=serverAuth\n"
        "subjectAltName=" + ",".join("DNS:" + n for n in names) + "\n")
    _openssl("x509", "-req", "-in", stem + ".csr", "-CA", str(Path(ca_cert).resolve()),
             "-CAkey", str(Path(ca_key).resolve()), "-CAcreateserial", "-days", str(days),
             "-sha256", "-extfile", stem + ".ext", "-out", stem + ".pem", cwd=d)
    return d / (stem + ".pem"), d / (stem + ".key")

"""Authenticode signing with a throwaway certificate, as CI does; channels sign
the same way with their own PFX."""

import os
import shutil
import subprocess

import pytest

from release_builds import ROOT

PASSWORD = "test-pass word"


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kw)


@pytest.fixture(scope="module")
def certificate(tmp_path_factory):
    """A throwaway CA and a code-signing certificate it issued, as (PFX, CA file)."""
    for tool in ("openssl", "osslsigncode"):
        if not shutil.which(tool):
            pytest.fail("%s is required (scripts/setup.sh installs it)" % tool, pytrace=False)
    d = tmp_path_factory.mktemp("sign")
    ca_key, ca_crt = d / "ca.key", d / "ca.crt"
    key, csr, crt, ext = d / "signer.key", d / "signer.csr", d / "signer.crt", d / "signer.ext"
    ext.write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                   "extendedKeyUsage=codeSigning\n")
    steps = [
        ("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca_crt,
         "-days", "2", "-subj", "/CN=ZRQ Test Root", "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,keyCertSign,cRLSign"),
        ("req", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", csr,
         "-subj", "/CN=ZRQ Test Signer"),
        ("x509", "-req", "-in", csr, "-CA", ca_crt, "-CAkey", ca_key, "-CAcreateserial",
         "-out", crt, "-days", "2", "-extfile", ext),
        ("pkcs12", "-export", "-inkey", key, "-in", crt, "-certfile", ca_crt,
         "-out", d / "signer.pfx", "-passout", "pass:" + PASSWORD),
    ]
    for step in steps:
        result = run("openssl", *map(str, step))
        assert result.returncode == 0, result.stderr
    return d / "signer.pfx", ca_crt


def sign(exe, out, pfx, password=PASSWORD):
    env = dict(os.environ, ZRQ_SIGN_PFX=str(pfx), ZRQ_SIGN_PASSWORD=password)
    env.pop("ZRQ_SIGN_TIMESTAMP_URL", None)  # no network here
    return run(str(ROOT / "scripts/sign.sh"), str(exe), str(out), env=env)


def verify(exe, ca):
    return run("osslsigncode", "verify", "-CAfile", str(ca), "-in", str(exe))


def test_signed_copy_verifies_and_original_stays_unsigned(certificate, release_exe, tmp_path):
    pfx, ca = certificate
    exe = tmp_path / "zrq-setup.exe"
    shutil.copyfile(release_exe, exe)
    before = exe.read_bytes()
    result = sign(exe, tmp_path / "signed.exe", pfx)
    assert result.returncode == 0, result.stderr
    checked = verify(tmp_path / "signed.exe", ca)
    assert checked.returncode == 0, checked.stdout + checked.stderr
    assert "Signature verification: ok" in checked.stdout
    assert exe.read_bytes() == before
    assert verify(exe, ca).returncode != 0


def test_tampered_signed_exe_fails_verification(certificate, release_exe, tmp_path):
    pfx, ca = certificate
    assert sign(release_exe, tmp_path / "signed.exe", pfx).returncode == 0
    data = bytearray((tmp_path / "signed.exe").read_bytes())
    data[0x1000] ^= 0xFF  # inside the first section: covered by the digest
    (tmp_path / "tampered.exe").write_bytes(bytes(data))
    assert verify(tmp_path / "tampered.exe", ca).returncode != 0


def test_wrong_password_signs_nothing(certificate, release_exe, tmp_path):
    pfx, _ = certificate
    result = sign(release_exe, tmp_path / "signed.exe", pfx, password="wrong")
    assert result.returncode != 0
    assert not (tmp_path / "signed.exe").exists()

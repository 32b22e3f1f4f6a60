"""The test host on its own, for a channel operator staging a tree of its own
documents:

    python3 -m zrqtest.host_cli --root DIR --cert server.pem --key server.key

serves a directory tree (/pc/shell/latest.json, /pc/config/<id>.json,
installers) and answers the check endpoint (authorized unless --refuse
PACKAGE=ERRORTYPE)."""

import argparse
import sys
import time

from .testhost import HOSTS, MANIFEST_PATH, TestHost


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m zrqtest.host_cli",
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

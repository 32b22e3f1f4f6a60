"""End-to-end harness: runs the setup shell under Wine and Xvfb against a local
HTTPS file host and check endpoint.

Names are loaded on first use, so `python3 -m zrqtest.testhost` runs its module once.
"""

import importlib

_EXPORTS = {
    "BuildPaths": "paths",
    "TlsMaterial": "tls", "make_tls_material": "tls",
    "Xvfb": "xvfb",
    "WinePrefix": "wineprefix", "build_template": "wineprefix",
    "TestHost": "testhost", "Response": "testhost", "Gate": "testhost", "HOSTS": "testhost",
    "DELETE": "testhost", "sha256_hex": "testhost",
    "Driver": "driver", "WinctlError": "driver",
    "ShellLauncher": "shell", "ShellProcess": "shell", "DEFAULT_SETUP_NAME": "shell",
}

__all__ = sorted(_EXPORTS)


def __getattr__(name):
    module = _EXPORTS.get(name)
    if module is None:
        raise AttributeError("module 'zrqtest' has no attribute %r" % name)
    return getattr(importlib.import_module("." + module, __name__), name)

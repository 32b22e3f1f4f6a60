"""End-to-end harness: runs the setup shell under Wine and Xvfb against a local
HTTPS file host and check endpoint."""

from .paths import BuildPaths
from .tls import TlsMaterial, make_tls_material
from .xvfb import Xvfb
from .wineprefix import WinePrefix, build_template
from .testhost import TestHost, Response, Gate, HOSTS
from .driver import Driver, WinctlError
from .shell import ShellLauncher, ShellProcess, DEFAULT_SETUP_NAME

__all__ = [
    "BuildPaths", "TlsMaterial", "make_tls_material", "Xvfb", "WinePrefix", "build_template",
    "TestHost", "Response", "Gate", "HOSTS", "Driver", "WinctlError", "ShellLauncher",
    "ShellProcess", "DEFAULT_SETUP_NAME",
]

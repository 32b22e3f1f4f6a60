"""The user's Internet Options proxy settings in a test prefix: the value that
Internet Explorer's "LAN settings" dialog writes and WinHTTP reads back with
WinHttpGetIEProxyConfigForCurrentUser."""

import struct

CONNECTIONS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections"

DIRECT = 0x01
PROXY = 0x02
AUTO_CONFIG_URL = 0x04
AUTO_DETECT = 0x08
VERSION = 0x46


def connection_settings(proxy="", bypass="", auto_config_url="", auto_detect=False, counter=1):
    """The DefaultConnectionSettings bytes for these choices."""
    flags = DIRECT
    if proxy:
        flags |= PROXY
    if auto_config_url:
        flags |= AUTO_CONFIG_URL
    if auto_detect:
        flags |= AUTO_DETECT
    data = struct.pack("<III", VERSION, counter, flags)
    for text in (proxy, bypass, auto_config_url):
        raw = text.encode("ascii")
        data += struct.pack("<I", len(raw)) + raw
    return data + bytes(32)


def set_user_proxy(prefix, **choices):
    """Writes the settings into the prefix's registry for programs started afterwards."""
    prefix.reg_add(CONNECTIONS, "DefaultConnectionSettings",
                   connection_settings(**choices).hex(), "REG_BINARY")

"""Wine prefixes for the tests: one template per run, a copy per test, each copy
with its own persistent wineserver. Wine processes never get the caller's pipes:
their output goes to files under the prefix's log directory."""

import os
import shutil
import subprocess
import time
from pathlib import Path

from . import wine_process
from .loader_fault import is_loader_fault
from .layout import ProductLayout
from .paths import WINE, WINESERVER, exe_bits, wine_version

FONT_SUBSTITUTES = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes"
SYSTEM_LINK = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink"
# The Chinese font the setup script installs, as a font link names it: file, face.
CHINESE_FONT = ("wqy-microhei.ttc", "WenQuanYi Micro Hei")
# Faces Wine's window texts use: the message and caption fonts (Tahoma), the old
# dialog face and the newer Windows one. Windows links each to its CJK fonts.
LINKED_FACES = ("Tahoma", "Microsoft Sans Serif", "Segoe UI")
X11_DRIVER = r"HKCU\Software\Wine\X11 Driver"
DESKTOP = r"HKCU\Control Panel\Desktop"
SETUP_DIR = "C:\\dl"


# What Wine prints when it cannot start a program at all (it then tries to open
# the file with start.exe, which fails too): an exe of a machine type it cannot
# run, such as a 32-bit one on a machine that runs no 32-bit x86 code.
NOT_STARTED = b"ShellExecuteEx failed"


class WineError(RuntimeError):
    pass


def not_started_message(program):
    """Which program could not be started, under which Wine, and what to check."""
    program = str(program)
    try:
        bits = "%d-bit " % exe_bits(program)
    except (OSError, ValueError, KeyError):
        bits = ""
    major, minor = wine_version()
    return ("Wine %d.%d (%s) could not start the %sprogram %s at all. Check that this machine "
            "runs %sx86 code: tools/wow64/probe ROOT says; where it does not, the 64-bit build "
            "runs in its place (ZRQ_FORCE_64BIT=1 forces that path)."
            % (major, minor, WINE, bits, program, bits))


def wine_env(prefix, display=None, extra=None):
    env = dict(os.environ)
    env["WINEPREFIX"] = str(prefix)
    env["WINEDEBUG"] = "-all"
    env["WINEDLLOVERRIDES"] = "mscoree=;mshtml="
    if display:
        env["DISPLAY"] = display
    env.pop("WINESERVER", None)
    if wine_version() < (10, 0):
        # Wine 8 gives every process a full administrator's token; a test build
        # is told that its runs are the player's ordinary ones, as they are here.
        env.setdefault("ZRQ_TEST_ELEVATED", "0")
    if extra:
        env.update(extra)
    return env


class WinePrefix(ProductLayout):
    """A prefix directory plus the helpers the tests read it with."""

    def __init__(self, path, display=None, log_dir=None):
        self.path = Path(path)
        self.display = display
        self.log_dir = Path(log_dir) if log_dir else self.path.parent / (self.path.name + "-logs")
        self.log_dir.mkdir(parents=True, exist_ok=True)
        self._counter = 0

    # -- environment and processes ------------------------------------------------

    def env(self, extra=None):
        return wine_env(self.path, self.display, extra)

    def log_file(self, stem):
        """A fresh file name in the log directory (never reused within the prefix)."""
        self._counter += 1
        return self.log_dir / ("%03d-%s.log" % (self._counter, stem))

    def start_server(self):
        """Starts a persistent wineserver for this prefix, detached from the caller."""
        subprocess.run([WINESERVER, "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       start_new_session=True, check=True, timeout=30)

    def kill_server(self, timeout=30):
        """Kills every Wine process of this prefix and waits for the server to end."""
        for args in ([WINESERVER, "-k"], [WINESERVER, "-w"]):
            try:
                subprocess.run(args, env=self.env(), stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True, timeout=timeout)
            except subprocess.TimeoutExpired:
                pass

    def popen(self, args, stem="wine", extra_env=None):
        """Starts wine64 with args; stdout and stderr go to files. Returns (proc, out, err).
        The program's own Linux process is wine_process.program_pid(proc)."""
        out = self.log_file(stem + "-out")
        err = self.log_file(stem + "-err")
        mark = wine_process.new_mark()
        env = self.env(extra_env)
        env[wine_process.MARK] = mark
        with open(out, "wb") as fo, open(err, "wb") as fe:
            proc = subprocess.Popen([WINE, *[str(a) for a in args]], env=env,
                                    stdin=subprocess.DEVNULL, stdout=fo, stderr=fe,
                                    start_new_session=True)
        proc.harness_mark = mark
        proc.windows_program = str(args[0])
        return proc, out, err

    def run(self, args, timeout=60, stem="wine", check=True):
        """Runs wine64 with args to completion; returns (exit code, stdout bytes).
        A run stopped by the Linux loader while ending is made once more."""
        for attempt in range(2):
            proc, out, err = self.popen(args, stem)
            try:
                code = proc.wait(timeout)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                raise WineError("wine64 %s timed out after %ss" % (args, timeout))
            if not is_loader_fault(code, err):
                break
        if check and code != 0:
            stderr = err.read_bytes()
            if NOT_STARTED in stderr:
                raise WineError(not_started_message(args[0]))
            raise WineError("wine64 %s exited with %d: %s" % (
                args, code, stderr.decode(errors="replace")[-2000:]))
        return code, out.read_bytes()

    def reg_add(self, key, name, data, kind="REG_SZ"):
        self.run(["reg", "add", key, "/v", name, "/t", kind, "/d", str(data), "/f"], stem="reg")

    def set_dpi(self, dpi):
        """System DPI for programs started afterwards. As on Windows, where a new
        DPI takes a new sign-in, Wine 10 reads it when its desktop starts: the
        prefix's server (and with it the desktop) is started again."""
        self.reg_add(DESKTOP, "LogPixels", int(dpi), "REG_DWORD")
        self.kill_server()
        self.start_server()

    @property
    def has_wow64(self):
        """Whether the prefix has a 32-bit system directory (every 64-bit prefix)."""
        return (self.drive_c / "windows" / "syswow64").is_dir()

    def replace_system_program(self, name, source):
        """Puts source in place of a system program, in System32 and, for 32-bit
        programs that start it by that path (file-system redirection sends them to
        SysWOW64), in SysWOW64. Returns the paths written. The file is replaced, not
        written through: a copied prefix shares the template's system files."""
        written = []
        for folder in ("system32", "syswow64"):
            directory = self.drive_c / "windows" / folder
            if not directory.is_dir():
                continue
            target = directory / name
            target.unlink(missing_ok=True)
            shutil.copyfile(str(source), str(target))
            written.append(target)
        return written

    # -- copies --------------------------------------------------------------------

    def clone(self, dest, display=None):
        """Copy of this (stopped) prefix at dest. The system directories (most of the
        prefix's size, never written after boot) are hard-linked; everything else is
        copied. A test that changes a system file replaces it (replace_system_program)."""
        dest = Path(dest)
        linked = [Path("drive_c", "windows", name) for name in ("system32", "syswow64")]
        dest.mkdir()
        shutil.copystat(str(self.path), str(dest))

        def copy_tree(src_dir, dst_dir, rel):
            for entry in src_dir.iterdir():
                entry_rel = rel / entry.name
                if entry_rel in linked:
                    _cp("-al", entry, dst_dir)
                elif any(link.is_relative_to(entry_rel) for link in linked) and entry.is_dir() \
                        and not entry.is_symlink():
                    (dst_dir / entry.name).mkdir()
                    copy_tree(entry, dst_dir / entry.name, entry_rel)
                    shutil.copystat(str(entry), str(dst_dir / entry.name))
                else:
                    _cp("-a", entry, dst_dir)

        copy_tree(self.path, dest, Path())
        return WinePrefix(dest, display or self.display)

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)
        shutil.rmtree(self.log_dir, ignore_errors=True)

    def discard(self):
        """Kills everything of the prefix at once and removes it. What the server
        had not yet saved of the registry is lost with it, so only for a prefix
        nobody reads again (kill_server takes Wine 10 about 0.8 s)."""
        if not wine_process.kill_all(wine_process.prefix_pids(self.path)):
            self.kill_server()
        self.remove()


def _cp(flags, src, dst_dir):
    subprocess.run(["cp", flags, str(src), str(dst_dir) + "/"], check=True,
                   stdin=subprocess.DEVNULL)


def build_template(path, display, ca_install_exe, ca_pem):
    """Makes the template prefix: booted, fonts that show Chinese, no window manager
    decorations, the test CA trusted. Its wineserver is stopped on return."""
    started = time.monotonic()
    prefix = WinePrefix(path, display)
    prefix.path.mkdir(parents=True, exist_ok=True)
    prefix.start_server()
    try:
        prefix.run(["wineboot", "-i"], timeout=180, stem="wineboot")
        for name in ("MS Shell Dlg", "MS Shell Dlg 2"):
            prefix.reg_add(FONT_SUBSTITUTES, name, CHINESE_FONT[1])
        for face in LINKED_FACES:
            prefix.reg_add(SYSTEM_LINK, face, ",".join(CHINESE_FONT), "REG_MULTI_SZ")
        prefix.reg_add(X11_DRIVER, "Decorated", "N")
        prefix.reg_add(X11_DRIVER, "Managed", "N")
        prefix.run([ca_install_exe, prefix.windows_path(ca_pem)], stem="ca-install")
    finally:
        prefix.kill_server()
    prefix.build_seconds = time.monotonic() - started
    return prefix

"""The Linux process behind a Windows program the harness started.

Under Wine 8 a 64-bit program runs in the very process wine64 was started as.
Under Wine 10's WoW64 mode, `wine64 prog32.exe` runs start.exe /exec, which
starts the 32-bit program as a second Linux process; that one is not even a
child of the first. Its pid is what memory figures and kills must reach, so
every program the harness starts carries a mark in its environment (Wine hands
the environment on to the processes a program starts), and the program's
process is the one with that mark whose command line begins with its path.
"""

import itertools
import os
import signal
import time

MARK = "ZRQ_HARNESS_LAUNCH"
_marks = itertools.count(1)


def new_mark():
    """A mark no other program of this test run carries."""
    return "%d-%d" % (os.getpid(), next(_marks))


def _read(pid, name):
    try:
        with open("/proc/%d/%s" % (pid, name), "rb") as f:
            return f.read()
    except OSError:
        return b""


def _starts_with_program(cmdline, program):
    # Wine shows the Windows command line, the path quoted or not.
    text = cmdline.replace(b"\0", b" ").decode("utf-8", "replace").strip().lstrip('"').lower()
    return text.startswith(program.lower())


def program_pids(mark, program):
    """Linux pids of live processes with this mark running this program (its
    Windows path, as it was started)."""
    wanted = ("%s=%s" % (MARK, mark)).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        if wanted not in _read(pid, "environ").split(b"\0"):
            continue
        if _starts_with_program(_read(pid, "cmdline"), program) and alive(pid):
            found.append(pid)
    return found


def program_pid(proc):
    """The program's own process for a Popen made by WinePrefix.popen (None
    while it has not started or after it ended); proc's pid for any other."""
    mark = getattr(proc, "harness_mark", None)
    if mark is None:
        return proc.pid
    pids = program_pids(mark, proc.windows_program)
    return pids[0] if pids else None


def prefix_pids(prefix_path):
    """Linux pids of every live process of a Wine prefix: its server and its
    programs, all started with WINEPREFIX naming it."""
    wanted = ("WINEPREFIX=%s" % prefix_path).encode()
    return [int(entry) for entry in os.listdir("/proc")
            if entry.isdigit() and wanted in _read(int(entry), "environ").split(b"\0")
            and alive(int(entry))]


def kill_all(pids, timeout=10.0):
    """Kills the processes and returns whether all were gone within timeout."""
    for pid in pids:
        _signal(pid)
    deadline = time.monotonic() + timeout
    while any(alive(pid) for pid in pids):
        if time.monotonic() >= deadline:
            return False
        time.sleep(0.005)
    return True


def alive(pid):
    """Running and not a zombie."""
    status = _read(pid, "stat")
    if not status:
        return False
    state = status.rsplit(b")", 1)[-1].split()[:1]
    return state != [b"Z"]


def kill(proc, timeout=10.0):
    """Kills the program and the process wine64 was started as, and returns
    once both are gone, so that whatever the program held (locks, open files)
    is free again."""
    mark = getattr(proc, "harness_mark", None)
    victims = set(program_pids(mark, proc.windows_program)) if mark else set()
    for pid in victims:
        _signal(pid)
    if proc.poll() is None:
        proc.kill()
        proc.wait()
    # A program being started at this moment may show up a little later.
    deadline = time.monotonic() + timeout
    settle = time.monotonic() + 0.2
    while time.monotonic() < deadline:
        if mark:
            for pid in program_pids(mark, proc.windows_program):
                victims.add(pid)
                _signal(pid)
        if not any(alive(pid) for pid in victims) and time.monotonic() >= settle:
            return
        time.sleep(0.01)
    raise RuntimeError("%s still running after kill" % proc.windows_program)


def _signal(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass

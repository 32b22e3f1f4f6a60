"""Starting the shell under test inside a prefix."""

import shutil
import subprocess

from . import wine_process
from .driver import Driver

DEFAULT_SETUP_NAME = "Game_Setup_pc1234.exe"
SETUP_DIR = "C:\\dl"


class ShellProcess:
    """A running shell. Driver calls (state, wait_window, click, ...) are forwarded."""

    def __init__(self, proc, driver, exe_windows_path, stdout, stderr):
        self.proc = proc
        self.driver = driver
        self.exe = exe_windows_path
        self.stdout_path = stdout
        self.stderr_path = stderr

    def wait(self, timeout=30.0):
        """Exit code of the process (raises subprocess.TimeoutExpired when still running)."""
        return self.proc.wait(timeout)

    def poll(self):
        return self.proc.poll()

    @property
    def running(self):
        return self.proc.poll() is None

    @property
    def linux_pid(self):
        """The shell's own Linux process (see wine_process), None when not running."""
        return wine_process.program_pid(self.proc)

    def kill(self):
        """Ends the shell at once, as Task Manager does; returns when it is gone."""
        wine_process.kill(self.proc)

    def __getattr__(self, name):
        # state(), wait_window(), wait_gone(), click(), close(), key(), watch(), ...
        return getattr(self.driver, name)


class ShellLauncher:
    """Copies a shell exe into the prefix as C:\\dl\\<name> and starts it."""

    def __init__(self, prefix, shell_exe, winctl):
        self.prefix = prefix
        self.shell_exe = shell_exe
        self.driver = Driver(prefix, winctl)
        self.started = []

    def install(self, name=DEFAULT_SETUP_NAME, exe=None, directory=SETUP_DIR):
        """Puts the exe into the prefix; returns its Windows path."""
        win_dir = directory.rstrip("\\")
        target_dir = self.prefix.unix_path(win_dir)
        target_dir.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(str(exe or self.shell_exe), str(target_dir / name))
        return win_dir + "\\" + name

    def start(self, args=(), name=DEFAULT_SETUP_NAME, exe=None, directory=SETUP_DIR, env=None):
        """Starts the shell with the given arguments (each passed as one argument)."""
        win_path = self.install(name, exe, directory)
        proc, out, err = self.prefix.popen([win_path, *args], stem="shell", extra_env=env)
        shell = ShellProcess(proc, self.driver, win_path, out, err)
        self.started.append(shell)
        return shell

    def run(self, args=(), timeout=30.0, **kw):
        """Starts the shell and waits for its exit code."""
        shell = self.start(args, **kw)
        try:
            return shell.wait(timeout)
        except subprocess.TimeoutExpired:
            shell.kill()
            raise

    def cleanup(self):
        for shell in self.started:
            shell.kill()

"""Shared pieces of the end-to-end scenarios: an installed client in a
temporary folder, releases made by the publisher, the test update server,
and Windows programs run under the build's Wine wrapper.

ctest sets UPDATE_BUILD_DIR, UPDATE_BIN_DIR and UPDATE_WINE_RUN.
"""
import contextlib
import ctypes
import datetime
import hashlib
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "server"))
from testserver import SilentListener, UpdateServer, free_port  # noqa: E402,F401  (re-exported for the scenarios)

BUILD = os.environ.get("UPDATE_BUILD_DIR", os.path.join(HERE, "..", "..", "build", "win32"))
BIN = os.environ.get("UPDATE_BIN_DIR") or os.path.join(BUILD, "bin")
WINE_RUN = os.environ.get("UPDATE_WINE_RUN", os.path.join(BUILD, "wine-run.sh"))
WINEPREFIX = os.environ.get("UPDATE_WINEPREFIX") or os.path.join(BUILD, "wine", "prefix")

REGISTRY_KEY = "HKLM\\SOFTWARE\\HALVO管家"
NOTIFY_TITLE = "HALVO管家升级通知"
NOTIFY_UPGRADE_NOW = 19507
NOTIFY_LATER = 19506
DIALOG_TITLE = "在线更新"
DIALOG_UPGRADE = 19508
DIALOG_CLOSE = 19504
DIALOG_MESSAGE = 19511
DIALOG_HEADING = 19517


def utc_now():
    return datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(program, *args, cwd=None, timeout=120, check=True, env=None):
    """Runs a Windows program of the build (or a Wine built-in) and returns
    its completed process; output is decoded as GBK, the programs' code page.
    env: variables to set for it (Wine hands them to the program)."""
    exe = program if program in ("reg", "cmd", "taskkill") else os.path.join(BIN, program)
    result = subprocess.run([WINE_RUN, exe, *args], cwd=cwd, capture_output=True, timeout=timeout,
                            env=dict(os.environ, **(env or {})))
    result.stdout = result.stdout.decode("gbk", "replace").replace("\r", "")
    result.stderr = result.stderr.decode("gbk", "replace").replace("\r", "")
    if check and result.returncode != 0:
        raise AssertionError("%s %s failed (%d): %s" % (program, args, result.returncode, result.stderr))
    return result


def running_updaters(folder):
    """Process ids of the Update.exe of folder running in this build's Wine
    prefix: found by command line and WINEPREFIX, never by name alone."""
    program = os.path.join(folder, "Update.exe")
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                argv = f.read().split(b"\0")
            with open("/proc/%s/environ" % entry, "rb") as f:
                environment = f.read().split(b"\0")
        except OSError:
            continue
        if argv and argv[0].decode("utf-8", "replace") == program and \
                ("WINEPREFIX=" + WINEPREFIX).encode() in environment:
            found.append(int(entry))
    return found


def kill_updaters(folder):
    """Kills the Update.exe of folder at once (SIGKILL, as a crash or a power
    cut ends it) and returns how many there were."""
    pids = running_updaters(folder)
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    return len(pids)


def md5(data):
    return hashlib.md5(data).hexdigest()


def edited(data, seed, edits=30):
    """data with a few bytes changed here and there, as a rebuild leaves a program file."""
    rng = random.Random(seed)
    out = bytearray(data)
    for _ in range(edits):
        at = rng.randrange(len(out) - 4)
        out[at:at + 4] = rng.randbytes(4)
    return bytes(out)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())


def read(path):
    with open(path, "rb") as f:
        return f.read()


@contextlib.contextmanager
def content_reads(folder):
    """The files below folder whose content anything read within the block,
    as Linux's inotify reports them: how a scenario proves a run read none."""
    libc = ctypes.CDLL(None, use_errno=True)
    fd = libc.inotify_init1(os.O_NONBLOCK)
    in_access, in_isdir = 0x1, 0x40000000
    watched = {libc.inotify_add_watch(fd, d.encode(), in_access): d for d, _, _ in os.walk(folder)}
    reads, data = [], b""
    try:
        yield reads
        with contextlib.suppress(BlockingIOError):  # raised when there is no event
            data = os.read(fd, 1 << 20)
    finally:
        os.close(fd)
    while data:
        watch, mask, _, length = struct.unpack_from("iIII", data)
        if not mask & in_isdir:  # a folder's own reads are its listings
            reads.append(os.path.join(watched[watch], data[16:16 + length].rstrip(b"\0").decode()))
        data = data[16 + length:]


class Registry:
    """The install registration key in the test prefix."""

    @staticmethod
    def create():
        wine("reg", "add", REGISTRY_KEY, "/f")

    @staticmethod
    def delete():
        wine("reg", "delete", REGISTRY_KEY, "/f", check=False)

    @staticmethod
    def values():
        result = wine("reg", "query", REGISTRY_KEY, check=False)
        values = {}
        for line in result.stdout.splitlines():
            parts = line.split(None, 2)
            # "(默认)" / "(Default)" is the key's unnamed value, which reg lists always.
            if len(parts) >= 2 and parts[1] == "REG_SZ" and not parts[0].startswith("("):
                values[parts[0]] = parts[2] if len(parts) > 2 else ""
        return values


class Workspace:
    """A temporary folder with an installed client (app/), a release folder
    and the server's root (www/)."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="upd-e2e-")
        self.app = os.path.join(self.root, "app")
        self.www = os.path.join(self.root, "www")
        os.makedirs(self.app)
        os.makedirs(self.www)
        shutil.copy(os.path.join(BIN, "Update.exe"), self.app)
        self.last_published = utc_now() - datetime.timedelta(days=1)

    def cleanup(self):
        # A client started by a run must not answer the next scenario's close request.
        wine("taskkill", "/f", "/im", "QIRAClient.exe", check=False)
        shutil.rmtree(self.root, ignore_errors=True)

    # --- the installed client ---------------------------------------------
    def app_path(self, name):
        return os.path.join(self.app, *name.split("\\"))

    def install(self, files):
        for name, data in files.items():
            write(self.app_path(name), data)

    def install_client(self):
        shutil.copy(os.path.join(BIN, "QIRAClient.exe"), self.app)

    def config_set(self, file, section, key, value):
        wine("configtool.exe", "set", winpath(self.app_path(file)), section, key, str(value))

    def config_get(self, file, section, key):
        result = wine("configtool.exe", "get", winpath(self.app_path(file)), section, key, check=False)
        return result.stdout.rstrip("\n") if result.returncode == 0 else None

    def config_dump(self, file):
        if not os.path.exists(self.app_path(file)):
            return ""
        return wine("configtool.exe", "dump", winpath(self.app_path(file))).stdout

    def seed(self, port, version="1.0", region="cn", use_proxy=0, start_watch=1):
        """start_watch: StartWatchSeconds, short, since the stand-in client that
        an install starts keeps running and the run would watch it a minute."""
        for key, value in (("Version", version), ("Region", region), ("ServerIP", "127.0.0.1"),
                           ("ServerPort", port), ("StartWatchSeconds", start_watch)):
            self.config_set("Config.dat", "Update", key, value)
        self.config_set("UserConfig.dat", "Server", "UseProxy", use_proxy)

    def wait_for_client_events(self, count, timeout=20):
        """The client's log events ("start", "close", ...) once there are at
        least count of them: a client that Update.exe started may still be
        coming up when Update.exe has ended."""
        deadline = time.time() + timeout
        while True:
            events = [line.split()[0] for line in self.client_log() if line.strip()]
            if len(events) >= count or time.time() > deadline:
                return events
            time.sleep(0.1)

    def update_log(self):
        """The run log of Update.exe, one step a line."""
        path = self.app_path("UPDATE\\update.log")
        return read(path).decode("gbk", "replace").replace("\r", "") if os.path.exists(path) else ""

    def client_log(self):
        path = self.app_path("client.log")
        return read(path).decode("gbk", "replace").replace("\r", "").splitlines() if os.path.exists(path) else []

    # --- releases ----------------------------------------------------------
    def publish_program(self, files, version, region="cn", unconditional=False, notify=False, sign=None, gzip=True,
                        **signing):
        """sign: a private key file (see keygen) to sign the release with;
        gzip=False publishes without compressed forms; signing: see _publish."""
        args = ["--program", "--version", version, "--region", region] + ([] if gzip else ["--no-gzip"])
        if unconditional:
            args.append("--unconditional")
        if notify:
            args.append("--notify")
        self._publish(files, args, sign, **signing)

    def publish_package(self, package_type, files, version=None, sign=None, **signing):
        args = ["--package", str(package_type)] + (["--version", version] if version else [])
        self._publish(files, args, sign, **signing)

    def _publish(self, files, args, sign, published=None, expires_days=None, previous=(), rollout=(), packs=False):
        """A signed release's statement is published a minute after the
        previous one's, starting a day before now, so that releases made
        within one second stay in order; published (a datetime) sets the
        time, expires_days an expiry. previous: earlier releases (files as
        for files) that the changed files get patches from. rollout: the
        publisher's --rollout options. packs: the small files also go into
        the release's pack, as the publisher does unless told otherwise;
        scenarios of a file's own requests leave it out."""
        env = {}
        args += list(rollout)
        if not packs:
            args = args + ["--pack-max", "0"]
        for earlier in previous:
            args += ["--previous", winpath(self._release_folder(earlier))]
        if sign:
            self.last_published = published or self.last_published + datetime.timedelta(minutes=1)
            env["PUBLISHER_TEST_CLOCK"] = self.last_published.strftime("%Y-%m-%dT%H:%M:%SZ")
            args += ["--sign", winpath(sign), "--allow-older-time"] if published else ["--sign", winpath(sign)]
            if expires_days:
                args += ["--expires", str(expires_days)]
        wine("publisher.exe", *args, winpath(self._release_folder(files)), winpath(self.www), env=env)

    def change_rollout(self, *target, sign=None):
        """publisher rollout www TARGET...; signed a minute after the last publication."""
        args, env = ["rollout", winpath(self.www), *target], {}
        if sign:
            self.last_published += datetime.timedelta(minutes=1)
            env["PUBLISHER_TEST_CLOCK"] = self.last_published.strftime("%Y-%m-%dT%H:%M:%SZ")
            args += ["--sign", winpath(sign)]
        wine("publisher.exe", *args, env=env)

    def keygen(self, name):
        """A release key made by the publisher, kept outside the served tree:
        the private key file's path and the public key line it printed."""
        path = os.path.join(self.root, name)
        return path, wine("publisher.exe", "keygen", winpath(path)).stdout.strip()

    def _release_folder(self, files):
        release = tempfile.mkdtemp(prefix="release-", dir=self.root)
        for name, data in files.items():
            write(os.path.join(release, *name.split("\\")), data)
        return release

    # --- runs ----------------------------------------------------------------
    def run_update(self, *args, timeout=120):
        """Runs Update.exe in the app folder until it ends."""
        return self.run_program("Update.exe", *args, timeout=timeout)

    def run_program(self, name, *args, timeout=120):
        """Runs a program of the app folder there until it ends. Its output
        goes nowhere: a client that it starts would inherit pipes and hold
        them open for as long as it runs."""
        result = subprocess.run([WINE_RUN, os.path.join(self.app, name), *args], cwd=self.app,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                timeout=timeout)
        return result.returncode

    def start_client(self, *args):
        """Starts the stand-in client and waits until it is up."""
        self.install_client()
        process = subprocess.Popen([WINE_RUN, os.path.join(self.app, "QIRAClient.exe"), *args], cwd=self.app,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 30
        while time.time() < deadline and not any(l.startswith("start") for l in self.client_log()):
            time.sleep(0.1)
        return process

    def press_later(self, button, timeout=60, title=NOTIFY_TITLE):
        """Acts on a window once it appears, in the background: presses the
        button with that control id, or "esc", or "close" (the system menu's
        close, as Alt+F4). Its exit code is 0 once done."""
        return subprocess.Popen([WINE_RUN, os.path.join(BIN, "press_button.exe"), title, str(button),
                                 str(timeout)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def wait_for_text(self, control, text, title=DIALOG_TITLE, timeout=60):
        """True once the window's control shows the text."""
        result = subprocess.run([WINE_RUN, os.path.join(BIN, "press_button.exe"), title, "wait-text", str(control),
                                 text, str(timeout)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                timeout=timeout + 30)
        return result.returncode == 0

    def start_update(self, *args):
        """Starts Update.exe in the app folder without waiting for it (the dialog)."""
        return subprocess.Popen([WINE_RUN, os.path.join(self.app, "Update.exe"), *args], cwd=self.app,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def fetched(server, type_):
    """The names fetched for a package type, in request order."""
    prefix = "/%d/" % type_
    return [r["path"][len(prefix):] for r in server.requests() if r["path"].startswith(prefix)]


def fetched_in_one_run(server, type_):
    """The names one run fetched: the manifest first, then the files, which
    travel side by side and so in no fixed order, sorted."""
    names = fetched(server, type_)
    return names[:1] + sorted(names[1:])


class Scenario(unittest.TestCase):
    """A scenario's stage: a workspace, the test server on its www/ folder,
    and the installer's registry key, present and empty."""

    def setUp(self):
        self.ws = Workspace()
        self.addCleanup(self.ws.cleanup)
        self.server = UpdateServer(self.ws.www)
        self.server.start()
        self.addCleanup(self.server.stop)
        Registry.delete()
        Registry.create()
        self.addCleanup(Registry.delete)

    def start_mirror(self):
        """A second server with a copy of what www/ holds now, configured as
        the secondary: the scenario may then spoil the primary's copy."""
        mirror = os.path.join(self.ws.root, "mirror")
        shutil.copytree(self.ws.www, mirror)
        server = UpdateServer(mirror).start()
        self.addCleanup(server.stop)
        self.ws.config_set("Config.dat", "Update", "ServerIP2", "127.0.0.1")
        self.ws.config_set("Config.dat", "Update", "ServerPort2", server.port)
        return server

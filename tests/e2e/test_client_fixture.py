"""The stand-in client (QIRAClient.exe) under Wine: its log, its held
files and how it answers WM_CLOSE, which the updater's tests rely on."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

WINE_RUN = os.environ.get("UPDATE_WINE_RUN")
BIN_DIR = os.environ.get("UPDATE_BIN_DIR")

HELD_NAME = "\u6570\u636e.bin"  # 数据.bin: a GBK name on the command line and in the log


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


@unittest.skipUnless(WINE_RUN and BIN_DIR, "run through ctest: needs UPDATE_WINE_RUN and UPDATE_BIN_DIR")
class ClientFixtureTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="client-fixture-", dir="/tmp")
        self.exe = os.path.join(self.folder, "QIRAClient.exe")
        shutil.copy(os.path.join(BIN_DIR, "QIRAClient.exe"), self.exe)
        self.log_path = os.path.join(self.folder, "client.log")
        self.process = None

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
            # Later tests look the window up by class: it must be gone first.
            deadline = time.monotonic() + 30
            while self.close_running(timeout_seconds=1) != 1 and time.monotonic() < deadline:
                time.sleep(0.5)
        shutil.rmtree(self.folder, ignore_errors=True)

    def write(self, name, data):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(data)

    def read(self, name):
        with open(os.path.join(self.folder, name), "rb") as f:
            return f.read()

    def log_lines(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("gbk").splitlines()
        except FileNotFoundError:
            return []

    def wait_for_log(self, line, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if line in self.log_lines():
                return
            time.sleep(0.2)
        self.fail(f"no {line!r} in client.log: {self.log_lines()}")

    def start_client(self, *args):
        self.process = subprocess.Popen([WINE_RUN, self.exe, *args],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.wait_for_log("start " + " ".join(args))

    def wine(self, *args):
        return subprocess.run([WINE_RUN, *args], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=120).returncode

    def close_running(self, timeout_seconds=10):
        # A second copy, so that the running one is not asked about itself.
        helper = os.path.join(self.folder, "closer", "QIRAClient.exe")
        os.makedirs(os.path.dirname(helper), exist_ok=True)
        shutil.copy(self.exe, helper)
        return self.wine(helper, "--close-running", "--close-timeout", str(timeout_seconds))

    def try_overwrite(self, name):
        self.write("new.bin", b"new content")
        self.wine("cmd", "/c", "copy", "/y", windows_path(os.path.join(self.folder, "new.bin")),
                  windows_path(os.path.join(self.folder, name)))

    def try_rename(self, name, new_name):
        self.wine("cmd", "/c", "ren", windows_path(os.path.join(self.folder, name)), new_name)

    def test_logs_start_close_and_exit(self):
        self.write(HELD_NAME, b"held")
        self.start_client("--hold", HELD_NAME, "--exit-after", "120")

        self.assertEqual(0, self.close_running())
        self.process.wait(timeout=60)
        self.assertEqual(["start --hold " + HELD_NAME + " --exit-after 120", "close", "exit"], self.log_lines())

    def test_held_files_block_overwriting_and_renaming_as_asked(self):
        cases = [
            # option, renaming possible
            ("--hold", False),
            ("--hold-rename-ok", True),
        ]
        for option, renamable in cases:
            with self.subTest(option=option):
                self.write("data.bin", b"original")
                self.start_client(option, "data.bin", "--exit-after", "120")

                self.try_overwrite("data.bin")
                self.assertEqual(b"original", self.read("data.bin"))
                self.try_rename("data.bin", "data.bin.bak")
                renamed = os.path.exists(os.path.join(self.folder, "data.bin.bak"))
                self.assertEqual(renamable, renamed)

                self.assertEqual(0, self.close_running())
                self.process.wait(timeout=60)
                for name in ("data.bin", "data.bin.bak", "client.log"):
                    if os.path.exists(os.path.join(self.folder, name)):
                        os.remove(os.path.join(self.folder, name))

    def test_released_files_are_writable_again_after_exit(self):
        self.write("data.bin", b"original")
        self.start_client("--hold", "data.bin", "--exit-after", "120")
        self.assertEqual(0, self.close_running())
        self.process.wait(timeout=60)

        self.try_overwrite("data.bin")
        self.assertEqual(b"new content", self.read("data.bin"))

    def test_missing_held_file_ends_the_client(self):
        self.start_client("--hold", "absent.bin")
        self.assertEqual(4, self.process.wait(timeout=60))
        self.assertEqual(["start --hold absent.bin", "cannot hold absent.bin", "exit"], self.log_lines())

    def test_ignore_close_keeps_the_window_until_the_safety_net(self):
        self.start_client("--ignore-close", "--exit-after", "15")

        self.assertEqual(0, self.close_running())
        self.assertEqual(0, self.close_running())  # the window is still there to be found
        self.assertIsNone(self.process.poll())
        self.process.wait(timeout=90)
        self.assertEqual(["start --ignore-close --exit-after 15", "close", "close", "timeout", "exit"],
                         self.log_lines())

    def test_hang_on_close_leaves_the_sender_waiting_until_its_timeout(self):
        self.start_client("--hang-on-close")

        started = time.monotonic()
        self.assertEqual(2, self.close_running(timeout_seconds=3))
        self.assertLess(time.monotonic() - started, 100)  # did not wait out the 120 s hang
        self.assertIn("close", self.log_lines())
        self.assertIsNone(self.process.poll())

    def test_close_running_without_a_client_reports_none(self):
        self.assertEqual(1, self.close_running())
        self.assertEqual([], self.log_lines())


if __name__ == "__main__":
    unittest.main()

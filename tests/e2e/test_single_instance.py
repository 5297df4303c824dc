"""A second updater while one runs ends at once and touches nothing."""
import os
import shutil
import subprocess
import time
import unittest

from harness import BIN, WINE_RUN, Scenario, read

DIALOG_TITLE = "在线更新"
DIALOG_CLOSE = 19504
DIALOG_TITLE_TEXT = 19518  # a static: "clicking" it is a no-op, which makes it a probe


class SingleInstanceTest(Scenario):
    def test_second_updater_ends_without_touching_anything(self):
        # The first updater: the interactive dialog, which holds the mutex
        # for as long as it is open (no server answers: the up-to-date face).
        first = os.path.join(self.ws.root, "first")
        os.makedirs(first)
        shutil.copy(os.path.join(BIN, "Update.exe"), first)
        dialog = subprocess.Popen([WINE_RUN, os.path.join(first, "Update.exe")], cwd=first,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(dialog.kill)
        deadline = time.time() + 60
        while not self._dialog_open() and time.time() < deadline:
            time.sleep(0.2)
        self.assertTrue(self._dialog_open(), "the first updater's dialog appeared")

        # The second: a silent run that would otherwise fetch and install.
        self.ws.seed(self.server.port, version="1.0")
        self.ws.publish_program({"a.txt": b"new"}, "2.0")
        before = self._tree()
        self.assertEqual(self.ws.run_update("-silent", timeout=30), 1, "the exit code says another updater runs")
        self.assertEqual(self.server.requests(), [])
        self.assertEqual(self._tree(), before, "nothing written, not even a line of the log")

        # Closing the dialog frees the mutex: now the same run updates.
        subprocess.run([WINE_RUN, os.path.join(BIN, "press_button.exe"), DIALOG_TITLE, str(DIALOG_CLOSE), "10"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        dialog.wait(timeout=30)
        self.ws.run_update("-silent")
        self.assertEqual(read(self.ws.app_path("a.txt")), b"new")

    def _dialog_open(self):
        probe = subprocess.run([WINE_RUN, os.path.join(BIN, "press_button.exe"), DIALOG_TITLE, str(DIALOG_TITLE_TEXT), "0"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
        return probe.returncode == 0

    def _tree(self):
        found = {}
        for folder, _, files in os.walk(self.ws.app):
            for name in files:
                path = os.path.join(folder, name)
                found[os.path.relpath(path, self.ws.app)] = (os.path.getsize(path), os.path.getmtime(path))
        return found


if __name__ == "__main__":
    unittest.main()

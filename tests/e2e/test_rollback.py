"""A release whose program fails to start: the silent run that installed
it watches the client it starts, rolls the release back, never takes it
again, and takes the next release that fixes it; a rollback cut by a kill
is finished by the next run."""
import os
import time
import unittest

from harness import NOTIFY_UPGRADE_NOW, Registry, Scenario, kill_updaters, read

# The stand-in client ends at once with the status that the release's
# exit-at-start.txt holds (tests/fixtures/client/client_options_win.h).
INSTALLED = {"core.dll": b"core 1.0", "readme.txt": b"same in both", "data\\map.dat": b"map 1.0"}
BROKEN = {"core.dll": b"core 2.0", "readme.txt": b"same in both", "data\\map.dat": b"map 2.0",
          "plugins\\new.dll": b"added by 2.0", "exit-at-start.txt": b"C0000005"}
FIXED = {name: data for name, data in BROKEN.items() if name != "exit-at-start.txt"}
WATCH = 5


class RollbackTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)
        self.ws.install_client()
        self.ws.seed(self.server.port, version="1.0", start_watch=WATCH)

    def assert_files(self, expected, absent=()):
        for name, data in expected.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        for name in absent:
            self.assertFalse(os.path.exists(self.ws.app_path(name)), name)

    def assert_version(self, version):
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), version)
        self.assertEqual(Registry.values().get("Version"), version)

    def test_a_release_that_crashes_at_start_is_rolled_back_not_taken_again_and_then_fixed(self):
        # The running client holds core.dll as a program holds its image:
        # the install moves it aside to .bak.
        client = self.ws.start_client("--hold-rename-ok", "core.dll", "--exit-after", "60")
        self.addCleanup(client.kill)
        self.ws.publish_program(BROKEN, "2.0", notify=True)
        presser = self.ws.press_later(NOTIFY_UPGRADE_NOW)
        self.assertEqual(self.ws.run_update("-silent"), 6)
        self.assertEqual(presser.wait(timeout=30), 0, "the notification was shown")

        self.assert_files(INSTALLED, absent=["plugins\\new.dll", "exit-at-start.txt", "UPDATE\\Previous",
                                             "UPDATE\\Previous.kept"])
        self.assert_version("1.0")
        record = self.ws.config_dump("UpdateRecord.dat")
        self.assertEqual(record.count("IsSucceed=1"), 1, "the install's own section stays: " + record)
        self.assertRegex(record, r"\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\]\nIsSucceed=0\nNewVersion=2.0\n"
                                 r"OldVersion=1.0\nRolledBack=1\n")
        log = self.ws.update_log()
        for line in ('kept for a rollback to "1.0": 2 files about to be replaced (2 without a copy)',
                     'the start of release "2.0" failed: the client ended within 5 s with 0xC0000005 '
                     '(access violation)',
                     'rolled back release "2.0" to "1.0": 2 files restored (0 in use, moved aside to .bak), '
                     '2 added files removed',
                     'Config.dat: version "1.0" recorded',
                     'the client of release "1.0", started again, still runs after 5 s',
                     'outcome: the new release failed to start and was rolled back (exit code 6)'):
            self.assertIn(line, log)
        # Closed for the install, the new release's start, the previous one's.
        self.assertEqual(self.ws.wait_for_client_events(6),
                         ["start", "close", "exit", "start", "exit-at-start", "start"])

        # Three more runs, the release still offered: nothing is taken.
        for _ in range(3):
            self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assertEqual(self.ws.update_log().count("was rolled back after its program failed to start: "
                                                    "not taken again"), 3)
        self.assert_files(INSTALLED, absent=["plugins\\new.dll", "core.dll.bak"])
        self.assert_version("1.0")

        # The fixed release keeps the version text; its files make it another
        # release. While its client is watched, another updater may run.
        self.ws.publish_program(FIXED, "2.0")
        before = len(self.ws.client_log())
        updater = self.ws.start_update("-silent")
        self.addCleanup(updater.kill)
        self.assertEqual(self.ws.wait_for_client_events(before + 1, timeout=60)[before:], ["start"])
        self.assertEqual(self.ws.run_update("-silent", "-t:2", "-d:Map"), 2, "not 1: the lock is free")
        self.assertEqual(updater.wait(timeout=60), 0)
        self.assert_files(FIXED)
        self.assert_version("2.0")
        self.assertIn('the client of release "2.0" still runs after 5 s', self.ws.update_log())

    def test_a_rollback_cut_by_a_kill_is_finished_by_the_next_run(self):
        old = {"lib\\m%03d.dll" % n: b"module %d of 1.0" % n for n in range(300)}
        new = {name: data.replace(b"1.0", b"2.0") for name, data in old.items()}
        added = {"lib\\x%03d.dll" % n: b"added by 2.0" for n in range(100)}
        self.ws.install(old)
        self.ws.publish_program(dict(new, **added, **{"exit-at-start.txt": b"C0000409"}), "2.0")
        updater = self.ws.start_update("-silent")
        self.addCleanup(updater.kill)
        kept = self.ws.app_path("UPDATE\\Previous.kept")
        deadline = time.time() + 90
        while time.time() < deadline and b"State=rolling back" not in (read(kept) if os.path.exists(kept) else b""):
            time.sleep(0.001)
        self.assertEqual(kill_updaters(self.ws.app), 1, "killed while rolling back")
        updater.wait(timeout=30)

        # Each name holds a whole file, the old one or the new; an added one is there whole or gone.
        for name, data in old.items():
            self.assertIn(read(self.ws.app_path(name)), (data, new[name]), name)
        for name, data in added.items():
            path = self.ws.app_path(name)
            self.assertTrue(not os.path.exists(path) or read(path) == data, name)
        self.assertEqual(self.ws.run_update("-silent"), 6)
        self.assertIn('finishing the rollback of release "2.0" that was cut short', self.ws.update_log())
        self.assert_files(dict(INSTALLED, **old), absent=list(added) + ["UPDATE\\Previous.kept"])
        self.assert_version("1.0")
        self.assertEqual(self.ws.run_update("-silent"), 0, "not taken again")
        self.assert_files(old)


if __name__ == "__main__":
    unittest.main()

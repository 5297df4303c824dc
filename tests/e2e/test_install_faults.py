"""Faults during an install, made real: Update.exe killed by its process id
at chosen moments, a disk that fills up, Config.dat held by the client.
Afterwards every installed file is whole and either the old or the new one,
and the recorded version is that of the files."""
import os
import shutil
import subprocess
import time
import unittest

from harness import BIN, Registry, Scenario, free_port, kill_updaters, read, write

BIG = 48 * 1024 * 1024
SMALL = 60


def release_files(seed, big):
    files = {"small\\f%02d.dat" % i: ("%d small file %d " % (seed, i)).encode() * (i + 1) for i in range(SMALL)}
    files["big.bin"] = big
    files["readme.txt"] = b"the same in both"
    return files


class InstallFaultsTest(Scenario):
    @classmethod
    def setUpClass(cls):
        cls.old = release_files(1, os.urandom(BIG))
        cls.new = release_files(2, os.urandom(BIG))

    def install_old(self):
        """The old release, and nothing of any earlier attempt."""
        for name in os.listdir(self.ws.app):
            if name != "Update.exe":
                path = os.path.join(self.ws.app, name)
                shutil.rmtree(path) if os.path.isdir(path) else os.remove(path)
        self.ws.install(self.old)
        self.ws.seed(self.server.port, version="4.0.1")

    def point_at(self, port):
        self.ws.config_set("Config.dat", "Update", "ServerPort", port)

    def state(self):
        """Per file: "old", "new", "missing" or "torn"."""
        result = {}
        for name in self.new:
            path = self.ws.app_path(name)
            if not os.path.exists(path):
                result[name] = "missing"
                continue
            data = read(path)
            result[name] = "new" if data == self.new[name] else "old" if data == self.old[name] else "torn"
        return result

    def assert_whole(self, moment, allow_backup_only=False):
        """No file torn; a missing one only in the instant between the two
        moves of a file in use, with its old self under .bak."""
        for name, what in self.state().items():
            self.assertNotEqual(what, "torn", "%s: %s torn" % (moment, name))
            if what == "missing":
                backup = self.ws.app_path(name + ".bak")
                self.assertTrue(allow_backup_only and os.path.exists(backup), "%s: %s missing" % (moment, name))
                self.assertEqual(read(backup), self.old[name], "%s: %s.bak" % (moment, name))

    def assert_consistent(self, moment):
        """Every file present and whole, no orphaned backup, the release
        either wholly in or not at all, and Config.dat naming its version."""
        self.assert_whole(moment)
        version = self.ws.config_get("Config.dat", "Update", "Version")
        self.assertIsNotNone(version, "%s: Config.dat decodes" % moment)
        kinds = {what for name, what in self.state().items() if self.old[name] != self.new[name]}
        self.assertIn(kinds, ({"old"}, {"new"}), "%s: a release is either in or not: %s" % (moment, kinds))
        self.assertEqual(version, "4.0.2" if kinds == {"new"} else "4.0.1", "%s: version of the files" % moment)

    def kill_when(self, moment, ready, delay=0.0, timeout=60):
        """Starts the silent run and kills it once ready() holds (then after delay)."""
        run = self.ws.start_update("-silent")
        deadline = time.time() + timeout
        while not ready() and run.poll() is None and time.time() < deadline:
            time.sleep(0.002)
        if delay:
            time.sleep(delay)
        killed = kill_updaters(self.ws.app)
        run.wait(timeout=30)
        return killed > 0

    def test_killed_at_any_moment_the_next_runs_repair_everything(self):
        self.ws.publish_program(self.new, "4.0.2")
        staging = self.ws.app_path("UPDATE\\Program")
        marker = self.ws.app_path("UPDATE\\Program.install")

        big = self.ws.app_path("big.bin")

        def downloading():
            return os.path.isdir(staging) and any(n.endswith(".part") for n in os.listdir(staging))

        def big_file_replaced():
            try:
                return os.stat(big).st_ino != self.old_inode
            except OSError:
                return False

        def big_download_whole():
            try:
                return os.path.getsize(os.path.join(staging, "big.bin.~partial")) == BIG
            except OSError:
                return False

        moments = [
            ("while downloading", downloading, 0.0),
            ("as the big download is flushed", big_download_whole, 0.0),
            ("as the install begins", lambda: os.path.exists(marker), 0.0),
            ("as the big file is in place", big_file_replaced, 0.0),
            ("while the small files are moved into place", big_file_replaced, 0.002),
            ("30 ms after the big file", big_file_replaced, 0.03),
        ]
        killed = 0
        for moment, ready, delay in moments:
            with self.subTest(moment):
                self.install_old()
                self.old_inode = os.stat(big).st_ino
                killed += self.kill_when(moment, ready, delay)
                self.assert_whole(moment, allow_backup_only=True)

                # No server: an install that had begun is finished from the staged copies.
                self.point_at(free_port())
                self.assertEqual(self.ws.run_update("-silent"), 2, moment)
                self.assert_consistent(moment + ", then a run without a server")

                self.point_at(self.server.port)
                self.assertEqual(self.ws.run_update("-silent"), 0, moment)
                self.assertEqual(set(self.state().values()), {"new"}, moment)
                self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.2")
                self.assertIn("IsSucceed=1", self.ws.config_dump("UpdateRecord.dat"))
                self.assertFalse(os.path.exists(staging), moment)
        self.assertGreaterEqual(killed, len(moments) - 1, "the runs were caught at their moments")

    def test_a_run_that_finishes_a_cut_install_never_goes_back_to_an_older_release(self):
        """A mirror that lags serves an older release after the kill: the
        next run finishes 4.0.2 and refuses or ignores the older one."""
        marker = self.ws.app_path("UPDATE\\Program.install")
        older = release_files(3, self.old["big.bin"])
        key, key_line = self.ws.keygen("release.key")
        for signed in (False, True):
            with self.subTest(signed=signed):
                self.install_old()
                if signed:
                    self.ws.config_set("Config.dat", "Update", "ReleaseKey", key_line)
                shutil.rmtree(self.ws.www)
                os.makedirs(self.ws.www)
                self.ws.publish_program(older, "4.0.15", sign=key if signed else None)
                lagging = self.ws.www + ".lagging"
                shutil.copytree(self.ws.www, lagging, dirs_exist_ok=True)
                self.ws.publish_program(self.new, "4.0.2", sign=key if signed else None)
                newest = self.ws.last_published.strftime("%Y-%m-%dT%H:%M:%SZ") if signed else None
                self.assertTrue(self.kill_when("as the install begins", lambda: os.path.exists(marker)))
                self.assertTrue(os.path.exists(marker))
                shutil.rmtree(self.ws.www)
                shutil.copytree(lagging, self.ws.www)

                log_before = self.ws.update_log()
                self.assertEqual(self.ws.run_update("-silent"), 3 if signed else 0)
                log = self.ws.update_log()[len(log_before):]
                self.assertEqual(set(self.state().values()), {"new"}, log)
                self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.2")
                self.assertEqual(log.count('version "4.0.2" recorded'), 1, log)
                self.assertIn('the install of release "4.0.2" cut short before was finished', log)
                self.assertEqual(self.ws.config_get("Config.dat", "Update", "NewestPublished.program"), newest)
                if signed:
                    self.assertIn("the newest this installation accepted for program", log)

                # The record of the next real release names the finished one as the old version.
                shutil.rmtree(self.ws.www)
                self.ws.publish_program(dict(self.new, **{"readme.txt": b"4.0.3"}), "4.0.3",
                                        sign=key if signed else None)
                self.assertEqual(self.ws.run_update("-silent"), 0)
                self.assertIn("OldVersion=4.0.2", self.ws.config_dump("UpdateRecord.dat").split("NewVersion=4.0.3")[1])


@unittest.skipUnless(hasattr(os, "geteuid") and os.geteuid() == 0, "mounting a small tmpfs needs root")
class FullDiskTest(Scenario):
    def setUp(self):
        super().setUp()
        # The application folder on a disk that has room for the download
        # and no more.
        self.mount = os.path.join(self.ws.root, "disk")
        os.makedirs(self.mount)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=28m", "tmpfs", self.mount], check=True)
        self.addCleanup(subprocess.run, ["umount", "-l", self.mount])
        self.ws.app = os.path.join(self.mount, "app")
        os.makedirs(self.ws.app)
        shutil.copy(os.path.join(BIN, "Update.exe"), self.ws.app)

    def test_a_full_disk_keeps_every_file_and_the_old_version_until_the_download_fits(self):
        old = {"big.bin": os.urandom(8 << 20), "a.txt": b"a 1"}
        new = {"big.bin": os.urandom(8 << 20), "a.txt": b"a 2"}
        self.ws.install(old)
        filler = os.path.join(self.mount, "filler")
        self.ws.seed(self.server.port, version="4.0.1")
        self.ws.publish_program(new, "4.0.2")

        # No room for the download: a local failure, not a server's.
        write(filler, b"\0" * (16 << 20))
        self.assertEqual(self.ws.run_update("-silent"), 4)
        self.assertIn("could not be fetched", self.ws.update_log())
        self.assertIn("disk-full (error 112)", self.ws.update_log())
        self.assertIn("a fetched file could not be stored (exit code 4)", self.ws.update_log())
        self.assertEqual(read(self.ws.app_path("big.bin")), old["big.bin"])

        # Room for the download and no more: the install makes no copy of
        # its own, it moves the staged file into place.
        os.truncate(filler, 8 << 20)
        self.assertEqual(self.ws.run_update("-silent"), 0)
        for name in new:
            self.assertEqual(read(self.ws.app_path(name)), new[name], name)
        self.assertFalse(os.path.exists(self.ws.app_path("big.bin.updating")))
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.2")
        self.assertIn("IsSucceed=1", self.ws.config_dump("UpdateRecord.dat"))


class HeldConfigTest(Scenario):
    def test_a_version_that_cannot_be_written_is_not_claimed_and_is_recorded_next_time(self):
        self.ws.seed(self.server.port, version="4.0.1")
        self.ws.install({"a.txt": b"a 1"})
        self.ws.publish_program({"a.txt": b"a 2"}, "4.0.2")
        # The client keeps Config.dat open for reading only: it cannot be replaced.
        client = self.ws.start_client("--hold", "Config.dat", "--exit-after", "60")
        self.addCleanup(client.kill)
        self.assertEqual(self.ws.run_update("-silent"), 4)
        self.assertEqual(read(self.ws.app_path("a.txt")), b"a 2")
        self.assertIn("IsSucceed=0", self.ws.config_dump("UpdateRecord.dat"))
        self.assertEqual(Registry.values(), {})
        client.kill()
        client.wait()
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.1")

        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.2")
        self.assertIn("IsSucceed=1", self.ws.config_dump("UpdateRecord.dat"))
        self.assertEqual(Registry.values().get("Version"), "4.0.2")


if __name__ == "__main__":
    unittest.main()

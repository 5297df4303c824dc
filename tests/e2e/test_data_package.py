"""Silent data-package updates: Update.exe -silent -t:2 -d:Map under Wine
against the test update server."""
import contextlib
import os
import re
import time
import unittest

from harness import Registry, Scenario, content_reads, fetched, fetched_in_one_run, md5, read, write

TYPE = 2
RELEASE = {
    "roads.dat": b"roads v2",
    "cities.dat": b"cities, unchanged",
    "tiles\\new\\t1.png": b"\x89PNG tile one",
}


class DataPackageTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.seed(self.server.port, version="7.0")
        self.ws.install({"Map\\roads.dat": b"roads v1", "Map\\cities.dat": b"cities, unchanged",
                         "Map\\config.ini": b"[old]\r\n"})
        self.ws.publish_package(TYPE, RELEASE)

    def update(self, name="Map"):
        return self.ws.run_update("-silent", "-t:%d" % TYPE, "-d:" + name)

    def assert_release_installed(self):
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path("Map\\" + name)), data, name)

    def test_changed_and_new_files_are_installed_and_unchanged_ones_not_fetched(self):
        config_before = read(self.ws.app_path("Config.dat"))
        self.update()
        self.assert_release_installed()
        self.assertEqual(fetched_in_one_run(self.server, TYPE), ["config.ini", "roads.dat", "tiles/new/t1.png"])
        self.assertEqual(read(self.ws.app_path("Map\\config.ini")), read(os.path.join(self.ws.www, "2", "config.ini")))
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Map")), "staging folder removed")
        # A data package leaves no trace of the program's own.
        self.assertEqual(read(self.ws.app_path("Config.dat")), config_before)
        self.assertFalse(os.path.exists(self.ws.app_path("UpdateRecord.dat")))
        self.assertEqual(Registry.values(), {})

    def test_remembered_digests_spare_reading_unchanged_files_and_never_hide_a_change(self):
        self.update()
        time.sleep(2.1)  # past the margin within which a change time proves nothing
        self.update()  # reads what the first run installed
        with content_reads(self.ws.app_path("Map")) as reads:
            self.assertEqual(self.update(), 0)
        self.assertEqual(reads, [])
        self.assertEqual(fetched(self.server, TYPE)[-2:], ["config.ini"] * 2, "what was installed is remembered right")
        self.assertIn(": 3 decided from remembered digests, 0 read or missing\n", self.ws.update_log())

        # The same size and times, content changed in place (the change time
        # tells) or in another file moved in (its file id tells).
        for name, data, moved in (("roads.dat", b"roads v3", ""), ("cities.dat", b"cities, CHANGED!!", ".new")):
            path = self.ws.app_path("Map\\" + name)
            times = os.stat(path)
            write(path + moved, data)
            os.utime(path + moved, ns=(times.st_atime_ns, times.st_mtime_ns))
            os.replace(path + moved, path)
        self.update()
        self.assertEqual(sorted(fetched(self.server, TYPE)[-2:]), ["cities.dat", "roads.dat"])
        self.assert_release_installed()

        # A memory that cannot be used or saved costs time only.
        memory = self.ws.app_path("UPDATE\\Map.digests")
        saved = read(memory)
        for damage, why in ((saved[:-1], "damaged"), (saved[:-20] + bytes([saved[-20] ^ 1]) + saved[-19:], "damaged"),
                            (b"[Install]\r\n", "not a memory of digests"), (None, "unreadable")):
            write(self.ws.app_path("Map\\roads.dat"), b"roads v1")
            os.remove(memory)
            os.mkdir(memory) if damage is None else write(memory, damage)  # a folder is neither read nor replaced
            self.assertEqual(self.update(), 0)
            self.assert_release_installed()
            self.assertIn("(the remembered digests were %s: not used)\n" % why, self.ws.update_log())
        self.assertIn("Map.digests could not be saved, the next run reads more: access-denied", self.ws.update_log())

    def test_staged_file_with_the_right_digest_is_reused(self):
        write(self.ws.app_path("UPDATE\\Map\\roads.dat"), RELEASE["roads.dat"])
        write(self.ws.app_path("UPDATE\\Map\\tiles\\new\\t1.png"), b"stale")
        self.update()
        self.assertEqual(fetched(self.server, TYPE), ["config.ini", "tiles/new/t1.png"])
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), RELEASE["roads.dat"])
        self.assertEqual(read(self.ws.app_path("Map\\tiles\\new\\t1.png")), RELEASE["tiles\\new\\t1.png"])

    def test_failure_on_the_last_file_changes_nothing_and_the_next_run_fetches_only_it(self):
        self.server.set_fault("/2/tiles/new/t1.png", "status", status=500)
        self.update()
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), b"roads v1")
        self.assertFalse(os.path.exists(self.ws.app_path("Map\\tiles")))
        self.assertEqual(read(self.ws.app_path("Map\\config.ini")), b"[old]\r\n")
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Map\\tiles\\new\\t1.png")))
        # What arrived stays staged: the next run fetches only the missing file.
        first = fetched(self.server, TYPE)
        self.assertEqual(sorted(first), ["config.ini", "roads.dat", "tiles/new/t1.png"])
        self.server.clear_faults()
        self.update()
        self.assertEqual(fetched(self.server, TYPE)[len(first):], ["config.ini", "tiles/new/t1.png"])
        self.assertEqual(read(self.ws.app_path("Map\\tiles\\new\\t1.png")), RELEASE["tiles\\new\\t1.png"])
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Map")))

    def test_damaged_download_installs_nothing(self):
        # The server's copy no longer matches the digest its manifest gives.
        write(os.path.join(self.ws.www, "2", "roads.dat"), b"roads v2 but damaged")
        self.update()
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), b"roads v1")
        self.assertEqual(read(self.ws.app_path("Map\\config.ini")), b"[old]\r\n")

    def test_manifest_refused_leaves_staging_but_clears_backups(self):
        self.server.set_fault("/2/config.ini", "status", status=404)
        write(self.ws.app_path("UPDATE\\Map\\roads.dat"), RELEASE["roads.dat"])
        write(self.ws.app_path("old.dll.bak"), b"x")
        write(self.ws.app_path("old.dll"), b"the file the backup was taken from")
        write(self.ws.app_path("Map\\deep\\x.dat.bak"), b"x")  # its x.dat is missing: it comes back
        self.update()
        self.assertEqual(fetched(self.server, TYPE), ["config.ini"])
        self.assertTrue(os.path.exists(self.ws.app_path("UPDATE\\Map\\roads.dat")))
        self.assertFalse(os.path.exists(self.ws.app_path("old.dll.bak")))
        self.assertFalse(os.path.exists(self.ws.app_path("Map\\deep\\x.dat.bak")))
        self.assertEqual(read(self.ws.app_path("Map\\deep\\x.dat")), b"x")
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), b"roads v1")

    def test_every_cut_of_the_manifest_ends_with_the_exit_code_its_log_names(self):
        """A run that ends in a crash after its outcome was logged would
        leave an exit status that no table lists (a crash under Wine even
        looks like 5): the status must be the one the outcome line names."""
        manifest = os.path.join(self.ws.www, "2", "config.ini")
        whole = read(manifest)
        runs = int(os.environ.get("UPDATE_CUT_RUNS", "40"))
        cuts = [len(whole) * i // runs for i in range(runs)]
        for cut in cuts:
            write(manifest, whole[:cut])
            # Each run's log alone: a long loop would fill the log, which then drops its older half.
            with contextlib.suppress(FileNotFoundError):
                os.remove(self.ws.app_path("UPDATE\\update.log"))
            code = self.update()
            log = self.ws.update_log()
            outcome = [l for l in log.splitlines() if " outcome: " in l]
            self.assertEqual(len(outcome), 1, "cut at %d, exit code %d: %s" % (cut, code, log))
            self.assertIn("(exit code %d)" % code, outcome[0], "cut at %d" % cut)
            self.assertEqual(code, 3, "cut at %d: %s" % (cut, outcome[0]))
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), b"roads v1")

    def test_a_paused_release_fetches_nothing_and_keeps_the_packages_record(self):
        self.ws.publish_package(TYPE, RELEASE, rollout=["--rollout", "0"])
        release_id = re.search(rb"; RELEASEID=(\w+)", read(os.path.join(self.ws.www, "2", "config.ini"))).group(1)
        self.assertEqual(self.update(), 0)
        self.assertEqual(fetched(self.server, TYPE), ["config.ini"])
        self.assertEqual(read(self.ws.app_path("Map\\config.ini")), b"[old]\r\n")
        self.assertRegex(self.ws.update_log(), r"\[silent package Map\] release %s rolled out to 0\.0 %%; "
                         r"this installation's place [\d.]+ %%: not yet\n" % release_id.decode())
        self.ws.change_rollout("--package", str(TYPE), "100")
        self.update()
        self.assert_release_installed()

    def test_unsafe_package_name_does_nothing(self):
        write(self.ws.app_path("UPDATE\\keep.txt"), b"keep")
        write(self.ws.app_path("x.bak"), b"x")
        for name in ("..", "..\\..", "C:\\Windows", "a\\b", ""):
            self.update(name)
        self.assertEqual(self.server.requests(), [])
        self.assertTrue(os.path.exists(self.ws.app_path("UPDATE\\keep.txt")))
        self.assertTrue(os.path.exists(self.ws.app_path("x.bak")))

    def test_unsafe_manifest_names_are_skipped(self):
        evil = b"evil"
        manifest = ("[..\\..\\evil.txt]\r\nSIZE=4\r\nMD5=%s\r\n[C:\\evil.txt]\r\nMD5=%s\r\n"
                    "[roads.dat]\r\nSIZE=8\r\nMD5=%s\r\n" % (md5(evil), md5(evil), md5(b"roads v2")))
        write(os.path.join(self.ws.www, "2", "config.ini"), manifest.encode())
        write(os.path.join(self.ws.www, "evil.txt"), evil)
        self.update()
        self.assertEqual(fetched(self.server, TYPE), ["config.ini", "roads.dat"])
        self.assertFalse(os.path.exists(os.path.join(self.ws.root, "evil.txt")))
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), b"roads v2")


if __name__ == "__main__":
    unittest.main()

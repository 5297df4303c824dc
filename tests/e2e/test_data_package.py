"""Silent data-package updates: Update.exe -silent -t:2 -d:Map under Wine
against the test update server."""
import os
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

    def last_compare(self):
        return [line for line in self.ws.update_log().splitlines() if "compared the installed files" in line][-1]

    def test_changed_and_new_files_are_installed_and_unchanged_ones_not_fetched(self):
        config_before = read(self.ws.app_path("Config.dat"))
        self.update()
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path("Map\\" + name)), data, name)
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
        self.update()  # reads what the first run installed, remembers it
        with content_reads(self.ws.app_path("Map")) as reads:
            self.assertEqual(self.update(), 0)
        self.assertEqual(reads, [])
        self.assertTrue(self.last_compare().endswith(": 3 decided from remembered digests, 0 read or missing"))
        self.assert_release_installed()

        # The same size and the last-write time set back: the change time tells.
        roads = self.ws.app_path("Map\\roads.dat")
        times = os.stat(roads)
        write(roads, b"roads v3")
        os.utime(roads, ns=(times.st_atime_ns, times.st_mtime_ns))
        # Another file of the same size and times moved in its place: a new file id.
        cities = self.ws.app_path("Map\\cities.dat")
        times = os.stat(cities)
        write(cities + ".new", b"cities, CHANGED!!")
        os.utime(cities + ".new", ns=(times.st_atime_ns, times.st_mtime_ns))
        os.replace(cities + ".new", cities)
        self.update()
        self.assertEqual(sorted(fetched(self.server, TYPE)[-2:]), ["cities.dat", "roads.dat"])
        self.assert_release_installed()

    def test_a_memory_that_cannot_be_used_or_saved_costs_only_time(self):
        self.update()
        memory = self.ws.app_path("UPDATE\\Map.digests")
        saved = read(memory)
        flipped = saved[:20] + bytes([saved[20] ^ 1]) + saved[21:]
        for damage, why in ((saved[:len(saved) // 2], "damaged"), (flipped, "damaged"),
                            (b"[Install]\r\n", "not a memory of digests"), (None, "unreadable")):
            with self.subTest(why):
                write(self.ws.app_path("Map\\roads.dat"), b"roads v1")
                os.remove(memory)
                if damage is None:
                    os.mkdir(memory)  # cannot be read, nor replaced
                else:
                    write(memory, damage)
                self.assertEqual(self.update(), 0)
                self.assert_release_installed()
                self.assertTrue(self.last_compare().endswith("(the remembered digests were %s: not used)" % why))
                if damage is not None:
                    self.assertEqual(read(memory)[:4], b"QDIG", "written afresh")
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

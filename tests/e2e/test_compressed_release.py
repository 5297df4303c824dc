"""Compressed transfer as a user and a publisher meet it: the publisher
writes NAME.gz beside each file that compresses well and lists it as
GZSIZE; Update.exe fetches the .gz, decodes it within its bounds and
installs exactly the listed file. A tree without the .gz files, a broken
or hostile .gz, a signed manifest whose GZSIZE was changed and a cut .gz
download are each handled as a person would want."""
import os
import random
import re
import zlib
import unittest

from harness import Registry, Scenario, fetched_in_one_run, read, write

MIB = 1024 * 1024
INSTALLED = {"core.dll": b"core 1.0", "same.txt": b"same in both"}


def program_like(size, seed):
    """Bytes that compress about as well as program files do."""
    rng = random.Random(seed)
    words = [bytes(rng.randrange(256) for _ in range(rng.randrange(2, 12))) for _ in range(400)]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words)
    return bytes(out[:size])


def gzip_of(data):
    compressor = zlib.compressobj(9, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
    return compressor.compress(data) + compressor.flush()


def gzip_bomb(size):
    """size zero bytes in about size/1000 compressed bytes, made in pieces."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
    piece = bytes(MIB)
    return b"".join(compressor.compress(piece) for _ in range(size // MIB)) + compressor.flush()


class CompressedReleaseTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)
        self.ws.seed(self.server.port, version="1.0")
        self.release = {"core.dll": program_like(600 * 1024, 1), "same.txt": b"same in both",
                        "bin\\noise.bin": os.urandom(50 * 1024)}
        self.manifest = os.path.join(self.ws.www, "1", "UpdateConfig.ini")

    def served(self, name):
        return os.path.join(self.ws.www, "1", *name.split("\\"))

    def set_gzsize(self, name, value):
        """Changes a section's GZSIZE in the served manifest, as a server that lies would."""
        text = read(self.manifest).decode("gbk")
        section = re.escape("[%s]" % name)
        changed = re.sub(r"(%s[^\[]*?GZSIZE=)\d+" % section, lambda m: m.group(1) + str(value), text)
        self.assertNotEqual(changed, text)
        write(self.manifest, changed.encode("gbk"))

    def assert_installed(self):
        for name, data in self.release.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "2.0")

    def assert_nothing_installed(self):
        self.assertEqual(read(self.ws.app_path("core.dll")), INSTALLED["core.dll"])
        self.assertFalse(os.path.exists(self.ws.app_path("bin\\noise.bin")))
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "1.0")

    def test_a_compressed_release_installs_byte_for_byte_and_travels_smaller(self):
        self.ws.publish_program(self.release, "2.0")
        self.assertTrue(os.path.exists(self.served("core.dll.gz")))
        self.assertFalse(os.path.exists(self.served("bin\\noise.bin.gz")), "random bytes do not compress")
        self.assertIn("GZSIZE=%d" % os.path.getsize(self.served("core.dll.gz")), read(self.manifest).decode("gbk"))

        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assert_installed()
        self.assertEqual(fetched_in_one_run(self.server, 1), ["UpdateConfig.ini", "bin/noise.bin", "core.dll.gz"])
        received = int(re.search(r"fetched 2 files: (\d+) bytes received", self.ws.update_log()).group(1))
        self.assertLess(received, (len(self.release["core.dll"]) + 50 * 1024) * 0.6)
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Program")))

    def test_a_tree_without_compressed_forms_installs_plainly(self):
        # Published without them: nothing but the plain files is asked for.
        self.ws.publish_program(self.release, "2.0", gzip=False)
        self.assertNotIn("GZSIZE", read(self.manifest).decode("gbk"))
        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assert_installed()
        self.assertEqual(fetched_in_one_run(self.server, 1), ["UpdateConfig.ini", "bin/noise.bin", "core.dll"])

    def test_a_server_that_dropped_the_gz_files_still_updates(self):
        self.ws.publish_program(self.release, "2.0")
        os.remove(self.served("core.dll.gz"))
        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assert_installed()
        names = [r["path"] for r in self.server.requests() if r["path"].startswith("/1/core.dll")]
        self.assertEqual(names, ["/1/core.dll.gz", "/1/core.dll"])
        self.assertIn("core.dll.gz from 127.0.0.1:%d: http-status (HTTP 404)" % self.server.port, self.ws.update_log())

    def test_a_gz_that_decodes_past_its_size_is_never_installed(self):
        self.ws.publish_program(self.release, "2.0")
        # One byte too many: refused, and the plain file from the same server is installed instead.
        write(self.served("core.dll.gz"), gzip_of(self.release["core.dll"] + b"!"))
        self.set_gzsize("core.dll", os.path.getsize(self.served("core.dll.gz")))
        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assert_installed()
        self.assertIn("core.dll.gz from 127.0.0.1:%d: undecodable" % self.server.port, self.ws.update_log())

    def test_a_gzip_bomb_is_stopped_and_nothing_is_installed(self):
        self.ws.publish_program(self.release, "2.0")
        # A server that lies: a gigabyte of zeros as core.dll.gz, and no plain file to fall back to.
        write(self.served("core.dll.gz"), gzip_bomb(1024 * MIB))
        self.set_gzsize("core.dll", os.path.getsize(self.served("core.dll.gz")))
        os.remove(self.served("core.dll"))
        self.assertEqual(self.ws.run_update("-silent"), 2)
        self.assert_nothing_installed()
        staging = self.ws.app_path("UPDATE\\Program")
        for folder, _, names in os.walk(staging):
            for name in names:
                self.assertLessEqual(os.path.getsize(os.path.join(folder, name)), len(self.release["core.dll"]), name)
        self.assertEqual(Registry.values(), {})

    def test_a_signed_release_whose_gzsize_was_changed_is_refused(self):
        key, key_line = self.ws.keygen("release.key")
        self.ws.config_set("Config.dat", "Update", "ReleaseKey", key_line)
        self.ws.publish_program(self.release, "2.0", sign=key)
        self.assertIn("SHA256=", read(self.manifest).decode("gbk"))
        self.set_gzsize("core.dll", os.path.getsize(self.served("core.dll.gz")) + 1)
        self.assertEqual(self.ws.run_update("-silent"), 3)
        self.assert_nothing_installed()
        self.assertEqual(fetched_in_one_run(self.server, 1), ["UpdateConfig.ini", "UpdateConfig.ini.sig"])

    def test_a_cut_gz_download_is_continued_by_the_next_run(self):
        self.release["maps\\world.dat"] = program_like(12 * MIB, 2)
        self.ws.publish_program(self.release, "2.0")
        path = "/1/maps/world.dat.gz"
        compressed = os.path.getsize(self.served("maps\\world.dat.gz"))
        self.assertGreater(compressed, 2 * MIB)
        cut = compressed // 2
        self.server.set_fault(path, "cut", keep=cut, count=1)

        self.assertNotEqual(self.ws.run_update("-silent"), 0)
        self.assert_nothing_installed()
        self.assertEqual(self.ws.run_update("-silent"), 0)
        self.assert_installed()
        asked = [r for r in self.server.requests() if r["path"].startswith("/1/maps/world.dat")]
        self.assertEqual([r["path"] for r in asked], [path, path], "the plain file is never asked for")
        self.assertEqual(asked[1]["range"], "bytes=%d-" % cut)
        self.assertIn("resumed", self.ws.update_log())


if __name__ == "__main__":
    unittest.main()

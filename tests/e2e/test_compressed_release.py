"""Compressed transfer as a user and a publisher meet it: the publisher
writes NAME.gz beside each file that compresses well and lists it as
GZSIZE; Update.exe fetches the .gz, decodes it within its bounds and
installs exactly the listed file. A tree without the .gz files, a broken
or hostile .gz, a signed manifest whose GZSIZE was changed and a cut .gz
download are each handled as a person would want. Published with
--previous, a changed file travels smaller still: as its patch."""
import os
import random
import re
import zlib
import unittest

from harness import Registry, Scenario, edited, fetched_in_one_run, md5, read, write

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
        # What the server sent was refused: that says more than the missing plain file.
        self.assertEqual(self.ws.run_update("-silent"), 3)
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


class PatchedReleaseTest(Scenario):
    """A release published with --previous: a changed file travels as the
    patch against its installed copy and is made from it; a patch that
    cannot be used gives way to the file's .gz or plain form, once."""

    def setUp(self):
        super().setUp()
        self.ws.seed(self.server.port, version="1.0")
        self.manifest = os.path.join(self.ws.www, "1", "UpdateConfig.ini")
        self.v1 = {"core.dll": program_like(600 * 1024, 1), "noise.bin": random.Random(2).randbytes(200 * 1024)}
        self.v2 = dict({name: edited(data, 3) for name, data in self.v1.items()}, **{"same.txt": b"same"})

    def patch_path(self, name, base):
        return os.path.join(self.ws.www, "1", "%s.%s.patch" % (name, md5(base)))

    def asked_for(self, name):
        return [r["path"][3:] for r in self.server.requests() if r["path"].startswith("/1/" + name)]

    def list_patch_bytes(self, name, count):
        """Changes the bytes listed for the file's patch, as a server that lies would."""
        text = read(self.manifest).decode("gbk")
        changed = re.sub(r"(\[%s\][^\[]*?PATCH=[0-9a-f]{32}:)\d+" % re.escape(name), r"\g<1>%d" % count, text)
        self.assertNotEqual(changed, text)
        write(self.manifest, changed.encode("gbk"))

    def test_changed_files_travel_as_patches_against_whichever_copy_is_installed(self):
        older = {"core.dll": edited(self.v1["core.dll"], 4)}
        self.ws.install({"core.dll": older["core.dll"], "noise.bin": self.v1["noise.bin"], "same.txt": b"same"})
        self.ws.publish_program(self.v2, "2.0", previous=[self.v1, older])
        self.assertEqual(self.ws.run_update("-silent"), 0)
        for name, data in self.v2.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(fetched_in_one_run(self.server, 1), ["UpdateConfig.ini",
                                                              "core.dll.%s.patch" % md5(older["core.dll"]),
                                                              "noise.bin.%s.patch" % md5(self.v1["noise.bin"])])
        self.assertEqual(self.ws.update_log().count(": applied ["), 2)

    def test_a_patch_that_cannot_be_used_gives_way_to_the_file_once(self):
        faults = ["missing", "damaged", "truncated", "longer", "other-base", "too-large"]
        v1 = {name + ".dll": program_like(200 * 1024, i) for i, name in enumerate(faults)}
        v1["longer.dll"] = random.Random(9).randbytes(100 * 1024)  # travels plain when not patched
        v2 = {name: edited(data, 10) for name, data in v1.items()}
        # Patches for another base and for a larger file, made first, to be served instead of the right ones.
        elsewhere = edited(v2["other-base.dll"], 11)
        self.ws.publish_program({"other-base.dll": v2["other-base.dll"], "too-large.dll": v2["too-large.dll"] + b"+"},
                                "1.5", previous=[{"other-base.dll": elsewhere, "too-large.dll": v1["too-large.dll"]}])
        other_base = read(self.patch_path("other-base.dll", elsewhere))
        too_large = read(self.patch_path("too-large.dll", v1["too-large.dll"]))
        self.ws.install(v1)
        self.ws.publish_program(v2, "2.0", previous=[v1])
        patch = {name: self.patch_path(name, v1[name]) for name in v1}
        os.remove(patch["missing.dll"])
        damaged = bytearray(read(patch["damaged.dll"]))
        damaged[len(damaged) // 2:len(damaged) // 2 + 40] = bytes(40)
        write(patch["damaged.dll"], bytes(damaged))
        write(patch["truncated.dll"], read(patch["truncated.dll"])[:os.path.getsize(patch["truncated.dll"]) // 2])
        write(patch["longer.dll"], read(patch["longer.dll"]) + b"!")
        for name, served in (("other-base.dll", other_base), ("too-large.dll", too_large)):
            write(patch[name], served)
            self.list_patch_bytes(name, len(served))

        self.assertEqual(self.ws.run_update("-silent"), 0)
        for name, data in v2.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
            whole = name if name == "longer.dll" else name + ".gz"
            self.assertEqual(self.asked_for(name), [os.path.basename(patch[name]), whole])
        reasons = ["http-status (HTTP 404)", "undecodable: damaged", "undecodable: truncated",
                   "over-limit (HTTP 200): more than", "mismatch: base-mismatch", "over-limit: exceeds-size"]
        for name, reason in zip(v1, reasons):
            self.assertIn("patch: %s from %s: %s" % (os.path.basename(patch[name]), self.server.address, reason),
                          self.ws.update_log())

    def test_a_signed_release_whose_patch_list_was_changed_is_refused(self):
        key, key_line = self.ws.keygen("release.key")
        self.ws.config_set("Config.dat", "Update", "ReleaseKey", key_line)
        self.ws.install(self.v1)
        self.ws.publish_program(self.v2, "2.0", sign=key, previous=[self.v1])
        self.list_patch_bytes("core.dll", os.path.getsize(self.patch_path("core.dll", self.v1["core.dll"])) + 1)
        self.assertEqual(self.ws.run_update("-silent"), 3)
        self.assertEqual(read(self.ws.app_path("core.dll")), self.v1["core.dll"])
        self.assertEqual(fetched_in_one_run(self.server, 1), ["UpdateConfig.ini", "UpdateConfig.ini.sig"])


if __name__ == "__main__":
    unittest.main()

"""Signed releases: with [Update] ReleaseKey in Config.dat, Update.exe trusts
a manifest only when the release statement fetched right after it verifies
and names this manifest, this run's target and a time neither past its
expiry nor older than the newest release the installation accepted. Keys
are made and releases signed by the Windows publisher (BCrypt); OpenSSL's
command line signs and checks in the other direction, so the two cannot
drift apart."""
import base64
import datetime
import hashlib
import os
import shutil
import subprocess
import unittest

from harness import Registry, Scenario, fetched, md5, read, utc_now, write
from signing import openssl_sign, openssl_sign_statement, openssl_verifies

INSTALLED = {"core.dll": b"core 4.0.9", "readme.txt": b"same in both"}
RELEASE = {"core.dll": b"core 4.1", "readme.txt": b"same in both", "skin\\new\\logo.png": b"logo"}
PACKAGE = {"roads.dat": b"roads v2", "tiles\\t1.png": b"tile one"}


class SignedReleaseTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)
        self.ws.seed(self.server.port, version="4.0.9")
        self.key, self.key_line = self.ws.keygen("release.key")
        self.manifest = os.path.join(self.ws.www, "1", "UpdateConfig.ini")
        self.signature = self.manifest + ".sig"

    def trust(self, key_line):
        self.ws.config_set("Config.dat", "Update", "ReleaseKey", key_line)

    def update(self):
        """Runs the silent program update; the names it fetched. Its exit
        code and the lines it added to the run log are kept for a look."""
        mark = len(fetched(self.server, 1))
        log_before = self.ws.update_log()
        self.exit_code = self.ws.run_update("-silent")
        self.log = self.ws.update_log()[len(log_before):]
        names = fetched(self.server, 1)[mark:]
        # The manifest and its signature come first; the files travel side
        # by side after them, in no fixed order.
        manifest = [name for name in names if name.startswith("UpdateConfig.ini")]
        return manifest + sorted(names[len(manifest):])

    def assert_refused_because(self, reason):
        self.assertEqual(self.exit_code, 3)
        self.assertIn("refused: UpdateConfig.ini.sig (nothing else is fetched): signature: " + reason, self.log)

    def assert_installed(self):
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.1")

    def assert_nothing_installed(self, staged=()):
        """staged: what a refused run may keep for the next one (whole, checked files)."""
        self.assertEqual(read(self.ws.app_path("core.dll")), INSTALLED["core.dll"])
        self.assertFalse(os.path.exists(self.ws.app_path("skin\\new\\logo.png")))
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.9")
        self.assertEqual(self.ws.config_dump("UpdateRecord.dat"), "")
        self.assertEqual(Registry.values(), {})
        staging = self.ws.app_path("UPDATE\\Program")
        kept = sorted(os.path.relpath(os.path.join(folder, name), staging).replace(os.sep, "\\")
                      for folder, _, names in os.walk(staging) for name in names)
        self.assertTrue(set(kept) <= set(staged), kept)

    def test_a_signed_release_installs_and_openssl_accepts_its_signature(self):
        self.trust(self.key_line)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key)
        self.assertIn(b"SHA256=" + hashlib.sha256(RELEASE["core.dll"]).hexdigest().encode(), read(self.manifest))
        signed, signature = read(self.signature).decode().split("signature=")
        self.assertTrue(openssl_verifies(self.key_line, signed.encode(), signature))
        self.assertEqual(self.update(), ["UpdateConfig.ini", "UpdateConfig.ini.sig", "core.dll", "skin/new/logo.png"])
        self.assert_installed()
        self.assertEqual(self.exit_code, 0)
        self.assertIn("UpdateConfig.ini.sig: release statement verified with the release key: program, published",
                      self.log)

    def test_what_the_signature_does_not_cover_is_refused_before_any_file(self):
        self.trust(self.key_line)
        other_key, _ = self.ws.keygen("other.key")

        def one_byte_changed():
            write(self.manifest, read(self.manifest).replace(b"VERSION=4.1", b"VERSION=4.2"))

        def signed_by_another_key():
            write(self.signature, openssl_sign_statement(other_key, "program", "2020-01-01T00:00:00Z",
                                                         read(self.manifest)))

        def the_old_one_line_form():
            write(self.signature, openssl_sign(self.key, read(self.manifest)))

        def no_signature():
            os.unlink(self.signature)

        def cut_after_the_file_list():
            text = read(self.manifest)
            write(self.manifest, text[:text.index(b"[core.dll]")])

        def core_dll_is_another_file():
            evil = b"a program of someone else's"
            text = read(self.manifest)
            text = text.replace(md5(RELEASE["core.dll"]).encode(), md5(evil).encode())
            text = text.replace(b"SHA256=" + hashlib.sha256(RELEASE["core.dll"]).hexdigest().encode() + b"\r\n", b"")
            write(self.manifest, text)
            write(os.path.join(self.ws.www, "1", "core.dll"), evil)

        mismatch = "the release statement's signature does not verify with the release key"
        for change, reason in ((one_byte_changed, "manifest-sha256 \""), (signed_by_another_key, mismatch),
                               (no_signature, "the release statement could not be fetched or read"),
                               (the_old_one_line_form, "the release statement is the old one-line signature"),
                               (core_dll_is_another_file, "manifest-sha256 \"")):
            with self.subTest(change.__name__):
                self.ws.publish_program(RELEASE, "4.1", sign=self.key)
                change()
                self.assertEqual(self.update(), ["UpdateConfig.ini", "UpdateConfig.ini.sig"])
                self.assert_nothing_installed()
                self.assert_refused_because(reason)
        # A cut manifest is no manifest, signed or not: its signature is not even asked for.
        self.ws.publish_program(RELEASE, "4.1", sign=self.key)
        cut_after_the_file_list()
        self.assertEqual(self.update(), ["UpdateConfig.ini"])
        self.assert_nothing_installed()
        self.assertIn("unreadable: the section of core.dll is missing", self.log)

    def test_a_mirror_whose_statement_is_of_another_release_sends_the_run_to_the_next(self):
        self.trust(self.key_line)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key)
        self.start_mirror()
        # The primary is half way through its sync: the new manifest, the old statement.
        write(self.manifest, read(self.manifest).replace(b"REGION=cn", b"REGION=cn\r\nNOTIFIY=0"))
        self.assertEqual(self.update(), ["UpdateConfig.ini", "UpdateConfig.ini.sig"])
        self.assertEqual(self.exit_code, 0, self.log)
        self.assert_installed()
        self.assertIn("transfer: UpdateConfig.ini from 127.0.0.1:%d: signature: manifest-sha256" % self.server.port,
                      self.log)

    def test_a_file_whose_sha256_differs_is_not_installed(self):
        # The release is re-signed after the change, by OpenSSL with the
        # publisher's key: a signature that Update.exe (BCrypt) accepts.
        self.trust(self.key_line)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key)
        listed = hashlib.sha256(RELEASE["core.dll"]).hexdigest().encode()
        write(self.manifest, read(self.manifest).replace(listed, hashlib.sha256(b"other").hexdigest().encode()))
        write(self.signature, openssl_sign_statement(self.key, "program", utc_now().strftime("%Y-%m-%dT%H:%M:%SZ"),
                                                     read(self.manifest)))
        self.assertEqual(self.update(), ["UpdateConfig.ini", "UpdateConfig.ini.sig", "core.dll", "skin/new/logo.png"])
        self.assert_nothing_installed(staged=("UpdateConfig.ini", "UpdateConfig.ini.sig", "skin\\new\\logo.png"))
        self.assertIn("UpdateConfig.ini.sig: release statement verified", self.log)
        self.assertIn("the file core.dll could not be fetched", self.log)
        self.assertIn("mismatch: its SHA-256 is not the one listed", self.log)

    def test_a_key_made_by_openssl_signs_releases_that_install(self):
        key = os.path.join(self.ws.root, "openssl.key")
        subprocess.run(["openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:P-256", "-out", key],
                       check=True, capture_output=True)
        point = subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-outform", "DER"], check=True,
                               capture_output=True).stdout[-65:]
        self.trust(base64.b64encode(point).decode())
        self.ws.publish_program(RELEASE, "4.1", sign=key)
        self.assertEqual(self.update()[:2], ["UpdateConfig.ini", "UpdateConfig.ini.sig"])
        self.assert_installed()

    def test_an_unreadable_release_key_refuses_every_release(self):
        # The installation is at fault, not a server: nothing is fetched.
        self.trust(self.key_line[:-4])
        self.ws.publish_program(RELEASE, "4.1", sign=self.key)
        self.assertEqual(self.update(), [])
        self.assert_nothing_installed()
        self.assertEqual(self.exit_code, 5)
        self.assertIn("config-unusable: its ReleaseKey is no release key", self.log)

    def test_without_a_release_key_an_unsigned_release_installs_as_before(self):
        self.ws.publish_program(RELEASE, "4.1")
        self.assertFalse(os.path.exists(self.signature))
        self.assertEqual(self.update(), ["UpdateConfig.ini", "core.dll", "skin/new/logo.png"])
        self.assert_installed()
        self.assertNotIn("signature", self.log)

    def test_a_data_package_is_signed_and_checked_too(self):
        self.trust(self.key_line)
        self.ws.install({"Map\\roads.dat": b"roads v1"})
        self.ws.publish_package(3, PACKAGE, sign=self.key)
        self.ws.run_update("-silent", "-t:3", "-d:Map")
        for name, data in PACKAGE.items():
            self.assertEqual(read(self.ws.app_path("Map\\" + name)), data, name)

        self.ws.publish_package(3, dict(PACKAGE, **{"roads.dat": b"roads v3"}), sign=self.key)
        config = os.path.join(self.ws.www, "3", "config.ini")
        write(config, read(config).replace(b"[roads.dat]", b"[roads.dat]\r\n; changed after signing"))
        mark = len(fetched(self.server, 3))
        self.ws.run_update("-silent", "-t:3", "-d:Map")
        self.assertEqual(fetched(self.server, 3)[mark:], ["config.ini", "config.ini.sig"])
        self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), PACKAGE["roads.dat"])

    def run_package(self, package_type, name="Map"):
        log_before = self.ws.update_log()
        self.exit_code = self.ws.run_update("-silent", "-t:%d" % package_type, "-d:" + name)
        self.log = self.ws.update_log()[len(log_before):]
        return self.exit_code

    def test_an_older_release_replayed_or_one_for_another_target_is_refused(self):
        self.trust(self.key_line)
        older = dict(PACKAGE, **{"roads.dat": b"roads v1"})
        self.ws.publish_package(3, older, sign=self.key)
        kept = os.path.join(self.ws.root, "kept")
        shutil.copytree(os.path.join(self.ws.www, "3"), kept)
        self.assertEqual(self.run_package(3), 0)
        self.ws.publish_package(3, PACKAGE, sign=self.key)
        self.assertEqual(self.run_package(3), 0)
        self.assertEqual(self.run_package(3), 0, "the same release again")
        # A stale mirror, or an attacker, serves last year's release whole:
        # refused, even once the staging area is gone.
        shutil.rmtree(os.path.join(self.ws.www, "3"))
        shutil.copytree(kept, os.path.join(self.ws.www, "3"))
        for _ in range(2):
            self.assertEqual(self.run_package(3), 3)
            self.assertIn("is older than", self.log)
            self.assertIn("the newest this installation accepted for package 3", self.log)
            self.assertEqual(read(self.ws.app_path("Map\\roads.dat")), PACKAGE["roads.dat"])
            shutil.rmtree(self.ws.app_path("UPDATE"))
        # Type 3's release served where type 2 is asked for.
        shutil.copytree(kept, os.path.join(self.ws.www, "2"))
        self.assertEqual(self.run_package(2, "Other"), 3)
        self.assertIn('target "package 3" is not this run\'s "package 2"', self.log)

    def test_a_replayed_forced_program_release_is_refused(self):
        self.trust(self.key_line)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key, unconditional=True)
        kept = read(self.manifest), read(self.signature)
        self.update()
        self.ws.publish_program(dict(RELEASE, **{"core.dll": b"core 4.2"}), "4.2", sign=self.key)
        self.update()
        write(self.manifest, kept[0])
        write(self.signature, kept[1])
        self.assertEqual(self.update(), ["UpdateConfig.ini", "UpdateConfig.ini.sig"])
        self.assert_refused_because('published "')
        self.assertEqual(read(self.ws.app_path("core.dll")), b"core 4.2")

    def test_expiry_and_a_publisher_clock_that_runs_ahead(self):
        self.trust(self.key_line)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key, expires_days=1,
                                published=utc_now() - datetime.timedelta(days=3))
        self.update()
        self.assert_refused_because('expires "')
        # Ten days ahead: installed, remembered as a day ahead only, so the
        # next release, published after that, is taken.
        ahead = utc_now() + datetime.timedelta(days=10)
        self.ws.publish_program(RELEASE, "4.1", sign=self.key, published=ahead)
        self.update()
        self.assertEqual(self.exit_code, 0, self.log)
        self.assert_installed()
        self.assertIn("a day past this computer's clock", self.log)
        self.ws.publish_program(dict(RELEASE, **{"core.dll": b"core 4.2"}), "4.2", sign=self.key,
                                published=utc_now() + datetime.timedelta(days=1, minutes=5))
        self.update()
        self.assertEqual(self.exit_code, 0, self.log)
        self.assertEqual(read(self.ws.app_path("core.dll")), b"core 4.2")


if __name__ == "__main__":
    unittest.main()

"""What a run tells afterwards: its exit code and the lines of its log
(UPDATE\\update.log), for each way a silent run can end, and what a server
may send that never passes for a release."""
import os
import unittest

from harness import Scenario, free_port, read, write

RELEASE = {"a.txt": b"a 2", "b.txt": b"b 2"}


class OutcomeScenario(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install({"a.txt": b"a 1", "b.txt": b"b 1"})
        self.ws.seed(self.server.port, version="4.0.1")
        self.ws.publish_program(RELEASE, "4.0.2")

    def run_and_log(self, *args):
        before = self.ws.update_log()
        code = self.ws.run_update("-silent", *args)
        return code, self.ws.update_log()[len(before):]

    def assert_logged(self, log, *lines):
        for line in lines:
            self.assertIn(line, log)
        self.assertEqual(log.count("outcome: "), 1, log)


class OutcomeTest(OutcomeScenario):
    def test_updated_then_nothing_to_do(self):
        code, log = self.run_and_log()
        self.assertEqual(code, 0)
        self.assert_logged(log, '[silent] start: installed version "4.0.1"', "2 files differ, 2 to fetch",
                           "fetched 2 files", "installed 2 of 2 files", 'version "4.0.2" recorded',
                           "outcome: updated (exit code 0)")
        code, log = self.run_and_log()
        self.assertEqual(code, 0)
        self.assert_logged(log, "0 files differ", "outcome: nothing to do (exit code 0)")

    def test_no_server(self):
        self.ws.config_set("Config.dat", "Update", "ServerPort", free_port())
        self.ws.config_set("Config.dat", "Update", "ServerIP2", "http://127.0.0.1/")
        self.ws.config_set("Config.dat", "Update", "ServerPort2", self.server.port)
        code, log = self.run_and_log()
        self.assert_logged(log, 'Config.dat: ServerIP2 "http://127.0.0.1/" is a URL')
        self.assertEqual(code, 2)
        self.assert_logged(log, "the manifest UpdateConfig.ini could not be fetched: connect (error ",
                           "outcome: no server answered (exit code 2)")

    def test_refused_release(self):
        # The server's copy is not the file its manifest lists: longer than
        # listed, it is cut at its size; as long, its digest differs.
        write(self.ws.www + "/1/b.txt", b"b 2 damaged")
        code, log = self.run_and_log()
        self.assertEqual(code, 3)
        self.assert_logged(log, "the file b.txt could not be fetched", "over-limit (HTTP 200): more than 3 bytes",
                           "outcome: the release was refused (exit code 3)")
        write(self.ws.www + "/1/b.txt", b"b 3")
        code, log = self.run_and_log()
        self.assertEqual(code, 3)
        self.assert_logged(log, "the file b.txt could not be fetched", "mismatch: its MD5 is not the one listed",
                           "outcome: the release was refused (exit code 3)")
        # A server that answers, with more than a manifest may be.
        self.server.set_fault("/1/UpdateConfig.ini", "huge", size=(64 << 20) + 1)
        code, log = self.run_and_log()
        self.assertEqual(code, 3)
        self.assert_logged(log, "the manifest UpdateConfig.ini could not be fetched: over-limit (HTTP 200): "
                                "more than 67108864 bytes")
        # A package name that leaves the folder, or takes a name of the updater's own.
        for name in ("..", "Program", "update.log"):
            code, log = self.run_and_log("-t:2", "-d:" + name)
            self.assertEqual(code, 3, name)
            self.assert_logged(log, 'refused: the package name "%s": bad-request' % name)

    def test_incomplete_install(self):
        client = self.ws.start_client("--hold", "b.txt", "--exit-after", "60")
        self.addCleanup(client.kill)
        code, log = self.run_and_log()
        self.assertEqual(code, 4)
        self.assert_logged(log, "installed 1 of 2 files", "not installed: b.txt",
                           "outcome: the install is incomplete (exit code 4)")

    def test_local_files_unusable(self):
        # The backups of an earlier install go before Config.dat is read.
        self.ws.install({"c.dll": b"c", "c.dll.bak": b"c old"})
        write(self.ws.app_path("Config.dat"), b"QCF1" + b"\x7f" * 40)
        code, log = self.run_and_log()
        self.assertEqual(code, 5)
        self.assert_logged(log, "Config.dat cannot be used", "config-unusable: corrupt",
                           "outcome: local files unusable (exit code 5)")
        self.assertFalse(os.path.exists(self.ws.app_path("c.dll.bak")))
        # Saved by an editor as UTF-16, it is no configuration either.
        write(self.ws.app_path("Config.dat"), "[Update]\r\nServerIP=127.0.0.1\r\n".encode("utf-16"))
        code, log = self.run_and_log()
        self.assertEqual(code, 5)
        self.assert_logged(log, "config-unusable: not configuration text")

    def test_a_hand_written_manifest_installs_what_it_cannot_check_and_says_so(self):
        write(self.ws.www + "/1/UpdateConfig.ini", "[Version]\r\nVERSION=4.0.3\r\nREGION=cn\r\n[FILES]\r\nnew.txt\r\n"
                                                   "con.dat\r\nsub\\NUL\r\n")
        write(self.ws.www + "/1/new.txt", b"whatever the server sends")
        code, log = self.run_and_log()
        self.assertEqual(code, 0)
        self.assert_logged(log, "verified 0 staged files", "installed without a size or digest check: new.txt",
                           'skipped: the listed name "con.dat" is a name that Windows reserves for a device',
                           'skipped: the listed name "sub\\NUL" is a name that Windows reserves for a device')
        # A forced release whose [Version] has no VERSION is the empty version.
        write(self.ws.www + "/1/UpdateConfig.ini", "[Version]\r\nREGION=cn\r\nUNCONDITIONALUPDATE=1\r\n[FILES]\r\nnew.txt\r\n")
        write(self.ws.www + "/1/new.txt", b"forced")
        code, log = self.run_and_log()
        self.assertEqual(code, 0, log)
        self.assertEqual(read(self.ws.app_path("new.txt")), b"forced")
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "")


class ServerDataTest(OutcomeScenario):
    """A primary server whose answers are no release, and a mirror with the
    right one: the run takes the mirror's."""

    def setUp(self):
        super().setUp()
        self.start_mirror()
        self.manifest = read(self.ws.www + "/1/UpdateConfig.ini")

    def assert_installed_from_the_mirror(self, code, log, why):
        self.assertEqual(code, 0, log)
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assert_logged(log, "from 127.0.0.1:%d: %s" % (self.server.port, why), 'version "4.0.2" recorded')

    def test_a_manifest_that_is_none_sends_the_run_to_the_mirror(self):
        cases = [("an error page", b"<html><body>502 Bad Gateway</body></html>", "it has no [Version] section"),
                 ("an empty body", b"", "the answer is empty"),
                 ("UTF-16", self.manifest.decode("gbk").encode("utf-16"), "is not GBK or UTF-8 text"),
                 ("cut in [Version]", self.manifest[:self.manifest.index(b"REGION")], "lists 0 files but says 2"),
                 ("cut in [FILES]", self.manifest[:self.manifest.index(b"b.txt")], "lists 1 files but says 2"),
                 ("cut in a section", self.manifest[:-len(b"=2\r\n")], "does not end with FILECOUNT=2")]
        for what, body, why in cases:
            with self.subTest(what):
                self.ws.install({"a.txt": b"a 1", "b.txt": b"b 1"})
                self.ws.config_set("Config.dat", "Update", "Version", "4.0.1")
                write(self.ws.www + "/1/UpdateConfig.ini", body)
                code, log = self.run_and_log()
                self.assert_installed_from_the_mirror(code, log, "unreadable")
                self.assert_logged(log, why)
        # Without the mirror, the cut manifest is refused, never recorded as a release.
        self.ws.config_set("Config.dat", "Update", "ServerIP2", "")
        self.ws.install({"a.txt": b"a 1", "b.txt": b"b 1"})
        self.ws.config_set("Config.dat", "Update", "Version", "4.0.1")
        code, log = self.run_and_log()
        self.assertEqual(code, 3)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.1")
        self.assertEqual(read(self.ws.app_path("a.txt")), b"a 1")
        # Served whole again, the release installs.
        write(self.ws.www + "/1/UpdateConfig.ini", self.manifest)
        code, log = self.run_and_log()
        self.assertEqual(code, 0)
        self.assertEqual(read(self.ws.app_path("b.txt")), b"b 2")

    def test_a_wrong_copy_on_the_primary_is_taken_from_the_mirror(self):
        write(self.ws.www + "/1/b.txt", b"b 0")  # as long as the listed file, another digest
        code, log = self.run_and_log()
        self.assert_installed_from_the_mirror(code, log, "mismatch: its MD5 is not the one listed")

    def test_a_file_longer_than_listed_is_cut_at_its_size(self):
        self.ws.config_set("Config.dat", "Update", "ServerIP2", "")
        self.server.set_fault("/1/b.txt", "huge", size=400 << 20, chunked=True)
        code, log = self.run_and_log()
        self.assertEqual(code, 3)
        self.assert_logged(log, "over-limit (HTTP 200): more than 3 bytes")
        staged = self.ws.app_path("UPDATE\\Program")
        self.assertLess(sum(os.path.getsize(os.path.join(folder, name))
                            for folder, _, names in os.walk(staged) for name in names), 1 << 20)


if __name__ == "__main__":
    unittest.main()

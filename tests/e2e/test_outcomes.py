"""What a run tells afterwards: its exit code and the lines of its log
(UPDATE\\update.log), for each way a silent run can end."""
import os
import unittest

from harness import Scenario, free_port, write

RELEASE = {"a.txt": b"a 2", "b.txt": b"b 2"}


class OutcomeTest(Scenario):
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
        code, log = self.run_and_log()
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
        self.assert_logged(log, "refused: the staged b.txt is not the file the manifest lists",
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


if __name__ == "__main__":
    unittest.main()

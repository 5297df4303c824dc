"""A large download cut by the server is continued by the next run: it
asks only for the rest (Range with If-Range), and the finished file is
checked and installed as any other."""
import os
import unittest

from harness import Scenario, read

MIB = 1024 * 1024


class ResumeTest(Scenario):
    def test_a_cut_download_is_continued_by_the_next_run(self):
        big = os.urandom(64 * MIB)
        self.ws.install({"core.dll": b"core 1"})
        self.ws.publish_program({"core.dll": b"core 2", "maps\\world.dat": big}, "2.0")
        self.ws.seed(self.server.port, version="1.0")
        path = "/1/maps/world.dat"
        self.server.set_fault(path, "cut", keep=48 * MIB, count=1)

        self.ws.run_update("-silent", timeout=300)
        self.assertEqual(read(self.ws.app_path("core.dll")), b"core 1", "nothing installed after the cut")
        self.assertFalse(os.path.exists(self.ws.app_path("maps\\world.dat")))
        sent_by_first_run = self.server.sent(path)
        self.assertEqual(sent_by_first_run, 48 * MIB)

        self.ws.run_update("-silent", timeout=300)
        self.assertEqual(read(self.ws.app_path("maps\\world.dat")), big)
        self.assertEqual(read(self.ws.app_path("core.dll")), b"core 2")
        asked = [r for r in self.server.requests() if r["path"] == path]
        self.assertEqual(len(asked), 2)
        self.assertEqual(asked[1]["range"], "bytes=%d-" % (48 * MIB))
        self.assertTrue(asked[1]["if_range"])
        self.assertLess(self.server.sent(path) - sent_by_first_run, 24 * MIB)
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Program")), "staging removed after the install")


if __name__ == "__main__":
    unittest.main()

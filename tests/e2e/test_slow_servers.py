"""Servers that hold a run up: a primary that accepts connections and never
answers costs one time-out for the whole run, not one per file; a server
that trickles a byte now and then is given up at the speed floor. The
limits are the shipped ones: 30 s without data, 1 KiB/s over 30 s."""
import time
import unittest

from harness import Scenario, SilentListener, read

IDLE_LIMIT = 30
FLOOR_WINDOW = 30
# Wine's start, the manifest, hashing and installing a few small files,
# with room for a busy machine.
WORK = 15

INSTALLED = {"core.dll": b"core 1"}
RELEASE = {"core.dll": b"core 2", "a.dat": b"a" * 5000, "b.dat": b"b" * 6000, "c.dat": b"c" * 7000,
           "d\\e.dat": b"e" * 8000}


class SlowServersTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)
        self.ws.publish_program(RELEASE, "2.0")

    def timed_update(self):
        started = time.monotonic()
        self.ws.run_update("-silent", timeout=300)
        return time.monotonic() - started

    def test_a_primary_that_never_answers_costs_one_time_out_per_run(self):
        hanging = SilentListener()
        self.addCleanup(hanging.close)
        self.ws.seed(hanging.port, version="1.0")
        self.ws.config_set("Config.dat", "Update", "ServerIP2", "127.0.0.1")
        self.ws.config_set("Config.dat", "Update", "ServerPort2", self.server.port)
        elapsed = self.timed_update()
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertLess(elapsed, IDLE_LIMIT + WORK, "one time-out plus the work")
        self.assertEqual(len(self.server.requests()), 1 + len(RELEASE), "every file asked of the secondary once")

    def test_a_trickling_server_is_given_up_at_the_floor(self):
        self.ws.seed(self.server.port, version="1.0")
        # A byte every 8 s: never silent for the idle limit, far under the
        # floor. c.dat compresses well, so it travels as c.dat.gz; a server
        # that is too slow for it is not asked for the plain file instead.
        for path in ("/1/c.dat.gz", "/1/c.dat"):
            self.server.set_fault(path, "trickle", step=1, delay=8)
        elapsed = self.timed_update()
        self.assertEqual(read(self.ws.app_path("core.dll")), INSTALLED["core.dll"], "nothing installed")
        self.assertEqual([r["path"] for r in self.server.requests() if r["path"].startswith("/1/c.dat")],
                         ["/1/c.dat.gz"])
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "1.0")
        self.assertLess(elapsed, FLOOR_WINDOW + WORK, "given up at the floor's window")


if __name__ == "__main__":
    unittest.main()

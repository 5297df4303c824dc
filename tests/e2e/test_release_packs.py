"""Small files fetched as byte ranges of the release's pack: every answer a
server may give to ranges (multipart with CRLF or bare LF lines, the first
range only, the whole pack, 501, an answer cut short, a member with wrong
bytes) ends in the same installed files, with the requests the route the
run learned says; and the same through nginx."""
import glob
import os
import random
import shutil
import unittest

from harness import Scenario, read
from servers import Nginx, free_port


def release_files(seed):
    """Five changed files between unchanged ones, so that the changed ones lie
    in separate ranges of the pack; a text file that travels as .gz; and a
    file too large for the pack."""
    rng = random.Random(seed)
    files = {"a%02d.bin" % i: rng.randbytes(5 * 1024 if i % 2 == 0 else 20 * 1024) for i in range(10)}
    files["big.bin"] = rng.randbytes(200 * 1024)
    files["text.txt"] = ("release %d, line after line\n" % seed).encode() * 1000
    return files


OLD, NEW = release_files(1), release_files(2)
for unchanged in ("a01.bin", "a03.bin", "a05.bin", "a07.bin", "a09.bin"):
    OLD[unchanged] = NEW[unchanged]
PACKED = ["a00.bin", "a02.bin", "a04.bin", "a06.bin", "a08.bin", "text.txt"]


class ReleasePacksTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.publish_program(NEW, "2.0", packs=True)
        self.pack_path = glob.glob(os.path.join(self.ws.www, "1", "packs", "*.pack"))[0]
        self.pack = "/1/packs/" + os.path.basename(self.pack_path)

    def update(self, port=None, old=OLD):
        """One silent run from the old release; the requests it made and its log."""
        for name in os.listdir(self.ws.app):
            if name != "Update.exe":
                path = os.path.join(self.ws.app, name)
                os.remove(path) if os.path.isfile(path) else shutil.rmtree(path)
        self.ws.install(old)
        self.ws.seed(port or self.server.port)
        first = len(self.server.requests())
        self.assertEqual(self.ws.run_update("-silent"), 0)
        for name, data in NEW.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        return self.server.requests()[first:], self.ws.update_log()

    def files_asked(self, requests):
        return sorted(r["path"][3:] for r in requests if r["path"] not in (self.pack, "/1/UpdateConfig.ini"))

    def ranges_asked(self, requests):
        return [len(r["range"].split(",")) if r["range"] else 0 for r in requests if r["path"] == self.pack]

    def test_every_answer_to_ranges_installs_the_release_with_the_requests_its_route_takes(self):
        on_their_own = ["a00.bin", "a02.bin", "a04.bin", "a06.bin", "a08.bin", "big.bin", "text.txt.gz"]
        cases = [
            # fault, fault parameters, ranges per pack request, files asked on their own, the log's answer
            (None, {}, [6], ["big.bin"], "with 206 multipart/byteranges: the run asks it for up to 100 ranges"),
            ("multipart", {"eol": "\n"}, [6], ["big.bin"], "with 206 multipart/byteranges"),
            ("first_range", {}, [6, 1, 1], ["big.bin"], "206 and the first range only: the run asks it for one range"),
            ("norange", {}, [6], on_their_own, "with 200 and the whole pack: the run asks it for every packed"),
            ("status", {"status": 501}, [6], on_their_own, "with HTTP 501: the run asks it for every packed file"),
        ]
        for fault, parameters, ranges, alone, answer in cases:
            with self.subTest(fault=fault, **parameters):
                self.server.clear_faults()
                if fault:
                    self.server.set_fault(self.pack, fault, **parameters)
                requests, log = self.update()
                self.assertEqual(self.ranges_asked(requests), ranges, log)
                self.assertEqual(self.files_asked(requests), alone, log)
                self.assertIn(answer, log)
                self.assertRegex(log, r"fetched 7 files: \d+ bytes received in %d requests" % (len(ranges) + len(alone)))

    def test_a_cut_answer_keeps_what_arrived_and_a_wrong_member_comes_on_its_own(self):
        # Cut in the fourth part: three members arrived whole, the next request asks for the other three.
        cut_at = 3 * (5 * 1024 + 200)
        self.server.set_fault(self.pack, "multipart", keep=cut_at, count=1)
        requests, log = self.update()
        self.assertEqual(self.ranges_asked(requests), [6, 3], log)
        self.assertEqual(self.files_asked(requests), ["big.bin"], log)
        self.assertIn("3 files arrived", log)

        # A byte of a02.bin changed inside the pack: that file alone travels on its own.
        self.server.clear_faults()
        data = bytearray(read(self.pack_path))
        manifest = read(os.path.join(self.ws.www, "1", "UpdateConfig.ini")).decode("gbk")
        offset = int(manifest.split("[a02.bin]")[1].split("PACKOFFSET=")[1].split()[0])
        data[offset + 10] ^= 0xFF
        with open(self.pack_path, "wb") as f:
            f.write(data)
        requests, log = self.update()
        self.assertEqual(self.files_asked(requests), ["a02.bin", "big.bin"], log)
        self.assertIn("transfer: a02.bin in packs/", log)

        # A fresh install wants most of the pack: a server that ignores ranges hands it over whole.
        self.server.set_fault(self.pack, "norange")
        with open(self.pack_path, "wb") as f:
            f.write(bytes(data[:offset + 10]) + bytes([data[offset + 10] ^ 0xFF]) + bytes(data[offset + 11:]))
        requests, log = self.update(old={})
        self.assertEqual(self.ranges_asked(requests), [1], log)
        self.assertEqual(self.files_asked(requests), ["big.bin"], log)
        self.assertIn("with 200 and the whole pack: the run asks it for the whole pack", log)

    def test_through_nginx(self):
        port = free_port()
        nginx = Nginx("server { listen 127.0.0.1:%d; root %s; }" % (port, self.ws.www))
        self.addCleanup(nginx.stop)
        self.assertTrue(nginx.started(port), nginx.errors())
        self.update(port)
        asked = [(uri, status) for _, uri, status in nginx.requests()]
        self.assertEqual(sorted(asked), sorted([("/1/UpdateConfig.ini", "200"), (self.pack, "206"),
                                                ("/1/big.bin", "200")]))


if __name__ == "__main__":
    unittest.main()

"""Servers addressed by name: HTTPS on 443 with a certificate for the
configured name (issued by a test CA that only the test prefix trusts), a
certificate for another name refused, and a name-based virtual host whose
default server answers 404."""
import os
import unittest

from harness import Scenario, free_port, read
from servers import Nginx, Port443, TestCA

INSTALLED = {"core.dll": b"core 1"}
RELEASE = {"core.dll": b"core 2", "data\\cities.dat": b"cities 2"}


class NamesAndTlsTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)
        self.ws.publish_program(RELEASE, "2.0")

    def serve(self, servers, port):
        nginx = Nginx(servers)
        self.addCleanup(nginx.stop)
        self.assertTrue(nginx.started(port), nginx.errors())
        return nginx

    def seed(self, host, port):
        self.ws.seed(port, version="1.0")
        self.ws.config_set("Config.dat", "Update", "ServerIP", host)

    def assert_installed(self, installed=True):
        for name, data in (RELEASE if installed else INSTALLED).items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(os.path.exists(self.ws.app_path("data\\cities.dat")), installed)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "2.0" if installed else "1.0")

    def https_on_443(self, certificate_name):
        ca = TestCA()
        self.addCleanup(ca.cleanup)
        ca.trust()
        cert, key = ca.issue(certificate_name)
        port = Port443()
        self.addCleanup(port.release)
        return self.serve("server { listen 127.0.0.1:443 ssl; ssl_certificate %s; ssl_certificate_key %s; root %s; }"
                          % (cert, key, self.ws.www), 443)

    def test_https_with_a_certificate_for_the_configured_name_installs(self):
        nginx = self.https_on_443("localhost")
        self.seed("localhost", 443)
        self.ws.run_update("-silent")
        self.assert_installed()
        uris = [uri for host, uri, status in nginx.requests() if status == "200"]
        self.assertEqual(uris[0], "/1/UpdateConfig.ini")
        self.assertEqual(sorted(uris[1:]), ["/1/core.dll", "/1/data/cities.dat"])

    def test_a_certificate_for_another_name_is_refused_and_nothing_installed(self):
        nginx = self.https_on_443("elsewhere.test")
        self.seed("localhost", 443)
        self.ws.run_update("-silent")
        self.assert_installed(False)
        self.assertEqual(nginx.requests(), [], "no request was sent over the refused connection")

    def test_a_name_based_virtual_host_serves_the_update(self):
        port = free_port()
        nginx = self.serve("server { listen 127.0.0.1:%d default_server; return 404; }\n"
                           "server { listen 127.0.0.1:%d; server_name localhost; root %s; }"
                           % (port, port, self.ws.www), port)
        # By its address the request reaches only the default server.
        self.seed("127.0.0.1", port)
        self.ws.run_update("-silent")
        self.assert_installed(False)
        self.assertEqual(nginx.requests(), [("127.0.0.1", "/1/UpdateConfig.ini", "404")])
        self.seed("localhost", port)
        self.ws.run_update("-silent")
        self.assert_installed()
        self.assertTrue(all(host == "localhost" and status == "200" for host, _, status in nginx.requests()[1:]))


if __name__ == "__main__":
    unittest.main()

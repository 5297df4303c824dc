"""The user's proxy: with UseProxy=1 every request goes through the proxy
that Internet Options names (tinyproxy here, its settings written into the
test prefix as Internet Options writes them), except for the hosts that
its bypass list names; with UseProxy=0 none does."""
import unittest

from harness import Scenario, read
from servers import Tinyproxy, clear_user_proxy, set_user_proxy

INSTALLED = {"core.dll": b"core 1"}


class ProxyTest(Scenario):
    def setUp(self):
        super().setUp()
        self.proxy = Tinyproxy()
        self.addCleanup(self.proxy.stop)
        set_user_proxy(self.proxy.address, "<local>")
        self.addCleanup(clear_user_proxy)
        self.ws.install(INSTALLED)

    def release(self, version, host="127.0.0.1", use_proxy=1):
        """Publishes a release and runs the silent update against it; the
        requests the test server saw, as the proxy would have forwarded them."""
        files = {"core.dll": b"core " + version.encode(), "skin\\logo.png": b"logo " + version.encode()}
        self.ws.publish_program(files, version)
        self.ws.seed(self.server.port, version="1.0", use_proxy=use_proxy)
        self.ws.config_set("Config.dat", "Update", "ServerIP", host)
        seen = len(self.server.requests())
        self.ws.run_update("-silent")
        self.assertEqual(read(self.ws.app_path("core.dll")), files["core.dll"])
        return ["GET http://127.0.0.1:%d%s HTTP/1.1" % (self.server.port, r["raw"])
                for r in self.server.requests()[seen:]]

    def test_every_request_goes_through_the_users_proxy_only_when_asked_to(self):
        with_proxy = self.release("2.0")
        self.assertEqual(len(with_proxy), 3)
        self.assertEqual(sorted(self.proxy.requests()), sorted(with_proxy))

        self.release("3.0", use_proxy=0)
        self.assertEqual(len(self.proxy.requests()), 3, "UseProxy=0: no request through the proxy")

        # "<local>": a name without dots does not go through the proxy.
        self.release("4.0", host="localhost")
        self.assertEqual(len(self.proxy.requests()), 3, "bypassed")


if __name__ == "__main__":
    unittest.main()

"""Staged rollout: a signed release whose share the publisher's rollout
command raises, pauses and resumes, decided by each of several
installations (copies of one) from its InstallId against one static tree;
the update dialog takes a release that is not paused on any of them."""
import hashlib
import itertools
import os
import re
import shutil
import unittest

from harness import DIALOG_MESSAGE, DIALOG_TITLE, DIALOG_UPGRADE, Scenario, Workspace, read

OLD = {"core.dll": b"core 4.0.2", "readme.txt": b"the same"}
NEW = {"core.dll": b"core 4.0.3", "readme.txt": b"the same"}
DECISION = re.compile(r"\] release 4\.0\.3 rolled out to ([\d.]+) %(?: \(growing to 100 % by \S+\))?; "
                      r"(?:this installation's place ([\d.]+) %|this installation has no place|a person asked): "
                      r"(taken|not yet)\n")


def place(install_id, release_id):
    """The place as docs/server-tree.md derives it, as the log shows it."""
    digest = hashlib.sha256(("%s\n%s\nprogram\n" % (install_id, release_id)).encode()).digest()
    return "%d.%d" % divmod(int.from_bytes(digest[:4], "big") * 1000 >> 32, 10)


class RolloutTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(OLD)
        self.ws.seed(self.server.port, version="4.0.2")
        self.key, key_line = self.ws.keygen("release.key")
        self.ws.config_set("Config.dat", "Update", "ReleaseKey", key_line)

    def installation(self, low=None, high=None, install_id=None):
        """A copy of the seeded installation; with low and high, its InstallId
        is the first of a fixed series whose place is in [low, high) %."""
        copy = Workspace()
        self.addCleanup(shutil.rmtree, copy.root, True)
        shutil.rmtree(copy.app)
        shutil.copytree(self.ws.app, copy.app)
        if low is not None:
            series = (hashlib.md5(b"installation %d" % k).hexdigest() for k in itertools.count())
            install_id = next(c for c in series if low <= float(place(c, self.release)) < high)
        if install_id:
            copy.config_set("Config.dat", "Update", "InstallId", install_id)
        return copy

    def update(self, installation):
        """Runs Update.exe -silent: its exit code and the share and decision
        it logged (None when none), whose place must be its InstallId's."""
        before = len(installation.update_log())
        code = installation.run_update("-silent")
        self.log = installation.update_log()[before:]
        found = DECISION.search(self.log)
        if found and found.group(2):
            install_id = installation.config_get("Config.dat", "Update", "InstallId")
            self.assertEqual(found.group(2), place(install_id, self.release))
        return code, found and found.group(1, 3)

    def assert_on(self, installation, files, version):
        self.assertEqual(read(installation.app_path("core.dll")), files["core.dll"])
        self.assertEqual(installation.config_get("Config.dat", "Update", "Version"), version)

    def dialog(self, installation, action, message=None):
        dialog = installation.start_update()
        self.addCleanup(dialog.kill)
        if message:
            self.assertTrue(installation.wait_for_text(DIALOG_MESSAGE, message))
        self.assertEqual(installation.press_later(action, title=DIALOG_TITLE).wait(timeout=90), 0)
        dialog.wait(timeout=90)

    def test_a_share_raised_and_paused_reaches_the_same_installations_and_the_dialog_any(self):
        self.ws.publish_program(NEW, "4.0.3", sign=self.key, rollout=["--rollout", "10"])
        manifest = read(os.path.join(self.ws.www, "1", "UpdateConfig.ini")).decode()
        self.release = re.search(r"RELEASEID=(\w+)", manifest)[1]
        early, middle, late = (self.installation(low, high) for low, high in ((0, 10), (10, 50), (50, 100)))

        # At 10 %: only the early one takes it; the others have nothing to do, run after run.
        self.assertEqual(self.update(early), (0, ("10.0", "taken")))
        self.assert_on(early, NEW, "4.0.3")
        for installation in (middle, middle, late):
            self.assertEqual(self.update(installation), (0, ("10.0", "not yet")))
            self.assert_on(installation, OLD, "4.0.2")
        self.assertEqual(middle.config_get("Config.dat", "Update", "NewestPublished.program"),
                         self.ws.last_published.strftime("%Y-%m-%dT%H:%M:%SZ"), "a verified check all the same")

        # An InstallId is made once, again when malformed; one that cannot be saved gives no place.
        fresh, malformed, held = self.installation(), self.installation(install_id="NOT-AN-ID"), self.installation()
        self.update(fresh)
        self.assertIn("Config.dat: a new InstallId saved", self.log)
        self.assertRegex(fresh.config_get("Config.dat", "Update", "InstallId"), r"^[0-9a-f]{32}$")
        self.update(fresh)
        self.assertNotIn("InstallId", self.log)
        self.update(malformed)
        self.assertIn("InstallId is not 32 lower-case hex digits: a new one is made", self.log)
        client = held.start_client("--hold", "Config.dat", "--exit-after", "60")
        self.addCleanup(client.kill)
        self.assertEqual(self.update(held), (0, ("10.0", "not yet")))
        self.assertIn("a new InstallId could not be saved", self.log)
        self.assertIn("this installation has no place: not yet", self.log)
        client.kill()

        # Raised to 50 %: the middle one joins, the early one keeps it.
        self.ws.change_rollout("--program", "50", sign=self.key)
        self.assertEqual(self.update(middle), (0, ("50.0", "taken")))
        self.assertEqual(self.update(early), (0, None))
        self.assert_on(early, NEW, "4.0.3")

        # Paused, nobody takes it, not even a person who asks; resumed at 10 %, the dialog takes it.
        self.ws.change_rollout("--program", "0", sign=self.key)
        self.assertEqual(self.update(late), (0, ("0.0", "not yet")))
        self.dialog(late, "close", message="您安装的HALVO管家已经是最新版本！")
        self.assertIn("release 4.0.3 rolled out to 0.0 %; a person asked: not yet", late.update_log())
        self.ws.change_rollout("--program", "10", sign=self.key)
        self.dialog(late, DIALOG_UPGRADE)
        self.assertIn("release 4.0.3 rolled out to 10.0 %; a person asked: taken", late.update_log())
        self.assert_on(late, NEW, "4.0.3")


if __name__ == "__main__":
    unittest.main()

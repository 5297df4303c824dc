"""Silent program updates: Update.exe -silent under Wine against the test
update server, with the stand-in client running beside it."""
import os
import unittest

from harness import (NOTIFY_LATER, NOTIFY_UPGRADE_NOW, Registry, Scenario, fetched, fetched_in_one_run, read, winpath,
                     write)

INSTALLED = {"core.dll": b"core 4.0.9", "readme.txt": b"same in both"}
RELEASE = {"core.dll": b"core 4.0.10", "readme.txt": b"same in both", "skin\\new\\logo.png": b"logo"}


class ProgramUpdateTest(Scenario):
    def setUp(self):
        super().setUp()
        self.ws.install(INSTALLED)

    def seed(self, version="4.0.9", region="cn"):
        self.ws.seed(self.server.port, version=version, region=region)

    def update(self):
        self.ws.run_update("-silent")

    def record(self):
        return self.ws.config_dump("UpdateRecord.dat")

    def assert_nothing_installed(self, version="4.0.9"):
        self.assertEqual(read(self.ws.app_path("core.dll")), INSTALLED["core.dll"])
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), version)
        self.assertEqual(self.record(), "")
        self.assertEqual(Registry.values(), {})

    def test_current_installation_fetches_only_the_manifest(self):
        self.seed(version="4.0.10")
        self.ws.install_client()
        self.ws.publish_program(RELEASE, "4.0.10")
        self.update()
        self.assertEqual(fetched(self.server, 1), ["UpdateConfig.ini"])
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Program")))
        self.assert_nothing_installed(version="4.0.10")
        self.assertEqual(self.ws.client_log(), [], "the client is not started")

    def test_versions_compare_as_text(self):
        self.seed(version="4.0.9")
        self.ws.publish_program(RELEASE, "4.0.10")  # "4.0.10" < "4.0.9" byte by byte
        self.update()
        self.assertEqual(fetched(self.server, 1), ["UpdateConfig.ini"])
        self.assert_nothing_installed()

    def test_forced_update_installs_records_and_starts_the_client(self):
        self.ws.seed(self.server.port, version="4.0.9", start_watch=10)
        self.ws.install_client()
        # The new client ends at once with code 0: an end of its own, and the release stays.
        release = dict(RELEASE, **{"exit-at-start.txt": b"0"})
        self.ws.publish_program(release, "4.0.9", unconditional=True)
        self.update()
        self.assertEqual(fetched_in_one_run(self.server, 1),
                         ["UpdateConfig.ini", "core.dll", "exit-at-start.txt", "skin/new/logo.png"])
        for name, data in release.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(read(self.ws.app_path("UPDATE\\Previous\\core.dll")), INSTALLED["core.dll"])
        self.assertIn('the client of release "4.0.9" ended within 10 s with 0x00000000: an end of its own',
                      self.ws.update_log())
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.9")
        record = self.record()
        self.assertIn("IsSucceed=1", record)
        self.assertIn("NewVersion=4.0.9", record)
        self.assertIn("OldVersion=4.0.9", record)
        self.assertEqual(Registry.values(), {"InstallPath": winpath(self.ws.app) + "\\", "Version": "4.0.9"})
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Program")))
        self.assertTrue(os.path.exists(self.ws.app_path("UPDATE\\Program.digests")), "the compare's memory stays")
        self.assertEqual(self.ws.wait_for_client_events(2), ["start", "exit-at-start"])

    def test_greater_version_with_notification_closes_and_restarts_the_client(self):
        self.seed(version="4.0.9")
        client = self.ws.start_client("--hold-rename-ok", "core.dll", "--exit-after", "60")
        self.addCleanup(client.kill)
        self.ws.publish_program(RELEASE, "4.1", notify=True)
        presser = self.ws.press_later(NOTIFY_UPGRADE_NOW)
        self.update()
        self.assertEqual(presser.wait(timeout=30), 0, "the notification was shown")
        self.assertEqual(read(self.ws.app_path("core.dll")), RELEASE["core.dll"])
        self.assertEqual(read(self.ws.app_path("core.dll.bak")), INSTALLED["core.dll"])  # was in use
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.1")
        events = self.ws.wait_for_client_events(4)
        self.assertEqual(events[:3], ["start", "close", "exit"])
        self.assertEqual(events[3:4], ["start"], "started again")
        # The next run clears the backup before anything else.
        self.update()
        self.assertFalse(os.path.exists(self.ws.app_path("core.dll.bak")))

    def test_other_region_always_notifies_and_later_keeps_the_client(self):
        self.seed(version="4.0.9", region="cn")
        client = self.ws.start_client("--exit-after", "60")
        self.addCleanup(client.kill)
        self.ws.publish_program(RELEASE, "4.0.1", region="tw")  # not greater, NOTIFIY 0
        presser = self.ws.press_later(NOTIFY_LATER)
        self.update()
        self.assertEqual(presser.wait(timeout=30), 0, "the notification was shown")
        self.assertEqual(read(self.ws.app_path("core.dll")), RELEASE["core.dll"])
        events = self.ws.wait_for_client_events(2)
        self.assertNotIn("close", events)
        self.assertEqual(events.count("start"), 2)

    def test_closing_the_notification_from_the_system_menu_means_not_now(self):
        self.seed(version="4.0.9")
        client = self.ws.start_client("--exit-after", "60")
        self.addCleanup(client.kill)
        self.ws.publish_program(RELEASE, "4.1", notify=True)
        presser = self.ws.press_later("close")
        self.update()
        self.assertEqual(presser.wait(timeout=30), 0, "the notification was shown")
        self.assertEqual(read(self.ws.app_path("core.dll")), RELEASE["core.dll"])
        events = self.ws.wait_for_client_events(2)
        self.assertNotIn("close", events, "the client was not asked to close")

    def test_refused_manifest_changes_nothing_but_backups(self):
        self.seed()
        write(self.ws.app_path("old.dll.bak"), b"x")
        write(self.ws.app_path("old.dll"), b"the file the backup was taken from")
        self.server.set_fault("/1/UpdateConfig.ini", "status", status=404)
        self.update()
        self.assertFalse(os.path.exists(self.ws.app_path("old.dll.bak")))
        self.assert_nothing_installed()

    def test_without_client_program_nothing_is_started(self):
        self.seed()
        self.ws.publish_program(RELEASE, "4.1")
        self.update()
        self.assertEqual(read(self.ws.app_path("skin\\new\\logo.png")), RELEASE["skin\\new\\logo.png"])
        self.assertFalse(os.path.exists(self.ws.app_path("QIRAClient.exe")))
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Program")))

    def test_incomplete_install_keeps_the_old_version_for_the_next_run(self):
        self.seed()
        # Held without delete sharing: neither overwritten nor renamed.
        client = self.ws.start_client("--hold", "core.dll", "--exit-after", "60")
        self.ws.publish_program(RELEASE, "4.1")
        self.update()
        self.assertEqual(read(self.ws.app_path("core.dll")), INSTALLED["core.dll"])
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.0.9")
        self.assertIn("IsSucceed=0", self.record())
        self.assertEqual(Registry.values(), {})
        # Once the file is free, the next run repairs the installation.
        client.kill()
        client.wait()
        self.update()
        self.assertEqual(read(self.ws.app_path("core.dll")), RELEASE["core.dll"])
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.1")
        self.assertIn("IsSucceed=1", self.record())

    def test_two_runs_on_one_day_share_a_record_section(self):
        self.seed()
        self.ws.publish_program(RELEASE, "4.1")
        self.update()
        self.ws.publish_program(dict(RELEASE, **{"core.dll": b"core 4.2"}), "4.2")
        self.update()
        record = self.record()
        self.assertEqual(record.count("["), 1, record)
        self.assertIn("NewVersion=4.2", record)
        self.assertIn("OldVersion=4.1", record)


if __name__ == "__main__":
    unittest.main()

"""The update dialog (Update.exe without -silent) under Wine: a data
package that the publisher published is offered, installed after
"立即升级" and then kept current by the silent run; Esc and the system
menu's close end the dialog."""
import os
import random
import unittest

from harness import (DIALOG_HEADING, DIALOG_MESSAGE, DIALOG_TITLE, DIALOG_UPGRADE, Scenario, edited,
                     fetched_in_one_run, free_port, md5, read, write)

TYPE = 2
INSTALLED = {"Maps\\roads.dat": b"roads v1", "Maps\\cities.dat": b"cities"}
RELEASE = {"roads.dat": b"roads v2", "cities.dat": b"cities", "tiles\\t1.png": b"\x89PNG tile"}


class DialogTest(Scenario):
    def run_dialog(self, action, *args, timeout=90, message=None, heading=None):
        """Starts the dialog, acts on it once it is shown (and shows the
        message and heading, when given) and waits for it to end."""
        dialog = self.ws.start_update(*args)
        self.addCleanup(dialog.kill)
        for control, text in ((DIALOG_MESSAGE, message), (DIALOG_HEADING, heading)):
            if text:
                self.assertTrue(self.ws.wait_for_text(control, text, timeout=timeout), text)
        presser = self.ws.press_later(action, title=DIALOG_TITLE)
        self.assertEqual(presser.wait(timeout=timeout), 0, "the dialog offered what was pressed")
        dialog.wait(timeout=timeout)
        return dialog.returncode

    def upgrade_until_failed(self, message, *args):
        """Answers the offer, waits for the failure's message under the
        failed update's heading, closes the dialog and returns its exit code."""
        dialog = self.ws.start_update(*args)
        self.addCleanup(dialog.kill)
        self.assertEqual(self.ws.press_later(DIALOG_UPGRADE, title=DIALOG_TITLE).wait(timeout=90), 0)
        self.assertTrue(self.ws.wait_for_text(DIALOG_MESSAGE, message), message)
        self.assertTrue(self.ws.wait_for_text(DIALOG_HEADING, "更新失败！"))
        self.assertEqual(self.ws.press_later("close", title=DIALOG_TITLE).wait(timeout=30), 0)
        dialog.wait(timeout=30)
        return dialog.returncode

    def test_a_published_data_package_is_offered_installed_and_then_updated_silently(self):
        self.ws.seed(self.server.port, version="7.0")
        self.ws.install(INSTALLED)
        # Its small files come in one request for a range of its pack.
        self.ws.publish_package(TYPE, RELEASE, version="2026.12", packs=True)

        self.run_dialog(DIALOG_UPGRADE, "-t:%d" % TYPE, "-d:Maps")
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path("Maps\\" + name)), data, name)
        fetched = fetched_in_one_run(self.server, TYPE)
        self.assertEqual(fetched[0], "UpdateConfig.ini")
        self.assertEqual([name.split("/")[0] for name in fetched[1:]], ["packs"])
        self.assertFalse(os.path.exists(self.ws.app_path("UPDATE\\Maps")))
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "7.0")
        self.assertIn("NewVersion=2026.12", self.ws.config_dump("UpdateRecord.dat"))

        # The next release of the package: the silent run finds it as well.
        self.ws.publish_package(TYPE, dict(RELEASE, **{"cities.dat": b"cities v2"}))
        self.ws.run_update("-silent", "-t:%d" % TYPE, "-d:Maps")
        self.assertEqual(read(self.ws.app_path("Maps\\cities.dat")), b"cities v2")
        # It took up what the dialog's compare remembered of the same folder.
        self.assertRegex(self.ws.update_log(), r"\[silent package Maps\] compared the installed files: .* read or missing\n")
        self.assertEqual(read(self.ws.app_path("Maps\\config.ini")),
                         read(os.path.join(self.ws.www, str(TYPE), "config.ini")))

    def test_a_hand_written_manifest_without_sizes_installs_through_the_dialog_too(self):
        # No FILECOUNT mark and no SIZE: the transfer and the install check the digest alone.
        self.ws.seed(self.server.port, version="7.0")
        self.ws.install(INSTALLED)
        served = os.path.join(self.ws.www, str(TYPE))
        write(os.path.join(served, "UpdateConfig.ini"), "[Version]\r\nVERSION=8.0\r\nREGION=cn\r\n[FILES]\r\n"
              "roads.dat\r\n[roads.dat]\r\nMD5=%s\r\n" % md5(RELEASE["roads.dat"]))
        write(os.path.join(served, "roads.dat"), RELEASE["roads.dat"])
        self.assertEqual(self.run_dialog(DIALOG_UPGRADE, "-t:%d" % TYPE, "-d:Maps"), 0)
        self.assertEqual(read(self.ws.app_path("Maps\\roads.dat")), RELEASE["roads.dat"])

    def test_a_changed_file_travels_as_its_patch_through_the_dialog_too(self):
        old = {"roads.dat": random.Random(1).randbytes(300 * 1024), "cities.dat": b"cities"}
        new = dict(old, **{"roads.dat": edited(old["roads.dat"], 2)})
        self.ws.seed(self.server.port, version="7.0")
        self.ws.install({"Maps\\" + name: data for name, data in old.items()})
        self.ws.publish_package(TYPE, new, version="2027.2", previous=[old])
        self.run_dialog(DIALOG_UPGRADE, "-t:%d" % TYPE, "-d:Maps")
        self.assertEqual(read(self.ws.app_path("Maps\\roads.dat")), new["roads.dat"])
        self.assertEqual(fetched_in_one_run(self.server, TYPE),
                         ["UpdateConfig.ini", "roads.dat.%s.patch" % md5(old["roads.dat"])])

    def many_files(self):
        """A release of eight files of different sizes, installed as older
        ones. They compress well, so each travels as its .gz."""
        release = {"part%d.dat" % i: bytes([65 + i]) * (1000 + 300 * i) for i in range(8)}
        self.ws.seed(self.server.port, version="7.0")
        self.ws.install({"Maps\\" + name: b"old" for name in release})
        self.ws.publish_package(TYPE, release, version="2027.1")
        return release

    def test_files_answered_in_another_order_complete_in_list_order(self):
        # The dialog takes the k-th completion for the k-th file, and names
        # the file after the completed ones when a failure comes.
        release = self.many_files()
        for i, name in enumerate(release):
            self.server.set_fault("/%d/%s.gz" % (TYPE, name), "delay", seconds=(7 - i) * 0.15)
        self.run_dialog(DIALOG_UPGRADE, "-t:%d" % TYPE, "-d:Maps")
        for name, data in release.items():
            self.assertEqual(read(self.ws.app_path("Maps\\" + name)), data, name)
        self.assertEqual(fetched_in_one_run(self.server, TYPE),
                         ["UpdateConfig.ini"] + sorted(name + ".gz" for name in release))

    def test_a_failure_in_the_middle_shows_its_message_and_installs_nothing(self):
        release = self.many_files()
        self.server.set_fault("/%d/part4.dat.gz" % TYPE, "status", status=500)
        self.assertEqual(self.upgrade_until_failed("无法与服务器建立连接,请稍候重试！", "-t:%d" % TYPE, "-d:Maps"), 2)
        for name in release:
            self.assertEqual(read(self.ws.app_path("Maps\\" + name)), b"old", name)
        # The staging folder holds whole files only, for the next attempt.
        staging = self.ws.app_path("UPDATE\\Maps")
        for name in os.listdir(staging):
            if name in release:
                self.assertEqual(read(os.path.join(staging, name)), release[name], name)
            else:
                self.assertEqual(name, "UpdateConfig.ini")
        # The server answers now, but a folder stands where part4.dat must be staged.
        self.server.clear_faults()
        os.mkdir(os.path.join(staging, "part4.dat"))
        self.assertEqual(self.upgrade_until_failed("本机文件无法读写,请检查磁盘空间和权限！", "-t:%d" % TYPE, "-d:Maps"), 4)
        self.assertEqual(read(self.ws.app_path("Maps\\part4.dat")), b"old")

    def test_escape_and_the_system_menu_close_end_the_dialog(self):
        # No server answers: the failed check's face, whose only way out is
        # closing, and whose message says that no server could be reached.
        self.ws.seed(free_port(), version="7.0")
        for action in ("esc", "close"):
            with self.subTest(action):
                self.run_dialog(action, timeout=30, message="无法与服务器建立连接,请稍候重试！",
                                heading="检查更新失败！")


if __name__ == "__main__":
    unittest.main()

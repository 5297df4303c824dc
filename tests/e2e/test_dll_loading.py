"""Update.exe takes winhttp, bcrypt and gdiplus from System32 only. Copies
of them planted in its folder (each leaves "<name>.loaded" beside itself
when a process loads it) are never loaded, and the update runs. Wine is
told to prefer a DLL found on disk for these names, which is what Windows
does for DLLs that are not known DLLs."""
import os
import shutil
import unittest

from harness import BUILD, NOTIFY_LATER, Scenario, read

PLANTED = os.path.join(BUILD, "planted-dlls")
DLLS = ["bcrypt.dll", "gdiplus.dll", "winhttp.dll"]
INSTALLED = {"core.dll": b"core 4.0"}
RELEASE = {"core.dll": b"core 4.1", "skin\\logo.png": b"logo"}


class PlantedDllTest(Scenario):
    def setUp(self):
        super().setUp()
        os.environ["UPDATE_DLLOVERRIDES"] = "winhttp,bcrypt,gdiplus=n,b"
        self.addCleanup(os.environ.pop, "UPDATE_DLLOVERRIDES")
        for dll in DLLS:
            shutil.copy(os.path.join(PLANTED, dll), self.ws.app)
        self.ws.install(INSTALLED)

    def loaded(self):
        return sorted(name[:-len(".loaded")] for name in os.listdir(self.ws.app) if name.endswith(".loaded"))

    def test_a_program_that_loads_them_by_name_takes_the_planted_ones(self):
        # The control case: without Update.exe's care, these would be loaded.
        shutil.copy(os.path.join(PLANTED, "load_by_name.exe"), self.ws.app)
        for dll in DLLS:
            self.ws.run_program("load_by_name.exe", dll)
        self.assertEqual(self.loaded(), DLLS)

    def test_the_update_runs_with_the_system_dlls_only(self):
        self.ws.seed(self.server.port, version="4.0")
        # The notification shows pictures, so GDI+ is loaded as well.
        self.ws.publish_program(RELEASE, "4.1", notify=True)
        presser = self.ws.press_later(NOTIFY_LATER)
        self.ws.run_update("-silent")
        self.assertEqual(presser.wait(timeout=30), 0, "the notification was shown")
        self.assertEqual(self.loaded(), [])
        for name, data in RELEASE.items():
            self.assertEqual(read(self.ws.app_path(name)), data, name)
        self.assertEqual(self.ws.config_get("Config.dat", "Update", "Version"), "4.1")


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Rollback of a release whose program fails to start, measured under Wine
with the end-to-end harness (tests/e2e/harness.py); run through run.sh.

1. ROUNDS (20) installs of a release whose stand-in client ends at once
   with 0xC0000005 or 0xC0000409 (each round another release): every round
   rolled back (exit code 6), the installed files byte for byte those of
   the previous release, its version in Config.dat and the registry, the
   release not taken by three later runs; then the fixed release is taken.
2. Kills of Update.exe at three points of a rollback of FILES (2000) files:
   as it has marked the rollback, half-way through the files, and once
   Config.dat is written. After each: every installed name holds a whole
   file, old or new; the next run finishes the rollback and the version
   matches the files.
3. The extra disk that keeping the previous release takes: the bytes of
   UPDATE\\Previous that no installed name shares, against the bytes of the
   replaced files.
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from harness import Registry, UpdateServer, Workspace, kill_updaters, read, wine  # noqa: E402

ROUNDS = int(os.environ.get("ROUNDS", "20"))
FILES = int(os.environ.get("FILES", "2000"))
WATCH = 3


def tree(folder):
    """Every file of the releases below folder, by its name in the manifests: not the
    updater, the stand-in client, their records, or what the next run cleans up."""
    found = {}
    for root, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if d != "UPDATE"]
        for name in files:
            if name in ("Update.exe", "QIRAClient.exe", "Config.dat", "UserConfig.dat", "UpdateRecord.dat",
                        "client.log") or name.endswith((".bak", ".tmp")):
                continue
            path = os.path.join(root, name)
            found[os.path.relpath(path, folder).replace(os.sep, "\\")] = read(path)
    return found


class Stage:
    def __init__(self):
        self.ws = Workspace()
        self.server = UpdateServer(self.ws.www).start()
        Registry.delete()
        Registry.create()

    def close(self):
        self.server.stop()
        self.ws.cleanup()
        Registry.delete()

    def version(self):
        return self.ws.config_get("Config.dat", "Update", "Version"), Registry.values().get("Version")

    def stop_clients(self):
        wine("taskkill", "/f", "/im", "QIRAClient.exe", check=False)


def crashing_rounds():
    stage = Stage()
    ws = stage.ws
    installed = {"core.dll": os.urandom(300 * 1024), "ui\\skin.dat": os.urandom(64 * 1024), "readme.txt": b"same"}
    ws.install(installed)
    ws.install_client()
    ws.seed(stage.server.port, version="1.0", start_watch=WATCH)
    previous = tree(ws.app)
    results = []
    for n in range(ROUNDS):
        status = b"C0000005" if n % 2 == 0 else b"C0000409"
        release = {"core.dll": os.urandom(300 * 1024), "ui\\skin.dat": installed["ui\\skin.dat"],
                   "readme.txt": b"same", "plugins\\added%d.dll" % n: b"new", "exit-at-start.txt": status}
        ws.publish_program(release, "2.%d" % n)
        started = time.time()
        code = ws.run_update("-silent")
        seconds = time.time() - started
        identical = tree(ws.app) == previous
        version = stage.version()
        later = [ws.run_update("-silent") for _ in range(3)]
        still = tree(ws.app) == previous and stage.version() == ("1.0", "1.0")
        results.append((code == 6 and identical and version == ("1.0", "1.0") and later == [0, 0, 0] and still))
        print("round %2d (%s): exit %d in %.1f s, files identical %s, version %s, later runs %s, still untaken %s"
              % (n + 1, status.decode(), code, seconds, identical, version, later, still))
        stage.stop_clients()
    fixed = {"core.dll": os.urandom(300 * 1024), "ui\\skin.dat": installed["ui\\skin.dat"], "readme.txt": b"same"}
    ws.publish_program(fixed, "2.%d" % (ROUNDS - 1))
    code = ws.run_update("-silent")
    taken = read(ws.app_path("core.dll")) == fixed["core.dll"] and stage.version()[0] == "2.%d" % (ROUNDS - 1)
    print("fixed release: exit %d, taken %s" % (code, taken))
    print("goal 1: %d of %d rounds rolled back with every check met; fixed release taken: %s"
          % (sum(results), ROUNDS, taken))
    stage.close()


def kill_at(point):
    stage = Stage()
    ws = stage.ws
    old = {"lib\\m%04d.dll" % n: b"module %d of release 1.0" % n for n in range(FILES)}
    new = {name: data.replace(b"1.0", b"2.0") for name, data in old.items()}
    added = {"lib\\x%04d.dll" % n: b"added by 2.0" for n in range(FILES // 4)}
    ws.install(old)
    ws.install_client()
    ws.seed(stage.server.port, version="1.0", start_watch=WATCH)
    ws.publish_program(dict(new, **added, **{"exit-at-start.txt": b"C0000005"}), "2.0")
    kept = ws.app_path("UPDATE\\Previous.kept")
    middle = ws.app_path("lib\\m%04d.dll" % (FILES // 2))

    def reached():
        if point == "marked":
            return os.path.exists(kept) and b"State=rolling back" in read(kept)
        if point == "half of the files":
            return os.path.exists(kept) and b"State=rolling back" in read(kept) and read(middle) == old[
                "lib\\m%04d.dll" % (FILES // 2)]
        return 'Config.dat: version "1.0" recorded' in ws.update_log()

    updater = ws.start_update("-silent")
    deadline = time.time() + 120
    while time.time() < deadline and not reached():
        time.sleep(0.0005)
    killed = kill_updaters(ws.app)
    updater.wait(timeout=30)
    restored = sum(read(ws.app_path(name)) == data for name, data in old.items())
    whole = all(read(ws.app_path(name)) in (data, new[name]) for name, data in old.items()) and \
        all(not os.path.exists(ws.app_path(name)) or read(ws.app_path(name)) == data for name, data in added.items())
    version_at_kill = stage.version()
    started = time.time()
    code = ws.run_update("-silent")
    seconds = time.time() - started
    finished = tree(ws.app) == old
    print("kill %-18s: %d killed, %4d of %d files old again, all whole %s, version then %s; next run exit %d "
          "in %.1f s, files of 1.0 %s, version %s, keep gone %s"
          % ("as " + point if point == "marked" else "at " + point, killed, restored, FILES, whole, version_at_kill,
             code, seconds, finished, stage.version(), not os.path.exists(kept)))
    stage.stop_clients()
    stage.close()


def extra_disk():
    stage = Stage()
    ws = stage.ws
    installed = {"big%d.bin" % n: os.urandom((8 + n) << 20) for n in range(4)}
    installed.update({"small%03d.txt" % n: os.urandom(4096) for n in range(200)})
    ws.install(installed)
    ws.seed(stage.server.port, version="1.0", start_watch=WATCH)
    release = dict(installed)
    replaced = 0
    for name in ("big0.bin", "big2.bin") + tuple("small%03d.txt" % n for n in range(0, 200, 2)):
        release[name] = os.urandom(len(installed[name]))
        replaced += len(installed[name])
    release["added.bin"] = os.urandom(1 << 20)
    ws.publish_program(release, "2.0")

    def used(folder):
        seen, total = set(), 0
        for root, _, files in os.walk(folder):
            for name in files:
                info = os.lstat(os.path.join(root, name))
                if (info.st_dev, info.st_ino) not in seen:
                    seen.add((info.st_dev, info.st_ino))
                    total += info.st_size
        return total

    code = ws.run_update("-silent")
    kept = ws.app_path("UPDATE\\Previous")
    kept_bytes = used(kept)
    shared = sum(1 for root, _, files in os.walk(kept) for name in files
                 if os.lstat(os.path.join(root, name)).st_nlink > 1)
    print("extra disk: exit %d; %d bytes of replaced files, UPDATE\\Previous holds %d bytes (%d files shared with "
          "an installed name); extra/replaced = %.3f" % (code, replaced, kept_bytes, shared, kept_bytes / replaced))
    stage.close()


if __name__ == "__main__":
    crashing_rounds()
    for where in ("marked", "half of the files", "Config.dat written"):
        kill_at(where)
    extra_disk()

#!/usr/bin/env python3
"""The rooms of src/ and what each may include: dependencies point one way,
from app/ down to base/. Exits non-zero and names every include that
points the wrong way, and every room that is not in the table.

    check_layout.py SRC_DIR
"""
import os
import re
import sys

# Each room may include itself and the rooms listed; nothing else.
ALLOWED = {
    "base": set(),
    "crypto": {"base"},
    "config": {"base", "crypto"},
    "transfer": {"base"},
    "delta": {"base", "crypto"},
    "framework": {"base"},
    "framework/skin": {"base", "framework"},
    "manifest": {"base", "crypto", "config"},
    "settings": {"base", "config", "transfer"},
    "engine": {"base", "crypto", "config", "transfer", "delta", "manifest", "settings"},
    "ui": {"base", "crypto", "config", "transfer", "delta", "manifest", "settings", "engine", "framework",
           "framework/skin"},
    "app": {"base", "crypto", "config", "transfer", "delta", "manifest", "settings", "engine", "framework",
            "framework/skin", "ui"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def room_of(relative):
    """The room of a path below src/: its folder, framework/skin counted apart."""
    parts = relative.replace("\\", "/").split("/")
    if len(parts) > 2 and parts[0] == "framework" and parts[1] == "skin":
        return "framework/skin"
    return parts[0]


def main(src):
    problems = []
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, src)
            room = room_of(relative)
            if room not in ALLOWED:
                problems.append("%s: the room %s is not in the layout table" % (relative, room))
                continue
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    match = INCLUDE.match(line)
                    if not match or "/" not in match.group(1):
                        continue  # a file of the same folder
                    target = room_of(match.group(1))
                    if target != room and target not in ALLOWED[room]:
                        problems.append("%s:%d: %s may not include %s" % (relative, number, room, match.group(1)))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")))

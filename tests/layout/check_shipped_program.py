#!/usr/bin/env python3
"""What ships: Update.exe without debug information, its symbols in
Update.exe.debug beside it (named by .gnu_debuglink), and imports from
Windows' own DLLs only, so that nothing it needs can be replaced by an
update of the folder it lives in.

    check_shipped_program.py OBJDUMP UPDATE_EXE
"""
import os
import re
import subprocess
import sys

SYSTEM_DLLS = {"advapi32.dll", "bcrypt.dll", "comctl32.dll", "gdi32.dll", "gdiplus.dll", "kernel32.dll",
               "msvcrt.dll", "ole32.dll", "shell32.dll", "user32.dll", "winhttp.dll", "ws2_32.dll"}


def main(objdump, program):
    problems = []
    headers = subprocess.run([objdump, "-h", program], capture_output=True, text=True, check=True).stdout
    sections = re.findall(r"^\s*\d+\s+(\S+)", headers, re.M)
    debug = [s for s in sections if s.startswith(".debug")]
    if debug:
        problems.append("debug sections in the shipped program: %s" % ", ".join(debug))
    if ".gnu_debuglink" not in sections:
        problems.append("no .gnu_debuglink section")
    if not os.path.isfile(program + ".debug"):
        problems.append("no %s.debug beside it" % os.path.basename(program))
    imports = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
    dlls = {name.lower() for name in re.findall(r"DLL Name:\s*(\S+)", imports)}
    foreign = sorted(dlls - SYSTEM_DLLS)
    if foreign:
        problems.append("imports DLLs that are not Windows' own: %s" % ", ".join(foreign))
    print("%s: %d bytes, imports %s" % (os.path.basename(program), os.path.getsize(program), ", ".join(sorted(dlls))))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

#!/usr/bin/env python3
"""What ships: Update.exe without debug information, its symbols in
Update.exe.debug beside it (named by .gnu_debuglink), and imports from
Windows' own DLLs only, so that nothing it needs can be replaced by an
update of the folder it lives in, or planted there (docs/dll-loading.md).

    check_shipped_program.py OBJDUMP UPDATE_EXE
"""
import os
import re
import subprocess
import sys

# Imported the ordinary way: DLLs that are known DLLs on every Windows the
# updater runs on (7 and later), which Windows takes from System32 whatever
# the program's folder holds, and comctl32, which the application manifest's
# dependency takes from the side-by-side store.
IMPORTED = {"advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ole32.dll",
            "shell32.dll", "user32.dll", "ws2_32.dll"}
# Delay-loaded, and loaded by the program itself from System32 alone. The
# GNU linker leaves the PE delay-import directory empty, so the names are
# looked for in the program's data, and so is the function the program
# restricts its DLL search with.
DELAY_LOADED = {"bcrypt.dll", "gdiplus.dll", "winhttp.dll"}


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
    foreign = sorted(dlls - IMPORTED)
    if foreign:
        problems.append("imports DLLs that are not known DLLs everywhere, the ordinary way: %s" % ", ".join(foreign))
    with open(program, "rb") as f:
        data = f.read()
    for name in sorted(DELAY_LOADED):
        if b"\0" + name.encode() + b"\0" not in data:
            problems.append("%s is not delay-loaded" % name)
    if b"\0SetDefaultDllDirectories\0" not in data:
        problems.append("the program does not restrict its DLL search to System32")
    print("%s: %d bytes, imports %s; delay-loads %s" % (os.path.basename(program), os.path.getsize(program),
                                                        ", ".join(sorted(dlls)), ", ".join(sorted(DELAY_LOADED))))
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))

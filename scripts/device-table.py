#!/usr/bin/env python3
"""Holds the platform table of docs/device.md against the program as it is built.

The table has one row for each platform function that the program's own code calls: the name
the code calls it by, its desktop DLL and name, its device DLL and name. This check reads the
object files of an i686 MinGW-w64 build, where every platform function is a stdcall symbol
(`_Name@bytes`, or `__imp__Name@bytes` when imported) and the C and C++ runtime's are not, and
fails when

  - the desktop objects (the program as built for desktop Windows) call a platform function
    that no row names, or the row's desktop DLL is not the one whose import library defines it;
  - a row's device name is not on its device DLL's export list;
  - the device objects (the same code compiled with the device's branch of the platform layer)
    call a function that no row gives as a device name, or that the row's DLL does not export;
  - a row says the platform layer builds a function on the device, or finds it at first use
    there (its DLL is then not linked), and the device objects do not define it;
  - a row names a function that neither build calls any more.

  device-table.py --table docs/device.md --exports docs/device-exports --nm i686-w64-mingw32-nm
                  --import-libs DIR --desktop 'a.obj;b.obj' --device 'c.obj;d.obj'
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

# The DLLs whose import libraries the desktop build links for platform functions.
DESKTOP_DLLS = ("kernel32", "user32", "gdi32", "advapi32", "shell32", "ole32", "mapi32")
# A device name that no DLL exports because the device build's platform layer defines it.
BUILT_IN = "platform layer"
# A function that only the desktop build calls.
NONE = "—"
# A function found by name at the program's first call of it, in a DLL that is not linked.
FIRST_USE = "found at first use"

STDCALL = re.compile(r"^(?:__imp_)?_([A-Za-z][A-Za-z0-9_]*)@\d+$")
CELL_NAME = re.compile(r"^`([^`]+)`")


class Row:
    def __init__(self, line_number, cells):
        self.line = line_number
        self.device_at_first_use = FIRST_USE in cells[4]
        cells = [name_in(cell) for cell in cells]
        self.program, self.desktop_dll, self.desktop_name, self.device_dll, self.device_name = cells

    def __repr__(self):
        return f"docs/device.md:{self.line} ({self.program})"


def name_in(cell):
    match = CELL_NAME.match(cell)
    return match.group(1) if match else cell


def read_table(path):
    """The rows of the one table whose header starts with "program calls"."""
    rows, inside = [], False
    for number, line in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not line.startswith("|"):
            inside = False
            continue
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")]
        if cells[0].lower() == "program calls":
            inside = True
            continue
        if not inside or set(cells[0]) <= set("-: "):
            continue
        if len(cells) != 5:
            raise SystemExit(f"docs/device.md:{number}: a row has {len(cells)} cells, not 5")
        rows.append(Row(number, cells))
    if not rows:
        raise SystemExit(f"{path}: no table headed 'program calls'")
    return rows


def symbols(nm, objects, kinds):
    """The stdcall names among the symbols of these kinds (nm's letters) in the objects."""
    found = set()
    if not objects:
        return found
    listing = subprocess.run([nm, *objects], capture_output=True, text=True, check=True).stdout
    for line in listing.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[-2] in kinds:
            match = STDCALL.match(parts[-1])
            if match:
                found.add(match.group(1))
    return found


def calls(nm, objects):
    """Platform functions the objects call, and those among them that they define themselves."""
    return symbols(nm, objects, {"U"}), symbols(nm, objects, {"T"})


def desktop_dll_of(nm, import_libs):
    owner = {}
    for dll in DESKTOP_DLLS:
        for name in symbols(nm, [str(Path(import_libs) / f"lib{dll}.a")], {"T", "I"}):
            owner.setdefault(name, dll)
    return owner


def object_list(text):
    return [item for item in text.split(";") if item]


def check(args):
    rows = read_table(args.table)
    exports = {path.stem: set(path.read_text().split()) for path in Path(args.exports).glob("*.txt")}
    owner = desktop_dll_of(args.nm, args.import_libs)
    desktop_called, _ = calls(args.nm, object_list(args.desktop))
    device_called, device_defined = calls(args.nm, object_list(args.device))
    problems = []

    by_program = {}
    for row in rows:
        if row.program in by_program:
            problems.append(f"{row}: a second row for {row.program}")
        by_program[row.program] = row

    for name in sorted(desktop_called):
        matching = [row for row in rows if row.desktop_name == name]
        if not matching:
            problems.append(f"the desktop build calls {name} ({owner.get(name, 'no known DLL')}), and no row names it")
        for row in matching:
            if row.desktop_dll != owner.get(name):
                problems.append(f"{row}: {name} is {owner.get(name, 'in no known DLL')}'s, not {row.desktop_dll}'s")

    for row in rows:
        if row.device_dll in (NONE, BUILT_IN):
            continue
        if row.device_dll not in exports:
            problems.append(f"{row}: no export list for the device DLL {row.device_dll}")
        elif row.device_name not in exports[row.device_dll]:
            problems.append(f"{row}: {row.device_dll} does not export {row.device_name}")

    for name in sorted(device_called - device_defined):
        matching = [row for row in rows if row.device_name == name and row.device_dll not in (NONE, BUILT_IN)]
        if not matching:
            problems.append(f"the device build calls {name}, and no row gives it a device DLL")
    for row in rows:
        if (row.device_dll == BUILT_IN or row.device_at_first_use) and row.device_name not in device_defined:
            problems.append(f"{row}: the device build's platform layer does not define {row.device_name}")
        if row.device_dll == NONE and row.device_name != NONE:
            problems.append(f"{row}: a device name without a device DLL")

    for row in rows:
        if row.desktop_name not in desktop_called and row.device_name not in device_called:
            problems.append(f"{row}: neither build calls it any more")

    for problem in problems:
        print(f"device table: {problem}", file=sys.stderr)
    if problems:
        return 1
    print(f"device table: {len(rows)} rows hold: {len(desktop_called)} functions called on the desktop, "
          f"{len(device_called)} on the device, every device name exported")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--table", required=True)
    parser.add_argument("--exports", required=True, help="folder of <dll>.txt export lists")
    parser.add_argument("--nm", required=True)
    parser.add_argument("--import-libs", required=True, help="folder of the desktop import libraries")
    parser.add_argument("--desktop", required=True, help="';'-separated object files of the desktop build")
    parser.add_argument("--device", required=True, help="';'-separated object files of the device build")
    return check(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())

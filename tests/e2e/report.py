#!/usr/bin/env python3
"""Prints what an installation left in a Wine prefix, for a person to read:

    report.py PREFIX BIN_DIR [EXIT_CODE]

the install folder's files with their sizes, the driver file, the fingerprint record, the
registry keys and values setup writes (with their types), the shortcuts with their targets
as IShellLinkW reads them (through BIN_DIR's e2e_inspect.exe, in a Wine session of its
own), prefs.dat, the volume markers and the trace log, the companions' records of their
calls, and Setup.exe's exit code with its meaning. WINEPREFIX and the other Wine settings
come from the environment (scripts/demo sets them).
"""

import os
import struct
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import machine  # noqa: E402

KEYS = [
    ("the driver's service", r"SYSTEM\CurrentControlSet\Services\cvflt", None),
    ("the disk drives' filters",
     r"SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318}", "UpperFilters"),
    ("the volumes' filters",
     r"SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F}", "LowerFilters"),
    ("the product key", r"SOFTWARE\Corvane", None),
    ("the Run entry", r"SOFTWARE\Microsoft\Windows\CurrentVersion\Run", "Corvane Warden"),
    ("the uninstall entry",
     r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}", None),
    ("renames pending for the restart", r"SYSTEM\CurrentControlSet\Control\Session Manager",
     "PendingFileRenameOperations"),
]


def main(argv):
    if len(argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    prefix, bin_dir = Path(argv[1]).resolve(), Path(argv[2]).resolve()
    drive_c = prefix / "drive_c"
    reg = machine.Registry(prefix)

    def unix(path):
        return drive_c / path[3:].replace("\\", "/")

    path_value = reg.value("HKLM", r"SOFTWARE\Corvane", "Path")
    install_dir = path_value.text() if path_value else r"C:\Program Files\Corvane"
    install = unix(install_dir)
    print(f"install folder {install_dir} ({install})")
    if install.is_dir():
        for f in sorted(install.iterdir(), key=lambda p: p.name.lower()):
            print(f"    {f.name:<24} {f.stat().st_size:>10} bytes")
    else:
        print("    (not created)")
    driver = drive_c / "windows/system32/drivers/cvflt.sys"
    print(r"driver file C:\windows\system32\drivers\cvflt.sys: "
          + (f"{driver.stat().st_size} bytes" if driver.exists() else "not installed"))
    record = drive_c / "windows/cvfltfp.dat"
    if record.exists():
        data = record.read_bytes()
        count = struct.unpack_from("<I", data, 16)[0] if len(data) >= 20 else 0
        print(rf"fingerprint record C:\windows\cvfltfp.dat: {len(data)} bytes, {count} programs")
        for i in range(count):
            at = 32 + 560 * i
            if at + 560 > len(data):
                break
            name = data[at + 40 : at + 560].decode("utf-16-le").split("\0", 1)[0]
            size = struct.unpack_from("<Q", data, at + 32)[0]
            print(f"    {name} ({size} bytes) SHA-256 {data[at:at + 32].hex()}")

    print("registry (HKEY_LOCAL_MACHINE):")
    for label, key, name in KEYS:
        values = reg.values("HKLM", key)
        if name is not None:
            values = [v for v in values or [] if v.name.lower() == name.lower()]
        print(f"  {label}: {key}")
        if not values:
            print("      (none)")
        for v in values:
            print(f"      {v.name or '(default)'} = {v.show()}")

    print("shortcuts:")
    user_folders = r"Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
    app_data = reg.value("HKCU", user_folders, "AppData")
    desktop = reg.value("HKCU", user_folders, "Desktop")
    candidates = []
    programs = drive_c / "ProgramData/Microsoft/Windows/Start Menu/Programs"
    for link in sorted(programs.rglob("*.lnk")):
        candidates.append("C:\\" + str(link.relative_to(drive_c)).replace("/", "\\"))
    candidates.append(r"C:\users\Public\Desktop\Corvane.lnk")
    if app_data:
        candidates.append(app_data.text() + r"\Microsoft\Internet Explorer\Quick Launch\Corvane.lnk")
    if desktop:
        candidates.append(desktop.text() + r"\Corvane.lnk")
    present = [c for c in candidates if unix(c).exists()]
    read = {}
    if present:
        done = subprocess.run(["/usr/lib/wine/wine64", str(bin_dir / "e2e_inspect.exe"), "link", *present],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)
        for line in done.stdout.decode("utf-8", errors="replace").replace("\r", "").splitlines():
            fields = line.split("\t")
            if len(fields) >= 4:
                read[fields[1]] = fields[2:]
        subprocess.run(["/usr/lib/wine/wineserver", "-w"], timeout=120)
    for c in candidates:
        if c not in present:
            print(f"    {c}: none")
        elif c in read and read[c][0] != "error":
            target, folder = read[c][0], read[c][1]
            print(f"    {c} -> {target} (in {folder})")
        else:
            print(f"    {c}: not a shell link")

    prefs = install / "prefs.dat"
    text = machine.read_text_file(prefs)
    print(f"prefs.dat ({install_dir}\\prefs.dat):")
    print("    (none)" if text is None else "\n".join("    " + line for line in text.splitlines()))
    for letter_root in sorted(drive_c.parent.glob("dosdevices/[c-z]:")):
        marker = letter_root / "cvflt0.sys"
        if marker.exists():
            fields = machine.header_fields(machine.marker_header(marker) or bytes(512))
            print(f"volume marker {letter_root.name.upper()}\\cvflt0.sys: {marker.stat().st_size} bytes, "
                  f"header magic {fields['magic']!r}, block size {fields['block']}, "
                  f"volume index {fields['index']}")
    trace = drive_c / "cvtrace.log"
    if trace.exists():
        print(r"trace log C:\cvtrace.log:")
        lines = trace.read_bytes().decode("latin-1").splitlines()
        print("\n".join("    " + line for line in lines) if lines else "    (empty)")
    for log, what in (("MenuExt.log", "MenuExt.dll's DllRegisterServer"), ("Keeper.log", "Keeper.exe's starts")):
        lines = machine.read_text_file(install / log)
        if lines is not None:
            print(f"{what} ({log}):")
            print("\n".join("    " + line for line in lines.splitlines()))
    if len(argv) == 4:
        code = int(argv[3]) if argv[3].isdigit() else None
        print(f"Setup.exe exit code: {argv[3]} ({machine.EXIT_MEANINGS.get(code, 'unknown')})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

#!/usr/bin/env python3
"""The real Setup.exe (the x86_64 build) installing the product under Wine, one scenario per
run, each in a Wine prefix of its own (a copy of a template prefix initialised once) on a
display of its own, so that scenarios can run side by side:

    scenarios.py SCENARIO BIN_DIR WORK_DIR
    scenarios.py --list

BIN_DIR holds the x86_64 build's Setup.exe, wizard_driver.exe (walks the wizard and answers
boxes), e2e_inspect.exe (reads links and attributes back through the Windows API), the
version probes and the product's stand-ins (Corvane.exe, Warden.exe, Keeper.exe,
MenuExt.dll, cvflt.sys). The template prefix lives in $CV_WINEPREFIX/e2e-template, or in
the build's wine-prefix next to BIN_DIR. Everything a scenario writes goes to WORK_DIR;
a passing scenario removes its prefix copy.

Every run of Setup.exe writes an install log (-log:) whose key lines are checked: the
header, the boxes with their answers, the exit code as the last line, and for an
installation every step done, the driver's copy, its service values, the links. After each
installation the machine is checked from outside the program: the files and their bytes,
the registry as the prefix's registry files hold it, the links as IShellLinkW reads them,
prefs.dat, the fingerprint record, the volume marker and the trace log, the stand-ins' own
records of how they were called, and Setup.exe's exit code against the documented table
(machine.EXIT_MEANINGS). Every check prints one "ok" or "FAIL" line; the run exits 1 when
any failed. --list prints the scenarios with what each proves.
"""

import hashlib
import os
import re
import select
import shutil
import struct
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import machine  # noqa: E402

WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver" if os.path.exists("/usr/lib/wine/wineserver") else "wineserver"
LIB = HERE / "e2e-lib.sh"

RESTART_REQUIRED = machine.EXIT_RESTART_REQUIRED

# Message ids of Setup.exe's boxes, and their English texts as the install log quotes them.
BOX_COPY_FAILED = 141
BOX_UNSUPPORTED = 144
BOX_MAIN_INTERFACE = 146
BOX_VISTA_UPDATE = 158
BOX_WIN7_UPDATES = 159
BOX_OPTIONS = 160
# The options box (-?) as the install log quotes it, line breaks written <LF>.
OPTIONS_TEXT_EN = "<LF>".join([
    "Setup.exe [options]",
    "",
    "-silent — install without pages or restart",
    "-config:file — the settings from this file",
    "-log:file — write an install log to the file",
    "-suppressmsgboxes — answer each box unseen",
    "-check — only the checks; installs nothing",
    "-? or -help — show this list",
    "Options may also start with /.",
    "",
    "Exit codes:",
    "0 — -check passed, or this list was shown",
    "1150 — -check: Windows updates are missing",
    "3010 — installed; a restart is required",
    "1641 — installed; the restart has started",
    "1602 — cancelled by the user",
    "1603 — the installation failed",
    "1633 — this Windows is not supported",
    "19 — a volume is in Veil Mode",
    "32 — the Corvane main interface is running",
])
OPTIONS_TEXT_ZH = "<LF>".join([
    "Setup.exe [选项]",
    "",
    "-silent：不显示向导页面直接安装，不重新启动计算机",
    "-config:文件：从配置文件读取安装设置",
    "-log:文件：将安装日志写入该文件",
    "-suppressmsgboxes：不显示消息框（按默认回答）",
    "-check：只运行安装前检查，不安装任何内容",
    "-? 或 -help：显示本列表",
    "选项也可以用 / 开头。",
    "",
    "退出码：",
    "0：检查通过（-check），或已显示本列表",
    "1150：安装时将询问缺少的Windows补丁包（-check）",
    "3010：安装完成，需要重新启动计算机",
    "1641：安装完成，已开始重新启动计算机",
    "1602：用户取消了安装",
    "1603：安装失败",
    "1633：不支持此版本的Windows",
    "19：有卷处于Veil模式",
    "32：Corvane主界面正在运行",
])
BOX_TEXTS = {
    BOX_COPY_FAILED: "Copy file failed!",
    BOX_UNSUPPORTED: "Sorry, Corvane doesn't support tihs operation system.",
    BOX_MAIN_INTERFACE: "Please close Corvane main interface.",
    BOX_VISTA_UPDATE: "Corvane maybe not working because KB2763674 hotfix is not found in this "
                      "computer. Do you want to continue?",
    BOX_WIN7_UPDATES: "Corvane maybe not working because KB3185278 and KB3125574 are not found "
                      "in this computer. Do you want to continue?",
    BOX_OPTIONS: OPTIONS_TEXT_EN,
}
# How the install log names the boxes' buttons and icons.
BOX_KINDS = {
    BOX_COPY_FAILED: "OK",
    BOX_UNSUPPORTED: "OK, information icon",
    BOX_MAIN_INTERFACE: "OK, information icon",
    BOX_VISTA_UPDATE: "Yes, No, question icon",
    BOX_WIN7_UPDATES: "Yes, No, question icon",
    BOX_OPTIONS: "OK, information icon",
}
# The buttons wizard_driver.exe clicks, by id, as the log names the answers.
BUTTONS = {1: "OK", 2: "Cancel", 6: "Yes", 7: "No"}

# Wine's names of the Windows versions the scenarios pretend to be, with their major version.
MAJOR = {"win2k": 5, "winxp": 5, "vista": 6, "win7": 6, "win10": 10}

SERVICE_KEY = r"SYSTEM\CurrentControlSet\Services\cvflt"
DISK_CLASS = r"SYSTEM\CurrentControlSet\Control\Class\{4D36E967-E325-11CE-BFC1-08002BE10318}"
VOLUME_CLASS = r"SYSTEM\CurrentControlSet\Control\Class\{71A27CDD-812A-11D0-BEC7-08002BE2092F}"
PRODUCT_KEY = r"SOFTWARE\Corvane"
RUN_KEY = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
UNINSTALL_KEY = (
    r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B0E3C2A-7D41-4F8E-9A36-C1D2E4F60718}"
)
SESSION_MANAGER = r"SYSTEM\CurrentControlSet\Control\Session Manager"
WINDOWS_NT = r"SOFTWARE\Microsoft\Windows NT\CurrentVersion"
SHELL_FOLDERS = r"Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"

DEFAULT_DIR = r"C:\Program Files\Corvane"
COMMON_PROGRAMS = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
COMMON_DESKTOP = r"C:\users\Public\Desktop"

# The product's files: name in the product folder, name installed (rows 1 to 10 and 12; the
# driver, row 11, goes to the drivers folder).
PRODUCT_FILES = [
    ("Corvane.exe", "Corvane.exe"),
    ("Warden.exe", "CorvaneWarden.exe"),
    ("Persist.exe", "Persist.exe"),
    ("Console.exe", "Console.exe"),
    ("Keeper.exe", "Keeper.exe"),
    ("MenuExt.dll", "MenuExt.dll"),
    ("lang.ini", "lang.ini"),
    ("Console.txt", "Console.txt"),
    ("Guide.chm", "Guide.chm"),
    ("terms.rtf", "terms.rtf"),
    ("Remove.exe", "Remove.exe"),
]


def winpath(path):
    """The Windows path of a Unix path (Wine maps Z: to the root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Failed(Exception):
    """A scenario cannot go on (its earlier checks have said why)."""


class Run:
    """One scenario's prefix, display and Wine session, and its checks."""

    def __init__(self, scenario, bin_dir, work):
        self.scenario = scenario
        self.bin = Path(bin_dir).resolve()
        self.work = Path(work).resolve()
        self.failures = 0
        self.xvfb = None
        self.setup_runs = 0
        if self.work.exists():
            shutil.rmtree(self.work)
        self.work.mkdir(parents=True)
        base = os.environ.get("CV_WINEPREFIX") or str(self.bin.parent / "wine-prefix")
        self.prefix = self.work / "prefix"
        started = time.monotonic()
        subprocess.run(
            ["bash", "-c", '. "$0"; e2e_case_prefix "$1" "$2"', str(LIB), base, str(self.prefix)],
            check=True,
        )
        self.note(f"prefix copied in {time.monotonic() - started:.1f} s")
        home = self.work / "home"
        home.mkdir()
        self.env = dict(os.environ)
        self.env.update(
            WINEPREFIX=str(self.prefix),
            WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
            WINEDEBUG="-all",
            HOME=str(home),
            E2E_OWN_DISPLAY="1",
        )
        self.env.pop("E2E_FORCE_XVFB", None)
        self.start_display()

    # ---- reporting ----

    def note(self, text):
        print(f"note {text}", flush=True)

    def check(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            self.failures += 1
        return ok

    def expect(self, what, got, want):
        if got == want:
            return self.check(True, f"{what}: {show(got)}")
        return self.check(False, f"{what}: got {show(got)}, expected {show(want)}")

    # ---- display and Wine ----

    def start_display(self):
        """An Xvfb of the scenario's own; the server picks a free display number itself."""
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,),
            stdout=subprocess.DEVNULL,
            stderr=open(self.work / "xvfb.log", "wb"),
        )
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], 1)
            if ready:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            raise RuntimeError("Xvfb did not start (see xvfb.log)")
        self.env["DISPLAY"] = ":" + number.decode().strip()

    def wine(self, *args, timeout=300, extra_env=None):
        """Runs a Windows program in the session; (exit status, output as text). The output
        goes through a file, not a pipe: the Wine processes a program starts (explorer.exe
        for the desktop, when it is the first to make a window) inherit its output and live
        as long as the session, so a pipe would not end with the program."""
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        output = self.work / "wine-output.txt"
        with open(output, "wb") as out:
            try:
                status = subprocess.run([WINE, *map(str, args)], env=env, stdout=out,
                                        stderr=subprocess.STDOUT, timeout=timeout).returncode
            except subprocess.TimeoutExpired:
                self.check(False, f"{program_name(args[0])} ended within {timeout} s")
                status = -1
        return status, output.read_bytes().decode("utf-8", errors="replace").replace("\r", "")

    def lib(self, function, *args, extra_env=None):
        """A function of e2e-lib.sh, run in the session."""
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        subprocess.run(
            ["bash", "-c", '. "$0"; "$@"', str(LIB), function, *map(str, args)],
            env=env,
            check=True,
            stdout=subprocess.DEVNULL,
        )

    def end_session(self):
        """Waits for the prefix's Wine processes to end; the registry files are then written.
        The next program starts a new session, and Wine begins every session as Windows
        begins after a restart (wineboot --init): the renames and deletions pending for the
        restart are done then."""
        subprocess.run([WINESERVER, "-w"], env=self.env, timeout=120)

    def close(self):
        subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    # ---- the machine ----

    def drive_c(self):
        return self.prefix / "drive_c"

    def unix(self, windows_path):
        """The Unix path of a C: path of the prefix."""
        assert windows_path[:3].upper() == "C:\\", windows_path
        return self.drive_c() / windows_path[3:].replace("\\", "/")

    def set_version(self, name):
        self.wine("reg", "add", r"HKCU\Software\Wine", "/v", "Version", "/d", name, "/f")

    def windows_state(self):
        """A Windows without the product (e2e_windows_state): the disk drives' upper filter
        PartMgr, the volumes' upper filter volsnap and no lower filters, a Quick Launch
        folder, an earlier Corvane.lnk on the user's own desktop."""
        self.lib("e2e_windows_state")

    def registry_edit(self, keys):
        """Writes values with regedit: {key: {name: value}}, a value being a str (REG_SZ), a
        list (REG_MULTI_SZ), an int (REG_DWORD) or None (deleted)."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        for key, values in keys.items():
            lines.append(f"[HKEY_LOCAL_MACHINE\\{key}]")
            for name, value in values.items():
                quoted = '"' + name.replace("\\", "\\\\").replace('"', '\\"') + '"'
                if value is None:
                    lines.append(f"{quoted}=-")
                elif isinstance(value, int):
                    lines.append(f"{quoted}=dword:{value:08x}")
                elif isinstance(value, list):
                    data = "".join(s + "\0" for s in value) + "\0"
                    hexed = ",".join(f"{b:02x}" for b in data.encode("utf-16-le"))
                    lines.append(f"{quoted}=hex(7):{hexed}")
                else:
                    text = value.replace("\\", "\\\\").replace('"', '\\"')
                    lines.append(f'{quoted}="{text}"')
            lines.append("")
        reg = self.work / f"edit-{time.monotonic_ns()}.reg"
        reg.write_bytes(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
        self.wine("regedit", "/S", winpath(reg))

    def inspect(self, command, *items):
        """e2e_inspect.exe's lines for the items, split at the tabs."""
        status, out = self.wine(self.bin / "e2e_inspect.exe", command, *items)
        if status != 0:
            self.check(False, f"e2e_inspect.exe {command} ended with {status}")
        return [line.split("\t") for line in out.splitlines() if line.count("\t") >= 2]

    def links(self, paths):
        """{link path: (target, working folder, arguments, show, description, icon)} for the
        links that exist, read through IShellLinkW."""
        present = [p for p in paths if self.unix(p).exists()]
        found = {}
        if present:
            for fields in self.inspect("link", *present):
                found[fields[1]] = tuple(fields[2:8]) if fields[2] != "error" else ("error",)
        return found

    # ---- Setup.exe ----

    def make_product(self, folder, drop=()):
        """The product folder beside Setup.exe (e2e_make_product); |drop| names files left
        out of it."""
        subprocess.run(
            ["bash", "-c", '. "$0"; e2e_make_product "$1" "$2"', str(LIB), str(folder),
             str(self.bin / "Setup.exe")],
            check=True,
        )
        for name in drop:
            (Path(folder) / name).unlink()
        return Path(folder)

    def setup(self, product, what, args=(), walk="none", boxes=(), no_box=False,
              expect=RESTART_REQUIRED, driver_args=(), lang="en", extra_env=None,
              quiet_boxes=(), log=True, screens=None, box_texts=None):
        """Setup.exe from |product| with |args|, walked by wizard_driver.exe: |boxes| are
        the (message id, answer) of the boxes expected before any page, in order (no_box:
        none at all). Checks the walk and that Setup.exe ended with |expect|. With |log|,
        Setup.exe writes an install log (-log:, in a folder whose name has a blank), which
        is checked (check_log; |quiet_boxes| are the boxes -suppressmsgboxes answers
        unseen) and kept in self.log for the scenario's own checks. |screens|: a folder for
        wizard_driver.exe's screenshots (none unless given); |box_texts|: the boxes' texts as
        the log quotes them, when they are not BOX_TEXTS' English ones."""
        self.setup_runs += 1
        log_path = None
        if log:
            log_path = self.work / "setup logs" / f"setup-{self.setup_runs}.log"
            log_path.parent.mkdir(exist_ok=True)
            args = [*args, "-log:" + winpath(log_path)]
        command = [self.bin / "wizard_driver.exe", "--setup", winpath(product / "Setup.exe"),
                   "--walk", walk, *(["--out", winpath(screens)] if screens else ["--no-screens"]),
                   "--lang-tag", lang,
                   "--expect-exit", str(expect)]
        for box, answer in boxes:
            command += ["--expect-box", f"{box}:{answer}"]
        if no_box:
            command.append("--expect-no-box")
        command += list(driver_args)
        if args:
            command += ["--", *args]
        started = time.monotonic()
        status, out = self.wine(*command, extra_env=extra_env)
        log = self.work / f"driver-{self.setup_runs}.log"
        log.write_text(out)
        self.note(f"{what}: Setup.exe walked in {time.monotonic() - started:.1f} s (log {log.name})")
        for line in out.splitlines():
            if line.startswith("FAIL") or line.startswith("message box") or "text \"" in line:
                print(f"     driver: {line}")
        codes = re.findall(r"^Setup\.exe exit code (\d+)", out, re.M)
        code = int(codes[-1]) if codes else None
        self.expect(f"{what}: Setup.exe's exit code", describe_exit(code), describe_exit(expect))
        self.check(status == 0 and "PASSED: " in out,
                   f"{what}: the walk and the boxes as expected (wizard_driver.exe exit {status})")
        self.log = []
        if log_path:
            clicked = [BUTTONS.get(int(n), n) for n in
                       re.findall(r"^click message box button (\d+)", out, re.M)]
            self.log = check_log(self, what, log_path, args, code, clicked, boxes, quiet_boxes,
                                 {**BOX_TEXTS, **(box_texts or {})})
        return code

    def start_standin(self, program, *args):
        """Starts a stand-in (Corvane.exe, Warden.exe, Keeper.exe --hold...; a Unix or a
        Windows path) in the session and waits until it says it is ready; returns a
        function that stops it."""
        name = program_name(program)
        ready = self.work / f"{name}.ready"
        stop = self.work / f"{name}.stop"
        for f in (ready, stop):
            f.unlink(missing_ok=True)
        process = subprocess.Popen(
            [WINE, str(program), *map(str, args), "--ready-file", winpath(ready),
             "--stop-file", winpath(stop), "--lifetime", "240"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
        )
        deadline = time.monotonic() + 60
        while not ready.exists() and process.poll() is None and time.monotonic() < deadline:
            time.sleep(0.1)
        if not self.check(ready.exists(), f"the stand-in {name} is running"):
            stop.touch()
            raise Failed()

        def stopper():
            stop.touch()
            try:
                process.wait(30)
            except subprocess.TimeoutExpired:
                process.kill()

        return stopper


def program_name(path):
    """The file name of a Unix or Windows path."""
    return re.split(r"[\\/]", str(path))[-1]


def show(value):
    return f'"{value}"' if isinstance(value, str) else str(value)


def describe_exit(code):
    return "none seen" if code is None else f"{code} ({machine.EXIT_MEANINGS.get(code, 'not in the table')})"


def standin_lines(path, prefix):
    """The lines of a stand-in's log that start with |prefix|."""
    try:
        text = Path(path).read_text(encoding="utf-8", errors="replace")
    except OSError:
        return []
    return [line for line in text.splitlines() if line.startswith(prefix)]


# ---- The install log ----


def read_log(path):
    """The install log's lines as (category, text), or an error text: UTF-8 with its mark,
    every line ending with CR LF and starting with its local time and category."""
    try:
        raw = Path(path).read_bytes()
    except OSError:
        return "no log"
    if not raw.startswith(b"\xef\xbb\xbf"):
        return "no UTF-8 mark"
    text = raw[3:].decode("utf-8", errors="replace")
    if not text.endswith("\r\n") or "\n" in text.replace("\r\n", "") or "\r" in text.replace("\r\n", ""):
        return "not every line ends with CR LF"
    lines = []
    for line in text.split("\r\n")[:-1]:
        m = re.match(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (\S+) *  (.*)$", line)
        if not m:
            return f"not a line of the log: {line!r}"
        lines.append((m.group(1), m.group(2)))
    return lines


# The last line's meaning of a check-only run (-check), and of the options box.
CHECK_MEANINGS = {
    0: "-check: an installation would start without a question; nothing installed",
    machine.EXIT_UPDATES_MISSING: "-check: an installation would ask about missing Windows updates; "
                                  "nothing installed",
    **{code: f"-check: an installation would be refused, {machine.EXIT_MEANINGS[code]}; nothing installed"
       for code in (machine.EXIT_UNSUPPORTED_WINDOWS, machine.EXIT_VEIL_MODE,
                    machine.EXIT_MAIN_INTERFACE_RUNNING)},
}
OPTIONS_MEANING = "the options were shown; nothing installed"


def check_log(run, what, path, args, code, clicked, shown_boxes, quiet_boxes, texts=BOX_TEXTS):
    """What every install log holds: the header with the command line and the run mode, the
    boxes with their answers (those the walk clicked, then those answered unseen; the
    checks' boxes with their texts), and the exit code as its last line. Returns its
    lines."""
    lines = read_log(path)
    if not run.check(isinstance(lines, list) and lines != [],
                     f"{what}: the install log is UTF-8 with its mark, CR LF and a time on every line"
                     + ("" if isinstance(lines, list) else f" ({lines})")):
        return []
    run.expect(f"{what}: the log's first line", lines[0],
               ("Setup", "Corvane Setup 1.4.0.672, install log"))
    command = next((t for c, t in lines if c == "Setup" and t.startswith("command line ")), "")
    run.check(all(f'"{a}"' in command for a in args), f"{what}: the log's command line holds {list(args)}")
    lowered = [a.lower() for a in args]
    silent = "-silent" in lowered
    quiet = "-suppressmsgboxes" in lowered
    options = any(a in ("-?", "/?", "-help", "/help") for a in lowered)
    check_only = not options and any(a in ("-check", "/check") for a in lowered)
    config = next((a.split(":", 1)[1] for a in args if a.lower().startswith("-config:")), None)
    mode = ("the options box (-?)" if options else "check only (-check): nothing is installed" if check_only
            else "silent" if silent else "wizard") + "; " + (
        "message boxes not shown" if check_only else
        "message boxes answered without being shown" if quiet else "message boxes shown") + "; " + (
        f'configuration file "{config}"' + (" not read" if options or check_only else "") if config
        else "no configuration file")
    run.expect(f"{what}: the log's run mode", next((t for c, t in lines if c == "Setup" and t.startswith("run: ")),
                                                   None), "run: " + mode)
    answers = [t for c, t in lines if c == "Box" and "answered " in t]
    wanted = [f"answered {b}" for b in clicked] + [
        f'"{texts[box]}" (caption "Setup"; {BOX_KINDS[box]}): not shown (-suppressmsgboxes), '
        f"answered {answer}" for box, answer in quiet_boxes]
    got = [a if "not shown" in a else a[a.index("answered "):] for a in answers]
    run.expect(f"{what}: the boxes in the log, with their answers", got, wanted)
    for box, _ in shown_boxes:
        line = f'"{texts[box]}" (caption "Setup"; {BOX_KINDS[box]}): shown, waiting for an answer'
        run.check(("Box", line) in lines, f"{what}: the log shows box {box} with its text")
    run.expect(f"{what}: the log's last line", lines[-1],
               ("Exit", f"exit code {code}: " + (OPTIONS_MEANING if options else CHECK_MEANINGS.get(code, "")
                                                  if check_only else
                                                  machine.EXIT_MEANINGS.get(code, "not a code of this program"))))
    return lines


def check_install_log(run, what, lines, exp):
    """The lines of an installation that went through: every step done, the driver copied
    into place, its service values and filter lists written, the hash written without
    being shown, every link saved with its target."""
    run.check(("Step", "18 of 18: done") in lines, f"{what}: the log's steps end with 18 of 18: done")
    failed = [t for c, t in lines if c == "Step" and ": failed" in t]
    run.expect(f"{what}: failed steps in the log", failed, [])
    # The driver is copied beside the earlier one, then renamed over it.
    target = r"C:\windows\system32\drivers\cvflt.sys"
    driver = [t for c, t in lines if c == "File" and t.endswith(f'to "{target}.new": ok')]
    run.check(len(driver) == 1 and driver[0].startswith(f'copy "{winpath(exp.product)}\\cvflt.sys"'),
              f"{what}: the log has the driver's copy with its source and target")
    run.check(("File", f'move "{target}.new" to "{target}" (replacing): ok') in lines,
              f"{what}: the log has the driver's copy renamed into place")
    run.check(("Registry", r'set HKLM\SYSTEM\CurrentControlSet\Services\cvflt "Start" = REG_DWORD 0x00000000 (0): ok')
              in lines, f"{what}: the log has the driver's service values")
    run.check(any(c == "Profile" and t.startswith("write [common] hash = (password hash, not shown)")
                  for c, t in lines), f"{what}: the log writes the hash without showing it")
    saved = sorted(t for c, t in lines if c == "Link")
    run.expect(f"{what}: the links the log saved, with their targets", saved, sorted(
        f'save "{path}" to "{exp.install_dir}\\{target}", starting in "{exp.install_dir}": ok'
        for path, (target, made) in wanted_links(run, exp).items() if made))


# ---- What an installation leaves, checked from outside ----


class Expected:
    """What an installation should have left."""

    def __init__(self, **kw):
        self.version = "win10"
        self.install_dir = DEFAULT_DIR
        self.start_menu_folder = "Corvane"  # the uninstall entry's StartMenuFolder
        self.menu_links = True
        self.desktop = True
        self.quick_launch = True
        self.owner = None  # None: Windows' registered owner (silent), or as proposed
        self.organization = None  # the same for the organisation
        self.password = ""
        self.prefs = {}  # {section: {key: value}} besides the hash
        self.disk_filters = ["PartMgr", "cvflt"]
        self.volume_filters = ["cvflt"]
        self.installs = 1  # installations so far: calls of the companions
        self.product = None  # the product folder of the last installation
        self.__dict__.update(kw)


def check_installation(run, exp):
    """The product's files, the driver, its service key and settings, the filter lists, the
    product key and the Run entry, the uninstall entry, the links, prefs.dat and its hash,
    the fingerprint record, and the companions' records of their calls. Called in the
    session of the installation: it reads the links there, then ends the session and reads
    the rest (no new session, which would be a restart, is started)."""
    links = read_links(run, exp)
    run.end_session()
    if run.log:
        check_install_log(run, "the installation", run.log, exp)
    reg = machine.Registry(run.prefix)
    install = run.unix(exp.install_dir)

    for source, installed in PRODUCT_FILES:
        got = (install / installed).read_bytes() if (install / installed).exists() else None
        run.expect(f"installed {installed}", "same bytes" if got == (exp.product / source).read_bytes()
                   else ("missing" if got is None else "different bytes"), "same bytes")
    driver = run.drive_c() / "windows/system32/drivers/cvflt.sys"
    run.expect(r"the driver in system32\drivers",
               "same bytes" if driver.exists() and driver.read_bytes() == (exp.product / "cvflt.sys").read_bytes()
               else "missing or different", "same bytes")

    def value(key, name, hive="HKLM"):
        v = reg.value(hive, key, name)
        return v.show() if v else "(missing)"

    run.expect("cvflt ImagePath", value(SERVICE_KEY, "ImagePath"), r'REG_SZ "SYSTEM32\drivers\cvflt.sys"')
    run.expect("cvflt Group", value(SERVICE_KEY, "Group"), 'REG_SZ "System Bus Extender"')
    run.expect("cvflt ErrorControl", value(SERVICE_KEY, "ErrorControl"), "REG_DWORD 0x00000001")
    run.expect("cvflt Start", value(SERVICE_KEY, "Start"), "REG_DWORD 0x00000000")
    run.expect("cvflt Type", value(SERVICE_KEY, "Type"), "REG_DWORD 0x00000001")
    control = 0x10000001 if MAJOR[exp.version] == 10 else 0x10000041
    run.expect(f"cvflt Control on {exp.version}", value(SERVICE_KEY, "Control"), f"REG_DWORD 0x{control:08x}")

    guid_value = reg.value("HKLM", SERVICE_KEY, "GUID")
    guid = guid_value.text() if guid_value and guid_value.kind == machine.REG_SZ else ""
    run.check(re.fullmatch(r"\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\}", guid) is not None,
              f"cvflt GUID {show(guid)}: REG_SZ, 38 characters, lower-case digits")
    # Sync: the Windows folder's bootstat.dat, and prefs.dat in every profile under the
    # profiles root (the user's AppData cut back twice, once more while two backslashes
    # remain after the drive).
    windows = reg.value("HKLM", WINDOWS_NT, "SystemRoot").text()
    app_data = reg.value("HKCU", SHELL_FOLDERS, "AppData").text()
    root = app_data.rsplit("\\", 1)[0].rsplit("\\", 1)[0]
    if root.count("\\") >= 2:
        root = root.rsplit("\\", 1)[0]
    run.expect("cvflt Sync", value(SERVICE_KEY, "Sync"),
               f'REG_SZ "{windows}\\bootstat.dat;{root}\\*\\Corvane\\prefs.dat"')

    run.expect("the disk drives' UpperFilters", value(DISK_CLASS, "UpperFilters"),
               "REG_MULTI_SZ [" + ", ".join(f'"{s}"' for s in exp.disk_filters) + "]")
    run.expect("the volumes' LowerFilters", value(VOLUME_CLASS, "LowerFilters"),
               "REG_MULTI_SZ [" + ", ".join(f'"{s}"' for s in exp.volume_filters) + "]")
    run.expect("the volumes' UpperFilters (not setup's)", value(VOLUME_CLASS, "UpperFilters"),
               'REG_MULTI_SZ ["volsnap"]')

    run.expect("product key Path", value(PRODUCT_KEY, "Path"), f'REG_SZ "{exp.install_dir}"')
    run.expect("Run entry", value(RUN_KEY, "Corvane Warden"),
               f'REG_SZ ""{exp.install_dir}\\CorvaneWarden.exe" /Auto"')

    # Unless the pages gave them: Windows' registered owner and organisation.
    registered = [reg.value("HKLM", WINDOWS_NT, n) for n in ("RegisteredOwner", "RegisteredOrganization")]
    registered = [v.text() if v else "" for v in registered]
    owner = registered[0] if exp.owner is None else exp.owner
    organization = registered[1] if exp.organization is None else exp.organization
    uninstall = [
        ("DisplayName", 'REG_SZ "Corvane"'),
        ("DisplayVersion", 'REG_SZ "1.4.0.672"'),
        ("Publisher", 'REG_SZ "Corvane Software"'),
        ("RegisteredOwner", f'REG_SZ "{owner}"'),
        ("RegisteredOrganization", f'REG_SZ "{organization}"'),
        ("URLInfoAbout", 'REG_SZ "https://www.example.com/corvane/"'),
        ("UninstallString", f'REG_SZ ""{exp.install_dir}\\Remove.exe""'),
        ("StartMenuFolder", f'REG_SZ "{exp.start_menu_folder}"'),
        ("NoModify", "REG_DWORD 0x00000001"),
        ("NoRepair", "REG_DWORD 0x00000001"),
    ]
    for name, want in uninstall:
        run.expect(f"uninstall entry {name}", value(UNINSTALL_KEY, name), want)

    check_links(run, exp, links)
    check_prefs(run, exp, guid)
    check_fingerprints(run, exp)
    check_companions(run, exp)
    return guid


def wanted_links(run, exp):
    """{link: (target's name, whether the installation makes it)}."""
    menu = f"{COMMON_PROGRAMS}\\{exp.start_menu_folder}"
    quick = reg_user_app_data(run) + r"\Microsoft\Internet Explorer\Quick Launch\Corvane.lnk"
    return {
        f"{menu}\\Corvane.lnk": ("Corvane.exe", exp.menu_links),
        f"{menu}\\Guide.lnk": ("Guide.chm", exp.menu_links),
        f"{menu}\\Remove Corvane.lnk": ("Remove.exe", exp.menu_links),
        f"{COMMON_DESKTOP}\\Corvane.lnk": ("Corvane.exe", exp.desktop),
        quick: ("Corvane.exe", exp.quick_launch),
    }


def read_links(run, exp):
    return run.links(list(wanted_links(run, exp)))


def check_links(run, exp, found):
    menu = f"{COMMON_PROGRAMS}\\{exp.start_menu_folder}"
    wanted = wanted_links(run, exp)
    for path, (target, made) in wanted.items():
        if not made:
            run.expect(f"no link {path}", "present" if run.unix(path).exists() else "none", "none")
            continue
        want = (f"{exp.install_dir}\\{target}", exp.install_dir, "", "1", "", "")
        run.expect(f"link {path} (target, folder, arguments, show, description, icon)",
                   found.get(path, ("none",)), want)
    if not exp.menu_links:
        run.expect("no start-menu folder", "present" if run.unix(menu).exists() else "none", "none")
    own = run.unix(reg_user_desktop(run) + r"\Corvane.lnk")
    run.expect("the user's own desktop Corvane.lnk", "present" if own.exists() else "removed", "removed")


def reg_user_app_data(run):
    return machine.Registry(run.prefix).value("HKCU", SHELL_FOLDERS, "AppData").text()


def reg_user_desktop(run):
    return machine.Registry(run.prefix).value("HKCU", SHELL_FOLDERS, "Desktop").text()


def check_prefs(run, exp, guid):
    prefs = machine.read_ini(run.unix(exp.install_dir + r"\prefs.dat"))
    if not run.check(prefs is not None, "prefs.dat exists"):
        return
    common = dict(prefs.get("common", {}))
    hash_text = common.pop("hash", None)
    want = machine.password_hash(guid, exp.password)
    run.expect("prefs.dat hash = MD5(GUID text + " + ("password" if exp.password else "@NOPASSWD") + ")",
               hash_text, want)
    wanted_common = {k.lower(): v for k, v in exp.prefs.get("common", {}).items()}
    run.expect("prefs.dat [common] besides the hash", common, wanted_common)
    others = {s: v for s, v in prefs.items() if s != "common"}
    wanted_others = {s.lower(): {k.lower(): v for k, v in keys.items()}
                     for s, keys in exp.prefs.items() if s != "common"}
    run.expect("prefs.dat's other sections", others, wanted_others)


def check_fingerprints(run, exp):
    """The fingerprint record (docs/FINGERPRINTS.md) against SHA-256 worked out here."""
    path = run.drive_c() / "windows/cvfltfp.dat"
    data = path.read_bytes() if path.exists() else b""
    if not run.check(len(data) >= 64, f"the fingerprint record C:\\windows\\cvfltfp.dat ({len(data)} bytes)"):
        return
    magic, version, header, entry, count, algorithm = struct.unpack_from("<4sIIIII", data)
    run.expect("fingerprint record header", (magic, version, header, entry, algorithm, len(data)),
               (b"CVFP", 1, 32, 560, 1, 64 + 560 * count))
    run.check(hashlib.sha256(data[:-32]).digest() == data[-32:], "fingerprint record trailer = SHA-256")
    entries = []
    for i in range(count):
        at = 32 + 560 * i
        digest, size = data[at : at + 32], struct.unpack_from("<Q", data, at + 32)[0]
        name = data[at + 40 : at + 560].decode("utf-16-le").split("\0", 1)[0]
        entries.append((name, size, digest.hex()))
    wanted = []
    for name in ("CorvaneWarden.exe", "Persist.exe", "Corvane.exe", "Console.exe"):
        body = (run.unix(exp.install_dir) / name).read_bytes()
        wanted.append((f"{exp.install_dir}\\{name}", len(body), hashlib.sha256(body).hexdigest()))
    if entries == wanted:
        run.check(True, f"fingerprint entries (path, size, SHA-256) of {', '.join(e[0].rsplit(chr(92), 1)[1] for e in wanted)}")
    else:
        run.expect("fingerprint entries (path, size, SHA-256)", entries, wanted)


def check_companions(run, exp):
    """MenuExt.dll's DllRegisterServer called by Setup.exe at every installation, and
    Keeper.exe started hidden with /install from Windows Vista on."""
    install = run.unix(exp.install_dir)
    calls = standin_lines(install / "MenuExt.log", "DllRegisterServer")
    setup_path = winpath(exp.product / "Setup.exe")
    run.expect("MenuExt.dll's DllRegisterServer calls", len(calls), exp.installs)
    if calls:
        run.expect("DllRegisterServer called by", calls[-1], f"DllRegisterServer process={setup_path}")
    starts = [line for line in standin_lines(install / "Keeper.log", "start ") if line.endswith(" /install")]
    want = exp.installs if MAJOR[exp.version] >= 6 else 0
    run.expect(f"Keeper.exe /install starts on {exp.version}", len(starts), want)
    for line in starts[-1:]:
        run.expect("Keeper.exe started hidden with", line,
                   f'start flags=0x1 show=0 line="{exp.install_dir}\\Keeper.exe" /install')


def check_untouched(run, what):
    """After a refusal or a cancel: nothing of the product on the machine, the filter lists
    as they were, the user's own desktop link still there."""
    reg = machine.Registry(run.prefix)
    run.expect(f"{what}: install folder", "present" if run.unix(DEFAULT_DIR).exists() else "none", "none")
    driver = run.drive_c() / "windows/system32/drivers/cvflt.sys"
    run.expect(f"{what}: driver file", "present" if driver.exists() else "none", "none")
    run.expect(f"{what}: fingerprint record", "present" if (run.drive_c() / "windows/cvfltfp.dat").exists()
               else "none", "none")
    for key in (SERVICE_KEY, PRODUCT_KEY, UNINSTALL_KEY):
        run.expect(f"{what}: key {key}", "present" if reg.machine.has_key(key) else "none", "none")
    run.expect(f"{what}: Run entry", reg.value("HKLM", RUN_KEY, "Corvane Warden") is not None, False)
    v = reg.value("HKLM", DISK_CLASS, "UpperFilters")
    run.expect(f"{what}: the disk drives' UpperFilters", v.show() if v else None, 'REG_MULTI_SZ ["PartMgr"]')
    run.expect(f"{what}: the volumes' LowerFilters", reg.value("HKLM", VOLUME_CLASS, "LowerFilters"), None)
    menu = run.unix(COMMON_PROGRAMS + r"\Corvane")
    run.expect(f"{what}: start-menu folder", "present" if menu.exists() else "none", "none")
    own = run.unix(reg_user_desktop(run) + r"\Corvane.lnk")
    run.expect(f"{what}: the user's own desktop Corvane.lnk", "present" if own.exists() else "removed", "present")


# ---- The scenarios ----


def silent_install(run, version, boxes=(), no_box=True, what=None):
    """Setup.exe -silent on a Windows without the product, Wine pretending to be |version|."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version(version)
    run.setup(product, what or f"silent on {version}", args=["-silent"], boxes=boxes, no_box=no_box)
    return product


def scenario_silent(run):
    """Silent, no configuration file, Windows 10: no box, everything installed, the
    defaults (both icons, the start-menu links, the registered owner), Control 0x10000001,
    the hash of "@NOPASSWD"."""
    product = silent_install(run, "win10")
    check_installation(run, Expected(product=product))


def scenario_xp(run):
    """Windows XP: no question, Control 0x10000041, the shell extension registered but
    Keeper.exe not started."""
    product = silent_install(run, "winxp")
    check_installation(run, Expected(product=product, version="winxp"))


def scenario_vista(run):
    """Windows Vista: the question about KB2763674 (Wine lists no update), Yes installs;
    Control 0x10000041, Keeper.exe started."""
    product = silent_install(run, "vista", boxes=[(BOX_VISTA_UPDATE, "yes")])
    check_installation(run, Expected(product=product, version="vista"))


def scenario_win7(run):
    """Windows 7, as administrators deploy: -silent -suppressmsgboxes -log. No window at
    all: the question about KB3185278 and KB3125574 is answered Yes unseen and logged, the
    installation completes; Control 0x10000041, Keeper.exe started."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win7")
    run.setup(product, "silent and quiet on win7", args=["-silent", "-suppressmsgboxes"],
              no_box=True, quiet_boxes=[(BOX_WIN7_UPDATES, "Yes")])
    lines = run.log
    run.check(any(c == "Setup" and t.startswith("Windows 6.1.") for c, t in lines),
              "the log's header names Windows 6.1")
    run.check(("Check", "Windows updates: none of KB3033929, KB3185278, KB3125574 is installed; "
                        "asking whether to go on (message 159)") in lines, "the log names the missing updates")
    run.check(("Check", "all checks passed") in lines, "the log says the checks passed")
    check_installation(run, Expected(product=product, version="win7"))


def scenario_win7_no(run):
    """Windows 7, the update question answered No: cancelled (1602), nothing installed."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win7")
    run.setup(product, "silent on win7, No", args=["-silent"], boxes=[(BOX_WIN7_UPDATES, "no")],
              expect=machine.EXIT_CANCELLED)
    run.check(("Check", "Windows updates: the answer is not Yes; setup ends") in run.log,
              "the log: the answer is not Yes, setup ends")
    run.end_session()
    check_untouched(run, "after No")


def scenario_win2k(run, silent=False):
    """Windows 2000, the wizard: message 144 before any page, 1633, nothing installed."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win2k")
    run.setup(product, "on Windows 2000" + (", silent" if silent else ""),
              args=["-silent"] if silent else [], boxes=[(BOX_UNSUPPORTED, "ok")],
              expect=machine.EXIT_UNSUPPORTED_WINDOWS)
    run.check(("Check", "Windows 5.0: not supported (Windows 2000 or older); setup ends") in run.log,
              "the log: Windows 5.0 is not supported")
    run.end_session()
    check_untouched(run, "after the refusal")


def scenario_win2k_silent(run):
    """Windows 2000 with -silent: message 144 is shown in a silent run too, 1633, nothing
    installed."""
    scenario_win2k(run, silent=True)


def scenario_main_interface(run):
    """The main interface's stand-in holds the product's mutex: message 146, exit 32,
    nothing installed."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    stop = run.start_standin(run.bin / "Corvane.exe")
    try:
        run.setup(product, "with the main interface running", args=["-silent"],
                  boxes=[(BOX_MAIN_INTERFACE, "ok")], expect=machine.EXIT_MAIN_INTERFACE_RUNNING)
        run.check(("Check", "main interface: running (its mutex exists); setup ends") in run.log,
                  "the log: the main interface is running, setup ends")
    finally:
        stop()
    run.end_session()
    check_untouched(run, "after the refusal")


def scenario_driver_copy_fails(run):
    """A product folder without cvflt.sys: "Copy file failed!" (141), 1603, once with the
    box shown and answered, once more with -suppressmsgboxes (the box answered unseen and
    logged); the files before the driver are copied, Remove.exe and everything after the
    copies is not."""
    product = run.make_product(run.work / "product", drop=["cvflt.sys"])
    run.windows_state()
    run.set_version("win10")
    run.setup(product, "silent without the driver file", args=["-silent"],
              boxes=[(BOX_COPY_FAILED, "ok")], expect=machine.EXIT_FAILED)
    run.setup(product, "silent and quiet without the driver file",
              args=["-silent", "-suppressmsgboxes"], no_box=True,
              quiet_boxes=[(BOX_COPY_FAILED, "OK")], expect=machine.EXIT_FAILED)
    lines = run.log
    source = winpath(product) + "\\cvflt.sys"
    run.check(("File", f'copy "{source}" to "C:\\windows\\system32\\drivers\\cvflt.sys.new": '
                       "error 2 (the file was not found)") in lines,
              "the log has the failed copy with its error")
    run.check(("Step", "11 of 18: failed; the installation stops here") in lines, "the log: step 11 failed")
    run.expect("the log's steps after 11", [t for c, t in lines if c == "Step" and t.startswith(("12 ", "13 ", "14 ",
               "15 ", "16 ", "17 ", "18 "))], [])
    run.end_session()
    install = run.unix(DEFAULT_DIR)
    for source, installed in PRODUCT_FILES:
        present = (install / installed).exists()
        want = installed != "Remove.exe"
        run.expect(f"{installed} {'copied' if want else 'not copied'}", present, want)
    reg = machine.Registry(run.prefix)
    for key in (SERVICE_KEY, PRODUCT_KEY, UNINSTALL_KEY):
        run.expect(f"key {key}", "present" if reg.machine.has_key(key) else "none", "none")
    v = reg.value("HKLM", DISK_CLASS, "UpperFilters")
    run.expect("the disk drives' UpperFilters", v.show() if v else None, 'REG_MULTI_SZ ["PartMgr"]')
    run.expect("the volumes' LowerFilters", reg.value("HKLM", VOLUME_CLASS, "LowerFilters"), None)
    run.expect("start-menu folder", run.unix(COMMON_PROGRAMS + r"\Corvane").exists(), False)
    run.expect("prefs.dat", (install / "prefs.dat").exists(), False)
    run.expect("Keeper.exe started", (install / "Keeper.log").exists(), False)


def scenario_log_unwritable(run):
    """-log: into a folder that does not exist: the run is the same as without it (no box,
    3010, the installation complete) and no file or folder appears."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    missing = run.work / "no such folder" / "setup.log"
    run.setup(product, "silent with a log that cannot be written",
              args=["-silent", "-log:" + winpath(missing)], no_box=True, log=False)
    run.expect("the log's folder", "present" if missing.parent.exists() else "none", "none")
    check_installation(run, Expected(product=product))


def check_only(run, version, what, expect, args=("-check",), standin=None):
    """Setup.exe -check on a Windows without the product, Wine pretending to be |version|,
    with the Warden's stand-in running (and |standin| too): no box, no page, exit |expect|,
    the Warden told nothing, nothing installed, and a log of nothing but the header, the
    checks and the exit code. Returns the log's lines."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version(version)
    warden_log = run.work / "Warden.log"
    stops = [run.start_standin(run.bin / "Warden.exe", "--log", winpath(warden_log))]
    try:
        if standin:
            stops.append(run.start_standin(standin))
        run.setup(product, what, args=list(args), no_box=True, expect=expect)
    finally:
        for stop in reversed(stops):
            stop()
    lines = run.log
    run.expect(f"{what}: the Warden's messages", standin_lines(warden_log, ""), [])
    run.expect(f"{what}: the log's categories", sorted({c for c, _ in lines}), ["Check", "Exit", "Setup"])
    run.end_session()
    check_untouched(run, what)
    return lines


def scenario_check(run):
    """-check on Windows 10 with -silent and a configuration file, the Warden running: exit
    0, no box, no page, the configuration not read, the Warden not told, nothing
    installed."""
    config = run.unix(r"C:\Deploy\corvane.ini")
    config.parent.mkdir(parents=True)
    config.write_text("[common]\r\npath=C:\\Elsewhere\r\ndesktopicon=1\r\n")
    lines = check_only(run, "win10", "-check on Windows 10", 0,
                       args=["-silent", "-check", r"-config:C:\Deploy\corvane.ini"])
    for line in ["Windows 10.0: supported", "main interface: not running",
                 "Warden: not told (-check: no installation starts)", "all checks passed"]:
        run.check(("Check", line) in lines, f"the log: {line}")
    run.expect("the folder the configuration names", run.unix(r"C:\Elsewhere").exists(), False)


def scenario_check_win2k(run):
    """-check on Windows 2000: 1633, no box, nothing installed."""
    lines = check_only(run, "win2k", "-check on Windows 2000", machine.EXIT_UNSUPPORTED_WINDOWS,
                       args=["/CHECK"])
    for line in ["Windows 5.0: not supported (Windows 2000 or older); setup ends", "-check: message 144 not shown"]:
        run.check(("Check", line) in lines, f"the log: {line}")


def scenario_check_win7(run):
    """-check on Windows 7 without the updates (Wine lists none), with -suppressmsgboxes:
    the distinct code 1150, the log naming the missing updates, no box, nothing installed."""
    lines = check_only(run, "win7", "-check on Windows 7 without the updates", machine.EXIT_UPDATES_MISSING,
                       args=["-check", "-suppressmsgboxes"])
    for line in ["Windows updates: none of KB3033929, KB3185278, KB3125574 is installed; an installation "
                 "would ask whether to go on (message 159, not shown: -check)",
                 "all checks passed but for the question about Windows updates"]:
        run.check(("Check", line) in lines, f"the log: {line}")


def scenario_check_main_interface(run):
    """-check while the main interface's stand-in holds the product's mutex: 32, no box,
    nothing installed."""
    lines = check_only(run, "win10", "-check with the main interface running", machine.EXIT_MAIN_INTERFACE_RUNNING,
                       standin=run.bin / "Corvane.exe")
    for line in ["main interface: running (its mutex exists); setup ends", "-check: message 146 not shown"]:
        run.check(("Check", line) in lines, f"the log: {line}")


def options_box(run, lang, args, texts):
    """Setup.exe with |args| asking for the options box, in |lang|, with the Warden's stand-in
    running, on Windows 2000 (which the checks would refuse): the one box (its text checked
    by wizard_driver.exe against Setup.exe's own string, and here in the log), captured into
    WORK_DIR/screens, then 0, nothing installed, no one told, no check run."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win2k")
    extra_env = None
    if lang == "zh":
        run.lib("e2e_configure_prefix", "zh", "wine")
        extra_env = {"LANG": "zh_CN.UTF-8", "LC_ALL": "zh_CN.UTF-8"}
    warden_log = run.work / "Warden.log"
    screens = run.work / "screens"
    screens.mkdir()
    stop = run.start_standin(run.bin / "Warden.exe", "--log", winpath(warden_log))
    try:
        run.setup(product, f"the options box in {lang}", args=args, boxes=[(BOX_OPTIONS, "ok")], expect=0,
                  lang=lang, extra_env=extra_env, screens=screens, box_texts={BOX_OPTIONS: texts})
    finally:
        stop()
    run.expect("the log's checks", [t for c, t in run.log if c == "Check"], [])
    run.expect("the Warden's messages", standin_lines(warden_log, ""), [])
    run.check(any(screens.glob("*.png")), "a screenshot of the box")
    run.end_session()
    check_untouched(run, "after the options box")


def scenario_help(run):
    """/? in English (with -silent and -check, which it wins over): the options box, 0."""
    options_box(run, "en", ["-silent", "/?", "-check"], OPTIONS_TEXT_EN)


def scenario_help_zh(run):
    """-help in Simplified Chinese (LANG=zh_CN.UTF-8): the options box in Chinese, 0."""
    options_box(run, "zh", ["-help"], OPTIONS_TEXT_ZH)


CONFIG_DIR = r"C:\Corvane Test\Product"
CONFIG_PASSWORD = "密码 Pa55!"


def scenario_silent_config(run):
    """Silent with a configuration file (UTF-16, in a folder with a blank) that sets the
    folder, switches the icons and the start-menu links off, sets a password and the copied
    keys and names the volumes C and Q (no such volume) for the marker, with C:\\cvtrace.log
    present: the marker's failures under Wine are traced there."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    config = run.unix(r"C:\Deploy Files\corvane.ini")
    config.parent.mkdir(parents=True)
    config.write_bytes(b"\xff\xfe" + "\r\n".join([
        "[common]",
        f"path={CONFIG_DIR}",
        "desktopicon=0",
        "quicklaunchicon=0",
        "startupmenushortcut=0",
        f"password={CONFIG_PASSWORD}",
        "autostart=1",
        "RAM=512",
        "tip=",
        "trayicon=1",
        "checkupdate=0",
        "shellext=1",
        "veil=C,Q",
        "[space]",
        "disable=D",
        "",
    ]).encode("utf-16-le"))
    trace = run.drive_c() / "cvtrace.log"
    trace.write_bytes(b"")
    volume = {fields[1]: fields[2:] for fields in run.inspect("volume", "C")}.get("C", [])
    run.setup(product, "silent with a configuration file",
              args=["-silent", r"-config:C:\Deploy Files\corvane.ini"], no_box=True)
    attributes = {f[1]: f[2] for f in run.inspect("attributes", r"C:\cvflt0.sys")}
    for line in ['"path": installation folder "C:\\Corvane Test\\Product"',
                 '"startupmenushortcut" is 0 or missing: no start-menu folder or shortcuts',
                 '"password": a password is set (not shown)']:
        run.check(("Config", line) in run.log, f"the log: Config {line}")
    for line in ['"veil" is "C,Q": volumes to prepare C:', "prepare C: (volume marker, flag 1): ok"]:
        run.check(("Volume", line) in run.log, f"the log: Volume {line}")
    text = (run.work / "setup logs" / "setup-1.log").read_bytes()
    run.check(CONFIG_PASSWORD.encode("utf-8") not in text and b"Pa55" not in text,
              "the password appears nowhere in the install log")

    check_installation(run, Expected(
        product=product, install_dir=CONFIG_DIR, menu_links=False, desktop=False,
        quick_launch=False, password=CONFIG_PASSWORD,
        prefs={"common": {"autostart": "1", "RAM": "512", "trayicon": "1", "checkupdate": "0",
                          "shellext": "1"},
               "space": {"disable": "D"}}))
    run.expect("nothing in the default folder", run.unix(DEFAULT_DIR).exists(), False)

    # The marker of C: sized from what the volume answers, its header deciphered here.
    geometry = volume[0].split() if volume else []
    partition = volume[1].split() if len(volume) > 1 else []
    run.check(len(geometry) == 5, f"the volume C: answers the geometry request: {volume}")
    if len(geometry) != 5:
        return
    if partition[:2] == ["partition", "error"]:
        length = 1
        for n in geometry[1:]:
            length *= int(n)
        traced = [f"[          Corvane ] | CvSetVolumeFlag: IOCTL_DISK_GET_PARTITION_INFO failed({partition[2]})"]
        run.note(f"Wine answers no partition request for C: (error {partition[2]}): "
                 f"the marker is sized from the geometry, {length} bytes")
    else:
        length = int(partition[1])
        traced = []
    block, bitmap, size = machine.marker_layout(length, 1)
    marker = run.drive_c() / "cvflt0.sys"
    run.expect("C:\\cvflt0.sys size", marker.stat().st_size if marker.exists() else None, size)
    header = machine.marker_header(marker)
    if run.check(header is not None, "C:\\cvflt0.sys has a 512-byte header"):
        fields = machine.header_fields(header)
        run.expect("marker header (magic, version, flag, block, bitmap, entries, index, limit)",
                   tuple(fields[k] for k in ("magic", "version", "flag", "block", "bitmap",
                                             "entries", "index", "limit")),
                   (b"cvfl", 0x10000, 1, block, bitmap, 2048, 0, 0x7FFFFFFF))
    # Wine adds FILE_ATTRIBUTE_ARCHIVE to every file it reports, whatever was set; the other
    # bits are what setup left: hidden and system, nothing else.
    got = attributes.get(r"C:\cvflt0.sys", "missing")
    run.expect("C:\\cvflt0.sys attributes besides archive (hidden and system)",
               f"0x{int(got, 16) & ~0x20:08x}" if got.startswith("0x") else got, "0x00000006")
    got = trace.read_bytes().decode("latin-1")
    run.expect("C:\\cvtrace.log lines (CR LF each, nothing about Q:)", got,
               "".join(line + "\r\n" for line in traced))


def scenario_upgrade(run):
    """A second installation over the first while the installed Keeper.exe runs, with the
    filter lists holding other products' entries: Keeper.exe is moved aside to
    Keeper.exe.del, marked for deletion at the restart, and replaced; every other product's
    filter survives once and cvflt appears once; a new identity."""
    first = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    # Another tool has written the disk drives' list as REG_SZ; a volume filter iorate.
    run.registry_edit({DISK_CLASS: {"UpperFilters": "PartMgr"},
                       VOLUME_CLASS: {"LowerFilters": ["iorate"]}})
    run.setup(first, "first installation", args=["-silent"], no_box=True)
    guid1 = check_installation(run, Expected(product=first, volume_filters=["cvflt", "iorate"]))

    # Between the two, other products add filters, one writes cvflt again in capitals.
    run.registry_edit({
        DISK_CLASS: {"UpperFilters": ["PartMgr", "cvflt", "EhStorClass"]},
        VOLUME_CLASS: {"LowerFilters": ["fvevol", "CVFLT", "iorate", "cvflt", "rdyboost"]},
    })
    # The second version's Keeper.exe: the same program with other bytes at its end.
    second = run.make_product(run.work / "product-2")
    with open(second / "Keeper.exe", "ab") as f:
        f.write(b"\0second build of Keeper.exe\0")
    stop = run.start_standin(DEFAULT_DIR + r"\Keeper.exe", "--hold")
    try:
        run.setup(second, "second installation over the running Keeper.exe", args=["-silent"],
                  no_box=True)
    finally:
        stop()
    keeper = f"{DEFAULT_DIR}\\Keeper.exe"
    run.expect("the log of the copies of Keeper.exe",
               [t for c, t in run.log if c == "File" and "Keeper.exe" in t],
               [f'copy "{winpath(second)}\\Keeper.exe" to "{keeper}": error 32 (in use by another process)',
                # The new copy is made whole beside the running one first, and its move
                # into place is kept for the restart until the renames are done.
                f'copy "{winpath(second)}\\Keeper.exe" to "{keeper}.new": ok',
                f'move "{keeper}.new" to "{keeper}" at the next restart (replacing): ok',
                f'move "{keeper}" to "{keeper}.del": ok',
                f'move "{keeper}.new" to "{keeper}": ok',
                f'delete "{keeper}.del" at the next restart: ok'])
    guid2 = check_installation(run, Expected(
        product=second, installs=2, disk_filters=["PartMgr", "EhStorClass", "cvflt"],
        volume_filters=["fvevol", "cvflt", "iorate", "rdyboost"]))
    run.check(guid1 != guid2, "the second installation has a new GUID")
    aside = run.unix(DEFAULT_DIR + r"\Keeper.exe.del")
    run.expect("Keeper.exe.del holds the running (first) Keeper.exe",
               aside.exists() and aside.read_bytes() == (first / "Keeper.exe").read_bytes(), True)
    pending = machine.Registry(run.prefix).value("HKLM", SESSION_MANAGER, "PendingFileRenameOperations")
    entries = machine.decode_utf16(pending.data).split("\0") if pending else []
    target = "\\??\\" + DEFAULT_DIR + "\\Keeper.exe.del"
    pairs = [(entries[i], entries[i + 1]) for i in range(0, len(entries) - 1, 2) if entries[i]]
    run.expect("PendingFileRenameOperations: Keeper.exe.del to be deleted at the restart",
               [p for p in pairs if p[0].lower() == target.lower()], [(target, "")])
    starts = standin_lines(run.unix(DEFAULT_DIR) / "Keeper.log", "start ")
    run.expect("Keeper.exe's starts: /install, held, /install",
               [("/install" if s.endswith(" /install") else "held" if " --hold " in s else s) for s in starts],
               ["/install", "held", "/install"])

    # Wine starts its next session as Windows starts after a restart: the old Keeper.exe is
    # deleted then, the new one stays.
    run.wine("cmd", "/c", "exit")
    run.end_session()
    run.expect("after the restart: Keeper.exe.del", "present" if aside.exists() else "deleted", "deleted")
    keeper = run.unix(DEFAULT_DIR + r"\Keeper.exe")
    run.expect("after the restart: Keeper.exe is the second version",
               keeper.exists() and keeper.read_bytes() == (second / "Keeper.exe").read_bytes(), True)
    pending = machine.Registry(run.prefix).value("HKLM", SESSION_MANAGER, "PendingFileRenameOperations")
    run.expect("after the restart: PendingFileRenameOperations",
               [e for e in machine.decode_utf16(pending.data).split("\0") if e] if pending else [], [])


def wizard(run, lang, choices, expected, driver_extra=(), standin=None):
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    extra_env = None
    if lang == "zh":
        run.lib("e2e_configure_prefix", "zh", "wine")
        # Wine takes its user-interface language from the locale.
        extra_env = {"LANG": "zh_CN.UTF-8", "LC_ALL": "zh_CN.UTF-8"}
    args = []
    for option, value in choices.items():
        args += [f"--{option}", value]
    stop = run.start_standin(*standin) if standin else None
    try:
        run.setup(product, f"the wizard in {lang}", walk="full", lang=lang, no_box=True,
                  driver_args=args + list(driver_extra), extra_env=extra_env)
    finally:
        if stop:
            stop()
    # What the pages handed on, as the log tells it.
    on = {"1": "on", "0": "off"}
    run.expect("the log's pages", [t for c, t in run.log if c == "Page"], [
        "Welcome: Next", "License Agreement: Back; not accepted", "Welcome: Next",
        "License Agreement: Next; accepted",
        f'User Information: Next; user "{choices["user-name"]}", organization "{choices["organization"]}"',
        f'Start Menu Folder: Next; folder "{choices["start-menu-folder"]}"',
        f"Select Additional Tasks: Next; desktop icon {on[choices['desktop-icon']]}, "
        f"Quick Launch icon {on[choices['quick-launch']]}",
        "Ready to Install: Next", "Installing: done", "Completing: Next; no restart now"])
    check_installation(run, Expected(product=product, **expected))


def scenario_wizard(run):
    """The wizard in English, with the Warden's stand-in running: the page choices (user
    name, organisation, a start-menu folder of its own, no desktop icon) in the result, the
    Warden notified once before the Welcome page."""
    warden_log = run.work / "Warden.log"
    wizard(run, "en",
           {"user-name": "Ada Lovelace", "organization": "Analytical Engines Ltd",
            "start-menu-folder": "Corvane Disk Guard", "desktop-icon": "0", "quick-launch": "1"},
           {"owner": "Ada Lovelace", "organization": "Analytical Engines Ltd",
            "start_menu_folder": "Corvane Disk Guard", "desktop": False},
           driver_extra=["--expect-line-before-welcome", winpath(warden_log), "1147 0 0"],
           standin=(run.bin / "Warden.exe", "--log", winpath(warden_log)))
    run.expect("the Warden's messages", standin_lines(warden_log, ""), ["1147 0 0"])


def scenario_wizard_zh(run):
    """The wizard in Simplified Chinese, with Chinese choices (user name, organisation,
    start-menu folder) and no Quick Launch icon, in the result."""
    wizard(run, "zh",
           {"user-name": "张伟", "organization": "科文实验室", "start-menu-folder": "科文 磁盘保护",
            "desktop-icon": "1", "quick-launch": "0"},
           {"owner": "张伟", "organization": "科文实验室", "start_menu_folder": "科文 磁盘保护",
            "quick_launch": False})


def scenario_restart_later(run):
    """"Restart later" on the Finish page, then Escape and the close box (on the Installing
    page too when it is seen in time): no page ends but through its own way; 3010, never
    1641 (under Wine a restart request ends every process of the prefix, the driver too)."""
    product = run.make_product(run.work / "product")
    run.windows_state()
    run.set_version("win10")
    run.setup(product, "restart later, Escape and the close box", walk="restart-later")
    check_installation(run, Expected(product=product, owner="Wizard Driver"))


# Wine's name, then the version Windows documents for it (major.minor).
VERSION_TABLE = """win11 10.0
win10 10.0
win81 6.3
win8 6.2
win2008r2 6.1
win7 6.1
win2008 6.0
vista 6.0
win2003 5.2
winxp64 5.2
winxp 5.1
win2k 5.0
winme 4.90
win98 4.10
win95 4.0
nt40 4.0
nt351 3.51
win31 3.10
win30 3.0
win20 2.0"""


def scenario_versions(run):
    """The version GetVersionExW reports under Setup.exe's manifest (and without it) for
    every Windows version Wine can pretend to be."""

    def probe(program):
        _, out = run.wine(run.bin / program)
        m = re.search(r"^version (\d+\.\d+)\.", out, re.M)
        return m.group(1) if m else ""

    run.wine("reg", "delete", r"HKCU\Software\Wine", "/v", "Version", "/f")
    default = probe("version_probe.exe")
    run.check(default != "", f"Wine's own default version: {default}")
    print(f"{'name':<10} {'documented':<10} {'with manifest':<18} {'without':<18} verdict")
    for line in VERSION_TABLE.splitlines():
        name, documented = line.split()
        run.set_version(name)
        with_manifest = probe("version_probe.exe")
        # Only Windows 8.1 and later report another version to a program without the
        # manifest's compatibility section.
        without = probe("version_probe_bare.exe") if documented in ("6.3", "10.0") else "-"
        if with_manifest == documented:
            verdict = "ok"
        elif with_manifest == default:
            verdict = "not known to this Wine (its default)"
        else:
            verdict = "WRONG"
            run.check(False, f"{name} reports {with_manifest}, documented {documented}")
        print(f"{name:<10} {documented:<10} {with_manifest:<18} {without:<18} {verdict}")
        # Without the manifest's compatibility section, Windows 8.1 and later report 6.2.
        if verdict == "ok" and documented in ("6.3", "10.0"):
            run.expect(f"{name} without the manifest", without, "6.2")
    run.end_session()


SCENARIOS = {
    "silent": scenario_silent,
    "silent-config": scenario_silent_config,
    "wizard": scenario_wizard,
    "wizard-zh": scenario_wizard_zh,
    "restart-later": scenario_restart_later,
    "upgrade": scenario_upgrade,
    "winxp": scenario_xp,
    "vista": scenario_vista,
    "win7": scenario_win7,
    "win7-no": scenario_win7_no,
    "win2k": scenario_win2k,
    "win2k-silent": scenario_win2k_silent,
    "main-interface": scenario_main_interface,
    "driver-copy-fails": scenario_driver_copy_fails,
    "log-unwritable": scenario_log_unwritable,
    "versions": scenario_versions,
    "check": scenario_check,
    "check-win2k": scenario_check_win2k,
    "check-win7": scenario_check_win7,
    "check-main-interface": scenario_check_main_interface,
    "help": scenario_help,
    "help-zh": scenario_help_zh,
}


def main(argv):
    if argv[1:] == ["--list"]:
        for name, scenario in SCENARIOS.items():
            doc = " ".join((scenario.__doc__ or "").split())
            print(f"{name}: {doc}")
        return 0
    if len(argv) != 4 or argv[1] not in SCENARIOS:
        print(f"usage: {argv[0]} SCENARIO BIN_DIR WORK_DIR | --list\nscenarios: {', '.join(SCENARIOS)}",
              file=sys.stderr)
        return 2
    started = time.monotonic()
    run = Run(argv[1], argv[2], argv[3])
    try:
        SCENARIOS[argv[1]](run)
    except Failed:
        pass
    finally:
        run.close()
    print(f"{argv[1]}: {run.failures} failure(s) in {time.monotonic() - started:.1f} s")
    if run.failures == 0:
        # A passing scenario leaves only its logs behind: the prefix copy is large.
        shutil.rmtree(run.prefix, ignore_errors=True)
    return 1 if run.failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

"""What a Wine prefix holds, read from outside Windows: the registry files, INI files such
as prefs.dat, the volume marker's header, and the digests the program's results are checked
against. Shared by the Wine scenarios (tests/e2e/scenarios.py) and scripts/demo's report.

The registry is read from the prefix's registry files (system.reg for HKEY_LOCAL_MACHINE,
user.reg for HKEY_CURRENT_USER), which Wine writes once its processes have ended. Keys are
named as under the hive, 'SYSTEM\\CurrentControlSet\\Services\\cvflt', matched ignoring case.
"""

import hashlib
import re
import struct
from pathlib import Path

# Setup.exe's exit codes and what each means (README, "Exit codes").
EXIT_RESTART_REQUIRED = 3010
EXIT_RESTART_STARTED = 1641
EXIT_CANCELLED = 1602
EXIT_FAILED = 1603
EXIT_UNSUPPORTED_WINDOWS = 1633
EXIT_VEIL_MODE = 19
EXIT_MAIN_INTERFACE_RUNNING = 32
EXIT_NOTHING_TO_INSTALL = 0
EXIT_UPDATES_MISSING = 1150
EXIT_MEANINGS = {
    EXIT_RESTART_REQUIRED: "installed; a restart is required",
    EXIT_RESTART_STARTED: "installed; the restart of the computer has been started",
    EXIT_CANCELLED: "cancelled by the user",
    EXIT_FAILED: "the installation failed",
    EXIT_UNSUPPORTED_WINDOWS: "this version of Windows is not supported",
    EXIT_VEIL_MODE: "a volume is in Veil Mode",
    EXIT_MAIN_INTERFACE_RUNNING: "the product's main interface is running",
    EXIT_NOTHING_TO_INSTALL: "nothing installed: -check passed, or the options were shown",
    EXIT_UPDATES_MISSING: "-check: an installation would ask about missing Windows updates",
}

REG_SZ = 1
REG_EXPAND_SZ = 2
REG_BINARY = 3
REG_DWORD = 4
REG_MULTI_SZ = 7

TYPE_NAMES = {
    0: "REG_NONE",
    REG_SZ: "REG_SZ",
    REG_EXPAND_SZ: "REG_EXPAND_SZ",
    REG_BINARY: "REG_BINARY",
    REG_DWORD: "REG_DWORD",
    5: "REG_DWORD_BIG_ENDIAN",
    6: "REG_LINK",
    REG_MULTI_SZ: "REG_MULTI_SZ",
    11: "REG_QWORD",
}


class Value:
    """A registry value: its type and its data as stored (bytes)."""

    def __init__(self, name, kind, data):
        self.name = name
        self.kind = kind
        self.data = data

    def type_name(self):
        return TYPE_NAMES.get(self.kind, f"type {self.kind}")

    def text(self):
        """The data read as a string (up to its first null character)."""
        return decode_utf16(self.data).split("\0", 1)[0]

    def strings(self):
        """The data read as a REG_MULTI_SZ list, the way the system reads one: the strings
        up to the first empty one."""
        items = []
        for item in decode_utf16(self.data).split("\0"):
            if item == "":
                break
            items.append(item)
        return items

    def dword(self):
        return struct.unpack("<I", self.data[:4])[0] if len(self.data) >= 4 else None

    def terminated(self):
        """Whether string data ends with its null character (REG_MULTI_SZ: with two)."""
        ending = b"\0\0\0\0" if self.kind == REG_MULTI_SZ else b"\0\0"
        return len(self.data) % 2 == 0 and self.data.endswith(ending)

    def show(self):
        """A line a person can read: 'REG_SZ "text"', 'REG_DWORD 0x00000001'..."""
        if self.kind in (REG_SZ, REG_EXPAND_SZ) and self.terminated():
            return f'{self.type_name()} "{self.text()}"'
        if self.kind == REG_DWORD and len(self.data) == 4:
            return f"REG_DWORD 0x{self.dword():08x}"
        if self.kind == REG_MULTI_SZ and self.terminated():
            return "REG_MULTI_SZ [" + ", ".join(f'"{s}"' for s in self.strings()) + "]"
        return f"{self.type_name()} hex:" + ",".join(f"{b:02x}" for b in self.data)


def decode_utf16(data):
    return data[: len(data) // 2 * 2].decode("utf-16-le", errors="replace")


def _unescape(text):
    """A string of a Wine registry file: backslash escapes, \\xHHHH for other characters."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        i += 2
        if n == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i:])
            if m:
                out.append(chr(int(m.group(0), 16)))
                i += len(m.group(0))
            else:
                out.append("x")
        else:
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0", "a": "\a"}.get(n, n))
    return "".join(out)


def _quoted(text):
    """The end (exclusive) of the quoted string that starts at text[0]."""
    i = 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
            continue
        if text[i] == '"':
            return i + 1
        i += 1
    return len(text)


def _parse_data(raw):
    """(type, bytes) of the data part of a value line."""
    if raw.startswith('"'):
        text = _unescape(raw[1 : _quoted(raw) - 1])
        return REG_SZ, (text + "\0").encode("utf-16-le")
    m = re.match(r"str\((\d+)\):", raw)
    if m:
        rest = raw[m.end() :]
        text = _unescape(rest[1 : _quoted(rest) - 1])
        return int(m.group(1)), (text + "\0").encode("utf-16-le")
    if raw.startswith("dword:"):
        return REG_DWORD, struct.pack("<I", int(raw[6:14], 16))
    m = re.match(r"hex(?:\((\d+)\))?:", raw)
    if m:
        kind = int(m.group(1)) if m.group(1) else REG_BINARY
        body = raw[m.end() :].replace(" ", "")
        return kind, bytes(int(b, 16) for b in body.split(",") if b)
    return None, raw.encode()


class Hive:
    """One registry file: keys (lower-case paths) to their values in the file's order."""

    def __init__(self, path):
        self.keys = {}
        self.names = {}
        path = Path(path)
        if not path.exists():
            return
        lines = path.read_text(encoding="utf-8", errors="replace").split("\n")
        current = None
        pending = ""
        for line in lines:
            line = line.rstrip("\r")
            if pending:
                line = pending + line.lstrip()
                pending = ""
            if line.endswith("\\") and not line.startswith("["):
                pending = line[:-1]
                continue
            if line.startswith("["):
                end = line.rfind("]")
                name = _unescape(line[1:end].replace("\\\\", "\x01")).replace("\x01", "\\")
                current = self.keys.setdefault(name.lower(), {})
                self.names[name.lower()] = name
                continue
            if current is None or not line or line[0] not in '"@':
                continue
            if line.startswith("@="):
                name, raw = "", line[2:]
            else:
                end = _quoted(line)
                name = _unescape(line[1 : end - 1])
                raw = line[end + 1 :]
            kind, data = _parse_data(raw)
            if kind is not None:
                current[name.lower()] = Value(name, kind, data)

    def values(self, key):
        """The key's values in the file's order, or None for a missing key."""
        found = self.keys.get(key.lower())
        return None if found is None else list(found.values())

    def value(self, key, name):
        found = self.keys.get(key.lower())
        return None if found is None else found.get(name.lower())

    def has_key(self, key):
        return key.lower() in self.keys


class Registry:
    def __init__(self, prefix):
        self.machine = Hive(Path(prefix) / "system.reg")
        self.user = Hive(Path(prefix) / "user.reg")

    def hive(self, name):
        return self.user if name == "HKCU" else self.machine

    def value(self, hive, key, name):
        return self.hive(hive).value(key, name)

    def values(self, hive, key):
        return self.hive(hive).values(key)


# ---- INI files (prefs.dat) ----


def read_text_file(path):
    """A text file as Windows' profile functions read it: UTF-16LE with its mark, UTF-8
    with its mark, else the ANSI code page (Latin-1 stands in for it). None when missing."""
    try:
        raw = Path(path).read_bytes()
    except OSError:
        return None
    if raw[:2] == b"\xff\xfe":
        return raw[2:].decode("utf-16-le", errors="replace")
    if raw[:3] == b"\xef\xbb\xbf":
        return raw[3:].decode("utf-8", errors="replace")
    return raw.decode("latin-1")


def read_ini(path):
    """{section: {key: value}} with section and key names in lower case and the order of
    the file, or None when the file is missing."""
    text = read_text_file(path)
    if text is None:
        return None
    sections = {}
    current = None
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and "]" in line:
            current = sections.setdefault(line[1 : line.index("]")].strip().lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[key.strip().lower()] = value.strip()
    return sections


# ---- Digests and the volume marker, worked out independently of the program ----


def password_hash(guid, password):
    """The product password's hash as prefs.dat holds it: MD5 over the UTF-16LE code units
    of the GUID text followed by the password, or by "@NOPASSWD" when it is empty."""
    return hashlib.md5((guid + (password or "@NOPASSWD")).encode("utf-16-le")).hexdigest()


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 255
        s[i], s[j] = s[j], s[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) & 255
        j = (j + s[i]) & 255
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 255])
    return bytes(out)


def marker_header(path):
    """The plain 512-byte header of a volume marker file: bytes 0 to 503 deciphered with
    the RC4 key in bytes 504 to 511. None when the file is missing or shorter."""
    try:
        with open(path, "rb") as f:
            raw = f.read(512)
    except OSError:
        return None
    if len(raw) < 512:
        return None
    return rc4(raw[504:512], raw[:504]) + raw[504:512]


def marker_layout(length, flag):
    """Block size, bitmap size and file size of the marker for a volume of |length| bytes."""
    gib = 1 << 30
    if length <= 4 * gib:
        block = 4096
    elif length <= 8 * gib:
        block = 8192
    elif length <= 256 * gib:
        block = 16384
    elif length <= 512 * gib:
        block = 32768
    else:
        block = 65536
    blocks = length // block
    bitmap = ((blocks + 8) // 8 + 1 + 4095) // 4096 * 4096
    table = (4 * blocks) // 8192 * 8192 + 32768
    if flag & 3:
        table *= 2
    return block, bitmap, table + 5 * bitmap + 4096


def header_fields(header):
    """The header's fields by name."""
    word = lambda at: struct.unpack_from("<I", header, at)[0]  # noqa: E731
    return {
        "magic": header[4:8],
        "version": word(12),
        "flag": word(16),
        "block": word(20),
        "bitmap": word(24),
        "entries": word(28),
        "index": struct.unpack_from("<i", header, 52)[0],
        "limit": word(56),
    }

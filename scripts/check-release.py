#!/usr/bin/env python3
"""Checks the Windows release ZIP before it goes out.

    scripts/check-release.py plotvane-VERSION-win32.zip

The entries (exactly the three programs, the samples, README.txt and LICENSE.txt under one top
folder); each program's PE headers read here with struct: 32-bit x86, GUI or console as it should
be, imports from Windows system DLLs only (a MinGW runtime DLL would be missing on the users'
machines), the version resource; the texts in code page 932 with CR LF. VERSION is the one in
CMakeLists.txt's project(). Prints one line per check; exit status 0 when all pass, 1 otherwise.
"""
import re
import struct
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

SAMPLES = ("profile.csv", "surface.csv", "points.xyz")
# Program name -> PE subsystem: 2 GUI, 3 console (the batch tool writes to stdout and stderr).
PROGRAMS = {"plotvane.exe": 2, "gridfold.exe": 2, "plotvane-cli.exe": 3}
MACHINE_I386 = 0x014C
MAGIC_PE32 = 0x10B
# DLLs every supported Windows has in its system folder. Nothing from MinGW (libgcc_s_*,
# libstdc++-6, libwinpthread-1): the programs link their runtime statically.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "version.dll",
}
RT_VERSION = 16
FIXED_INFO_SIGNATURE = 0xFEEF04BD

results = []


def check(name, ok, detail=""):
    ok = bool(ok)
    results.append(ok)
    print(f"{'ok  ' if ok else 'FAIL'} {name}" + (f": {detail}" if detail else ""))
    return ok


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"project\(\s*plotvane\s+VERSION\s+(\d+\.\d+\.\d+)", text)
    if not match:
        sys.exit("check-release: no project(plotvane VERSION x.y.z) in CMakeLists.txt")
    return match.group(1)


def windows_text(path):
    """A repository text as the package holds it: LF line ends made CR LF."""
    return path.read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


# ---- PE image ------------------------------------------------------------------------------------
class PeError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        self.magic = self.u16(optional)
        if self.magic == 0x10B:
            self.image_base = self.u32(optional + 28)
            directories = optional + 96
        elif self.magic == 0x20B:
            self.image_base = struct.unpack_from("<Q", data, optional + 24)[0]
            directories = optional + 112
        else:
            raise PeError(f"unknown optional-header magic 0x{self.magic:X}")
        self.subsystem = self.u16(optional + 68)
        count = self.u32(directories - 4)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        for i in range(sections):
            _, virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", data, optional + optional_size + 40 * i)
            self.sections.append((address, max(virtual_size, raw_size), raw_size, raw_offset))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def offset(self, rva):
        for address, size, raw_size, raw_offset in self.sections:
            if address <= rva < address + size and rva - address < raw_size:
                return raw_offset + rva - address
        raise PeError(f"RVA 0x{rva:X} lies in no section")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def cstring(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def descriptors(self, index, layout):
        """The entries of a data directory that is an array ended by an all-zero entry."""
        rva, _ = self.directory(index)
        if not rva:
            return
        at, size = self.offset(rva), struct.calcsize(layout)
        while True:
            descriptor = struct.unpack_from(layout, self.data, at)
            if not any(descriptor):
                return
            yield descriptor
            at += size

    def imported_dlls(self):
        """Names from the import directory and the delay-load directory."""
        names = [self.cstring(descriptor[3]) for descriptor in self.descriptors(1, "<5I")]
        for attributes, name, *_ in self.descriptors(13, "<8I"):
            # Old-style descriptors hold addresses, not RVAs.
            names.append(self.cstring(name if attributes & 1 else name - self.image_base))
        return names

    def resources(self, type_id):
        """The data of every resource of the given numeric type, all names and languages."""
        rva, _ = self.directory(2)
        if not rva:
            return []
        base = self.offset(rva)

        def entries(directory):
            named, ids = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + ids):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)

        found = []
        for name, target in entries(0):
            if name != type_id or not target & 0x80000000:
                continue
            for _, by_name in entries(target & 0x7FFFFFFF):
                if not by_name & 0x80000000:
                    continue
                for _, leaf in entries(by_name & 0x7FFFFFFF):
                    if leaf & 0x80000000:
                        continue
                    data_rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(data_rva)
                    found.append(self.data[start:start + size])
        return found


# ---- version resource ---------------------------------------------------------------------------
def align4(n):
    return (n + 3) & ~3


def version_block(data, at):
    """One VS_VERSIONINFO-style block: (key, value bytes or text, children), and its end."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    if length < 6:
        raise PeError("version block too short")
    end = min(at + length, len(data))
    key_end = at + 6
    while key_end + 1 < end and data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6:key_end].decode("utf-16-le")
    pos = align4(key_end + 2)
    size = value_length * 2 if kind == 1 else value_length  # text values count UTF-16 units
    value = data[pos:min(pos + size, end)]
    if kind == 1:
        value = value.decode("utf-16-le").split("\0")[0]
    pos = align4(pos + size)
    children = []
    while pos + 6 <= end:
        child, child_end = version_block(data, pos)
        children.append(child)
        pos = align4(child_end)
    return (key, value, children), end


def version_info(resource):
    """Fixed file and product versions as 4-tuples, and the string table's values."""
    (key, fixed, children), _ = version_block(resource, 0)
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        raise PeError(f"version resource starts with {key!r}, fixed info of {len(fixed)} bytes")
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    if signature != FIXED_INFO_SIGNATURE:
        raise PeError(f"VS_FIXEDFILEINFO signature 0x{signature:08X}")
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    strings = {}
    for block_key, _, tables in children:
        if block_key == "StringFileInfo":
            for _, _, values in tables:
                for name, text, _ in values:
                    strings[name] = text
    return split(file_ms, file_ls), split(product_ms, product_ls), strings


def check_program(name, data, version):
    try:
        image = PeImage(data)
    except (PeError, struct.error, ValueError) as error:
        check(f"{name}: PE headers", False, str(error))
        return
    check(f"{name}: 32-bit x86 PE32 (machine 0x{MACHINE_I386:04X}, magic 0x{MAGIC_PE32:X})",
          image.machine == MACHINE_I386 and image.magic == MAGIC_PE32,
          f"machine 0x{image.machine:04X}, magic 0x{image.magic:X}")
    wanted = PROGRAMS[name]
    kind = {2: "GUI", 3: "console"}[wanted]
    check(f"{name}: subsystem {wanted} ({kind})", image.subsystem == wanted, f"subsystem {image.subsystem}")
    try:
        dlls = image.imported_dlls()
        foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
        check(f"{name}: imports system DLLs only", dlls and not foreign,
              ("not system DLLs: " + ", ".join(foreign) + "; all: " if foreign else "") + ", ".join(dlls))
    except (PeError, struct.error, ValueError) as error:
        check(f"{name}: imports system DLLs only", False, str(error))
    try:
        resources = image.resources(RT_VERSION)
        if len(resources) != 1:
            raise PeError(f"{len(resources)} RT_VERSION resources")
        file_version, product_version, strings = version_info(resources[0])
    except (PeError, struct.error, ValueError, UnicodeDecodeError) as error:
        check(f"{name}: version resource", False, str(error))
        return
    four = tuple(int(part) for part in version.split(".")) + (0,)
    dotted = ".".join(map(str, four))
    shown = lambda parts: ".".join(map(str, parts))
    check(f"{name}: VS_FIXEDFILEINFO file and product version {dotted}",
          file_version == four and product_version == four,
          f"file {shown(file_version)}, product {shown(product_version)}")
    expected = {"FileVersion": version, "ProductVersion": version, "OriginalFilename": name}
    wrong = {key: strings.get(key) for key, text in expected.items() if strings.get(key) != text}
    check(f"{name}: strings FileVersion and ProductVersion {version}, OriginalFilename {name}",
          not wrong, ", ".join(f"{key} {text!r}" for key, text in wrong.items()))


# ---- texts --------------------------------------------------------------------------------------
def crlf_only(data):
    return data.count(b"\n") == data.count(b"\r") == data.count(b"\r\n") and data.endswith(b"\r\n")


def is_japanese(char):
    return "\u3040" <= char <= "\u30ff" or "\u4e00" <= char <= "\u9fff"


def check_readme(data, version):
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        check("README.txt: code page 932", False, str(error))
        return
    check("README.txt: code page 932", True)
    check("README.txt: CR LF line ends only", crlf_only(data))
    lines = text.split("\r\n")
    heading = next((i for i, line in enumerate(lines) if line.strip().endswith("English")), len(lines))
    japanese = sum(sum(map(is_japanese, line)) >= 5 for line in lines[:heading])
    # English prose: plain ASCII lines of several words.
    english = sum(line.isascii() and len(re.findall(r"[A-Za-z]{3,}", line)) >= 5 for line in lines[heading:])
    check("README.txt: a Japanese part, then an English part under its heading",
          japanese >= 30 and english >= 30,
          f"{japanese} Japanese lines before line {heading + 1}, {english} English lines from there")
    check(f"README.txt: names version {version}", version in lines[0], repr(lines[0]))
    source = ROOT / "package" / "README.txt"
    check("README.txt: package/README.txt as built", text == windows_text(source).decode("utf-8"))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check-release.py ZIP")
    path = Path(sys.argv[1])
    version = project_version()
    top = f"plotvane-{version}-win32"
    check(f"file name {top}.zip", path.name == f"{top}.zip", path.name)
    try:
        archive = zipfile.ZipFile(path)
        bad = archive.testzip()
    except (OSError, zipfile.BadZipFile) as error:
        check("ZIP opens", False, str(error))
        return 1
    check("ZIP opens, every entry's CRC matches", bad is None, f"bad entry {bad}")

    infos = archive.infolist()
    for info in infos:
        print(f"     {info.file_size:>9}  {info.filename}")
    files = {f"{top}/{name}" for name in list(PROGRAMS) + ["README.txt", "LICENSE.txt"]}
    files |= {f"{top}/samples/{name}" for name in SAMPLES}
    folders = {f"{top}/", f"{top}/samples/"}
    names = [info.filename for info in infos]
    missing = sorted(files - set(names))
    extra = sorted(name for name in names if name not in files and name not in folders)
    duplicated = sorted({name for name in names if names.count(name) > 1})
    check("entries: the three programs, samples/, README.txt and LICENSE.txt, nothing else",
          not missing and not extra and not duplicated,
          "; ".join(f"{what}: {', '.join(items)}" for what, items in
                    (("missing", missing), ("unexpected", extra), ("twice", duplicated)) if items))
    present = set(names)

    for name in PROGRAMS:
        if f"{top}/{name}" in present:
            check_program(name, archive.read(f"{top}/{name}"), version)
    for name in SAMPLES:
        entry = f"{top}/samples/{name}"
        if entry in present:
            check(f"samples/{name}: the repository's file unchanged",
                  archive.read(entry) == (ROOT / "samples" / name).read_bytes())
    if f"{top}/README.txt" in present:
        check_readme(archive.read(f"{top}/README.txt"), version)
    if f"{top}/LICENSE.txt" in present:
        data = archive.read(f"{top}/LICENSE.txt")
        check("LICENSE.txt: CR LF line ends only", crlf_only(data))
        check("LICENSE.txt: the repository's LICENSE", data == windows_text(ROOT / "LICENSE"))

    failed = results.count(False)
    print(f"check-release: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

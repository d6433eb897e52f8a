#!/usr/bin/env python3
"""Checks the Windows release ZIP before it goes out.

    scripts/check-release.py plotvane-VERSION-win32.zip

The entries (exactly the three programs, the samples, README.txt and LICENSE.txt under one top
folder); each program's PE image, read with pefile: 32-bit x86, large-address-aware, GUI or
console as it should be, imports from Windows system DLLs only (a MinGW runtime DLL would be
missing on the users' machines), the application manifest (asInvoker, Windows 7 to 11, long
paths; for the GUI programs per-monitor DPI awareness, the system's before Windows 10 1703, and
the common controls 6), the version resource; the texts in
code page 932 with CR LF. VERSION is the one in CMakeLists.txt's project(). Prints one line per
check; exit status 0 when all pass, 1 otherwise. Needs Debian's python3-pefile (/usr/bin/python3).
"""
import re
import sys
import zipfile
from pathlib import Path
from xml.etree import ElementTree

try:
    import pefile  # Debian's python3-pefile (scripts/install-deps.sh --windows)
except ImportError:
    sys.exit("check-release: needs pefile: run it with /usr/bin/python3 after scripts/install-deps.sh --windows")

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
FIXED_INFO_SIGNATURE = 0xFEEF04BD
IMAGE_FILE_LARGE_ADDRESS_AWARE = 0x0020
RT_MANIFEST = 24
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
WINDOWS_SETTINGS = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
WINDOWS_SETTINGS_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
# Functions that would read or give texts and paths in the system's code page; their W forms are
# the ones the programs use.
ANSI_TEXT_FUNCTIONS = {
    "GetCommandLineA", "CreateFileA", "DeleteFileA", "MoveFileExA", "ReplaceFileA", "GetFileAttributesA",
    "GetFinalPathNameByHandleA", "GetFullPathNameA", "GetShortPathNameA", "fopen", "_open",
    "GetOpenFileNameA", "GetSaveFileNameA", "ShellExecuteA", "ShellExecuteExA", "DialogBoxParamA",
    "MessageBoxA", "SetWindowTextA", "SendMessageA", "SendDlgItemMessageA", "CreateWindowExA",
    "RegisterClassA", "DefWindowProcA", "CommandLineToArgvA",
}
SUPPORTED_OS = {
    "Windows 7": "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "Windows 8": "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "Windows 8.1": "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "Windows 10 and 11": "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}

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


# ---- programs -----------------------------------------------------------------------------------
def manifest_of(pe):
    """The application manifest (RT_MANIFEST 1, any language) as parsed XML, or None."""
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_MANIFEST:
            continue
        for name in kind.directory.entries:
            if name.id != CREATEPROCESS_MANIFEST_RESOURCE_ID:
                continue
            for language in name.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                return ElementTree.fromstring(data)
    return None


def check_manifest(name, pe):
    try:
        manifest = manifest_of(pe)
    except ElementTree.ParseError as error:
        check(f"{name}: application manifest", False, str(error))
        return
    if not check(f"{name}: application manifest", manifest is not None, "" if manifest is not None else "none"):
        return
    levels = [e.get("level") for e in manifest.iter(f"{{{ASM_V3}}}requestedExecutionLevel")]
    check(f"{name}: manifest asks to run asInvoker", levels == ["asInvoker"], "" if levels == ["asInvoker"] else repr(levels))
    systems = {e.get("Id").lower() for e in manifest.iter(f"{{{COMPATIBILITY}}}supportedOS")}
    missing = [system for system, guid in SUPPORTED_OS.items() if guid not in systems]
    check(f"{name}: manifest names Windows 7 to 10/11 as supported", not missing,
          "missing " + ", ".join(missing) if missing else "")
    long_paths = [e.text.strip().lower() for e in manifest.iter(f"{{{WINDOWS_SETTINGS_2016}}}longPathAware")]
    check(f"{name}: manifest declares long paths", long_paths == ["true"], "" if long_paths == ["true"] else repr(long_paths))
    if PROGRAMS[name] != 2:
        return
    dpi = [e.text.strip().lower() for e in manifest.iter(f"{{{WINDOWS_SETTINGS}}}dpiAware")]
    check(f"{name}: manifest declares system DPI awareness for Windows before 10 1607", dpi == ["true"],
          "" if dpi == ["true"] else repr(dpi))
    # Windows takes the first value it knows: per-monitor v2 from 10 1703 on, else the system DPI.
    awareness = [[v.strip().lower() for v in e.text.split(",")]
                 for e in manifest.iter(f"{{{WINDOWS_SETTINGS_2016}}}dpiAwareness")]
    check(f"{name}: manifest declares per-monitor v2 DPI awareness, system awareness as its fallback",
          awareness == [["permonitorv2", "system"]], "" if awareness == [["permonitorv2", "system"]] else repr(awareness))
    controls = [e.get("version") for e in manifest.iter(f"{{{ASM_V1}}}assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    check(f"{name}: manifest depends on the common controls 6", controls == ["6.0.0.0"],
          "" if controls == ["6.0.0.0"] else repr(controls))


def check_program(name, data, version):
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as error:
        check(f"{name}: PE headers", False, str(error))
        return
    machine, magic = pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Magic
    check(f"{name}: 32-bit x86 PE32 (machine 0x{MACHINE_I386:04X}, magic 0x{MAGIC_PE32:X})",
          machine == MACHINE_I386 and magic == MAGIC_PE32, f"machine 0x{machine:04X}, magic 0x{magic:X}")
    check(f"{name}: large-address-aware (4 GB on 64-bit Windows)",
          pe.FILE_HEADER.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE,
          f"characteristics 0x{pe.FILE_HEADER.Characteristics:04X}")
    wanted = PROGRAMS[name]
    kind = {2: "GUI", 3: "console"}[wanted]
    subsystem = pe.OPTIONAL_HEADER.Subsystem
    check(f"{name}: subsystem {wanted} ({kind})", subsystem == wanted, f"subsystem {subsystem}")
    dlls = [entry.dll.decode("ascii", "replace")
            for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) + getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
    check(f"{name}: imports system DLLs only", dlls and not foreign,
          ("not system DLLs: " + ", ".join(foreign) + "; all: " if foreign else "") + ", ".join(dlls))
    functions = {entry.name.decode("ascii", "replace")
                 for dll in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for entry in dll.imports if entry.name}
    ansi = sorted(functions & ANSI_TEXT_FUNCTIONS)
    check(f"{name}: texts and paths cross to Windows as UTF-16 (no ANSI text functions)", not ansi, ", ".join(ansi))
    check_manifest(name, pe)
    fixed = getattr(pe, "VS_FIXEDFILEINFO", [])
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            for table in getattr(block, "StringTable", []):
                strings.update({key.decode("utf-8"): text.decode("utf-8") for key, text in table.entries.items()})
    if not check(f"{name}: version resource", len(fixed) == 1 and fixed[0].Signature == FIXED_INFO_SIGNATURE,
                 f"{len(fixed)} fixed infos"):
        return
    split = lambda ms, ls: (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    file_version = split(fixed[0].FileVersionMS, fixed[0].FileVersionLS)
    product_version = split(fixed[0].ProductVersionMS, fixed[0].ProductVersionLS)
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

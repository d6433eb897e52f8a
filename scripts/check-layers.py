#!/usr/bin/env python3
"""Fails when an #include crosses a layer the wrong way.

The layers, from the bottom:
  common/      portable helpers; includes nothing of the project but common/
  platform/    platform interfaces (platform/*.h) and their implementations; may use common/
  viewer/, converter/   the programs' portable cores; use common/ and the platform interfaces
               (platform/*.h) only, and never each other
  picture/     the reference rasterizer; uses common/ and the canvas list
  cli/         the batch tool; uses everything above but the dialog stand-ins and Win32 code
Windows-only files (*_win32.cpp, *_win32.h) may also use platform/win32/, the polyline batch of
the Win32 canvas (platform/polyline_batch/) and <windows.h>. Headers
outside the C++ standard library (<windows.h>, <unistd.h>, <sys/stat.h>, ...) appear only in
platform/posix/, platform/win32/ and Windows-only files.

Usage: check-layers.py [ROOT]   (prints every offending line; exit status 1 when there is one)
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

# Folder of the including file -> project folders it may include from.
ALLOWED = {
    "common": ("common/",),
    "platform": ("common/", "platform/"),
    "viewer": ("common/", "platform/*", "viewer/"),
    "converter": ("common/", "platform/*", "converter/"),
    "picture": ("common/", "platform/canvas.h", "platform/canvas_list/", "picture/"),
    "cli": ("common/", "platform/*", "platform/canvas_list/", "viewer/", "converter/", "picture/", "cli/"),
}
WINDOWS_ONLY_EXTRA = ("platform/win32/", "platform/polyline_batch/")
SYSTEM_HEADERS_ALLOWED = ("platform/posix/", "platform/win32/")


def allows(pattern, header):
    if pattern.endswith("/*"):  # an interface header directly in that folder
        folder = pattern[:-1]
        return header.startswith(folder) and "/" not in header[len(folder):]
    return header.startswith(pattern) if pattern.endswith("/") else header == pattern


def standard_header(name):
    # The C++ standard library's headers have no extension and no folder.
    return "." not in name and "/" not in name


def problems(root):
    for folder, allowed in ALLOWED.items():
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            relative = path.relative_to(root).as_posix()
            windows_only = path.stem.endswith("_win32")
            may_include = allowed + (WINDOWS_ONLY_EXTRA if windows_only else ())
            system_ok = windows_only or relative.startswith(SYSTEM_HEADERS_ALLOWED)
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                kind, header = match.groups()
                if kind == '"' and not any(allows(p, header) for p in may_include):
                    yield f"{relative}:{number}: {folder}/ must not include \"{header}\""
                elif kind == "<" and not system_ok and not standard_header(header):
                    yield f"{relative}:{number}: <{header}> belongs behind the platform layer"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    found = list(problems(root))
    for line in found:
        print(line)
    print(f"layers: {len(found)} wrong include(s)" if found else "layers: every include keeps to its layer")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

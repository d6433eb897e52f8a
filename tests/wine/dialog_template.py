#!/usr/bin/env python3
"""Prints dialog 200 as built into an .exe, read back with windres, with UTF-16 escapes decoded.

usage: dialog_template.py WINDRES PROGRAM.exe
"""
import re
import subprocess
import sys


def decode(match):
    text = re.sub(r"\\x([0-9a-fA-F]{4})", lambda m: chr(int(m.group(1), 16)), match.group(1))
    return '"' + text + '"'


listing = subprocess.run([sys.argv[1], "-J", "coff", "-O", "rc", "-i", sys.argv[2]],
                         check=True, capture_output=True, text=True).stdout
lines = listing.splitlines()
start = next(i for i, line in enumerate(lines) if line.startswith("200 DIALOG"))
end = next(i for i in range(start, len(lines)) if lines[i] == "END")
# The LANGUAGE statement just before the dialog names its language.
language = next(line for line in reversed(lines[:start]) if line.startswith("LANGUAGE"))
for line in [language] + lines[start:end + 1]:
    print(re.sub(r'L"((?:[^"\\]|\\.)*)"', decode, line))

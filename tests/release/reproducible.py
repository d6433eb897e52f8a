#!/usr/bin/env python3
"""The release ZIP made again from a copy of the sources in another folder must be the same,
byte for byte, so that anyone can check that a ZIP is what the repository says.

usage: reproducible.py build/release/plotvane-VERSION-win32.zip   (from the repository root,
after scripts/make-release.sh made that ZIP)
"""
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile
from pathlib import Path

zip_name = sys.argv[1]
made = Path(zip_name).read_bytes()
# The tracked and the new files as they are now, without the build folders.
names = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                       check=True, capture_output=True).stdout.split(b"\0")
epoch = os.environ.get("SOURCE_DATE_EPOCH") or subprocess.run(
    ["git", "log", "-1", "--format=%ct"], check=True, capture_output=True, text=True).stdout.strip()
with tempfile.TemporaryDirectory(prefix="pv-release-again.") as again:
    for name in filter(None, map(os.fsdecode, names)):
        if os.path.isfile(name):  # a tracked file deleted in the work tree is not there
            os.makedirs(os.path.join(again, os.path.dirname(name)), exist_ok=True)
            shutil.copy2(name, os.path.join(again, name))
    print(f"release: the same sources again, in {again}", flush=True)
    second = subprocess.run(["bash", "scripts/make-release.sh"], cwd=again, capture_output=True, text=True,
                            env=dict(os.environ, SOURCE_DATE_EPOCH=epoch))
    if second.returncode:
        sys.exit(f"{second.stdout[-3000:]}{second.stderr[-3000:]}\nrelease: the second build failed")
    remade = Path(again, zip_name).read_bytes()
    if made == remade:
        print(f"release: built twice, the same ZIP byte for byte (sha256 {hashlib.sha256(made).hexdigest()})")
        sys.exit(0)
    print(f"release: FAIL: the same sources gave another ZIP ({again}/{zip_name})")
    a, b = zipfile.ZipFile(zip_name), zipfile.ZipFile(Path(again, zip_name))
    for x, y in zip(a.infolist(), b.infolist()):
        if (x.filename, x.date_time, x.CRC) != (y.filename, y.date_time, y.CRC):
            print("   ", x.filename, x.date_time, hex(x.CRC), "|", y.filename, y.date_time, hex(y.CRC))
    sys.exit(1)

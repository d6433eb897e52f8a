#!/usr/bin/env python3
"""The test command's summary, from CTest's own results (ctest --output-junit PRESET.xml): per
preset how many tests passed, failed and did not run, then each failed test, and each test that
did not run with its reason (the last line of its output: a test that cannot run here says why).

usage: test-summary.py PRESET.xml...   exit status 1 when a test failed or did not run, or a
preset has no results (its build failed, or its tests could not be listed).
"""
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

complete = True
lines = []
for path in map(Path, sys.argv[1:]):
    preset = path.stem
    if not path.is_file():
        print(f"{preset}: no test results (the build failed or the tests could not be listed: see {path.with_suffix('.log')})")
        complete = False
        continue
    counts = {"run": 0, "fail": 0, "notrun": 0}
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        status = case.get("status", "fail")
        status = status if status in counts else "notrun"
        counts[status] += 1
        if status == "fail":
            lines.append(f"FAILED: {preset}: {case.get('name')}")
        elif status == "notrun":
            said = [line.strip() for line in (case.findtext("system-out") or "").splitlines() if line.strip()]
            skipped = case.find("skipped")
            reason = said[-1] if said else skipped.get("message", "") if skipped is not None else ""
            lines.append(f"not run: {preset}: {case.get('name')}: {reason or 'no reason given'}")
    print(f"{preset}: {counts['run']} passed, {counts['fail']} failed, {counts['notrun']} not run")
    complete = complete and counts["fail"] == 0 and counts["notrun"] == 0 and sum(counts.values()) > 0
print("\n".join(lines))
sys.exit(0 if complete else 1)

#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Loads a CLAP plug-in with Qtractor's plug-in scan helper, a host nobody on the project wrote, and checks
the line it prints for it:  CLAP|name|inputs:outputs|midi in:out|parameters:...|flags|path|index|id
  qtractor_scan_test.py SCAN_HELPER PLUGIN name=Quillmere audio=2:2 midi=0:0 params=5
Exits 77 (skipped) when the helper is not there."""
import os
import subprocess
import sys


def main():
    scan, plugin = sys.argv[1], os.path.abspath(sys.argv[2])
    expected = dict(arg.split("=", 1) for arg in sys.argv[3:])
    if not scan or not os.access(scan, os.X_OK):
        print("SKIPPED: Qtractor's scan helper is not installed (tools/install-deps.sh extracts it to "
              "/opt/qtractor-scan)")
        return 77
    run = subprocess.run([scan], input=f"CLAP:{plugin}\n", capture_output=True, text=True, timeout=60)
    lines = [line for line in run.stdout.splitlines() if line.startswith("CLAP|")]
    print(f"scan helper exit {run.returncode}; lines: {lines}")
    if run.stderr.strip():
        print(run.stderr.strip())
    if len(lines) != 1:
        print(f"FAILED: expected one CLAP line for {plugin}")
        return 1
    fields = lines[0].split("|")
    if len(fields) < 8:
        print("FAILED: the line has fewer fields than expected")
        return 1
    seen = {"name": fields[1], "audio": fields[2], "midi": fields[3], "params": fields[4].split(":")[0],
            "path": fields[6], "index": fields[7]}
    expected.setdefault("path", plugin)
    expected.setdefault("index", "0")
    wrong = [f"{key}: {seen.get(key)!r}, expected {value!r}" for key, value in expected.items()
             if seen.get(key) != value]
    for problem in wrong:
        print("FAILED: " + problem)
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs Ardour 7's VST 2 scanner on a plug-in and checks what it cached.

Usage: scan_test.py PLUGIN.so KEY=VALUE...  where each KEY is an attribute of the cached
VST2Info element (name, n_inputs, n_outputs, category, has_editor, ...).
"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ardour_host as ah  # noqa: E402


def main():
    if len(sys.argv) < 3 or any("=" not in a for a in sys.argv[2:]):
        print(__doc__.strip())
        return 2
    expected = dict(a.split("=", 1) for a in sys.argv[2:])
    ah.skip_unless_ardour(need_lua=False)
    with ah.Sandbox() as box:
        plugin = box.install_plugin(os.path.abspath(sys.argv[1]))
        info = box.scan(plugin)
    failures = 0
    for key, want in expected.items():
        got = info.get(key)
        ok = got == want
        failures += not ok
        ah.log("%s %s: cached %r, expected %r" % ("ok  " if ok else "FAIL", key, got, want))
    if failures:
        ah.log("FAIL: %d of %d attributes differ" % (failures, len(expected)))
        return 1
    ah.log("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())

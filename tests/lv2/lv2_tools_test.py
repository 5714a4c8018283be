#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Checks the LV2 bundle with Debian's LV2 tools, hosts nobody on the project wrote.

  validate BUNDLE                  lv2_validate finds 0 errors and warns of nothing
  info BUNDLE                      lv2info describes the plug-in and its nine ports
  render BUNDLE RENDERER TOOL      lv2file, lv2apply, lv2proc or ecasound renders a file through the plug-in;
                                   every output sample equals the VST 2 plug-in's 32-bit path
                                   (quillmere-render) for the same input, settings and block size

Exits 77 (skipped) when a tool is not installed.
"""

import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ardour"))
import ardour_host as ah  # noqa: E402  (float WAV files)

URI = "urn:quillmere:quillmere"
RATE = 44100
SKIP = 77
PACKAGES = {"lv2_validate": "lv2-dev and sordi", "sord_validate": "sordi", "lv2info": "lilv-utils",
            "lv2apply": "lilv-utils", "lv2file": "lv2file", "lv2proc": "lv2proc", "ecasound": "ecasound"}


def need(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("SKIP: %s not installed (Debian: %s)"
              % (", ".join(missing), ", ".join(PACKAGES[t] for t in missing)), flush=True)
        sys.exit(SKIP)


def run(command, env=None):
    print("$ " + " ".join(command), flush=True)
    done = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
    output = done.stdout.decode("utf-8", "replace")
    print(output.rstrip(), flush=True)
    return done.returncode, output


def lv2_env(bundle):
    """Only the bundle's folder on the search path, so an installed copy cannot answer instead."""
    env = dict(os.environ)
    env["LV2_PATH"] = os.path.dirname(os.path.abspath(bundle))
    return env


def validate(bundle):
    need("lv2_validate", "sord_validate")
    files = [os.path.join(bundle, name) for name in sorted(os.listdir(bundle)) if name.endswith(".ttl")]
    code, output = run(["lv2_validate"] + files)
    problems = [line for line in output.splitlines() if line.startswith(("error", "warning"))]
    if code != 0 or "Found 0 errors" not in output or problems:
        print("FAIL: lv2_validate exit %d, %d error or warning lines" % (code, len(problems)))
        return 1
    return 0


def info(bundle):
    need("lv2info")
    code, output = run(["lv2info", URI], lv2_env(bundle))
    # lv2info lists the optional features in no fixed order, the first after the heading.
    lines = [" ".join(line.split()).replace("Optional Features: ", "") for line in output.splitlines()]
    expected = ["Name: Quillmere", "Author: Quillmere", "Has latency: no",
                "http://lv2plug.in/ns/lv2core#hardRTCapable", "http://lv2plug.in/ns/ext/urid#map",
                "http://lv2plug.in/ns/ext/options#options",
                "Properties: http://lv2plug.in/ns/ext/port-props#logarithmic",
                "Name: Freqz Split", "Minimum: 100.000000", "Maximum: 20000.000000", "Default: 1000.000000",
                "Name: LR to HighFreqz", "Minimum: -10.000000"]
    expected += ["Symbol: %s" % s for s in ("in_l", "in_r", "out_l", "out_r", "split", "low_q", "high_q",
                                            "low_angle", "high_angle")]
    expected += ["Port %d:" % i for i in range(9)]
    missing = [e for e in expected if e not in lines]
    if code != 0 or missing or "Port 9:" in lines:
        print("FAIL: lv2info exit %d; missing lines: %s" % (code, missing))
        return 1
    return 0


# Each case: the host's block size (lv2file's -b, lv2proc's -n, ecasound's -b), the VST 2 block size that
# must sound the same, and control values, all exact in 32 bit. lv2file offers its block as the maximum block
# length and runs every block at full length, the last one padded, so its input is a whole number of blocks.
# lv2apply (single frames), lv2proc and ecasound offer no options, so the plug-in works in pieces of 4096
# frames, which sound as each whole block does. ecasound sets a control it is not given to 0, so it is given
# all five.
CASES = {
    "lv2file": [
        (None, 512, {"split": 2000.0, "low_q": 3.5, "high_angle": 1.25}),
        (64, 64, {"split": 50000.0, "high_q": -12.0, "low_angle": -2.5}),  # the split is clamped to 20000
        (4096, 4096, {"low_q": -40.0, "high_angle": -10.0}),
    ],
    "lv2apply": [
        (None, 1, {"split": 150.0, "low_q": 6.0, "low_angle": 0.75}),
    ],
    "lv2proc": [
        (2048, 2048, {"split": 2000.0, "low_q": 3.5, "high_angle": 1.25}),
        (4096, 4096, {"split": 300.0, "high_q": -12.0, "low_angle": -2.5}),
    ],
    "ecasound": [
        (2048, 2048, {"split": 2000.0, "low_q": 3.5, "high_q": 0.0, "low_angle": 0.0, "high_angle": 1.25}),
        (4096, 4096, {"split": 300.0, "low_q": 0.0, "high_q": -12.0, "low_angle": -2.5, "high_angle": 0.0}),
    ],
}
SYMBOLS = ["split", "low_q", "high_q", "low_angle", "high_angle"]
NAMES = {"split": "Freqz Split", "low_q": "LowFreqzQ", "high_q": "HighFreqzQ", "low_angle": "LR to LowFreqz",
         "high_angle": "LR to HighFreqz"}
# lv2proc and ecasound end with a shorter block, as the VST 2 renderer does.
FRAMES = {"lv2file": 131072, "lv2apply": 24576, "lv2proc": 131072 + 1000, "ecasound": 131072 + 1000}


def render(bundle, renderer, tool):
    need(tool)
    failures = 0
    folder = tempfile.mkdtemp(prefix="quillmere-lv2-")
    try:
        frames = FRAMES[tool]
        rng = random.Random(5)
        # Noise with a loud stretch, so the limiter works too.
        channels = [[rng.uniform(-0.8, 0.8) * (2.5 if i % 20000 < 3000 else 1.0) for i in range(frames)]
                    for _ in range(2)]
        source = os.path.join(folder, "input.wav")
        ah.write_float_wav(source, RATE, channels)
        for number, (block, vst_block, controls) in enumerate(CASES[tool]):
            label = "%s block %s %s" % (tool, block or "default", controls)
            lv2_out = os.path.join(folder, "lv2-%d.wav" % number)
            vst_out = os.path.join(folder, "vst2-%d.wav" % number)
            if tool == "lv2file":
                command = ["lv2file", "-i", source, "-o", lv2_out]
                if block:
                    command += ["-b", str(block)]
                for symbol, value in controls.items():
                    command += ["-p", "%s:%r" % (symbol, value)]
            elif tool == "lv2apply":
                command = ["lv2apply", "-i", source, "-o", lv2_out]
                for symbol, value in controls.items():
                    command += ["-c", symbol, repr(value)]
            elif tool == "lv2proc":
                command = ["lv2proc", "-i", source, "-o", lv2_out, "-n", str(block)]
                for symbol, value in controls.items():
                    command += ["-c", "%s:%r" % (symbol, value)]
            else:
                # Controls go in port order, and the output is written as 32-bit float.
                values = [repr(controls[symbol]) for symbol in SYMBOLS]
                command = ["ecasound", "-q", "-z:nodb", "-b:%d" % block, "-f:f32_le,2,%d" % RATE,
                           "-i", source, "-o", lv2_out, "-elv2:" + ",".join([URI] + values)]
            code, _ = run(command if tool == "ecasound" else command + [URI], lv2_env(bundle))
            reference = [renderer, "--precision", "float", "--block", str(vst_block), "-f"]
            for symbol, value in controls.items():
                reference += ["--set", "%s=%r" % (NAMES[symbol], value)]
            ref_code, _ = run(reference + [source, vst_out])
            if code != 0 or ref_code != 0:
                print("FAIL: %s: exit %d, reference exit %d" % (label, code, ref_code))
                failures += 1
                continue
            failures += compare(label, ah.read_float_wav(lv2_out), ah.read_float_wav(vst_out), frames)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return 1 if failures else 0


def compare(label, lv2, vst2, frames):
    (lv2_rate, lv2_channels), (_, vst2_channels) = lv2, vst2
    if lv2_rate != RATE or len(lv2_channels) != 2 or any(len(c) != frames for c in lv2_channels):
        print("FAIL: %s: the output is not %d stereo frames at %d Hz" % (label, frames, RATE))
        return 1
    bad = sum(1 for c in lv2_channels for v in c if not math.isfinite(v))
    differing = [i for i in range(frames)
                 if lv2_channels[0][i] != vst2_channels[0][i] or lv2_channels[1][i] != vst2_channels[1][i]]
    print("%s: %d non-finite samples, %d frames differ from the VST 2 plug-in" % (label, bad, len(differing)))
    if bad or differing:
        print("FAIL: %s%s" % (label, ", first difference at frame %d" % differing[0] if differing else ""))
        return 1
    return 0


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    mode, bundle = sys.argv[1], sys.argv[2]
    if mode == "validate":
        return validate(bundle)
    if mode == "info":
        return info(bundle)
    if mode == "render" and len(sys.argv) == 5:
        return render(bundle, sys.argv[3], sys.argv[4])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())

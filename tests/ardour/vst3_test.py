#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs Quillmere.vst3 in Ardour 7: its VST 3 scanner, then headless sessions beside the VST 2 plug-in.

Usage: vst3_test.py BUNDLE.vst3 VST2_PLUGIN.so RENDERER [--scan-only] [--keep]

1. The VST 3 scanner finds the bundle and caches one stereo effect with the plug-in's class ID, name, vendor,
   subcategories and version.
2. A session renders through the VST 3 plug-in with settings made as plain values (Ardour converts them with the
   plug-in's own curves), another through the VST 2 plug-in with the same settings as normalised values.
3. The VST 3 session again with an automation ramp on the split frequency over the middle of the file.

Every export must be finite. Before an export, Ardour processes a number of silent blocks that depends on timing,
and the effect's random placement runs on through them; so each export is compared with the VST 2 plug-in run by
RENDERER (quillmere-render, blocks of 1024 frames as Ardour's, 32-bit) over the input after k silent blocks, for
the k that matches: both plain sessions must match bit for bit for some k, and the ramped one up to the ramp.
"""

import argparse
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ardour_host as ah  # noqa: E402
import session_test as st  # noqa: E402

VST3_SCANNER = os.path.join(ah.ARDOUR_LIB_DIR, "ardour-vst3-scanner")
CLASS_ID = "324D7D68797B5D6347B28233F53FC2B5"

# The settings, in each parameter's own unit; the VST 2 run gets them as normalised values, computed here from
# the parameters' ranges (split 100 Hz-20 kHz on an exponential curve, the rest linear).
PLAIN = [(0, 2500.0), (1, -6.5), (2, 4.25), (3, 1.5), (4, -2.0)]
RANGES = {0: (100.0, 20000.0, "exp"), 1: (-40.0, 12.0, "lin"), 2: (-40.0, 12.0, "lin"), 3: (-10.0, 10.0, "lin"),
          4: (-10.0, 10.0, "lin")}
RAMP_START, RAMP_END = 40000, 90000  # frames


def normalised(index, plain):
    low, high, curve = RANGES[index]
    if curve == "exp":
        return math.log(plain / low) / math.log(high / low)
    return (plain - low) / (high - low)


def install_bundle(box, source):
    """Copies the bundle into the sandbox's VST 3 folder, every file dated well in the past."""
    folder = box.path("vst3")
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, os.path.basename(os.path.normpath(source)))
    shutil.copytree(source, target)
    past = time.time() - 60
    for root, dirs, files in os.walk(target):
        for name in dirs + files:
            os.utime(os.path.join(root, name), (past, past))
    os.utime(target, (past, past))
    box.env["VST3_PATH"] = folder
    return target


def scan_vst3(box, bundle):
    """Runs the VST 3 scanner; returns the attributes of the one cached VST3Info."""
    env = dict(box.env)
    env["LD_LIBRARY_PATH"] = ah.ARDOUR_LIB_DIR
    run = subprocess.run([VST3_SCANNER, "-f", "-v", bundle], env=env, cwd=box.root, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=120)
    output = run.stdout.decode("utf-8", "replace")
    ah.log("VST 3 scanner exit %d, output:\n%s" % (run.returncode, output.rstrip()))
    if "Found Plugin: Quillmere" not in output:
        ah.fail("the scanner did not find the plug-in")
    folder = os.path.join(box.cache_dir, "ardour7", "vst")
    caches = [os.path.join(folder, n) for n in sorted(os.listdir(folder)) if n.endswith(".v3i")]
    for cache in caches:
        root = ET.parse(cache).getroot()
        if root.get("bundle") != bundle:
            continue
        # Ardour trusts a cache only when it is newer, in whole seconds, than the module.
        module_time = int(os.stat(root.get("module")).st_mtime)
        if int(os.stat(cache).st_mtime) <= module_time:
            os.utime(cache, (module_time + 2, module_time + 2))
        infos = root.findall("VST3Info")
        if len(infos) != 1:
            ah.fail("expected one VST3Info in the cache, found %d" % len(infos))
        return dict(infos[0].attrib)
    ah.fail("the scanner wrote no cache file for %s" % bundle)


def render(box, script_dir, template, name, plugin_type, params, ramp=""):
    box.env["QM_RAMP"] = ramp
    exported, output = st.render(box, script_dir, template, name, params, plugin_type)
    rate, channels = ah.read_float_wav(exported)
    if rate != st.RATE or len(channels) != 2 or len(channels[0]) != st.FRAMES:
        ah.fail("the %s export is %d channels x %d frames at %d Hz" % (plugin_type, len(channels),
                                                                       len(channels[0]), rate))
    if not re.search(r"QM-INSERTED '%s' at plug-in slot [1-9][0-9]*, active true" % re.escape(name), output):
        ah.fail("the %s plug-in was not reported inserted and active" % plugin_type)
    # The next session renders into the same attempt folders.
    for name in os.listdir(box.root):
        if name.startswith("attempt-"):
            shutil.rmtree(box.path(name), ignore_errors=True)
    bad = sum(1 for ch in channels for v in ch if not math.isfinite(v))
    if bad:
        ah.fail("%d samples of the %s export are not finite" % (bad, plugin_type))
    return channels, output


BLOCK = 1024  # Ardour's cycle: the engine's buffer size
MAX_SILENT_BLOCKS = 600


def float_wav_data(path):
    """The raw data chunk of a 32-bit float WAV file (interleaved little-endian samples)."""
    with open(path, "rb") as f:
        blob = f.read()
    pos = 12
    while pos + 8 <= len(blob):
        size = struct.unpack("<I", blob[pos + 4:pos + 8])[0]
        if blob[pos:pos + 4] == b"data":
            return blob[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)
    ah.fail("%s has no data chunk" % path)


def silent_blocks_before(box, renderer, vst2, normal, input_wav, export, frames):
    """The number k of silent blocks after which the VST 2 plug-in gives the export's first frames, or None.

    The matching model is left in model.wav."""
    source = float_wav_data(input_wav)
    wanted = float_wav_data(export)[:frames * 8]
    settings = []
    for item in normal:
        settings += ["--set-normalized", item]
    padded, rendered = box.path("padded.wav"), box.path("model.wav")
    # Ardour has run about 90 blocks before its exports here: the search starts there.
    for k in sorted(range(MAX_SILENT_BLOCKS), key=lambda k: (abs(k - 90), k)):
        data = bytes(k * BLOCK * 8) + source
        fmt = struct.pack("<HHIIHH", ah.WAVE_FORMAT_IEEE_FLOAT, 2, st.RATE, st.RATE * 8, 8, 32)
        body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack("<I", len(data)) + data
        with open(padded, "wb") as f:
            f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
        run = subprocess.run([renderer, "--plugin", vst2, "--block", str(BLOCK), "--precision", "float",
                              "--format", "float", "-f"] + settings + [padded, rendered],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=60)
        if run.returncode != 0:
            ah.fail("the renderer failed: " + run.stderr.decode("utf-8", "replace"))
        if float_wav_data(rendered)[k * BLOCK * 8:k * BLOCK * 8 + frames * 8] == wanted:
            return k
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bundle", help="the VST 3 bundle (Quillmere.vst3)")
    parser.add_argument("vst2", help="the VST 2 plug-in (Quillmere.so)")
    parser.add_argument("renderer", help="quillmere-render")
    parser.add_argument("--scan-only", action="store_true", help="run the scanner check only")
    parser.add_argument("--keep", action="store_true", help="keep the temp folder")
    args = parser.parse_args()

    ah.skip_unless_ardour(need_lua=not args.scan_only)
    if not os.access(VST3_SCANNER, os.X_OK):
        ah.log("SKIP: Ardour's VST 3 scanner %s is missing" % VST3_SCANNER)
        return ah.SKIP
    started = time.monotonic()
    script_dir = os.path.dirname(os.path.abspath(__file__))
    failures = []
    with ah.Sandbox(keep=args.keep) as box:
        bundle = install_bundle(box, os.path.abspath(args.bundle))
        info = scan_vst3(box, bundle)
        expected = {"uid": CLASS_ID, "name": "Quillmere", "vendor": "Quillmere", "category": "Fx|Spatial",
                    "n_inputs": "2", "n_outputs": "2", "n_aux_inputs": "0", "n_aux_outputs": "0",
                    "n_midi_inputs": "0", "n_midi_outputs": "0"}
        for key, want in expected.items():
            if info.get(key) != want:
                failures.append("cached %s is %r, expected %r" % (key, info.get(key), want))
        if not re.fullmatch(r"\d+\.\d+\.\d+", info.get("version", "")):
            failures.append("cached version %r is not the project's" % info.get("version"))
        if args.scan_only:
            for f in failures:
                ah.log("FAIL: " + f)
            ah.log("PASS" if not failures else "FAIL")
            return 1 if failures else 0

        vst2 = box.install_plugin(os.path.abspath(args.vst2))
        vst2_name = box.scan(vst2).get("name", "")
        st.install_export_preset(box)
        input_wav = box.path("input.wav")
        ah.write_float_wav(input_wav, st.RATE, ah.test_signal(st.FRAMES, st.RATE))
        template = st.prepare_session(box, script_dir, input_wav)

        # Normalised values as float, as a VST 2 host passes them.
        plain = ["%d=%r" % (i, v) for i, v in PLAIN]
        normal = ["%d=%r" % (i, struct.unpack("<f", struct.pack("<f", normalised(i, v)))[0]) for i, v in PLAIN]
        runs = [("VST 3 session", "Quillmere", "VST3", plain, ""),
                ("VST 2 session", vst2_name, "LXVST", normal, ""),
                ("VST 3 session with a ramp", "Quillmere", "VST3", plain,
                 "0:%d:%r,%d:%r" % (RAMP_START, 2500.0, RAMP_END, 400.0))]
        for label, name, kind, params, ramp in runs:
            # A loaded machine now and then makes Ardour's export miss the model altogether (the VST 2 session
            # as much as the VST 3 one); such a session is rendered once more.
            for attempt in (1, 2):
                channels, output = render(box, script_dir, template, name, kind, params, ramp)
                export = box.path("%s.wav" % kind + ("-ramp" if ramp else ""))
                ah.write_float_wav(export, st.RATE, channels)
                # The ramped run is compared up to a block before the ramp starts.
                frames = RAMP_START - BLOCK if ramp else st.FRAMES
                k = silent_blocks_before(box, args.renderer, vst2, normal, input_wav, export, frames)
                if k is not None or attempt == 2:
                    break
                ah.log("the %s matches no model; rendering it once more" % label)
            if ramp and not re.search(r"QM-RAMP control 0, [2-9] points", output):
                failures.append("the ramp was not set up")
            if k is None:
                failures.append("the %s matches the VST 2 plug-in after no number of silent blocks up to %d"
                                % (label, MAX_SILENT_BLOCKS))
            else:
                ah.log("the %s is the VST 2 plug-in's output bit for bit (%d frames) after %d silent blocks"
                       % (label, frames, k))
            if ramp and k is not None:
                # After the ramp the output is not the unramped one (the last model rendered is the match).
                model = float_wav_data(box.path("model.wav"))[(k * BLOCK + RAMP_END) * 8:]
                if float_wav_data(export)[RAMP_END * 8:] == model:
                    failures.append("the ramp changed nothing")
        ah.log("total time %.1f s" % (time.monotonic() - started))
        if failures:
            box.keep = True  # for a look at the exports
    for f in failures:
        ah.log("FAIL: " + f)
    ah.log("PASS" if not failures else "FAIL")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

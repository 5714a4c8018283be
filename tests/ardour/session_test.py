#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Renders a test file through a Linux VST 2 or an LV2 plug-in inside a headless Ardour 7 session.

Checks what holds in any host: the plug-in is found and inserted, the export has the input's
length, every sample is finite and within [-1, 1], and (unless --max-low-db is left out) the
energy below 50 Hz drops by at least the given number of dB. The band 300 Hz-3 kHz must keep
its energy within 20 dB, so that a silent output cannot pass. With --match-renderer the export
must equal, sample for sample, what the renderer gives in 32 bit with Ardour's 1024-frame blocks
after as many silent blocks as Ardour ran before the export (its pre-roll, about 90).
"""

import argparse
import math
import os
import re
import shutil
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # keep the source tree clean
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import ardour_host as ah  # noqa: E402

RATE = 44100
FRAMES = 131072  # about 3 s; a power of two for the analysis
SESSION = "render"
ATTEMPTS = 4  # Ardour's export sometimes crashes at its very end: one run plus three retries

FORMAT_ID = "9a6f0c1e-3d2b-4e7a-8c55-1f0b7d2e9c31"
PRESET_ID = "5c2e8b7d-0a4f-4d19-b6e3-7e9a1c3f5b42"
EXPORT_FORMAT = """<?xml version="1.0" encoding="UTF-8"?>
<ExportFormatSpecification name="Float WAV" id="%s" with-cue="false" with-toc="false" with-mp4chaps="false" command="" analyse="false" soundcloud-upload="false">
  <Encoding id="F_WAV" type="T_Sndfile" extension="wav" name="WAV" has-sample-format="true" channel-limit="256"/>
  <SampleRate rate="1"/>
  <SRCQuality quality="SRC_SincBest"/>
  <EncodingOptions>
    <Option name="sample-format" value="SF_Float"/>
    <Option name="dithering" value="D_None"/>
    <Option name="tag-metadata" value="false"/>
    <Option name="tag-support" value="false"/>
    <Option name="broadcast-info" value="false"/>
  </EncodingOptions>
  <Processing>
    <Normalize enabled="false" loudness="no" dbfs="0" lufs="-23" dbtp="-1"/>
    <Silence>
      <Start><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></Start>
      <End><Trim enabled="false"/><Add enabled="false"><Duration format="Timecode" hours="0" minutes="0" seconds="0" frames="0"/></Add></End>
    </Silence>
  </Processing>
</ExportFormatSpecification>
""" % FORMAT_ID
EXPORT_PRESET = """<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="%s" name="Float WAV">
  <ExportFormat id="%s"/>
  <ExportFilename>
    <Folder relative="1" path="export"/>
    <Field name="label" enabled="0"/>
    <Field name="session" enabled="0"/>
    <Field name="snapshot" enabled="0"/>
    <Field name="timespan" enabled="1"/>
    <Field name="revision" enabled="0"/>
    <Field name="time" enabled="0" value="T_None"/>
    <Field name="date" enabled="0" value="D_None"/>
  </ExportFilename>
</ExportPreset>
""" % (PRESET_ID, FORMAT_ID)


def install_export_preset(box):
    folder = os.path.join(box.config_dir, "ardour7", "export")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "float-wav.format"), "w", encoding="utf-8") as f:
        f.write(EXPORT_FORMAT)
    with open(os.path.join(folder, "float-wav.preset"), "w", encoding="utf-8") as f:
        f.write(EXPORT_PRESET)


def point_sources_at(session_dir, input_wav):
    """Makes the bounced region's two sources read channels 0 and 1 of the input file."""
    audio_dir = os.path.join(session_dir, "interchange", SESSION, "audiofiles")
    shutil.copyfile(input_wav, os.path.join(audio_dir, "input.wav"))
    session_file = os.path.join(session_dir, SESSION + ".ardour")
    tree = ET.parse(session_file)
    sources = tree.getroot().findall("./Sources/Source")
    if len(sources) != 2:
        ah.fail("the prepared session has %d sources, expected 2" % len(sources))
    for channel, source in enumerate(sorted(sources, key=lambda s: s.get("name"))):
        source.set("name", "input.wav")
        source.set("channel", str(channel))
    tree.write(session_file, encoding="UTF-8", xml_declaration=True)
    peaks = os.path.join(session_dir, "peaks")
    shutil.rmtree(peaks, ignore_errors=True)
    os.makedirs(peaks, exist_ok=True)


def prepare_session(box, script_dir, input_wav):
    # Ardour names the interchange folder after the session folder: keep both the same.
    template = box.path("template", SESSION)
    extra = {"QM_SESSION_DIR": template, "QM_SESSION_NAME": SESSION, "QM_FRAMES": str(FRAMES),
             "QM_RATE": str(RATE)}
    for attempt in range(1, ATTEMPTS + 1):
        shutil.rmtree(template, ignore_errors=True)
        code, output = box.run_lua(os.path.join(script_dir, "session_prepare.lua"), extra)
        if code == 0 and "QM-PREPARED 2 channels" in output:
            break
        if not ah.crashed(code) or attempt == ATTEMPTS:
            ah.fail("preparing the session failed (exit %d)" % code)
        ah.log("Ardour crashed (exit %d); retrying, attempt %d of %d"
               % (code, attempt + 1, ATTEMPTS))
    point_sources_at(template, input_wav)
    return template


def render(box, script_dir, template, plugin_name, params, plugin_type="LXVST", tag=""):
    """Runs the render script on a fresh copy of the session; returns (export path, output). tag keeps the
    folders of a second rendering apart from the first's."""
    for attempt in range(1, ATTEMPTS + 1):
        session_dir = box.path("attempt-%s%d" % (tag, attempt), SESSION)
        export_dir = box.path("attempt-%s%d" % (tag, attempt), "export")
        shutil.copytree(template, session_dir)
        os.makedirs(export_dir)
        extra = {"QM_SESSION_DIR": session_dir, "QM_SESSION_NAME": SESSION,
                 "QM_FRAMES": str(FRAMES), "QM_PLUGIN_NAME": plugin_name,
                 "QM_PARAMS": ",".join(params), "QM_EXPORT_DIR": export_dir,
                 "QM_EXPORT_NAME": "rendered", "QM_EXPORT_PRESET": PRESET_ID,
                 "QM_PLUGIN_TYPE": plugin_type}
        code, output = box.run_lua(os.path.join(script_dir, "session_render.lua"), extra)
        exported = os.path.join(export_dir, "rendered.wav")
        if code == 0 and "QM-CLOSED" in output and os.path.isfile(exported):
            return exported, output
        if ah.crashed(code) and "QM-EXPORTED" in output and export_complete(exported):
            # The export had finished and its file is whole; only the teardown crashed.
            ah.log("Ardour crashed (exit %d) closing the session after a complete export; "
                   "using that export" % code)
            return exported, output
        if not ah.crashed(code) or attempt == ATTEMPTS:
            ah.fail("the render session failed (exit %d)" % code)
        ah.log("Ardour crashed (exit %d); retrying, attempt %d of %d"
               % (code, attempt + 1, ATTEMPTS))


def export_complete(path):
    """True when the file's header announces exactly the frames asked for."""
    try:
        rate, channels = ah.read_float_wav(path)
    except (OSError, ValueError):
        return False
    return rate == RATE and len(channels) == 2 and len(channels[0]) == FRAMES


ARDOUR_BLOCK = 1024
# Searched from the usual 90 outwards; a loaded machine runs more idle cycles before the export.
PREROLL_BLOCKS = range(0, 401)


def matching_preroll(box, renderer, settings, source, result):
    """The number of silent blocks after which the renderer's 32-bit output equals result, or None."""
    rate, channels = source
    reference_in = box.path("reference-in.wav")
    reference_out = box.path("reference-out.wav")
    for blocks in sorted(PREROLL_BLOCKS, key=lambda k: (abs(k - 90), k)):
        silence = [0.0] * (blocks * ARDOUR_BLOCK)
        ah.write_float_wav(reference_in, rate, [silence + c for c in channels])
        command = [renderer, "--precision", "float", "--block", str(ARDOUR_BLOCK), "-f"]
        for setting in settings:
            command += ["--set", setting]
        run = subprocess.run(command + [reference_in, reference_out], stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
        if run.returncode != 0:
            ah.fail("the renderer failed: " + run.stdout.decode("utf-8", "replace"))
        _, rendered = ah.read_float_wav(reference_out)
        if all(rendered[c][len(silence):] == result[c] for c in range(2)):
            return blocks
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("plugin", help="the plug-in library (.so) to render through, or with "
                        "--lv2-path the LV2 plug-in's URI")
    parser.add_argument("--param", action="append", default=[], metavar="INDEX=VALUE",
                        help="set a plug-in parameter by control index; VST 2 values are "
                        "normalised, 0 to 1, LV2 values in the control's own unit")
    parser.add_argument("--lv2-path", metavar="DIR",
                        help="render through an LV2 plug-in found in DIR (Ardour's LV2_PATH)")
    parser.add_argument("--lv2-name", metavar="NAME",
                        help="the name Ardour shows for the LV2 plug-in")
    parser.add_argument("--expect-line", action="append", default=[], metavar="TEXT",
                        help="require this line in the session's output (repeatable)")
    parser.add_argument("--max-low-db", type=float, default=None,
                        help="require the energy below 50 Hz to change by at most this many dB")
    parser.add_argument("--match-renderer", metavar="RENDERER",
                        help="require the export to equal quillmere-render's 32-bit output")
    parser.add_argument("--match-set", action="append", default=[], metavar="NAME=TEXT",
                        help="a --set option for the renderer, to match --param (repeatable)")
    parser.add_argument("--keep", action="store_true", help="keep the temp folder")
    args = parser.parse_args()

    ah.skip_unless_ardour(need_lua=True)
    started = time.monotonic()
    script_dir = os.path.dirname(os.path.abspath(__file__))
    with ah.Sandbox(keep=args.keep) as box:
        if args.lv2_path:
            # Ardour reads LV2 descriptions itself: no scanner, only the search path.
            if not args.lv2_name:
                ah.fail("--lv2-path needs --lv2-name")
            box.env["LV2_PATH"] = os.path.abspath(args.lv2_path)
            plugin_id, name, plugin_type = args.plugin, args.lv2_name, "LV2"
        else:
            plugin = box.install_plugin(os.path.abspath(args.plugin))
            info = box.scan(plugin)
            name = info.get("name", "")
            if not name:
                ah.fail("the scanner cached no plug-in name")
            plugin_id, plugin_type = name, "LXVST"
        install_export_preset(box)

        input_wav = box.path("input.wav")
        ah.write_float_wav(input_wav, RATE, ah.test_signal(FRAMES, RATE))
        template = prepare_session(box, script_dir, input_wav)
        # Ardour 7.3 now and then exports silence or stops short, with a peer plug-in as well as with this one; a
        # session that fails is rendered once more, and only a second failure counts.
        for attempt in (1, 2):
            exported, output = render(box, script_dir, template, plugin_id, args.param, plugin_type,
                                      "" if attempt == 1 else "again-")

            failures = []
            if not re.search(r"QM-INSERTED '%s' at plug-in slot [1-9][0-9]*, active true"
                             % re.escape(name), output):
                failures.append("the plug-in was not reported inserted and active")
            if ("QM-REGION 2 channels, %d frames" % FRAMES) not in output:
                failures.append("the region was not the input's two channels and length")
            lines = output.splitlines()
            failures += ["the session did not print %r" % e for e in args.expect_line if e not in lines]

            try:
                in_rate, source = ah.read_float_wav(input_wav)
                out_rate, result = ah.read_float_wav(exported)
            except (OSError, ValueError) as error:
                failures.append(str(error))
                continue
            frames = len(result[0]) if result else 0
            ah.log("export: %d channels, %d frames at %d Hz" % (len(result), frames, out_rate))
            if out_rate != in_rate or len(result) != 2 or frames != FRAMES:
                failures.append("the export is %d channels x %d frames at %d Hz, expected 2 x %d at %d Hz"
                                % (len(result), frames, out_rate, FRAMES, in_rate))
                continue
            bad = sum(1 for ch in result for v in ch if not math.isfinite(v))
            peak = max((abs(v) for ch in result for v in ch if math.isfinite(v)), default=0.0)
            ah.log("non-finite samples: %d, output peak %.6f (%.2f dBFS)"
                   % (bad, peak, ah.decibels(peak * peak) / 2 if peak > 0 else float("-inf")))
            if bad:
                failures.append("%d samples are not finite" % bad)
            if peak > 1.0:
                failures.append("the output peak %.6f exceeds 1" % peak)

            bands = [(0.0, 50.0), (300.0, 3000.0)]
            e_in = ah.band_energies(source[0], source[1], RATE, bands)
            e_out = ah.band_energies(result[0], result[1], RATE, bands)
            low_change = ah.decibels(e_out[0] / e_in[0])
            mid_change = ah.decibels(e_out[1] / e_in[1])
            ah.log("energy below 50 Hz: input %.2f dB, output %.2f dB, change %.2f dB"
                   % (ah.decibels(e_in[0]), ah.decibels(e_out[0]), low_change))
            ah.log("energy 300 Hz-3 kHz: input %.2f dB, output %.2f dB, change %.2f dB"
                   % (ah.decibels(e_in[1]), ah.decibels(e_out[1]), mid_change))
            if args.max_low_db is not None:
                if not low_change <= args.max_low_db:
                    failures.append("energy below 50 Hz changed by %.2f dB, need at most %.2f dB"
                                    % (low_change, args.max_low_db))
            # A silent or broken output would pass the low-band check on its own.
            if not mid_change > -20.0:
                failures.append("energy 300 Hz-3 kHz changed by %.2f dB: the output lost the signal"
                                % mid_change)

            if args.match_renderer and not bad:
                blocks = matching_preroll(box, args.match_renderer, args.match_set, (in_rate, source),
                                          result)
                if blocks is None:
                    failures.append("the export equals the renderer's output after no pre-roll of %d to %d "
                                    "blocks" % (PREROLL_BLOCKS[0], PREROLL_BLOCKS[-1]))
                else:
                    ah.log("the export equals the renderer's 32-bit output, bit for bit, after %d "
                           "silent blocks of %d frames" % (blocks, ARDOUR_BLOCK))
            if not failures or attempt == 2:
                break
            ah.log("attempt %d failed (%s); rendering the session once more" % (attempt, "; ".join(failures)))

        ah.log("total time %.1f s" % (time.monotonic() - started))
        if failures:
            for f in failures:
                ah.log("FAIL: " + f)
            return 1
        ah.log("PASS")
        return 0


if __name__ == "__main__":
    sys.exit(main())

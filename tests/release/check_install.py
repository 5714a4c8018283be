# SPDX-License-Identifier: GPL-3.0-or-later
"""check_install.py BUILD_DIR SCRATCH: `cmake --install` puts every shipped file where hosts and users look for
it, and the installed renderer renders with the installed plug-in."""
import os
import re
import shutil
import subprocess
import sys

build, scratch = sys.argv[1], sys.argv[2]
shutil.rmtree(scratch, ignore_errors=True)
prefix = os.path.join(scratch, "prefix")
subprocess.run(["cmake", "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
expected = [
    "bin/quillmere-render",
    "lib/vst/Quillmere.so",
    "lib/vst3/Quillmere.vst3/Contents/x86_64-linux/Quillmere.so",
    "lib/clap/Quillmere.clap",
    "lib/lv2/quillmere.lv2/manifest.ttl",
    "lib/lv2/quillmere.lv2/presets.ttl",
    "share/vst3/presets/Quillmere/Quillmere/Slow Whole-Mix Drift.vstpreset",
    "share/quillmere/presets/vst2/Slow Whole-Mix Drift.fxp",
    "share/man/man1/quillmere-render.1",
    "share/doc/quillmere/README.md",
    "share/doc/quillmere/LICENSE",
    "share/doc/quillmere/CHANGELOG.md",
]
missing = [path for path in expected if not os.path.isfile(os.path.join(prefix, path))]
if missing:
    sys.exit("not installed: " + ", ".join(missing))
# Every file the installed README links to (pictures, other documents) is installed beside it.
doc = os.path.join(prefix, "share/doc/quillmere")
with open(os.path.join(doc, "README.md"), encoding="utf-8") as readme:
    links = re.findall(r"\]\(([^)\s]+)\)", readme.read())
broken = [link for link in links
          if not re.match(r"[a-z]+:", link) and not os.path.exists(os.path.join(doc, link.split("#")[0]))]
if broken:
    sys.exit("the installed README links to files not installed: " + ", ".join(broken))
# Away from the build tree the renderer can only find the installed plug-in.
moved = os.path.join(scratch, "moved")
shutil.move(prefix, moved)
work = os.path.join(scratch, "work")
os.makedirs(work)
subprocess.run([os.path.join(moved, "bin/quillmere-render")], check=True, cwd=work, stdout=subprocess.DEVNULL)
demo = os.path.join(work, "quillmere-demo.wav")
if not os.path.isfile(demo) or os.path.getsize(demo) < 100000:
    sys.exit("the installed renderer wrote no demo file")
# And it was the installed plug-in it loaded: a damaged one is an error, however complete the build tree is.
with open(os.path.join(moved, "lib/vst/Quillmere.so"), "wb") as damaged:
    damaged.write(b"not a plug-in")
run = subprocess.run([os.path.join(moved, "bin/quillmere-render"), "--list-params"], cwd=work,
                     capture_output=True, text=True)
if run.returncode != 1:
    sys.exit(f"the installed renderer did not load the installed plug-in: {run.returncode} {run.stdout}{run.stderr}")
print(f"{len(expected)} files installed; the installed renderer rendered the demo with the installed plug-in")
shutil.rmtree(scratch)

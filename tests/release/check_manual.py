# SPDX-License-Identifier: GPL-3.0-or-later
"""check_manual.py RENDERER MANUAL: every option that --help shows is in the manual page, and man renders the
page without a warning."""
import os
import re
import shutil
import subprocess
import sys

renderer, manual = sys.argv[1], sys.argv[2]
if not shutil.which("man"):
    print("SKIPPED: man is not installed (Debian: man-db)")
    sys.exit(77)
help_text = subprocess.run([renderer, "--help"], check=True, capture_output=True, text=True).stdout
options = sorted(set(re.findall(r"(?<![\w-])(--?[a-z][a-z-]*)", help_text)))
if len(options) < 10:
    sys.exit(f"found only {options} in --help")
env = dict(os.environ, MANWIDTH="100", LC_ALL="C.UTF-8")
shown = subprocess.run(["man", "--warnings", "-l", manual], capture_output=True, text=True, env=env)
if shown.returncode != 0 or shown.stderr.strip():
    sys.exit(f"man -l {manual} warned or failed:\n{shown.stderr}")
# man hyphenates and joins words; compare the page's text with line breaks and hyphenation undone.
page = re.sub(r"\u2010\s*\n\s*|-\n\s*", "", shown.stdout).replace("\u2010", "-").replace("\u2212", "-")
missing = [option for option in options if not re.search(r"(?<![\w-])" + re.escape(option) + r"(?![\w-])", page)]
if missing:
    sys.exit(f"options in --help but not in the manual page: {' '.join(missing)}")
print(f"{len(options)} options, all in the manual page: {' '.join(options)}")

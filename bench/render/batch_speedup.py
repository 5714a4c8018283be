#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""batch_speedup.py RENDERER [--files 16] [--seconds 60] [--jobs N] [--rounds 5] [--scratch DIR]

Renders a folder of FILES stereo files of SECONDS each (pink noise, 44100 Hz, 24 bit, made with sox) through
`quillmere-render --output-dir`, once with --jobs 1 and once with --jobs N (default: the processor cores this
process may use), ROUNDS times in alternation. Reports per round the wall-clock times and their ratio (the
speed-up), the CPU time, and each run's peak resident memory; then the median speed-up, also as a fraction of N.
The files go to a temporary folder under DIR (for example /dev/shm, to leave the disk out).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile


def run(command):
    """Runs command under /usr/bin/time; answers (wall seconds, CPU seconds, peak resident KiB) of that process.
    (Python's own wait4 would count the forked interpreter's memory as the child's peak.)"""
    with tempfile.NamedTemporaryFile("r") as figures:
        process = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", figures.name] + command,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if process.returncode != 0:
            sys.exit(f"{' '.join(command[:4])} ... failed ({process.returncode}): {process.stderr}")
        wall, user, system, peak = figures.read().split()[-4:]
    return float(wall), float(user) + float(system), int(peak)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("renderer")
    parser.add_argument("--files", type=int, default=16)
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--jobs", type=int, default=len(os.sched_getaffinity(0)))
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--scratch", default=None)
    args = parser.parse_args()
    if shutil.which("sox") is None or not os.access("/usr/bin/time", os.X_OK):
        sys.exit("sox and /usr/bin/time are needed (Debian: sox, time)")

    scratch = tempfile.mkdtemp(prefix="quillmere-batch-bench-", dir=args.scratch)
    try:
        inputs = []
        for i in range(args.files):
            path = os.path.join(scratch, f"in-{i:02d}.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "24", path, "synth", str(args.seconds),
                            "pinknoise", "vol", "0.5"], check=True)
            inputs.append(path)
        out = os.path.join(scratch, "out")
        os.mkdir(out)
        audio = args.files * args.seconds
        print(f"{args.files} files of {args.seconds:g} s ({audio:g} s of audio), --jobs 1 against --jobs {args.jobs}"
              f" on {os.cpu_count()} processors, {args.rounds} rounds")
        print("round  jobs 1: wall s  cpu s  peak MiB   jobs N: wall s  cpu s  peak MiB   speed-up"
              "   (cpu s: user and system time of all threads)")
        ratios = []
        for r in range(args.rounds):
            figures = {}
            for jobs in (1, args.jobs):
                command = [args.renderer, "--quiet", "--force", "--jobs", str(jobs), "--output-dir", out] + inputs
                figures[jobs] = run(command)
            one, many = figures[1], figures[args.jobs]
            ratios.append(one[0] / many[0])
            print(f"{r + 1:5d}  {one[0]:14.2f} {one[1]:6.2f} {one[2] / 1024:9.1f}   {many[0]:14.2f} {many[1]:6.2f}"
                  f" {many[2] / 1024:9.1f}   {ratios[-1]:8.2f}")
        median = statistics.median(ratios)
        print(f"median speed-up {median:.2f} with {args.jobs} jobs ({median / args.jobs:.2f} of {args.jobs}); "
              f"{audio / figures[args.jobs][0]:.0f}x real time with {args.jobs} jobs")
        # Under other load a process gets less than its cores: cpu / wall shows how many it had.
        print(f"last round, processor cores in use on average: {figures[1][1] / figures[1][0]:.2f} with 1 job, "
              f"{figures[args.jobs][1] / figures[args.jobs][0]:.2f} with {args.jobs}")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()

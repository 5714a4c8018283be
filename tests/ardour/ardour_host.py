# SPDX-License-Identifier: GPL-3.0-or-later
"""Runs Ardour 7's VST 2 scanner and headless Lua session runner in a throw-away home.

Everything Ardour reads or writes (configuration, plug-in cache, sessions) lives in one temp
folder, so the user's own Ardour setup is neither read nor changed.
"""

import cmath
import math
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

SKIP = 77  # the tests' SKIP_RETURN_CODE

ARDOUR_LIB_DIR = "/usr/lib/ardour7"
SCANNER = os.path.join(ARDOUR_LIB_DIR, "ardour-vst-scanner")
LUA_RUNNER = "ardour7-lua"


def log(*parts):
    print(*parts, flush=True)


def skip_unless_ardour(need_lua):
    """Exits with SKIP when the Ardour 7 programs are not installed."""
    missing = []
    if not os.access(SCANNER, os.X_OK):
        missing.append(SCANNER)
    if need_lua and shutil.which(LUA_RUNNER) is None:
        missing.append(LUA_RUNNER)
    if missing:
        log("SKIP: Ardour 7 is not installed (missing %s); install the Debian package 'ardour'"
            % ", ".join(missing))
        sys.exit(SKIP)


def fail(message):
    log("FAIL: " + message)
    sys.exit(1)


class Sandbox:
    """A temp folder that stands in for HOME and every XDG folder."""

    def __init__(self, keep=False):
        self.root = tempfile.mkdtemp(prefix="quillmere-ardour-")
        self.keep = keep
        self.plugin_dir = self.path("plugins")
        self.config_dir = self.path("xdg-config")
        self.cache_dir = self.path("xdg-cache")
        names = {
            "HOME": "home",
            "XDG_CONFIG_HOME": "xdg-config",
            "XDG_CACHE_HOME": "xdg-cache",
            "XDG_DATA_HOME": "xdg-data",
            "XDG_STATE_HOME": "xdg-state",
            "XDG_RUNTIME_DIR": "xdg-runtime",
            "XDG_CONFIG_DIRS": "xdg-config-dirs",
            "XDG_DATA_DIRS": "xdg-data-dirs",
        }
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("XDG_", "ARDOUR_", "LXVST_", "VST_", "JACK_"))}
        for key, name in names.items():
            folder = self.path(name)
            os.makedirs(folder, mode=0o700, exist_ok=True)
            env[key] = folder
        os.makedirs(self.plugin_dir, exist_ok=True)
        # A fresh configuration takes its Linux VST folder list from LXVST_PATH.
        env["LXVST_PATH"] = self.plugin_dir
        self.env = env

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def close(self):
        if self.keep:
            log("kept " + self.root)
        else:
            shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def install_plugin(self, source):
        """Copies the plug-in into the sandbox's VST folder, dated well in the past."""
        if not os.path.isfile(source):
            fail("plug-in file not found: " + source)
        target = os.path.join(self.plugin_dir, os.path.basename(source))
        shutil.copyfile(source, target)
        # Ardour trusts a cache file only when it is newer, in whole seconds, than the plug-in.
        past = time.time() - 60
        os.utime(target, (past, past))
        return target

    def scan(self, plugin):
        """Runs the scanner on one plug-in and returns the attributes of its cached VST2Info."""
        env = dict(self.env)
        env["LD_LIBRARY_PATH"] = ARDOUR_LIB_DIR + (
            ":" + env["LD_LIBRARY_PATH"] if env.get("LD_LIBRARY_PATH") else "")
        run = subprocess.run([SCANNER, "-f", plugin], env=env, cwd=self.root,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120)
        output = run.stdout.decode("utf-8", "replace")
        log("scanner exit %d, output:\n%s" % (run.returncode, output.rstrip()))
        cache = find_cache_file(os.path.join(self.cache_dir, "ardour7", "vst"), plugin)
        if cache is None:
            fail("the scanner wrote no cache file for %s" % plugin)
        plugin_time = int(os.stat(plugin).st_mtime)
        if int(os.stat(cache).st_mtime) <= plugin_time:
            os.utime(cache, (plugin_time + 2, plugin_time + 2))
        with open(cache, encoding="utf-8") as f:
            log("cache %s:\n%s" % (os.path.basename(cache), f.read().rstrip()))
        infos = ET.parse(cache).getroot().findall("VST2Info")
        if len(infos) != 1:
            fail("expected one VST2Info in the cache, found %d" % len(infos))
        return dict(infos[0].attrib)

    def run_lua(self, script, extra_env, timeout=90):
        """Runs one Lua script headless; returns (exit code, output). A negative code is a signal.

        A run that hangs past the timeout is killed and reported as killed by SIGKILL.
        """
        env = dict(self.env)
        env.update(extra_env)
        started = time.monotonic()
        try:
            run = subprocess.run([LUA_RUNNER, script], env=env, cwd=self.root,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
            code, output = run.returncode, run.stdout
        except subprocess.TimeoutExpired as hung:
            code, output = -signal.SIGKILL, hung.stdout or b""
            log("%s: no exit after %d s, killed" % (os.path.basename(script), timeout))
        output = output.decode("utf-8", "replace")
        log("%s: exit %d after %.1f s, output:\n%s" % (
            os.path.basename(script), code, time.monotonic() - started, output.rstrip()))
        return code, output


def find_cache_file(folder, plugin):
    if not os.path.isdir(folder):
        return None
    for name in sorted(os.listdir(folder)):
        if not name.endswith(".v2i"):
            continue
        path = os.path.join(folder, name)
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError:
            continue
        if root.get("binary") == plugin:
            return path
    return None


def crashed(code):
    """True for a run ended by a signal (directly or as the shell reports it)."""
    return code < 0 or code > 128


# --- 32-bit float WAV files -------------------------------------------------------------

WAVE_FORMAT_IEEE_FLOAT = 3
WAVE_FORMAT_EXTENSIBLE = 0xFFFE


def write_float_wav(path, rate, channels):
    """Writes equally long channels (lists of floats) as a 32-bit float WAV file."""
    frames = len(channels[0])
    count = len(channels)
    interleaved = [channels[c][i] for i in range(frames) for c in range(count)]
    data = struct.pack("<%df" % len(interleaved), *interleaved)
    fmt = struct.pack("<HHIIHHH", WAVE_FORMAT_IEEE_FLOAT, count, rate, rate * 4 * count,
                      4 * count, 32, 0)
    body = b"WAVE"
    body += b"fmt " + struct.pack("<I", len(fmt)) + fmt
    body += b"fact" + struct.pack("<II", 4, frames)
    body += b"data" + struct.pack("<I", len(data)) + data
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


def read_float_wav(path):
    """Returns (rate, channels) of a 32-bit float WAV file; ValueError for anything else."""
    with open(path, "rb") as f:
        blob = f.read()
    if blob[0:4] != b"RIFF" or blob[8:12] != b"WAVE":
        raise ValueError("%s is not a RIFF WAVE file" % path)
    chunks = {}
    pos = 12
    while pos + 8 <= len(blob):
        cid = blob[pos:pos + 4]
        size = struct.unpack("<I", blob[pos + 4:pos + 8])[0]
        if pos + 8 + size > len(blob):
            raise ValueError("%s: chunk %r is cut short" % (path, cid))
        chunks.setdefault(cid, blob[pos + 8:pos + 8 + size])
        pos += 8 + size + (size & 1)
    if b"fmt " not in chunks or b"data" not in chunks:
        raise ValueError("%s lacks a fmt or data chunk" % path)
    tag, count, rate, _, align, bits = struct.unpack("<HHIIHH", chunks[b"fmt "][:16])
    if tag == WAVE_FORMAT_EXTENSIBLE and len(chunks[b"fmt "]) >= 26:
        tag = struct.unpack("<H", chunks[b"fmt "][24:26])[0]
    if tag != WAVE_FORMAT_IEEE_FLOAT or bits != 32 or align != 4 * count:
        raise ValueError("%s is not 32-bit float (format %d, %d bits)" % (path, tag, bits))
    data = chunks[b"data"]
    frames = len(data) // align
    samples = struct.unpack("<%df" % (frames * count), data[:frames * align])
    return rate, [list(samples[c::count]) for c in range(count)]


# --- Test signal and spectral energy ----------------------------------------------------

def biquad(samples, b0, b1, b2, a1, a2):
    out = []
    x1 = x2 = y1 = y2 = 0.0
    for x in samples:
        y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2
        x2, x1, y2, y1 = x1, x, y1, y
        out.append(y)
    return out


def lowpass(samples, rate, hz, q):
    w = 2 * math.pi * hz / rate
    alpha = math.sin(w) / (2 * q)
    a0 = 1 + alpha
    c = math.cos(w)
    return biquad(samples, (1 - c) / 2 / a0, (1 - c) / a0, (1 - c) / 2 / a0,
                  -2 * c / a0, (1 - alpha) / a0)


def highpass(samples, rate, hz, q):
    w = 2 * math.pi * hz / rate
    alpha = math.sin(w) / (2 * q)
    a0 = 1 + alpha
    c = math.cos(w)
    return biquad(samples, (1 + c) / 2 / a0, -(1 + c) / a0, (1 + c) / 2 / a0,
                  -2 * c / a0, (1 - alpha) / a0)


def test_signal(frames, rate, seed=1):
    """Two independent noise channels: strong rumble under 40 Hz plus band noise 300 Hz-3 kHz."""
    rng = random.Random(seed)
    channels = []
    for _ in range(2):
        white = [rng.uniform(-1.0, 1.0) for _ in range(frames)]
        low = lowpass(lowpass(white, rate, 40.0, 0.5412), rate, 40.0, 1.3066)
        white = [rng.uniform(-1.0, 1.0) for _ in range(frames)]
        mid = lowpass(highpass(white, rate, 300.0, 0.7071), rate, 3000.0, 0.7071)
        low_rms = math.sqrt(sum(v * v for v in low) / frames)
        mid_rms = math.sqrt(sum(v * v for v in mid) / frames)
        channels.append([0.2 * a / low_rms + 0.1 * b / mid_rms for a, b in zip(low, mid)])
    peak = max(abs(v) for ch in channels for v in ch)
    return [[0.5 * v / peak for v in ch] for ch in channels]


def fft(values):
    """In-place iterative radix-2 FFT of a list of complex numbers (length a power of two)."""
    n = len(values)
    j = 0
    for i in range(1, n):
        bit = n >> 1
        while j & bit:
            j ^= bit
            bit >>= 1
        j |= bit
        if i < j:
            values[i], values[j] = values[j], values[i]
    size = 2
    while size <= n:
        half = size >> 1
        step = cmath.exp(-2j * math.pi / size)
        twiddles = [1.0 + 0j]
        for _ in range(half - 1):
            twiddles.append(twiddles[-1] * step)
        for start in range(0, n, size):
            for k in range(half):
                a = values[start + k]
                b = values[start + k + half] * twiddles[k]
                values[start + k] = a + b
                values[start + k + half] = a - b
        size <<= 1
    return values


def band_energies(left, right, rate, bands):
    """Hann-windowed energy of both channels together in each band [lo, hi) Hz."""
    n = len(left)
    if n & (n - 1):
        fail("analysis length %d is not a power of two" % n)
    window = [0.5 - 0.5 * math.cos(2 * math.pi * i / n) for i in range(n)]
    # One complex transform carries both real channels.
    z = fft([complex(l * w, r * w) for l, r, w in zip(left, right, window)])
    result = []
    for lo, hi in bands:
        total = 0.0
        for k in range(0, n // 2 + 1):
            if lo <= k * rate / n < hi:
                zk, zn = z[k], z[-k % n].conjugate()
                total += abs((zk + zn) / 2) ** 2 + abs((zk - zn) / 2) ** 2
        result.append(total)
    return result


def decibels(ratio):
    return 10 * math.log10(ratio) if ratio > 0 else float("-inf")

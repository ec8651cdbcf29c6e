#!/usr/bin/env python3
"""Speed of mok against the tools a user would take instead, in the same run.

  1. Start to exit on a 16000-character GBK file: mok convert -f gbk -t utf8
     against iconv -f GBK -t UTF-8 and uconv (runs alternate; medians; times
     as multiples of iconv's, the target being 2.5 at most).
  2. A 64 MB GBK file: mok convert against uconv and iconv: throughput and
     peak memory (RSS of each process, from GNU time).
  3. mok decode QP-GBK and mok decode Base64-Utf8 on 64 MB against Python's
     quopri / base64 with the codec decode, writing the text as UTF-8.

Usage: scripts/bench-cli.py [--startup] [build dir with a Release mok, default build-bench]
  --startup runs the first measurement only.
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOK_TESTS=OFF
  cmake --build build-bench --target mok
Needs iconv (libc-bin), uconv (icu-devtools), GNU time (time) and python3.
"""

import base64
import os
import platform
import quopri
import random
import shutil
import statistics
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MB = 1024 * 1024


def gb2312_hanzi():
    """The everyday simplified characters (GB2312 level 1)."""
    chars = []
    for lead in range(0xB0, 0xD8):
        for trail in range(0xA1, 0xFF):
            try:
                chars.append(bytes([lead, trail]).decode("gbk"))
            except UnicodeDecodeError:
                pass
    return chars


def prose(length, seed):
    """Chinese prose with full-width punctuation, ASCII words and CR LF line breaks."""
    rng = random.Random(seed)
    hanzi = gb2312_hanzi()
    words = ["ICU ", "GB2312 ", "2024", "OK ", "e-mail ", "v4.3 "]
    out, line = [], 0
    size = 0
    while size < length:
        pick = rng.randrange(100)
        piece = rng.choice(hanzi) if pick < 80 else ("，" if pick < 84 else "。") if pick < 88 else rng.choice(words)
        out.append(piece)
        size += len(piece)
        line += len(piece)
        if line > 40 + rng.randrange(10):
            out.append("\r\n")
            size += 2
            line = 0
    return "".join(out)[:length]


def sized(block, size):
    """block repeated up to size bytes, cut at a line break."""
    data = block * (size // len(block) + 1)
    return data[: data.rfind(b"\n", 0, size) + 1]


def run(argv, memory):
    """Wall seconds and, with memory, the peak RSS in KB of one process. The
    peak comes from GNU time, which forks from a small process: a child that
    Python spawns shares its memory until exec and would report Python's."""
    with tempfile.NamedTemporaryFile() as report, open(os.devnull, "wb") as out:
        if memory:
            argv = ["/usr/bin/time", "-f", "%M", "-o", report.name] + argv
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, out.fileno(), 1)])
        _, status = os.waitpid(pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("bench-cli: failed: " + " ".join(argv))
        return wall, int(open(report.name).read().split()[-1]) if memory else 0


def compare(title, commands, runs, size=None):
    """Runs the commands alternately; prints medians, and ratios to the first.
    The short runs are timed bare; the long ones also report peak memory."""
    memory = size is not None
    results = {name: [] for name, _ in commands}
    for name, argv in commands:
        run(argv, memory)  # warm-up: page cache and the tools' own files
    for _ in range(runs):
        for name, argv in commands:
            results[name].append(run(argv, memory))
    print(f"\n{title} ({runs} runs each, alternating, medians)")
    base = statistics.median(w for w, _ in results[commands[0][0]])
    for name, _ in commands:
        wall = statistics.median(w for w, _ in results[name])
        rss = statistics.median(r for _, r in results[name])
        extra = f"{size / MB / wall:8.1f} MB/s {rss / 1024:7.1f} MB peak" if memory else ""
        print(f"  {name:34s} {wall * 1000:9.2f} ms {extra}   time x{wall / base:.2f}")
    return {name: statistics.median(w for w, _ in results[name]) for name, _ in commands}


def main():
    args = [a for a in sys.argv[1:] if a != "--startup"]
    build = os.path.abspath(args[0] if args else os.path.join(ROOT, "build-bench"))
    mok = os.path.join(build, "cli", "mok")
    iconv, uconv, python = shutil.which("iconv"), shutil.which("uconv"), sys.executable
    for tool in (mok, iconv, uconv, "/usr/bin/time"):
        if not tool or not os.access(tool, os.X_OK):
            sys.exit(f"bench-cli: missing {tool or 'iconv/uconv'}; see --help")
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    print(f"machine: {cpu}, {os.cpu_count()} cores, {platform.platform()}")

    with tempfile.TemporaryDirectory() as tmp:
        small = os.path.join(tmp, "small-gbk.txt")
        text = prose(16000, 1)
        open(small, "wb").write(text.encode("gbk"))
        block = prose(MB, 2).encode("gbk")
        big = os.path.join(tmp, "big-gbk.txt")
        open(big, "wb").write(sized(block, 64 * MB))
        qp = os.path.join(tmp, "qp-gbk.txt")
        open(qp, "wb").write(sized(quopri.encodestring(block), 64 * MB))
        b64 = os.path.join(tmp, "base64-utf8.txt")
        open(b64, "wb").write(sized(base64.encodebytes(prose(MB, 3).encode("utf-8") * 3), 64 * MB))

        compare(
            "start to exit, 16000 characters of GBK",
            [("iconv -f GBK -t UTF-8", [iconv, "-f", "GBK", "-t", "UTF-8", small]),
             ("mok convert -f gbk -t utf8", [mok, "convert", "-f", "gbk", "-t", "utf8", small]),
             ("uconv -f gbk -t utf-8", [uconv, "-f", "gbk", "-t", "utf-8", small])],
            200)
        if "--startup" in sys.argv:
            return
        compare(
            "64 MB of GBK to UTF-8",
            [("mok convert -f gbk -t utf8", [mok, "convert", "-f", "gbk", "-t", "utf8", big]),
             ("uconv -f gbk -t utf-8", [uconv, "-f", "gbk", "-t", "utf-8", big]),
             ("iconv -f GBK -t UTF-8", [iconv, "-f", "GBK", "-t", "UTF-8", big])],
            5, os.path.getsize(big))
        quopri_py = ("import quopri,sys; d=open(sys.argv[1],'rb').read(); "
                     "sys.stdout.buffer.write(quopri.decodestring(d).decode('gbk','replace').encode('utf-8'))")
        compare(
            "64 MB of quoted-printable GBK",
            [("mok decode QP-GBK", [mok, "decode", "QP-GBK", qp]),
             ("python quopri + gbk", [python, "-c", quopri_py, qp])],
            5, os.path.getsize(qp))
        base64_py = ("import base64,sys; d=open(sys.argv[1],'rb').read(); "
                     "sys.stdout.buffer.write(base64.b64decode(d).decode('utf-8','replace').encode('utf-8'))")
        compare(
            "64 MB of Base64 UTF-8",
            [("mok decode Base64-Utf8", [mok, "decode", "Base64-Utf8", b64]),
             ("python base64 + utf-8", [python, "-c", base64_py, b64])],
            5, os.path.getsize(b64))


if __name__ == "__main__":
    if "--help" in sys.argv or "-h" in sys.argv:
        print(__doc__)
    else:
        main()

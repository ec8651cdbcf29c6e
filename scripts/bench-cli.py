#!/usr/bin/env python3
"""Speed of mok against the tools a user would take instead, in the same run.

  1. Start to exit on a 16000-character GBK file: mok convert -f gbk -t utf8
     against iconv -f GBK -t UTF-8 and uconv (runs alternate; medians; times
     as multiples of iconv's, the target being 2.5 at most).
  2. A 64 MB GBK file: mok convert against uconv and iconv: throughput and
     peak memory (RSS of each process, from GNU time).
  3. mok decode QP-GBK, URL-GBK, Base64-Utf8, Utf7 and HZ-GB on 64 MB each
     against Python's standard library (quopri, urllib.parse.unquote_to_bytes,
     base64, the utf-7 and hz codecs), writing the text as UTF-8; Base64 also
     against coreutils' base64 -d. Ratios of wall time and of processor time
     (user and system, every thread), the latter less disturbed by a busy
     machine.
  4. Each of those decoders on 1 GB fed through a pipe: peak memory.

Usage: scripts/bench-cli.py [build dir with a Release mok, default build-bench] [--startup | --decoders-only]
  --startup runs the first measurement only, --decoders-only the last two.
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOK_TESTS=OFF
  cmake --build build-bench --target mok
Needs iconv (libc-bin), uconv (icu-devtools), GNU time (time), base64
(coreutils) and python3.
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
    """Wall seconds, processor seconds (user and system, every thread) and,
    with memory, the peak RSS in KB of one process. The peak comes from GNU
    time, which forks from a small process: a child that Python spawns shares
    its memory until exec and would report Python's."""
    with tempfile.NamedTemporaryFile() as report, open(os.devnull, "wb") as out:
        if memory:
            argv = ["/usr/bin/time", "-f", "%M", "-o", report.name] + argv
        start = time.perf_counter()
        pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, out.fileno(), 1)])
        _, status, usage = os.wait4(pid, 0)  # the usage includes what GNU time waited for
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("bench-cli: failed: " + " ".join(argv))
        rss = int(open(report.name).read().split()[-1]) if memory else 0
        return wall, rss, usage.ru_utime + usage.ru_stime


def compare(title, commands, runs, size=None):
    """Runs the commands alternately; prints medians, and ratios to the first.
    The short runs are timed bare; the long ones also report peak memory and
    processor time, which a busy machine disturbs less than wall time."""
    memory = size is not None
    results = {name: [] for name, _ in commands}
    for name, argv in commands:
        run(argv, memory)  # warm-up: page cache and the tools' own files
    for _ in range(runs):
        for name, argv in commands:
            results[name].append(run(argv, memory))
    print(f"\n{title} ({runs} runs each, alternating, medians)")
    base = statistics.median(r[0] for r in results[commands[0][0]])
    for name, _ in commands:
        wall = statistics.median(r[0] for r in results[name])
        rss = statistics.median(r[1] for r in results[name])
        cpu = statistics.median(r[2] for r in results[name])
        extra = f"{size / MB / wall:8.1f} MB/s {rss / 1024:7.1f} MB peak {cpu * 1000:7.0f} ms cpu" if memory else ""
        print(f"  {name:34s} {wall * 1000:9.2f} ms {extra}   time x{wall / base:.2f}")
    return {name: (statistics.median(r[0] for r in results[name]), statistics.median(r[2] for r in results[name]))
            for name, _ in commands}


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    decoders_only = "--decoders-only" in sys.argv
    startup_only = "--startup" in sys.argv
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

        if not decoders_only:
            converters(mok, iconv, uconv, small, big, startup_only)
        if not startup_only:
            decoders(mok, tmp, block, qp, b64)


def converters(mok, iconv, uconv, small, big, startup_only):
    compare(
        "start to exit, 16000 characters of GBK",
        [("iconv -f GBK -t UTF-8", [iconv, "-f", "GBK", "-t", "UTF-8", small]),
         ("mok convert -f gbk -t utf8", [mok, "convert", "-f", "gbk", "-t", "utf8", small]),
         ("uconv -f gbk -t utf-8", [uconv, "-f", "gbk", "-t", "utf-8", small])],
        200)
    if startup_only:
        return
    compare(
        "64 MB of GBK to UTF-8",
        [("mok convert -f gbk -t utf8", [mok, "convert", "-f", "gbk", "-t", "utf8", big]),
         ("uconv -f gbk -t utf-8", [uconv, "-f", "gbk", "-t", "utf-8", big]),
         ("iconv -f GBK -t UTF-8", [iconv, "-f", "GBK", "-t", "UTF-8", big])],
        5, os.path.getsize(big))


def decoders(mok, tmp, block, qp, b64):
    url = os.path.join(tmp, "url-gbk.txt")
    open(url, "wb").write(sized(url_encode(block), 64 * MB))
    utf7 = os.path.join(tmp, "utf7.txt")
    open(utf7, "wb").write(sized(prose(MB, 4).encode("utf-7") * 3, 64 * MB))
    hz = os.path.join(tmp, "hz.txt")
    open(hz, "wb").write(sized(prose(MB, 5).encode("hz") * 3, 64 * MB))

    def python(decode):
        return [sys.executable, "-c", "import sys,base64,quopri,urllib.parse; d=open(sys.argv[1],'rb').read(); "
                "sys.stdout.buffer.write(" + decode + ".encode('utf-8'))"]

    ratios = {}
    for title, path, step, reference, extra in [
            ("quoted-printable GBK", qp, "QP-GBK",
             ("python quopri + gbk", python("quopri.decodestring(d).decode('gbk','replace')")), []),
            ("URL-encoded GBK", url, "URL-GBK",
             ("python unquote_to_bytes + gbk",
              python("urllib.parse.unquote_to_bytes(d.replace(b'+',b' ')).decode('gbk','replace')")), []),
            ("Base64 UTF-8", b64, "Base64-Utf8",
             ("python base64 + utf-8", python("base64.b64decode(d).decode('utf-8','replace')")),
             [("base64 -d", [shutil.which("base64"), "-d", b64])]),
            ("UTF-7", utf7, "Utf7", ("python utf-7 codec", python("d.decode('utf-7','replace')")), []),
            ("HZ-GB", hz, "HZ-GB", ("python hz codec", python("d.decode('hz','replace')")), [])]:
        name, argv = reference
        times = compare(f"64 MB of {title}",
                        [(f"mok decode {step}", [mok, "decode", step, path]), (name, argv + [path])] + extra,
                        5, os.path.getsize(path))
        mine = times[f"mok decode {step}"]
        ratios[step] = {other: (times[other][0] / mine[0], times[other][1] / mine[1]) for other in times}

    print("\n1 GB through a pipe (peak memory of mok)")
    for step, path in [("QP-GBK", qp), ("URL-GBK", url), ("Base64-Utf8", b64), ("Utf7", utf7), ("HZ-GB", hz)]:
        print(f"  mok decode {step:12s} {piped_peak(mok, step, path, 1024 * MB) / 1024:7.1f} MB peak")

    print("\nspeed of mok against each reference (reference time / mok time: wall, processor)")
    for step, row in ratios.items():
        print(f"  {step:12s} " + "  ".join(f"{name}: x{wall:.2f}, x{cpu:.2f}" for name, (wall, cpu) in row.items()
                                              if not name.startswith("mok")))


def url_encode(data):
    """Each line percent-encoded (every byte outside unreserved ASCII, spaces
    as "+"), the lines joined by LF."""
    import urllib.parse
    return b"\n".join(urllib.parse.quote_plus(line, safe="").encode("ascii") for line in data.split(b"\r\n"))


def piped_peak(mok, step, path, total):
    """Peak RSS in KB of mok decoding total bytes: the file repeated, cut at a
    line break, written into its standard input."""
    block = open(path, "rb").read(8 * MB)
    block = block[: block.rfind(b"\n") + 1]
    with tempfile.NamedTemporaryFile() as report, open(os.devnull, "wb") as out:
        # The copies join mid-run, so bytes that decode no more are kept as they are.
        argv = ["/usr/bin/time", "-f", "%M", "-o", report.name, mok, "decode", step, "--keep"]
        import subprocess
        child = subprocess.Popen(argv, stdin=subprocess.PIPE, stdout=out)
        sent = 0
        while sent < total:
            child.stdin.write(block)
            sent += len(block)
        child.stdin.close()
        if child.wait() != 0:
            sys.exit("bench-cli: failed: mok decode " + step)
        return int(open(report.name).read().split()[-1])

if __name__ == "__main__":
    if "--help" in sys.argv or "-h" in sys.argv:
        print(__doc__)
    else:
        main()

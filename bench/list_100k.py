#!/usr/bin/env python3
"""Times `qmzip list` against `unzip -l` and `7zz l` on a 100,000-entry archive made with
Python's zipfile, and prints the ratios and peak memory.

Usage: bench/list_100k.py [--qmzip PATH] [--entries N] [--runs N] [--workdir DIR]
The archive is cached in the work directory (default: the system's temporary directory).
Not part of CTest: speed is measured here, never asserted.
"""
import argparse
import os
import statistics
import subprocess
import tempfile
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def make_archive(path, entries):
    if os.path.exists(path):
        return
    tmp = path + ".part"
    with zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as z:
        for i in range(entries):
            # Folders a few levels deep and names of a realistic length.
            name = "pkg%02d/module%03d/resource_file_%06d.txt" % (i % 37, i % 211, i)
            z.writestr(name, "entry %d\n" % i)
    os.replace(tmp, path)


def run_once(command):
    """Wall time in seconds and peak resident memory in KiB of one run (output discarded)."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(command), result.stderr))
    peak_kib = int(result.stderr.strip().splitlines()[-1])
    return elapsed, peak_kib


def measure(command, runs):
    run_once(command)  # warm the page cache
    samples = [run_once(command) for _ in range(runs)]
    return statistics.median(s[0] for s in samples), max(s[1] for s in samples)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--qmzip", default=os.path.join(ROOT, "build/default/tools/qmzip/qmzip"))
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--workdir", default=tempfile.gettempdir())
    args = parser.parse_args()

    archive = os.path.join(args.workdir, "qm_bench_list_%d.zip" % args.entries)
    make_archive(archive, args.entries)
    size = os.path.getsize(archive)
    print("archive: %s (%d entries, %.1f MiB), median of %d runs"
          % (archive, args.entries, size / 2**20, args.runs))

    tools = [
        ("qmzip list", [args.qmzip, "list", archive]),
        ("unzip -l", ["unzip", "-l", archive]),
        ("7zz l", ["7zz", "l", archive]),
    ]
    results = {name: measure(command, args.runs) for name, command in tools}
    base_time, base_peak = results["qmzip list"]
    # What qmzip holds for a one-entry archive, so that the difference is the directory's share.
    tiny = os.path.join(args.workdir, "qm_bench_list_1.zip")
    make_archive(tiny, 1)
    baseline_peak = run_once([args.qmzip, "list", tiny])[1]
    print("%-12s %10s %10s %12s" % ("tool", "time (s)", "qmzip/tool", "peak (MiB)"))
    for name, (elapsed, peak) in results.items():
        print("%-12s %10.3f %10.2f %12.1f" % (name, elapsed, base_time / elapsed, peak / 1024))
    per_entry = (base_peak - baseline_peak) * 1024 / args.entries
    print("qmzip peak memory per entry: about %.0f bytes" % per_entry)


if __name__ == "__main__":
    main()

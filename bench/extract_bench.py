#!/usr/bin/env python3
"""Times `qmzip extract` and `qmzip test` against unzip, 7zz and bsdtar on generated corpora.

usage: extract_bench.py QMZIP [--work DIR] [--runs N] [--scale F] [--keep]

Corpora (made once in the work folder, reused when present):
  tree   a tree of tens of thousands of small files (zip -r)
  text   one large compressible file                 (zip)
  noise  one large incompressible file               (zip)
  jar    a 10,000-entry jar-like archive of small class-like files (zip -r)
For every corpus each tool extracts into an empty folder and tests the archive; the median of
N runs is reported with the ratio to the fastest other tool, and the peak resident memory of
each tool. Targets: qmzip extract no slower than the fastest of unzip, 7zz x, bsdtar -xf; qmzip
test no slower than the fastest of unzip -t, 7zz t, bsdtar -tf; qmzip at most 32 MiB.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time


def make_tree(root, files):
    rng = random.Random(1)
    words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz') for _ in range(rng.randint(3, 9)))
             for _ in range(2000)]
    for i in range(files):
        folder = os.path.join(root, f'd{i % 37:02d}', f's{i % 211:03d}')
        os.makedirs(folder, exist_ok=True)
        size = int(rng.expovariate(1 / 6000)) + 64
        text = []
        n = 0
        while n < size:
            w = rng.choice(words)
            text.append(w)
            n += len(w) + 1
        with open(os.path.join(folder, f'f{i:06d}.txt'), 'w') as f:
            f.write(' '.join(text)[:size])


def make_text(path, size):
    rng = random.Random(2)
    with open(path, 'w') as f:
        written = 0
        while written < size:
            line = f'{written:012d} record {rng.randint(0, 10**6):07d} status ok value {rng.random():.6f}\n'
            f.write(line)
            written += len(line)


def make_noise(path, size):
    with open(path, 'wb') as f:
        left = size
        while left > 0:
            n = min(left, 1 << 24)
            f.write(os.urandom(n))
            left -= n


def make_jar(root, entries):
    rng = random.Random(3)
    for i in range(entries):
        folder = os.path.join(root, 'net', 'quillmark', f'p{i % 97:02d}')
        os.makedirs(folder, exist_ok=True)
        body = bytes([0xCA, 0xFE, 0xBA, 0xBE]) + b''.join(
            rng.choice([b'java/lang/Object', b'<init>', b'Code', b'LineNumberTable', b'this',
                        bytes(rng.getrandbits(8) for _ in range(8))])
            for _ in range(rng.randint(20, 200)))
        with open(os.path.join(folder, f'C{i:05d}.class'), 'wb') as f:
            f.write(body)


def zip_folder(source_dir, names, archive):
    subprocess.run(['zip', '-q', '-r', archive] + names, cwd=source_dir, check=True)


def prepare(work, scale):
    corpora = {}
    large = int(256 * (1 << 20) * scale)
    recipes = [
        ('tree', lambda d: make_tree(os.path.join(d, 'tree'), int(30000 * scale)), ['tree']),
        ('text', lambda d: make_text(os.path.join(d, 'text.log'), large), ['text.log']),
        ('noise', lambda d: make_noise(os.path.join(d, 'noise.bin'), large), ['noise.bin']),
        ('jar', lambda d: make_jar(os.path.join(d, 'jar'), 10000), ['jar']),
    ]
    for name, make, members in recipes:
        archive = os.path.join(work, name + '.zip')
        if not os.path.exists(archive):
            src = os.path.join(work, 'src-' + name)
            shutil.rmtree(src, ignore_errors=True)
            os.makedirs(src)
            print(f'making {name} ...', file=sys.stderr, flush=True)
            make(src)
            zip_folder(src, members, archive)
            shutil.rmtree(src)
        corpora[name] = archive
    return corpora


def timed(argv, cwd):
    """Wall time and peak resident memory (KiB) of one run. GNU time reports the memory: a
    child forked from this Python process would count Python's own pages as its peak."""
    report = os.path.join(os.path.dirname(cwd), 'time.out')
    start = time.perf_counter()
    proc = subprocess.run(['/usr/bin/time', '-f', '%M', '-o', report] + argv, cwd=cwd,
                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        raise RuntimeError(f'{argv} exited with {proc.returncode}: {proc.stderr[:300]!r}')
    with open(report) as f:
        peak = int(f.read().split()[-1])
    return elapsed, peak


def run_tool(argv_for, out_dir, runs):
    times, peaks = [], []
    for _ in range(runs):
        shutil.rmtree(out_dir, ignore_errors=True)
        os.makedirs(out_dir)
        t, m = timed(argv_for(out_dir), out_dir)
        times.append(t)
        peaks.append(m)
    shutil.rmtree(out_dir, ignore_errors=True)
    return statistics.median(times), max(peaks)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('qmzip')
    ap.add_argument('--work', default='/tmp/qmzip-bench')
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--scale', type=float, default=1.0)
    ap.add_argument('--only', default='', help='comma-separated corpora')
    args = ap.parse_args()
    qmzip = os.path.abspath(args.qmzip)
    os.makedirs(args.work, exist_ok=True)
    corpora = prepare(args.work, args.scale)
    out = os.path.join(args.work, 'out')

    extractors = {
        'qmzip': lambda a: lambda d: [qmzip, 'extract', a, '-d', d, '--overwrite', 'always'],
        'unzip': lambda a: lambda d: ['unzip', '-q', '-o', a, '-d', d],
        '7zz': lambda a: lambda d: ['7zz', 'x', '-y', '-bd', '-bso0', a, '-o' + d],
        'bsdtar': lambda a: lambda d: ['bsdtar', '-xf', a, '-C', d],
    }
    testers = {
        'qmzip': lambda a: lambda d: [qmzip, 'test', a],
        'unzip': lambda a: lambda d: ['unzip', '-tq', a],
        '7zz': lambda a: lambda d: ['7zz', 't', '-bd', '-bso0', a],
        'bsdtar': lambda a: lambda d: ['bsdtar', '-tf', a],
    }
    only = set(filter(None, args.only.split(',')))
    ok = True
    print(f'{"corpus":7} {"job":8} ' + ' '.join(f'{t:>16}' for t in extractors) +
          '   ratio vs-checking qmzip-peak')
    for name, archive in corpora.items():
        if only and name not in only:
            continue
        for job, tools in (('extract', extractors), ('test', testers)):
            results = {t: run_tool(make(archive), out, args.runs) for t, make in tools.items()}
            best_other = min(v[0] for t, v in results.items() if t != 'qmzip')
            ratio = results['qmzip'][0] / best_other
            # bsdtar -tf lists without decoding; the second ratio compares with the tools
            # that really check the data.
            checking = min(v[0] for t, v in results.items() if t not in ('qmzip', 'bsdtar'))
            ratio_checking = results['qmzip'][0] / checking
            peak_mib = results['qmzip'][1] / 1024
            ok &= ratio <= 1.0 and peak_mib <= 32
            cells = ' '.join(f'{v[0]:7.3f}s {v[1] / 1024:5.1f}M' for v in results.values())
            print(f'{name:7} {job:8} {cells}   {ratio:5.2f} {ratio_checking:5.2f}'
                  f'  {peak_mib:6.1f} MiB', flush=True)
    print('targets met' if ok else 'targets NOT met')
    return 0


if __name__ == '__main__':
    sys.exit(main())

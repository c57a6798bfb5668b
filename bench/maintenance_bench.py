#!/usr/bin/env python3
"""Times `qmzip delete` and `qmzip rename` against `zip -d`, `7zz d` and `7zz rn` (and
zipnote -w for a rename by Info-ZIP) on generated archives.

usage: maintenance_bench.py QMZIP [--work DIR] [--runs N] [--scale F]

Archives (made once in the work folder, reused when present):
  tree   the tree of tens of thousands of small files of corpora.py (zip -r)
  large  about 1 GiB: eight large incompressible files with small ones between (zip)
Jobs: delete the first, the middle and the last entry; rename the first and the last. Each
run works on a fresh copy (the copy is not timed). qmzip rewrites an archive from the first
changed entry on; the others rewrite all of it, so a change near the end should be far
cheaper for qmzip. The median of N runs is printed with qmzip's ratio to the fastest other
tool (below 1: qmzip faster). Timings are noisy on a busy machine.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from corpora import make_noise, make_tree  # noqa: E402


def make_large(root, scale):
    os.makedirs(root, exist_ok=True)
    big = int(128 * (1 << 20) * scale)
    for i in range(8):
        make_noise(os.path.join(root, f'big{i}.bin'), big)
        with open(os.path.join(root, f'small{i}.txt'), 'w') as f:
            f.write(f'small file {i}\n' * 100)


def prepare(work, scale):
    corpora = {}
    for name, make, members in (
            ('tree', lambda d: make_tree(os.path.join(d, 'tree'), int(30000 * scale)), ['tree']),
            ('large', lambda d: make_large(os.path.join(d, 'large'), scale), ['large'])):
        archive = os.path.join(work, name + '.zip')
        if not os.path.exists(archive):
            src = os.path.join(work, 'src-' + name)
            shutil.rmtree(src, ignore_errors=True)
            os.makedirs(src)
            print(f'making {name} ...', file=sys.stderr, flush=True)
            make(src)
            subprocess.run(['zip', '-q', '-r', '-0' if name == 'large' else '-6', archive]
                           + members, cwd=src, check=True)
            shutil.rmtree(src)
        corpora[name] = archive
    return corpora


def files_of(archive):
    with zipfile.ZipFile(archive) as z:
        return [i.filename for i in z.infolist() if not i.is_dir()]


def timed(argv, cwd, stdin=None):
    start = time.perf_counter()
    proc = subprocess.run(argv, cwd=cwd, input=stdin, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if proc.returncode != 0:
        raise RuntimeError(f'{argv} exited with {proc.returncode}: {proc.stderr[:300]!r}')
    return elapsed


def run_job(archive, work, argv_for, runs):
    copy = os.path.join(work, 'job.zip')
    times = []
    for _ in range(runs):
        shutil.copyfile(archive, copy)
        argv, stdin = argv_for(copy)
        times.append(timed(argv, work, stdin))
    os.remove(copy)
    return statistics.median(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('qmzip')
    ap.add_argument('--work', default='/tmp/qmzip-bench')
    ap.add_argument('--runs', type=int, default=3)
    ap.add_argument('--scale', type=float, default=1.0)
    args = ap.parse_args()
    qmzip = os.path.abspath(args.qmzip)
    os.makedirs(args.work, exist_ok=True)
    corpora = prepare(args.work, args.scale)

    print(f'{"archive":7} {"job":14} {"qmzip":>9} {"zip":>9} {"7zz":>9}   ratio')
    for name, archive in corpora.items():
        names = files_of(archive)
        picks = {'front': names[0], 'middle': names[len(names) // 2], 'end': names[-1]}
        jobs = []
        for where, entry in picks.items():
            jobs.append((f'delete {where}', {
                'qmzip': lambda a, e=entry: ([qmzip, 'delete', a, e], None),
                'zip': lambda a, e=entry: (['zip', '-q', '-d', a, e], None),
                '7zz': lambda a, e=entry: (['7zz', 'd', '-bd', '-bso0', a, e], None),
            }))
        for where in ('front', 'end'):
            entry = picks[where]
            new = entry + '.renamed'
            jobs.append((f'rename {where}', {
                'qmzip': lambda a, e=entry, n=new: ([qmzip, 'rename', a, e, n], None),
                'zip': lambda a, e=entry, n=new: (['zipnote', '-w', a],
                                                  f'@ {e}\n@={n}\n'.encode()),
                '7zz': lambda a, e=entry, n=new: (['7zz', 'rn', '-bd', '-bso0', a, e, n], None),
            }))
        for job, tools in jobs:
            results = {t: run_job(archive, args.work, make, args.runs) for t, make in tools.items()}
            best_other = min(v for t, v in results.items() if t != 'qmzip')
            ratio = results['qmzip'] / best_other
            cells = ' '.join(f'{v:8.3f}s' for v in results.values())
            print(f'{name:7} {job:14} {cells}   {ratio:5.2f}', flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())

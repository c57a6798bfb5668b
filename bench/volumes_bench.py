#!/usr/bin/env python3
"""Times making and extracting a split set: qmzip against Info-ZIP (zip -s, then unzip of
the joined set, as unzip reads no split set) and 7-Zip (7zz -v, its own numbered volumes).

usage: volumes_bench.py QMZIP [--work DIR] [--files N] [--noise MIB] [--volume SIZE] [--runs N]

The tree is corpora.py's text tree (N files) plus one incompressible file of the given
size, so that the set runs over several volumes of SIZE (default 64m). Prints the median wall
time of each step per tool and qmzip's ratio to each.
"""
import argparse
import os
import shutil
import statistics

from benchlib import timed
from corpora import make_noise, make_tree


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def median(argv_for, cwd_for, runs, before=lambda: None):
    times = []
    for _ in range(runs):
        before()
        times.append(timed(argv_for(), cwd_for())[0])
    return statistics.median(times)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('qmzip')
    ap.add_argument('--work', default='/tmp/qmzip-volumes-bench')
    ap.add_argument('--files', type=int, default=20000)
    ap.add_argument('--noise', type=int, default=200, help='MiB of incompressible data')
    ap.add_argument('--volume', default='64m')
    ap.add_argument('--runs', type=int, default=3)
    args = ap.parse_args()
    qmzip = os.path.abspath(args.qmzip)
    work = args.work
    tree = os.path.join(work, 'tree')
    if not os.path.isdir(tree):
        make_tree(os.path.join(tree, 'text'), args.files)
        make_noise(os.path.join(tree, 'noise.bin'), args.noise << 20)
    sets = os.path.join(work, 'sets')
    out = os.path.join(work, 'out')
    os.makedirs(sets, exist_ok=True)
    os.makedirs(out, exist_ok=True)

    def clean_sets():
        fresh(sets)

    rows = []
    make = {
        'qmzip': median(lambda: [qmzip, 'add', os.path.join(sets, 'q.zip'), '-r', 'text',
                                 'noise.bin', '--split', args.volume],
                        lambda: tree, args.runs, clean_sets),
        'zip -s': median(lambda: ['zip', '-q', '-r', '-s', args.volume,
                                  os.path.join(sets, 'z.zip'), 'text', 'noise.bin'],
                         lambda: tree, args.runs, clean_sets),
        '7zz -v': median(lambda: ['7zz', 'a', '-tzip', '-mx5', '-v' + args.volume,
                                  os.path.join(sets, 's.zip'), 'text', 'noise.bin'],
                         lambda: tree, args.runs, clean_sets),
    }
    # One set of each kind stays for the extraction runs.
    fresh(sets)
    timed([qmzip, 'add', os.path.join(sets, 'q.zip'), '-r', 'text', 'noise.bin',
           '--split', args.volume], tree)
    timed(['zip', '-q', '-r', '-s', args.volume, os.path.join(sets, 'z.zip'), 'text',
           'noise.bin'], tree)
    timed(['7zz', 'a', '-tzip', '-mx5', '-v' + args.volume, os.path.join(sets, 's.zip'), 'text',
           'noise.bin'], tree)
    volumes = len([n for n in os.listdir(sets) if n.startswith('q.')])
    extract = {
        'qmzip': median(lambda: [qmzip, 'extract', os.path.join(sets, 'q.zip'), '-d', out],
                        lambda: work, args.runs, lambda: fresh(out)),
        # unzip reads no split set: zip -s 0 joins it first, and that is part of its time.
        # unzip 6.0 refuses some joined sets with large items ("overlapped components"): its
        # exit status is not taken as the bench's failure, and the row says so.
        'zip -s 0 + unzip': median(
            lambda: ['sh', '-c', f'zip -q -s 0 {sets}/z.zip --out {work}/joined.zip && '
                                 f'(unzip -q {work}/joined.zip -d {out} || echo unzip refused)'],
            lambda: work, args.runs, lambda: (fresh(out), os.path.exists(
                f'{work}/joined.zip') and os.remove(f'{work}/joined.zip'))),
        '7zz x': median(lambda: ['7zz', 'x', '-y', f'-o{out}', os.path.join(sets, 's.zip.001')],
                        lambda: work, args.runs, lambda: fresh(out)),
    }
    print(f'tree: {args.files} text files + {args.noise} MiB noise; volumes of {args.volume} '
          f'({volumes} for qmzip); median of {args.runs}')
    for step, times in (('make', make), ('extract', extract)):
        ours = times['qmzip']
        for tool, t in times.items():
            ratio = '' if tool == 'qmzip' else f'  qmzip/{tool} = {ours / t:.2f}'
            print(f'{step:8s} {tool:18s} {t:8.2f} s{ratio}')


if __name__ == '__main__':
    main()
